#pragma once

#include "tests/support/UnprivilegedScope.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <optional>

// A tree of read-only files (0444) and folders (0555) that carry "user." extended attributes,
// beside a writable file. The system refuses such an attribute on an item its owner may not
// write, so a restore that sets the permissions first loses them for everyone but the superuser.
namespace ReadOnlyTree {

struct Item
{
    const char *path; // relative; folders end with '/'
    mode_t mode;
    qint64 modified; // seconds
    const char *attribute;
    const char *value;
};

inline const Item items[] = {
    {"fixed.txt", 0444, 1600000000, "user.colour", "blue"},
    {"open.txt", 0644, 1610000000, "user.colour", "green"},
    {"Sealed/deep.bin", 0444, 1500000000, "user.note", "deep inside"},
    {"Sealed/empty", 0444, 1510000000, nullptr, nullptr},
    {"Sealed/", 0555, 1400000000, "user.kind", "sealed"},
    {"", 0555, 1300000000, "user.kind", "locked"}, // the root folder itself, last
};

inline QByteArray contentOf(const QString &relative)
{
    if (relative.endsWith(u"empty"))
        return {};
    QByteArray bytes;
    for (int i = 0; bytes.size() < 70000; ++i)
        bytes += relative.toUtf8() + ' ' + QByteArray::number(i * 7919 % 1000) + '\n';
    return bytes;
}

inline bool setModified(const QString &path, qint64 seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// Builds the tree at root (a new folder). False when the file system keeps no user attributes.
inline bool make(const QString &root)
{
    if (!QDir().mkpath(root + u"/Sealed"))
        return false;
    for (const Item &item : items) {
        const QString path = root + u'/' + QString::fromLatin1(item.path);
        if (!QByteArray(item.path).endsWith('/') && *item.path) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(contentOf(QString::fromLatin1(item.path))) < 0)
                return false;
        }
    }
    // Attributes and permissions in the order a careful restore uses; dates last, folders after
    // their content.
    for (const Item &item : items) {
        const QByteArray native = QFile::encodeName(root + u'/' + QString::fromLatin1(item.path));
        if (item.attribute && ::lsetxattr(native.constData(), item.attribute, item.value, strlen(item.value), 0) != 0)
            return false;
        if (::chmod(native.constData(), item.mode) != 0
            || !setModified(root + u'/' + QString::fromLatin1(item.path), item.modified))
            return false;
    }
    return true;
}

// Lets the tree's owner remove it again.
inline void makeWritable(const QString &root)
{
    ::chmod(QFile::encodeName(root).constData(), 0755);
    QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        ::chmod(QFile::encodeName(it.next()).constData(), 0755);
}

inline QMap<QByteArray, QByteArray> userAttributesOf(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    QMap<QByteArray, QByteArray> attributes;
    char names[4096];
    const ssize_t length = ::llistxattr(native.constData(), names, sizeof names);
    for (const QByteArray &name : QByteArray(names, length > 0 ? int(length) : 0).split('\0')) {
        if (!name.startsWith("user."))
            continue;
        char value[4096];
        const ssize_t size = ::lgetxattr(native.constData(), name.constData(), value, sizeof value);
        attributes.insert(name, size < 0 ? QByteArray("<unreadable>") : QByteArray(value, int(size)));
    }
    return attributes;
}

// What tells one item from another here: type, permissions, date, attributes and bytes.
inline QString describe(const QString &path)
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return QStringLiteral("missing");
    QStringList parts{QString::number(status.st_mode, 8),
                      QString::number(qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000)};
    const QMap<QByteArray, QByteArray> attributes = userAttributesOf(path);
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
        parts << QString::fromUtf8(it.key() + '=' + it.value());
    if (S_ISREG(status.st_mode)) {
        QFile file(path);
        parts << (file.open(QIODevice::ReadOnly) ? QString::number(qHash(file.readAll()))
                                                 : QStringLiteral("unreadable"));
    }
    return parts.join(u' ');
}

// Every item of the tree at `original` whose copy at `copy` differs, or is missing, with both
// descriptions; empty when the trees are alike.
inline QStringList differences(const QString &original, const QString &copy)
{
    QStringList relatives{QString()};
    QDirIterator it(original, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        relatives << it.next().mid(original.size());
    QStringList found;
    for (const QString &relative : std::as_const(relatives)) {
        const QString a = describe(original + relative);
        const QString b = describe(copy + relative);
        if (a != b)
            found << QStringLiteral("%1: %2 / %3").arg(relative.isEmpty() ? QStringLiteral(".") : relative, a, b);
    }
    return found;
}

// A temporary folder with the tree at source(), handed to an ordinary user while it lives (see
// UnprivilegedScope). A test skips with skipReason() when that is not possible here.
class Workspace final
{
public:
    Workspace()
    {
        if (!m_dir.isValid())
            m_skipReason = "no temporary folder";
        else if (!make(source()))
            m_skipReason = "the temporary folder's file system keeps no user extended attributes";
        else if (m_scope.emplace(QStringList{m_dir.path()}); !m_scope->isEffective())
            m_skipReason = "the superuser could not step down to an ordinary user";
    }
    ~Workspace()
    {
        m_scope.reset();
        makeWritable(m_dir.path());
    }
    Workspace(const Workspace &) = delete;
    Workspace &operator=(const Workspace &) = delete;

    const char *skipReason() const { return m_skipReason; }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    QString source() const { return path(QStringLiteral("src/Locked")); }

private:
    QTemporaryDir m_dir;
    std::optional<UnprivilegedScope> m_scope;
    const char *m_skipReason = nullptr;
};

} // namespace ReadOnlyTree
