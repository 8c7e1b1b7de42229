#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Extended attributes of one item, never following a final symbolic link. Names are the
// portable ones the container stores: on Linux the "user." namespace without its prefix;
// attributes of other namespaces (security., trusted., system.) are not listed.
namespace platform::ExtendedAttributes {

// The names in the order the file system lists them; empty with errorNumber set on failure.
std::optional<QStringList> names(const QString &path, int *errorNumber = nullptr);
// The same for a file open at fd, read through the descriptor (no path lookup).
std::optional<QStringList> namesOfOpenFile(int fd, int *errorNumber = nullptr);

// The size of a value, or -1 with errorNumber set.
qint64 valueSize(const QString &path, const QString &name, int *errorNumber = nullptr);

// The value; empty with errorNumber set on failure.
std::optional<QByteArray> value(const QString &path, const QString &name, int *errorNumber = nullptr);
std::optional<QByteArray> valueOfOpenFile(int fd, const QString &name, int *errorNumber = nullptr);

// Creates or replaces one attribute; false with errorNumber set when the file system refuses it.
bool setValue(const QString &path, const QString &name, const QByteArray &value, int *errorNumber = nullptr);

// Removes one attribute; false with errorNumber set on failure.
bool removeValue(const QString &path, const QString &name, int *errorNumber = nullptr);

} // namespace platform::ExtendedAttributes
