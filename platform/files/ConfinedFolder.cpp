#include "platform/files/ConfinedFolder.h"

#include <QFile>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {
namespace {

std::atomic<bool> kernelResolutionUnavailable = false;

bool isValidComponent(QStringView component)
{
    return !component.isEmpty() && component != u"." && component != u"..";
}

class Descriptor final
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { ::close(m_fd); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

private:
    int m_fd;
};

} // namespace

ConfinedFolder::~ConfinedFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ConfinedFolder::ConfinedFolder(ConfinedFolder &&other) noexcept : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

ConfinedFolder &ConfinedFolder::operator=(ConfinedFolder &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

int ConfinedFolder::open(const QString &path)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return m_fd >= 0 ? 0 : errno;
}

bool ConfinedFolder::isValidRelativePath(const QString &relativePath)
{
    if (relativePath.isEmpty())
        return false;
    for (QStringView component : QStringView(relativePath).split(u'/')) {
        if (!isValidComponent(component))
            return false;
    }
    return true;
}

void ConfinedFolder::setKernelResolution(bool enabled)
{
    kernelResolutionUnavailable = !enabled;
}

int ConfinedFolder::openParent(const QString &relativePath, QByteArray *name, int *error) const
{
    if (m_fd < 0) {
        *error = EBADF;
        return -1;
    }
    if (!isValidRelativePath(relativePath)) {
        *error = EINVAL;
        return -1;
    }
    const qsizetype slash = relativePath.lastIndexOf(u'/');
    *name = QFile::encodeName(relativePath.mid(slash + 1));
    if (slash < 0) {
        const int current = ::dup(m_fd);
        if (current < 0)
            *error = errno;
        return current;
    }
    const QString folder = relativePath.left(slash);
    // One call resolves the whole way where the kernel can: it refuses any symbolic link and any
    // step out of the destination, as the walk below does one component at a time.
    if (!kernelResolutionUnavailable) {
        open_how how = {};
        how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const int fd = int(::syscall(SYS_openat2, m_fd, QFile::encodeName(folder).constData(), &how, sizeof how));
        if (fd >= 0)
            return fd;
        const int openError = errno;
        if (openError != ENOSYS && openError != EPERM && openError != E2BIG) {
            // A link on the way reads as "not a folder": it is never descended through.
            *error = openError == ELOOP ? ENOTDIR : openError;
            return -1;
        }
        kernelResolutionUnavailable = true; // an older kernel, or a sandbox that filters the call
    }
    const QStringList components = folder.split(u'/');
    int current = ::dup(m_fd);
    if (current < 0) {
        *error = errno;
        return -1;
    }
    for (const QString &component : components) {
        const int next = ::openat(current, QFile::encodeName(component).constData(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int openError = errno;
        ::close(current);
        if (next < 0) {
            *error = openError == ELOOP ? ENOTDIR : openError;
            return -1;
        }
        current = next;
    }
    return current;
}

int ConfinedFolder::createFolder(const QString &relativePath, unsigned permissions)
{
    QByteArray name;
    int error = 0;
    const int parent = openParent(relativePath, &name, &error);
    if (parent < 0)
        return error;
    Descriptor guard(parent);
    return ::mkdirat(parent, name.constData(), mode_t(permissions)) == 0 ? 0 : errno;
}

int ConfinedFolder::createSymbolicLink(const QString &relativePath, const QString &destination)
{
    QByteArray name;
    int error = 0;
    const int parent = openParent(relativePath, &name, &error);
    if (parent < 0)
        return error;
    Descriptor guard(parent);
    return ::symlinkat(QFile::encodeName(destination).constData(), parent, name.constData()) == 0 ? 0 : errno;
}

PosixFile ConfinedFolder::createFile(const QString &relativePath, unsigned permissions, int *error)
{
    QByteArray name;
    const int parent = openParent(relativePath, &name, error);
    if (parent < 0)
        return PosixFile();
    Descriptor guard(parent);
    const int flags = O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parent, name.constData(), flags, mode_t(permissions));
    if (fd < 0 && errno == ELOOP) {
        // A link stands where the file goes: replace the link itself.
        if (::unlinkat(parent, name.constData(), 0) == 0)
            fd = ::openat(parent, name.constData(), flags | O_EXCL, mode_t(permissions));
    }
    if (fd < 0) {
        *error = errno;
        return PosixFile();
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        // A device or pipe already in the file's place is not written to.
        ::close(fd);
        *error = EEXIST;
        return PosixFile();
    }
    *error = 0;
    return PosixFile(fd);
}

} // namespace platform
