#include "platform/files/StatusWalk.h"

#include "platform/files/RecentStatus.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <set>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr unsigned statusMask = STATX_BASIC_STATS | STATX_BTIME;
constexpr int statusFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;

using Identity = std::pair<dev_t, ino_t>;

StatusWalk::Kind kindOf(const struct statx &status)
{
    switch (status.stx_mode & S_IFMT) {
    case S_IFDIR:
        return StatusWalk::Kind::Directory;
    case S_IFREG:
        return StatusWalk::Kind::File;
    case S_IFLNK:
        return StatusWalk::Kind::SymbolicLink;
    default:
        return StatusWalk::Kind::Other;
    }
}

Identity identityOf(const struct statx &status)
{
    return {makedev(status.stx_dev_major, status.stx_dev_minor), ino_t(status.stx_ino)};
}

class Walker
{
public:
    Walker(StatusWalk::Options options, dev_t device, const StatusWalk::Visitor &visit)
        : m_options(options)
        , m_device(device)
        , m_visit(visit)
    {
    }

    int error() const { return m_error; }

    // Gives the entry; false when the walk is to end.
    bool give(const QByteArray &native, int level, const struct statx *status, int error = 0)
    {
        StatusWalk::Entry entry = entryOf(native, level, status, error);
        if (status)
            RecentStatus::remember(native, *status);
        else
            RecentStatus::forget();
        return visit(entry);
    }

    // Gives a folder again, once walked or found unreadable.
    bool giveAgain(const QByteArray &native, int level, const struct statx &status, StatusWalk::Kind kind,
                   int error = 0)
    {
        StatusWalk::Entry entry = entryOf(native, level, &status, error);
        entry.kind = kind;
        RecentStatus::forget();
        return visit(entry);
    }

    // Lists a folder that was given, walks its entries and gives it again as the options ask;
    // false when the walk is to end (with error() set when a listing failed).
    bool enter(const QByteArray &native, int level, const struct statx &status)
    {
        const int listed = list(native, level, status);
        if (listed == unreadable)
            return !m_options.reportUnreadable
                   || giveAgain(native, level, status, StatusWalk::Kind::UnreadableDirectory, m_unreadable);
        if (listed == stop)
            return false;
        return !m_options.postOrder || giveAgain(native, level, status, StatusWalk::Kind::DirectoryPostOrder);
    }

private:
    static constexpr int walked = 0;
    static constexpr int stop = 1;
    static constexpr int unreadable = 2;

    static StatusWalk::Entry entryOf(const QByteArray &native, int level, const struct statx *status, int error)
    {
        StatusWalk::Entry entry;
        entry.path = QFile::decodeName(native);
        entry.level = level;
        entry.error = error;
        if (status) {
            entry.kind = kindOf(*status);
            entry.size = qint64(status->stx_size);
            entry.allocatedBlocks = qint64(status->stx_blocks);
            entry.blockSize = qint64(status->stx_blksize);
            entry.linkCount = qint64(status->stx_nlink);
        }
        return entry;
    }

    bool visit(const StatusWalk::Entry &entry)
    {
        const bool more = m_visit(entry);
        RecentStatus::forget();
        return more;
    }

    // Walks a folder's entries: walked, stop, or unreadable (given already, not entered).
    int list(const QByteArray &native, int level, const struct statx &status)
    {
        const Identity identity = identityOf(status);
        if ((m_options.sameVolume && identity.first != m_device) || m_ancestors.count(identity))
            return walked;
        const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            m_unreadable = errno;
            return unreadable;
        }
        DIR *folder = ::fdopendir(fd);
        if (!folder) {
            m_unreadable = errno;
            ::close(fd);
            return unreadable;
        }
        std::vector<QByteArray> names;
        for (;;) {
            errno = 0;
            const dirent *item = ::readdir(folder);
            if (!item)
                break;
            const QByteArray name(item->d_name);
            if (name != "." && name != "..")
                names.push_back(name);
        }
        if (errno != 0) {
            m_error = errno;
            ::closedir(folder);
            return stop;
        }
        m_ancestors.insert(identity);
        bool more = true;
        for (const QByteArray &name : names) {
            const QByteArray path = native.endsWith('/') ? QByteArray(native + name) : QByteArray(native + '/' + name);
            struct statx child = {};
            const bool known = ::statx(::dirfd(folder), name.constData(), statusFlags, statusMask, &child) == 0;
            if (!give(path, level + 1, known ? &child : nullptr, known ? 0 : errno)) {
                more = false;
                break;
            }
            if (known && kindOf(child) == StatusWalk::Kind::Directory && !enter(path, level + 1, child)) {
                more = false;
                break;
            }
        }
        m_ancestors.erase(identity);
        ::closedir(folder);
        return more ? walked : stop;
    }

    StatusWalk::Options m_options;
    dev_t m_device;
    const StatusWalk::Visitor &m_visit;
    std::set<Identity> m_ancestors; // the folders being walked, so that none is entered twice
    int m_error = 0;
    int m_unreadable = 0; // why the last folder that could not be listed was not
};

} // namespace

int StatusWalk::walk(const QString &root, Options options, const Visitor &visit)
{
    const QByteArray native = QFile::encodeName(root);
    struct statx status = {};
    if (native.isEmpty() || ::statx(AT_FDCWD, native.constData(), statusFlags, statusMask, &status) != 0)
        return native.isEmpty() ? ENOENT : errno;
    Walker walker(options, identityOf(status).first, visit);
    if (walker.give(native, 0, &status) && kindOf(status) == Kind::Directory)
        walker.enter(native, 0, status);
    return walker.error();
}

} // namespace platform
