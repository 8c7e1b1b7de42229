#include "platform/files/FolderListing.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr unsigned statusMask = STATX_BASIC_STATS | STATX_BTIME;
constexpr int statusFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;

} // namespace

FolderListing::~FolderListing()
{
    close();
}

void FolderListing::close()
{
    if (!m_folder)
        return;
    ::closedir(static_cast<DIR *>(m_folder));
    m_folder = nullptr;
    m_fd = -1;
}

std::unique_ptr<FolderListing> FolderListing::list(const QByteArray &native, int *error)
{
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    DIR *folder = ::fdopendir(fd);
    if (!folder) {
        *error = errno;
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<FolderListing> listing(new FolderListing(fd, folder));
    listing->m_readError = listing->readNames();
    *error = 0;
    return listing;
}

int FolderListing::readNames()
{
    DIR *folder = static_cast<DIR *>(m_folder);
    for (;;) {
        errno = 0;
        const dirent *item = ::readdir(folder);
        if (!item)
            break;
        const char *name = item->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        m_names.append(name, qsizetype(std::strlen(name) + 1));
        m_ends.push_back(std::size_t(m_names.size()) - 1);
    }
    if (errno == 0)
        return 0;
    const int error = errno;
    m_names.clear();
    m_ends.clear();
    return error;
}

QByteArrayView FolderListing::name(std::size_t index) const
{
    const std::size_t begin = index == 0 ? 0 : m_ends[index - 1] + 1;
    return QByteArrayView(m_names.constData() + begin, qsizetype(m_ends[index] - begin));
}

int FolderListing::status(std::size_t index, struct statx *status) const
{
    if (m_fd < 0)
        return EBADF;
    return ::statx(m_fd, name(index).data(), statusFlags, statusMask, status) == 0 ? 0 : errno;
}

int FolderListing::statusAtPath(const QByteArray &native, struct statx *status)
{
    if (native.isEmpty())
        return ENOENT;
    return ::statx(AT_FDCWD, native.constData(), statusFlags, statusMask, status) == 0 ? 0 : errno;
}

bool FolderListing::isFolder(const struct statx &status)
{
    return S_ISDIR(status.stx_mode);
}

FolderListing::Identity FolderListing::identityOf(const struct statx &status)
{
    return {makedev(status.stx_dev_major, status.stx_dev_minor), ino_t(status.stx_ino)};
}

} // namespace platform
