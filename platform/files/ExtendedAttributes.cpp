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

std::optional<QStringList> names(const QString &path, int *errorNumber)
{
    const QByteArray native = QFile::encodeName(path);
    QByteArray list;
    for (int attempt = 0;; ++attempt) {
        const ssize_t size = ::llistxattr(native.constData(), nullptr, 0);
        if (size <= 0) {
            if (size == 0)
                break;
            setError(errorNumber, errno);
            return std::nullopt;
        }
        list.resize(qsizetype(size));
        const ssize_t read = ::llistxattr(native.constData(), list.data(), size_t(list.size()));
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

qint64 valueSize(const QString &path, const QString &name, int *errorNumber)
{
    const ssize_t size = ::lgetxattr(QFile::encodeName(path).constData(), nativeName(name).constData(), nullptr, 0);
    if (size < 0)
        setError(errorNumber, errno);
    return qint64(size);
}

std::optional<QByteArray> value(const QString &path, const QString &name, int *errorNumber)
{
    const QByteArray native = QFile::encodeName(path);
    const QByteArray attribute = nativeName(name);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = ::lgetxattr(native.constData(), attribute.constData(), nullptr, 0);
        if (size < 0)
            break;
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        const ssize_t read = ::lgetxattr(native.constData(), attribute.constData(), bytes.data(), size_t(bytes.size()));
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
