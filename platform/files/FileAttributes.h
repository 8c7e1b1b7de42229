#pragma once

#include "platform/core/VLError.h"

#include <QDateTime>
#include <QMap>
#include <QString>

#include <optional>

namespace platform {

enum class FileType { Regular, Directory, SymbolicLink, CharacterSpecial, BlockSpecial, Socket, Fifo, Unknown };

// The attributes of one item as the file manager reports them. A field the platform does not
// report stays empty; only what is present is applied by setAttributesOfItemAtPath.
struct FileAttributes
{
    std::optional<FileType> type;
    std::optional<quint64> size;
    std::optional<quint16> posixPermissions; // the 12 permission bits (set-id, sticky, rwx)
    std::optional<quint32> ownerAccountID;
    std::optional<quint32> groupAccountID;
    std::optional<QString> ownerAccountName;
    std::optional<QString> groupOwnerAccountName;
    std::optional<QDateTime> creationDate; // birth time, where the file system records one
    std::optional<QDateTime> modificationDate;
    std::optional<quint64> referenceCount;
    std::optional<quint64> systemNumber;
    std::optional<quint64> systemFileNumber;

    friend bool operator==(const FileAttributes &, const FileAttributes &) = default;
};

// The attributes of the item at an absolute path, without following a final symbolic link.
// Empty with the system error in `error` when the item cannot be examined.
std::optional<FileAttributes> attributesOfItemAtPath(const QString &path, VLError *error = nullptr);

// Applies the present fields to the item at path, not following a final symbolic link:
// owner and group, permissions, modification date (a birth time cannot be set on this platform).
// Every present field is tried and each failure logged; returns the first failure's system error,
// a null error when everything applied.
[[nodiscard]] VLError setAttributesOfItemAtPath(const FileAttributes &attributes, const QString &path);

} // namespace platform
