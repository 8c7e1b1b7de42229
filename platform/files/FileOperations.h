#pragma once

#include "platform/files/PosixFile.h"

#include <QString>

#include <cstdint>

// The file-system calls behind the file-manager additions. Each returns 0 or the system error
// number; none follows a symbolic link in the last component unless it says so.
namespace platform {

enum class FileKind { Missing, File, Folder, SymbolicLink, Other };

// The kind of the item itself (a link is a link).
FileKind fileKindAtPath(const QString &path, int *error = nullptr);
// Size in bytes of the item itself; 0 when it has no status.
std::int64_t fileSizeAtPath(const QString &path);

// Renames an item. Without `replace` an existing destination is never replaced (EEXIST).
int renameItem(const QString &from, const QString &to, bool replace);

// Each creates the item only when nothing is at the path (EEXIST otherwise).
int createFolderExclusively(const QString &path, unsigned permissions);
int createFileExclusively(const QString &path, unsigned permissions);
// Creates the file when missing and makes it readable and writable by its owner alone, also when
// an older file was laxer. 0 or the error number.
int makeOwnerOnlyFile(const QString &path);
int createSymbolicLink(const QString &path, const QString &destination);

// Opens a file for reading and writing, creating it (with the permissions) when missing and
// keeping what it holds.
PosixFile openForUpdate(const QString &path, unsigned permissions, int *error);
int truncateFile(const PosixFile &file, std::uint64_t length);

// How a removal treats folders that deny their owner access.
enum class RemovalAccess {
    AsItIs,     // a read-only folder keeps its content
    GrantOwner, // folders of ours are opened up first (restored trees carry their own modes)
};

// Removes an item and, for a folder, everything inside it, never following links. Stops at the
// first failure and returns its error number.
int removeItemAtPath(const QString &path, RemovalAccess access = RemovalAccess::AsItIs);
// Removes a folder only when it is empty.
int removeEmptyFolder(const QString &path);

// access(2): readable by this process (following links), and for folders also searchable.
bool isReadableItemAtPath(const QString &path, bool folder);

// The home folder of the user database entry of the real user ID; empty when there is none.
QString homeFolderFromUserDatabase();

// strerror(3).
QString errorDescription(int error);

} // namespace platform
