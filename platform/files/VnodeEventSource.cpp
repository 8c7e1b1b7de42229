#include "platform/files/VnodeEventSource.h"

#include "platform/core/Log.h"
#include "platform/dispatch/Dispatch.h"

#include <QByteArray>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

// Linux has no vnode event source. inotify stands in for it, with two gaps closed here:
// - inotify watches are bound to an inode, but it reports no current path; the O_PATH descriptor
//   we keep answers that through /proc/self/fd.
// - While that descriptor is open the kernel keeps the inode and so delays IN_DELETE_SELF until it
//   is closed. A deleted file shows as IN_ATTRIB with a link count of 0; a deleted folder shows
//   only in its parent, so folders also watch their current parent and check their link count.

namespace platform {

namespace {

// One mask for every watch: inotify merges watches of the same inode into one, so they must agree.
constexpr uint32_t watchMask = IN_ATTRIB | IN_MODIFY | IN_MOVE_SELF | IN_DELETE_SELF | IN_CREATE | IN_DELETE
                               | IN_MOVED_FROM | IN_MOVED_TO;

// What the kernel said, before it is turned into vnode bits with the item's state.
enum Raw : unsigned {
    RawModify = 0x1,
    RawAttributes = 0x2,
    RawMove = 0x4,
    RawDeleteSelf = 0x8,
    RawEntries = 0x10,
    RawParent = 0x20,
    RawUnmount = 0x40,
    RawCheck = 0x80,
};

enum class Role { Self, Parent };

QByteArray procPath(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

struct Subscriber
{
    std::weak_ptr<VnodeEventSource> source;
    const VnodeEventSource *key;
    Role role;
};

} // namespace

struct VnodeEventSource::Private
{
    unsigned long mask = 0;
    Handler handler;

    mutable std::mutex mutex;
    int fd = -1;
    int selfWatch = -1;
    int parentWatch = -1;
    bool isDirectory = false;
    unsigned pending = 0;
    bool scheduled = false;
    bool resumed = false;
    bool cancelled = false;
    bool deleteReported = false;
    nlink_t lastLinks = 0;
    off_t lastSize = 0;

    void closeLocked()
    {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }

    static void post(const std::shared_ptr<VnodeEventSource> &self, unsigned raw);
    static void drain(const std::shared_ptr<VnodeEventSource> &self);
    static void watchParent(const std::shared_ptr<VnodeEventSource> &self);
    unsigned long translate(unsigned raw);
};

namespace {

// The one inotify instance of the process and its reader thread. Never destroyed, so a source
// released during exit still finds it.
class Notifier final
{
public:
    static Notifier &instance()
    {
        static Notifier *const notifier = new Notifier;
        return *notifier;
    }

    bool isValid() const { return m_fd >= 0; }

    int watch(int fd, const std::shared_ptr<VnodeEventSource> &source, Role role)
    {
        if (m_fd < 0 || fd < 0)
            return -1;
        std::lock_guard lock(m_mutex);
        const int wd = inotify_add_watch(m_fd, procPath(fd).constData(), watchMask);
        if (wd < 0) {
            log(QStringLiteral("Warning! cannot watch %1: %2")
                    .arg(QString::number(fd), QString::fromLocal8Bit(std::strerror(errno))));
            return -1;
        }
        m_gone.remove(wd);
        m_subscribers.push_back({wd, Subscriber{source, source.get(), role}});
        return wd;
    }

