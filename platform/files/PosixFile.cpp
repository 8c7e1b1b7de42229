#include "platform/files/PosixFile.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace platform {
namespace {

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

} // namespace

PosixFile::~PosixFile()
{
    close();
}

PosixFile::PosixFile(PosixFile &&other) noexcept : m_fd(other.m_fd), m_error(other.m_error)
{
    other.m_fd = -1;
}

PosixFile &PosixFile::operator=(PosixFile &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_error = other.m_error;
        other.m_fd = -1;
    }
    return *this;
}

PosixFile PosixFile::openForReading(const QString &path)
{
    PosixFile file(::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC));
    file.m_error = file.isOpen() ? 0 : errno;
    return file;
}

PosixFile PosixFile::createForWriting(const QString &path, unsigned permissions)
{
    PosixFile file(::open(nativePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode_t(permissions)));
    file.m_error = file.isOpen() ? 0 : errno;
    return file;
}

PosixFile PosixFile::createAnonymousIn(const QString &folder)
{
    const QByteArray native = nativePath(folder);
    PosixFile file(::open(native.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!file.isOpen() && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: a named one, unlinked at once.
        QByteArray name = native + "/.vaultine-XXXXXX";
        file = PosixFile(::mkostemp(name.data(), O_CLOEXEC));
        if (file.isOpen())
            ::unlink(name.constData());
    }
    file.m_error = file.isOpen() ? 0 : errno;
    return file;
}

bool PosixFile::close()
{
    if (m_fd < 0)
        return true;
    const int result = ::close(m_fd);
    m_fd = -1;
    if (result != 0) {
        m_error = errno;
        return false;
    }
    return true;
}

std::int64_t PosixFile::read(void *buffer, std::size_t size)
{
    auto *bytes = static_cast<char *>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(m_fd, bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            return -1;
        }
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return std::int64_t(done);
}

bool PosixFile::readFully(void *buffer, std::size_t size)
{
    const std::int64_t n = read(buffer, size);
    if (n < 0)
        return false;
    if (std::size_t(n) != size) {
        m_error = 0;
        return false;
    }
    return true;
}

std::int64_t PosixFile::readAt(std::uint64_t offset, void *buffer, std::size_t size, int *error) const
{
    auto *bytes = static_cast<char *>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, bytes + done, size - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return -1;
        }
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return std::int64_t(done);
}

bool PosixFile::readFullyAt(std::uint64_t offset, void *buffer, std::size_t size, int *error) const
{
    const std::int64_t n = readAt(offset, buffer, size, error);
    if (n < 0)
        return false;
    if (std::size_t(n) != size) {
        *error = 0;
        return false;
    }
    return true;
}

bool PosixFile::writeAll(const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            return false;
        }
        bytes += n;
        size -= std::size_t(n);
    }
    return true;
}

bool PosixFile::appendFrom(const PosixFile &source, std::uint64_t size, int *sourceError)
{
    *sourceError = 0;
    loff_t from = 0;
    while (size > 0) {
        const ssize_t n = ::copy_file_range(source.m_fd, &from, m_fd, nullptr,
                                            std::size_t(std::min<std::uint64_t>(size, 1u << 30)), 0);
        if (n > 0) {
            size -= std::uint64_t(n);
            continue;
        }
        if (n == 0)
            return false; // the source is shorter
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
            break; // the rest by reading and writing
        // The source is a file this process has just written: a failure is the destination's.
        m_error = errno;
        return false;
    }
    std::vector<char> piece(size > 0 ? std::size_t(std::min<std::uint64_t>(size, 1024 * 1024)) : 0);
    while (size > 0) {
        const std::int64_t got = source.readAt(std::uint64_t(from), piece.data(),
                                               std::size_t(std::min<std::uint64_t>(size, piece.size())), sourceError);
        if (got <= 0)
            return false;
        if (!writeAll(piece.data(), std::size_t(got)))
            return false;
        from += got;
        size -= std::uint64_t(got);
    }
    return true;
}

bool PosixFile::seek(std::uint64_t offset)
{
    if (offset > std::uint64_t(LLONG_MAX)) {
        m_error = EINVAL;
        return false;
    }
    if (::lseek(m_fd, off_t(offset), SEEK_SET) < 0) {
        m_error = errno;
        return false;
    }
    return true;
}

std::optional<std::uint64_t> PosixFile::position()
{
    const off_t at = ::lseek(m_fd, 0, SEEK_CUR);
    if (at < 0) {
        m_error = errno;
        return std::nullopt;
    }
    return std::uint64_t(at);
}

std::optional<std::uint64_t> PosixFile::size()
{
    struct stat info = {};
    if (::fstat(m_fd, &info) != 0) {
        m_error = errno;
        return std::nullopt;
    }
    return std::uint64_t(info.st_size);
}

std::optional<QString> destinationOfSymbolicLinkAtPath(const QString &path, int *error)
{
    const QByteArray native = nativePath(path);
    std::vector<char> buffer(PATH_MAX + 1);
    for (;;) {
        const ssize_t n = ::readlink(native.constData(), buffer.data(), buffer.size());
        if (n < 0) {
            if (error)
                *error = errno;
            return std::nullopt;
        }
        if (std::size_t(n) < buffer.size())
            return QFile::decodeName(QByteArray(buffer.data(), qsizetype(n)));
        buffer.resize(buffer.size() * 2);
    }
}

int removeFileAtPath(const QString &path)
{
    return ::unlink(nativePath(path).constData()) == 0 ? 0 : errno;
}

bool isExistingFolder(const QString &path)
{
    struct stat info = {};
    return ::stat(nativePath(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace platform
