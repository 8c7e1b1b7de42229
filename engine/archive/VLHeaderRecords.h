#pragma once

#include "engine/archive/VLEncryptedArchiveItem.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The bytes of an item's header records: the local header that starts its section ("HDLC") and
// its record in the directory ("HDDR"), made from a record and read back into one.
namespace VLHeaderRecords {

// The fields both records start with; none when the record has no path.
std::optional<QByteArray> commonFields(const VLEncryptedArchiveItemPtr &record);
// Random filler that brings a record of this size to a whole number of cipher blocks.
QByteArray paddingField(quint64 size);
// The whole local header; padded when the directory is enciphered. None when it cannot be made.
// sourceFd, when the item's file is open, is where its extended attributes are read.
std::optional<QByteArray> localHeader(const VLEncryptedArchiveItemPtr &record, bool padded, int sourceFd = -1);
// The whole directory record, with the item's HMAC when files are authenticated.
std::optional<QByteArray> centralHeader(const VLEncryptedArchiveItemPtr &record, bool withHmac, bool padded);
// Reads a record's content (after its tag and length) into the record, over what it holds.
[[nodiscard]] bool load(const VLEncryptedArchiveItemPtr &record, const QByteArray &content);
// True for a path inside a container: "/" followed by non-empty components other than "." and "..".
bool isValidPath(const QString &path);

} // namespace VLHeaderRecords