    void unwatch(int wd, const VnodeEventSource *key, Role role)
    {
        if (wd < 0)
            return;
        std::lock_guard lock(m_mutex);
        auto it = std::find_if(m_subscribers.begin(), m_subscribers.end(), [&](const auto &entry) {
            return entry.first == wd && entry.second.key == key && entry.second.role == role;
        });
        if (it == m_subscribers.end())
            return;
        m_subscribers.erase(it);
        const bool stillUsed = std::any_of(m_subscribers.begin(), m_subscribers.end(),
                                           [wd](const auto &entry) { return entry.first == wd; });
        if (stillUsed)
            return;
        if (!m_gone.remove(wd))
            inotify_rm_watch(m_fd, wd);
    }

private:
    Notifier() : m_fd(inotify_init1(IN_CLOEXEC))
    {
        if (m_fd < 0) {
            log(QStringLiteral("Warning! inotify is not available: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return;
        }
        std::thread(&Notifier::run, this).detach();
    }

    void run()
    {
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
            if (length < 0) {
                if (errno == EINTR)
                    continue;
                log(QStringLiteral("Warning! reading inotify failed: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
                return;
            }
            for (ssize_t offset = 0; offset < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                dispatch(*event);
                offset += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

    void dispatch(const inotify_event &event)
    {
        std::vector<std::pair<std::shared_ptr<VnodeEventSource>, unsigned>> targets;
        {
            std::lock_guard lock(m_mutex);
            for (const auto &[wd, subscriber] : m_subscribers) {
                // A lost queue means lost events: every source checks its item again.
                if (!(event.mask & IN_Q_OVERFLOW) && wd != event.wd)
                    continue;
                const unsigned raw = subscriber.role == Role::Parent ? unsigned(RawParent) : translate(event.mask);
                if (!raw)
                    continue;
                // Kept in targets and so released only after our lock: a source's destructor
                // unwatches, which takes it.
                if (auto source = subscriber.source.lock())
                    targets.emplace_back(std::move(source), raw);
            }
            if (event.mask & IN_IGNORED)
                m_gone.insert(event.wd);
        }
        // Posting takes each source's own lock, which must never be taken under ours.
        for (const auto &[source, raw] : targets)
            VnodeEventSource::Private::post(source, raw);
    }

    static unsigned translate(uint32_t mask)
    {
        unsigned raw = 0;
        if (mask & IN_MODIFY)
            raw |= RawModify;
        if (mask & IN_ATTRIB)
            raw |= RawAttributes;
        if (mask & IN_MOVE_SELF)
            raw |= RawMove;
        if (mask & IN_DELETE_SELF)
            raw |= RawDeleteSelf;
        if (mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
            raw |= RawEntries;
        if (mask & IN_UNMOUNT)
            raw |= RawUnmount;
        if (mask & (IN_IGNORED | IN_Q_OVERFLOW))
            raw |= RawCheck;
        return raw;
    }

    int m_fd = -1;
    std::mutex m_mutex;
    std::vector<std::pair<int, Subscriber>> m_subscribers;
    QSet<int> m_gone; // watches the kernel has removed itself
};

} // namespace

void VnodeEventSource::Private::post(const std::shared_ptr<VnodeEventSource> &self, unsigned raw)
{
    Private &d = *self->d;
    {
        std::lock_guard lock(d.mutex);
        d.pending |= raw;
        if (!d.resumed || d.cancelled || d.scheduled)
            return;
        d.scheduled = true;
    }
    dispatchAsync(QueuePriority::Default, [self] { drain(self); });
}

void VnodeEventSource::Private::drain(const std::shared_ptr<VnodeEventSource> &self)
{
    Private &d = *self->d;
    for (;;) {
        unsigned raw = 0;
        {
            std::lock_guard lock(d.mutex);
            if (d.cancelled || d.pending == 0) {
                d.scheduled = false;
                if (d.cancelled)
                    d.closeLocked();
                return;
            }
            raw = d.pending;
            d.pending = 0;
        }
        // The descriptor stays open while a drain is scheduled, so no lock is needed to use it.
        const unsigned long events = d.translate(raw) & d.mask;
        if ((raw & RawMove) && d.isDirectory) {
            watchParent(self);
            // A deletion in the new parent before its watch existed would otherwise go unseen.
            post(self, RawCheck);
        }
        if (events == 0)
            continue;
        {
            std::lock_guard lock(d.mutex);
            if (d.cancelled)
                continue;
        }
        d.handler(events);
    }
}

unsigned long VnodeEventSource::Private::translate(unsigned raw)
{
    unsigned long events = 0;
    if (raw & RawMove)
        events |= Rename;
    if (raw & (RawModify | RawEntries))
        events |= Write;
    if (raw & RawUnmount)
        events |= Revoke;

    struct stat status
    {
    };
    if (::fstat(fd, &status) == 0) {
        if ((raw & RawModify) && status.st_size > lastSize)
            events |= Extend;
        if (status.st_nlink == 0)
            events |= Delete;
        else if (status.st_nlink != lastLinks)
            events |= LinkCount;
        else if (raw & RawAttributes)
            events |= Attributes;
        lastLinks = status.st_nlink;
        lastSize = status.st_size;
    }
    if (raw & RawDeleteSelf)
        events |= Delete;

    // A deletion is final for this item; report it once.
    if (events & Delete) {
        if (deleteReported)
            events &= ~static_cast<unsigned long>(Delete);
        deleteReported = true;
    }
    return events;
}

void VnodeEventSource::Private::watchParent(const std::shared_ptr<VnodeEventSource> &self)
{
    Private &d = *self->d;
    const QString path = self->currentPath();
    int wd = -1;
    if (!path.isEmpty() && path != u"/") {
        const QByteArray parent = QFile::encodeName(path.left(qMax(1, int(path.lastIndexOf(u'/')))));
        const int parentFd = ::open(parent.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (parentFd >= 0) {
            wd = Notifier::instance().watch(parentFd, self, Role::Parent);
            ::close(parentFd);
        }
    }
    // A folder renamed within the same parent gets the same watch back; the extra reference is
    // dropped with the old one.
    int superseded = -1;
    {
        std::lock_guard lock(d.mutex);
        if (d.cancelled) {
            superseded = wd;
        } else {
            superseded = d.parentWatch;
            d.parentWatch = wd;
        }
    }
    Notifier::instance().unwatch(superseded, self.get(), Role::Parent);
}

VnodeEventSource::VnodeEventSource(std::unique_ptr<Private> dd) : d(std::move(dd))
{
}

VnodeEventSource::~VnodeEventSource()
{
    cancel();
    std::lock_guard lock(d->mutex);
    d->closeLocked();
}

std::shared_ptr<VnodeEventSource> VnodeEventSource::create(const QString &path, unsigned long mask, Handler handler)
{
    if (path.isEmpty() || !Notifier::instance().isValid())
        return {};
    const int fd = ::open(QFile::encodeName(path).constData(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat status
    {
    };
    // A name still resolves to its item for a moment after the item is unlinked: an item with no
    // links left is gone already, and a source on it would report that deletion once more.
    if (::fstat(fd, &status) != 0 || status.st_nlink == 0) {
        ::close(fd);
        return {};
    }

    auto d = std::make_unique<Private>();
    d->mask = mask;
    d->handler = std::move(handler);
    d->fd = fd;
    d->isDirectory = S_ISDIR(status.st_mode);
    d->lastLinks = status.st_nlink;
    d->lastSize = status.st_size;
    std::shared_ptr<VnodeEventSource> source(new VnodeEventSource(std::move(d)));

    const int wd = Notifier::instance().watch(fd, source, Role::Self);
    if (wd < 0)
        return {};
    source->d->selfWatch = wd;
    if (source->d->isDirectory)
        Private::watchParent(source);
    return source;
}

void VnodeEventSource::resume()
{
    bool schedule = false;
    {
        std::lock_guard lock(d->mutex);
        if (d->resumed || d->cancelled)
            return;
        d->resumed = true;
        if (d->pending && !d->scheduled)
            schedule = d->scheduled = true;
    }
    if (schedule)
        dispatchAsync(QueuePriority::Default, [self = shared_from_this()] { Private::drain(self); });
}

void VnodeEventSource::cancel()
{
    int selfWatch = -1;
    int parentWatch = -1;
    {
        std::lock_guard lock(d->mutex);
        if (d->cancelled)
            return;
        d->cancelled = true;
        std::swap(selfWatch, d->selfWatch);
        std::swap(parentWatch, d->parentWatch);
    }
    Notifier::instance().unwatch(selfWatch, this, Role::Self);
    Notifier::instance().unwatch(parentWatch, this, Role::Parent);
    std::lock_guard lock(d->mutex);
    if (!d->scheduled)
        d->closeLocked();
}

bool VnodeEventSource::isCancelled() const
{
    std::lock_guard lock(d->mutex);
    return d->cancelled;
}

QString VnodeEventSource::currentPath() const
{
    // Held throughout, so the descriptor cannot be closed and its number reused meanwhile.
    std::lock_guard lock(d->mutex);
    if (d->fd < 0)
        return {};
    char target[PATH_MAX];
    const ssize_t length = ::readlink(procPath(d->fd).constData(), target, sizeof target);
    if (length <= 0 || size_t(length) >= sizeof target)
        return {};
    QByteArray path(target, length);
    // The kernel marks an unlinked item's path; what is left is the last path it had.
    struct stat status
    {
    };
    static const QByteArray deletedMark = " (deleted)";
    if (::fstat(d->fd, &status) == 0 && status.st_nlink == 0 && path.endsWith(deletedMark))
        path.chop(deletedMark.size());
    return QFile::decodeName(path);
}

} // namespace platform
