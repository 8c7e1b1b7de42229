#include "platform/files/FileAttributes.h"
#include "platform/core/Log.h"
#include "platform/files/RecentStatus.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHash>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <mutex>
#include <utility>
#include <vector>

namespace platform {
namespace {

FileType fileTypeOfMode(mode_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG:
        return FileType::Regular;
    case S_IFDIR:
        return FileType::Directory;
    case S_IFLNK:
        return FileType::SymbolicLink;
    case S_IFCHR:
        return FileType::CharacterSpecial;
    case S_IFBLK:
        return FileType::BlockSpecial;
    case S_IFSOCK:
        return FileType::Socket;
    case S_IFIFO:
        return FileType::Fifo;
    default:
        return FileType::Unknown;
    }
}

// Rounded to the nearest millisecond, the unit that containers store dates in.
QDateTime dateOf(qint64 seconds, quint32 nanoseconds)
{
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000 + (qint64(nanoseconds) + 500000) / 1000000, Qt::UTC);
}

// The *_r look-ups report their buffer need only through ERANGE; start with sysconf's hint.
template <typename Entry, typename Lookup>
std::optional<QString> nameOf(Lookup lookup, int sizeHintName, char *Entry::*field)
{
    long hint = ::sysconf(sizeHintName);
    std::vector<char> buffer(size_t(hint > 0 ? hint : 1024));
    for (;;) {
        Entry entry{};
        Entry *result = nullptr;
        const int rc = lookup(&entry, buffer.data(), buffer.size(), &result);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || !result)
            return std::nullopt;
        return QString::fromUtf8(entry.*field);
    }
}

// The look-ups read the account files on every call (no name service cache runs on most
// desktops), which would dominate the capture of a large tree; names are kept for a while.
// Each thread also keeps the name it met last, so that the workers capturing a tree of one
// owner's files do not queue on the shared lock for every item.
class NameCache final
{
public:
    struct Recent
    {
        std::optional<quint32> id;
        std::optional<QString> name;
        QDeadlineTimer until;
    };

    template <typename Lookup>
    std::optional<QString> name(quint32 id, Recent &recent, Lookup lookup)
    {
        if (recent.id == id && !recent.until.hasExpired())
            return recent.name;
        std::lock_guard lock(m_mutex);
        auto found = m_names.constFind(id);
        if (found == m_names.constEnd() || found->second.hasExpired())
            found = m_names.insert(id, {lookup(), QDeadlineTimer(std::chrono::seconds(30))});
        recent = {id, found->first, found->second};
        return found->first;
    }

private:
    std::mutex m_mutex;
    QHash<quint32, std::pair<std::optional<QString>, QDeadlineTimer>> m_names;
};

std::optional<QString> userName(uid_t uid)
{
    static NameCache cache;
    thread_local NameCache::Recent recent;
    return cache.name(uid, recent, [uid] {
        return nameOf<passwd>([uid](passwd *entry, char *buffer, size_t size,
                                    passwd **result) { return ::getpwuid_r(uid, entry, buffer, size, result); },
                              _SC_GETPW_R_SIZE_MAX, &passwd::pw_name);
    });
}

std::optional<QString> groupName(gid_t gid)
{
    static NameCache cache;
    thread_local NameCache::Recent recent;
    return cache.name(gid, recent, [gid] {
        return nameOf<group>([gid](group *entry, char *buffer, size_t size,
                                   group **result) { return ::getgrgid_r(gid, entry, buffer, size, result); },
                             _SC_GETGR_R_SIZE_MAX, &group::gr_name);
    });
}

} // namespace

std::optional<FileAttributes> attributesOfItemAtPath(const QString &path, VLError *error)
{
    const QByteArray native = QFile::encodeName(path);
    FileAttributes attributes;
    struct statx sx = {};
    if (RecentStatus::take(native, &sx)
        || ::statx(AT_FDCWD, native.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_BTIME,
                   &sx)
               == 0) {
        attributes.type = fileTypeOfMode(sx.stx_mode);
        attributes.size = sx.stx_size;
        attributes.posixPermissions = quint16(sx.stx_mode & 07777);
        attributes.ownerAccountID = sx.stx_uid;
        attributes.groupAccountID = sx.stx_gid;
        attributes.ownerAccountName = userName(sx.stx_uid);
        attributes.groupOwnerAccountName = groupName(sx.stx_gid);
        if (sx.stx_mask & STATX_BTIME)
            attributes.creationDate = dateOf(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
        attributes.modificationDate = dateOf(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
        attributes.referenceCount = sx.stx_nlink;
        attributes.systemNumber = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        attributes.systemFileNumber = sx.stx_ino;
        return attributes;
    }
    if (errno != ENOSYS && errno != EPERM) {
        if (error)
            *error = VLError::posix(errno);
        return std::nullopt;
    }
    // statx can be missing (old kernels) or filtered (some container sandboxes): plain lstat then.
    struct stat st = {};
    if (::lstat(native.constData(), &st) != 0) {
        if (error)
            *error = VLError::posix(errno);
        return std::nullopt;
    }
    attributes.type = fileTypeOfMode(st.st_mode);
    attributes.size = quint64(st.st_size);
    attributes.posixPermissions = quint16(st.st_mode & 07777);
    attributes.ownerAccountID = st.st_uid;
    attributes.groupAccountID = st.st_gid;
    attributes.ownerAccountName = userName(st.st_uid);
    attributes.groupOwnerAccountName = groupName(st.st_gid);
    attributes.modificationDate = dateOf(st.st_mtim.tv_sec, quint32(st.st_mtim.tv_nsec));
    attributes.referenceCount = st.st_nlink;
    attributes.systemNumber = st.st_dev;
    attributes.systemFileNumber = st.st_ino;
    return attributes;
}

VLError setAttributesOfItemAtPath(const FileAttributes &attributes, const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    // Each attribute is tried whatever became of the others: an ordinary user may not give an
    // item away, and that must not cost it its permissions and dates.
    VLError first;
    auto failed = [&](const char *what) {
        const VLError error = VLError::posix(errno);
        log(QStringLiteral("[File Metadata]: can't set the %1 of %2: %3")
                .arg(QLatin1String(what), path, error.description()));
        if (!first)
            first = error;
    };

    // Owner first: a change of owner clears the set-id bits, which the permissions then restore.
    if (attributes.ownerAccountID || attributes.groupAccountID) {
        const uid_t uid = attributes.ownerAccountID ? uid_t(*attributes.ownerAccountID) : uid_t(-1);
        const gid_t gid = attributes.groupAccountID ? gid_t(*attributes.groupAccountID) : gid_t(-1);
        if (::lchown(native.constData(), uid, gid) != 0)
            failed("owner");
    }

    if (attributes.posixPermissions) {
        struct stat st = {};
        if (::lstat(native.constData(), &st) != 0) {
            failed("permissions");
        } else if (!S_ISLNK(st.st_mode)
                   && ::chmod(native.constData(), mode_t(*attributes.posixPermissions & 07777)) != 0) {
            // A link has no permissions of its own here; chmod would change its target.
            failed("permissions");
        }
    }

    if (attributes.modificationDate && attributes.modificationDate->isValid()) {
        const qint64 msecs = attributes.modificationDate->toMSecsSinceEpoch();
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = time_t(msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000);
        times[1].tv_nsec = long(msecs - qint64(times[1].tv_sec) * 1000) * 1000000L;
        if (::utimensat(AT_FDCWD, native.constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
            failed("modification date");
    }
    return first;
}

} // namespace platform
