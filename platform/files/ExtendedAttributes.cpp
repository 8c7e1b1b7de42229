#include "platform/files/ExtendedAttributes.h"

#include <QFile>

#include <cerrno>
#include <sys/xattr.h>

namespace platform::ExtendedAttributes {
namespace {

// The one namespace an unprivileged user owns; what macOS calls "com.apple.FinderInfo" lives
// here as "user.com.apple.FinderInfo".
constexpr char userPrefix[] = "user.";
constexpr qsizetype userPrefixLength = sizeof(userPrefix) - 1;

QByteArray nativeName(const QString &name)
{
    return QByteArray(userPrefix) + name.toUtf8();
}

void setError(int *errorNumber, int value)
{
    if (errorNumber)
        *errorNumber = value;
}

} // namespace

namespace {

// An item's attributes read by its path (not following a final link) or through an open descriptor.
struct Item
{
    QByteArray native;
    int fd = -1;

    ssize_t list(char *buffer, size_t size) const
    {
        return fd >= 0 ? ::flistxattr(fd, buffer, size) : ::llistxattr(native.constData(), buffer, size);
    }
    ssize_t get(const char *attribute, void *buffer, size_t size) const
    {
        return fd >= 0 ? ::fgetxattr(fd, attribute, buffer, size)
                       : ::lgetxattr(native.constData(), attribute, buffer, size);
    }
};

std::optional<QStringList> namesOf(const Item &item, int *errorNumber)
{
    QByteArray list;
    for (int attempt = 0;; ++attempt) {
        const ssize_t size = item.list(nullptr, 0);
        if (size <= 0) {
            if (size == 0)
                break;
            setError(errorNumber, errno);
            return std::nullopt;
        }
        list.resize(qsizetype(size));
        const ssize_t read = item.list(list.data(), size_t(list.size()));
        if (read >= 0) {
            list.resize(qsizetype(read));
            break;
        }
        // ERANGE: the list grew between the two calls, so ask again (a few times).
        if (errno != ERANGE || attempt == 8) {
            setError(errorNumber, errno);
            return std::nullopt;
        }
    }

    QStringList result;
    for (const QByteArray &entry : list.split('\0')) {
        if (entry.size() > userPrefixLength && entry.startsWith(userPrefix))
            result << QString::fromUtf8(entry.mid(userPrefixLength));
    }
    return result;
}

std::optional<QByteArray> valueOf(const Item &item, const QString &name, int *errorNumber)
{
    const QByteArray attribute = nativeName(name);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = item.get(attribute.constData(), nullptr, 0);
        if (size < 0)
            break;
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        const ssize_t read = item.get(attribute.constData(), bytes.data(), size_t(bytes.size()));
        if (read >= 0) {
            bytes.resize(qsizetype(read));
            return bytes;
        }
        if (errno != ERANGE)
            break;
    }
    setError(errorNumber, errno);
    return std::nullopt;
}

} // namespace

std::optional<QStringList> names(const QString &path, int *errorNumber)
{
    return namesOf(Item{QFile::encodeName(path)}, errorNumber);
}

std::optional<QStringList> namesOfOpenFile(int fd, int *errorNumber)
{
    return namesOf(Item{{}, fd}, errorNumber);
}

qint64 valueSize(const QString &path, const QString &name, int *errorNumber)
{
    const ssize_t size = ::lgetxattr(QFile::encodeName(path).constData(), nativeName(name).constData(), nullptr, 0);
    if (size < 0)
        setError(errorNumber, errno);
    return qint64(size);
}

std::optional<QByteArray> value(const QString &path, const QString &name, int *errorNumber)
{
    return valueOf(Item{QFile::encodeName(path)}, name, errorNumber);
}

std::optional<QByteArray> valueOfOpenFile(int fd, const QString &name, int *errorNumber)
{
    return valueOf(Item{{}, fd}, name, errorNumber);
}

bool setValue(const QString &path, const QString &name, const QByteArray &value, int *errorNumber)
{
    // A name with a NUL would be cut short by the system call and set another attribute.
    if (name.isEmpty() || name.contains(QChar(u'\0'))) {
        setError(errorNumber, EINVAL);
        return false;
    }
    if (::lsetxattr(QFile::encodeName(path).constData(), nativeName(name).constData(), value.constData(),
                    size_t(value.size()), 0)
        != 0) {
        setError(errorNumber, errno);
        return false;
    }
    return true;
}

bool removeValue(const QString &path, const QString &name, int *errorNumber)
{
    if (::lremovexattr(QFile::encodeName(path).constData(), nativeName(name).constData()) != 0) {
        setError(errorNumber, errno);
        return false;
    }
    return true;
}

} // namespace platform::ExtendedAttributes
