#include "platform/files/FileOperations.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fts.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

int result(int value)
{
    return value == 0 ? 0 : errno;
}

} // namespace

FileKind fileKindAtPath(const QString &path, int *error)
{
    struct stat status
    {
    };
    if (::lstat(native(path).constData(), &status) != 0) {
        if (error)
            *error = errno;
        return FileKind::Missing;
    }
    if (error)
        *error = 0;
    if (S_ISDIR(status.st_mode))
        return FileKind::Folder;
    if (S_ISLNK(status.st_mode))
        return FileKind::SymbolicLink;
    if (S_ISREG(status.st_mode))
        return FileKind::File;
    return FileKind::Other;
}

std::int64_t fileSizeAtPath(const QString &path)
{
    struct stat status
    {
    };
    return ::lstat(native(path).constData(), &status) == 0 ? std::int64_t(status.st_size) : 0;
}

int renameItem(const QString &from, const QString &to, bool replace)
{
    const QByteArray source = native(from);
    const QByteArray destination = native(to);
    if (replace)
        return result(::rename(source.constData(), destination.constData()));
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, destination.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without RENAME_NOREPLACE: a hard link is exclusive for files; folders and
    // links fall back to a check right before the rename.
    struct stat status
    {
    };
    if (::lstat(source.constData(), &status) != 0)
        return errno;
    if (S_ISREG(status.st_mode)) {
        if (::link(source.constData(), destination.constData()) == 0)
            return result(::unlink(source.constData()));
        // File systems without hard links take the checked rename below.
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
            return errno;
    }
    if (::lstat(destination.constData(), &status) == 0)
        return EEXIST;
    return result(::rename(source.constData(), destination.constData()));
}

int createFolderExclusively(const QString &path, unsigned permissions)
{
    return result(::mkdir(native(path).constData(), mode_t(permissions)));
}

int createFileExclusively(const QString &path, unsigned permissions)
{
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          mode_t(permissions));
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

int makeOwnerOnlyFile(const QString &path)
{
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    ::fchmod(fd, 0600);
    ::close(fd);
    return 0;
}

int createSymbolicLink(const QString &path, const QString &destination)
{
    return result(::symlink(native(destination).constData(), native(path).constData()));
}

PosixFile openForUpdate(const QString &path, unsigned permissions, int *error)
{
    const int fd = ::open(native(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, mode_t(permissions));
    if (error)
        *error = fd < 0 ? errno : 0;
    return PosixFile(fd);
}

int truncateFile(const PosixFile &file, std::uint64_t length)
{
    return result(::ftruncate(file.descriptor(), off_t(length)));
}

int removeItemAtPath(const QString &path, RemovalAccess access)
{
    QByteArray root = native(path);
    struct stat status
    {
    };
    if (::lstat(root.constData(), &status) != 0)
        return errno;
    if (!S_ISDIR(status.st_mode))
        return result(::unlink(root.constData()));

    char *roots[] = {root.data(), nullptr};
    FTS *fts = ::fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR | FTS_XDEV, nullptr);
    if (!fts)
        return errno;
    int error = 0;
    while (FTSENT *entry = ::fts_read(fts)) {
        switch (entry->fts_info) {
        case FTS_D:
            // Its entries are read on the next step, so opening it up now is in time.
            if (access == RemovalAccess::GrantOwner && (entry->fts_statp->st_mode & S_IRWXU) != S_IRWXU
                && entry->fts_statp->st_uid == ::geteuid())
                ::chmod(entry->fts_accpath, (entry->fts_statp->st_mode & 07777) | S_IRWXU);
            break;
        case FTS_DP:
            if (::rmdir(entry->fts_accpath) != 0)
                error = errno;
            break;
        case FTS_DNR:
        case FTS_ERR:
        case FTS_NS:
            error = entry->fts_errno ? entry->fts_errno : EIO;
            break;
        default:
            if (::unlink(entry->fts_accpath) != 0)
                error = errno;
            break;
        }
        if (error)
            break;
    }
    ::fts_close(fts);
    return error;
}

int removeEmptyFolder(const QString &path)
{
    return result(::rmdir(native(path).constData()));
}

bool isReadableItemAtPath(const QString &path, bool folder)
{
    return ::access(native(path).constData(), folder ? (R_OK | X_OK) : R_OK) == 0;
}

QString homeFolderFromUserDatabase()
{
    const passwd *entry = ::getpwuid(::getuid());
    return entry && entry->pw_dir ? QFile::decodeName(entry->pw_dir) : QString();
}

QString errorDescription(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace platform
