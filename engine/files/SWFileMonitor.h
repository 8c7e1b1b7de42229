#pragma once

#include <QHash>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {
class VnodeEventSource;
}

// The vnode event bits an observer is told of.
enum SWFileMonitorEvent : unsigned long {
    SWFileMonitorEventDelete = 0x1,
    SWFileMonitorEventWrite = 0x2,
    SWFileMonitorEventExtend = 0x4,
    SWFileMonitorEventAttributes = 0x8,
    SWFileMonitorEventLink = 0x10,
    SWFileMonitorEventRename = 0x20,
    SWFileMonitorEventRevoke = 0x40,
};
inline constexpr qint64 SWFileMonitorAllEvents = 0x7F;

// The observer: the events that occurred and the item's current path (null when it cannot be
// read; the last path it had when it was deleted). Runs on a default-priority work thread.
using SWFileMonitorBlock = std::function<void(unsigned long flags, const QString &path)>;

// One watched URL: its event source on the item, following the item across renames and moves.
class SWFileMonitorObservationInfo final : public std::enable_shared_from_this<SWFileMonitorObservationInfo>
{
public:
    SWFileMonitorObservationInfo(QUrl url, qint64 flags, SWFileMonitorBlock block);
    ~SWFileMonitorObservationInfo();
    Q_DISABLE_COPY_MOVE(SWFileMonitorObservationInfo)

    // Opens the item at url() and starts its event source; without an item there is no watcher.
    void setup();
    bool isValid() const;
    void handleEventWithFlags(unsigned long flags, const QString &path);
    // Ends the watch for good; events not yet handed to the block are dropped.
    void cancel();

    QUrl url() const;
    qint64 flags() const;
    const SWFileMonitorBlock &block() const { return m_block; }
    bool pause() const { return m_pause.load(); }
    void setPause(bool pause) { m_pause.store(pause); }

private:
    void buildWatcher();
    void cancelWatcher();

    // Shared with the deliveries in flight, so that a cancelled watch stays silent.
    const std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);

    mutable std::recursive_mutex m_mutex;
    const QUrl m_url;
    const qint64 m_flags;
    const SWFileMonitorBlock m_block;
    std::atomic<bool> m_pause = false;
    std::shared_ptr<platform::VnodeEventSource> m_watcher;
};

// Watches files and folders by URL and reports their events to one block per URL.
class SWFileMonitor final
{
public:
    SWFileMonitor() = default;
    ~SWFileMonitor();
    Q_DISABLE_COPY_MOVE(SWFileMonitor)

    // False when the URL is already watched; that watch stays as it is.
    bool startObservationOfURLWithBlock(const QUrl &url, SWFileMonitorBlock block);
    bool startObservationOfURLFlagsWithBlock(const QUrl &url, qint64 flags, SWFileMonitorBlock block);
    void stopObservationOfURL(const QUrl &url);
    void removeAllPaths();

    // Pauses or resumes every current watch; a paused watch drops its events (they are not
    // delivered later). The monitor's own flag is not kept: watches started later are not paused.
    void setPause(bool pause);
    bool pause() const { return false; }

    QHash<QUrl, std::shared_ptr<SWFileMonitorObservationInfo>> observationInfoByURL() const;

private:
    mutable std::mutex m_mutex;
    QHash<QUrl, std::shared_ptr<SWFileMonitorObservationInfo>> m_observationInfoByURL;
};
