#include "platform/files/ItemBlockSize.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

quint64 roundedToBlock(const struct stat &status)
{
    const quint64 block = status.st_blksize > 0 ? quint64(status.st_blksize) : 4096;
    const quint64 size = quint64(qMax<off_t>(0, status.st_size));
    return (size + block - 1) / block * block;
}

// Sums the files and links below an open folder, descending into its sub-folders.
quint64 directorySize(int directoryFd, const std::function<void(int error)> &failed)
{
    DIR *directory = fdopendir(directoryFd);
    if (!directory) {
        failed(errno);
        ::close(directoryFd);
        return 0;
    }
    quint64 total = 0;
    errno = 0;
    while (const dirent *entry = readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        struct stat status
        {
        };
        if (fstatat(dirfd(directory), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            failed(errno);
            break;
        }
        if (S_ISREG(status.st_mode) || S_ISLNK(status.st_mode)) {
            total += roundedToBlock(status);
        } else if (S_ISDIR(status.st_mode)) {
            const int child = openat(dirfd(directory), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0)
                failed(errno);
            else
                total += directorySize(child, failed);
        }
        errno = 0;
    }
    if (errno != 0)
        failed(errno);
    closedir(directory);
    return total;
}

} // namespace

quint64 itemBlockSize(const QString &path, const std::function<void(int error)> &failed)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat status
    {
    };
    if (encoded.isEmpty() || ::lstat(encoded.constData(), &status) != 0) {
        failed(encoded.isEmpty() ? ENOENT : errno);
        return 0;
    }
    if (S_ISREG(status.st_mode) || S_ISLNK(status.st_mode))
        return roundedToBlock(status);
    if (!S_ISDIR(status.st_mode))
        return 0;
    const int fd = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        failed(errno);
        return 0;
    }
    return directorySize(fd, failed);
}

} // namespace platform
