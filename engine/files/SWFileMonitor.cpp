#include "engine/files/SWFileMonitor.h"

#include "platform/dispatch/Dispatch.h"
#include "platform/files/VnodeEventSource.h"

SWFileMonitorObservationInfo::SWFileMonitorObservationInfo(QUrl url, qint64 flags, SWFileMonitorBlock block)
    : m_url(std::move(url))
    , m_flags(flags)
    , m_block(std::move(block))
{
}

SWFileMonitorObservationInfo::~SWFileMonitorObservationInfo()
{
    cancelWatcher();
}

void SWFileMonitorObservationInfo::setup()
{
    std::lock_guard lock(m_mutex);
    if (m_cancelled->load())
        return;
    buildWatcher();
    if (m_watcher)
        m_watcher->resume();
}

void SWFileMonitorObservationInfo::buildWatcher()
{
    std::weak_ptr<SWFileMonitorObservationInfo> weakSelf = weak_from_this();
    // The delete bit is always asked for: a deleted item has to be watched anew.
    m_watcher = platform::VnodeEventSource::create(
        m_url.toLocalFile(), static_cast<unsigned long>(m_flags) | SWFileMonitorEventDelete,
        [weakSelf](unsigned long events) {
            const auto self = weakSelf.lock();
            if (!self)
                return;
            std::lock_guard lock(self->m_mutex);
            if (!self->m_watcher)
                return;
            self->handleEventWithFlags(events, self->m_watcher->currentPath());
        });
}

void SWFileMonitorObservationInfo::cancelWatcher()
{
    std::lock_guard lock(m_mutex);
    if (m_watcher) {
        m_watcher->cancel();
        m_watcher.reset();
    }
}

void SWFileMonitorObservationInfo::cancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancelled->store(true);
        cancelWatcher();
    }
    // Waits for a block that is running; none starts after this.
    std::lock_guard delivery(*m_delivery);
}

bool SWFileMonitorObservationInfo::isValid() const
{
    std::lock_guard lock(m_mutex);
    return m_watcher != nullptr;
}

void SWFileMonitorObservationInfo::handleEventWithFlags(unsigned long flags, const QString &path)
{
    if (m_cancelled->load())
        return;
    if ((flags & static_cast<unsigned long>(m_flags)) && !pause()) {
        platform::dispatchAsync(platform::QueuePriority::Default,
                                [block = m_block, cancelled = m_cancelled, delivery = m_delivery, flags, path] {
                                    std::lock_guard lock(*delivery);
                                    if (!cancelled->load() && block)
                                        block(flags, path);
                                });
    }
    if (flags & SWFileMonitorEventDelete) {
        // The item is gone; whatever stands at the URL now (a safe save's replacement, say) is
        // watched from here on.
        std::lock_guard lock(m_mutex);
        cancelWatcher();
        setup();
    }
}

QUrl SWFileMonitorObservationInfo::url() const
{
    return m_url;
}

qint64 SWFileMonitorObservationInfo::flags() const
{
    return m_flags;
}

SWFileMonitor::~SWFileMonitor()
{
    removeAllPaths();
}

bool SWFileMonitor::startObservationOfURLWithBlock(const QUrl &url, SWFileMonitorBlock block)
{
    return startObservationOfURLFlagsWithBlock(url, SWFileMonitorAllEvents, std::move(block));
}

bool SWFileMonitor::startObservationOfURLFlagsWithBlock(const QUrl &url, qint64 flags, SWFileMonitorBlock block)
{
    std::shared_ptr<SWFileMonitorObservationInfo> info;
    {
        std::lock_guard lock(m_mutex);
        if (m_observationInfoByURL.contains(url))
            return false;
        info = std::make_shared<SWFileMonitorObservationInfo>(url, flags, std::move(block));
        m_observationInfoByURL.insert(url, info);
    }
    info->setup();
    return true;
}

void SWFileMonitor::stopObservationOfURL(const QUrl &url)
{
    std::shared_ptr<SWFileMonitorObservationInfo> info;
    {
        std::lock_guard lock(m_mutex);
        info = m_observationInfoByURL.take(url);
    }
    if (info)
        info->cancel();
}

void SWFileMonitor::removeAllPaths()
{
    QHash<QUrl, std::shared_ptr<SWFileMonitorObservationInfo>> infos;
    {
        std::lock_guard lock(m_mutex);
        infos.swap(m_observationInfoByURL);
    }
    for (const auto &info : std::as_const(infos))
        info->cancel();
}

void SWFileMonitor::setPause(bool pause)
{
    const auto infos = observationInfoByURL();
    for (const auto &info : infos)
        info->setPause(pause);
}

QHash<QUrl, std::shared_ptr<SWFileMonitorObservationInfo>> SWFileMonitor::observationInfoByURL() const
{
    std::lock_guard lock(m_mutex);
    return m_observationInfoByURL;
}
