#include "platform/files/FolderLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

FolderLock::~FolderLock()
{
    release();
}

FolderLock::FolderLock(FolderLock &&other) noexcept : m_fd(std::exchange(other.m_fd, -1))
{
}

FolderLock &FolderLock::operator=(FolderLock &&other) noexcept
{
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

FolderLock FolderLock::tryHold(const QString &path, int *error)
{
    FolderLock lock;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = errno;
        return lock;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        if (error)
            *error = errno;
        ::close(fd);
        return lock;
    }
    if (error)
        *error = 0;
    lock.m_fd = fd;
    return lock;
}

bool FolderLock::isFolderAt(const QString &path) const
{
    struct stat held = {};
    struct stat named = {};
    return m_fd >= 0 && ::fstat(m_fd, &held) == 0 && held.st_nlink > 0
           && ::lstat(QFile::encodeName(path).constData(), &named) == 0 && held.st_dev == named.st_dev
           && held.st_ino == named.st_ino;
}

void FolderLock::release()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

} // namespace platform
