#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace platform {

// Kernel events about one file or folder, followed by identity rather than by name: the item
// is held open (without read or write access) for as long as the source lives, so a renamed or
// moved item keeps its source and its current path can always be asked for.
//
// Events are the vnode bits below. A source starts suspended; after resume() its handler runs
// on the default-priority work queue, one call at a time, with the bits that occurred since the
// previous call. cancel() is final: no handler call starts after it, and the item is released
// once a call in progress has returned. It is safe to cancel a source from its own handler.
class VnodeEventSource final : public std::enable_shared_from_this<VnodeEventSource>
{
public:
    enum Event : unsigned long {
        Delete = 0x1,
        Write = 0x2,
        Extend = 0x4,
        Attributes = 0x8,
        LinkCount = 0x10,
        Rename = 0x20,
        Revoke = 0x40,
    };
    static constexpr unsigned long allEvents = 0x7F;

    using Handler = std::function<void(unsigned long events)>;

    // Null when the item cannot be opened (missing, no permission on the path) or is deleted already.
    static std::shared_ptr<VnodeEventSource> create(const QString &path, unsigned long mask, Handler handler);

    ~VnodeEventSource();
    VnodeEventSource(const VnodeEventSource &) = delete;
    VnodeEventSource &operator=(const VnodeEventSource &) = delete;

    void resume();
    void cancel();
    bool isCancelled() const;

    // The item's current path. For an item that has just been deleted, the last path it had;
    // null when it cannot be read (the source is cancelled, for example).
    QString currentPath() const;

    struct Private;

private:
    explicit VnodeEventSource(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace platform
