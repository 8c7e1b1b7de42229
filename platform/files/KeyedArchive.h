#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

// The keyed archive that the original platform's NSKeyedArchiver writes for a dictionary of
// strings to data (a binary property list with "$archiver", "$objects", "$top"), built on libplist.
namespace platform::KeyedArchive {

using StringDataDictionary = QMap<QString, QByteArray>;

// archivedDataWithRootObject: of an NSDictionary of strings to NSData.
QByteArray archivedDataWithRootObject(const StringDataDictionary &dictionary);

// Reads an archive whose root object is an NSDictionary or NSMutableDictionary of strings to
// NSData or NSMutableData; empty for anything else or for bytes that are not such an archive.
std::optional<StringDataDictionary> unarchiveDictionary(const QByteArray &archive);

} // namespace platform::KeyedArchive
