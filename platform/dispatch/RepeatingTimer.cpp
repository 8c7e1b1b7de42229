#include "platform/dispatch/RepeatingTimer.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace platform {

namespace {

ManualTimers *s_manual = nullptr;

class EventLoopTimer final : public RepeatingTimer
{
public:
    EventLoopTimer(std::chrono::milliseconds interval, std::function<void()> tick)
    {
        m_timer.setTimerType(Qt::PreciseTimer); // never a tick before the full interval
        m_timer.setInterval(interval);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(tick));
        m_timer.start();
    }

private:
    QTimer m_timer;
};

} // namespace

struct ManualTimers::Entry
{
    std::chrono::milliseconds interval;
    std::chrono::milliseconds due;
    std::function<void()> tick;
};

class ManualRepeatingTimer final : public RepeatingTimer
{
public:
    explicit ManualRepeatingTimer(std::shared_ptr<ManualTimers::Entry> entry) : m_entry(std::move(entry)) {}

private:
    // Owned here; the timeline only looks, so a destroyed timer never ticks again.
    std::shared_ptr<ManualTimers::Entry> m_entry;
};

std::unique_ptr<RepeatingTimer> RepeatingTimer::start(std::chrono::milliseconds interval, std::function<void()> tick)
{
    interval = std::max(interval, std::chrono::milliseconds(1));
    if (ManualTimers *manual = ManualTimers::current()) {
        auto entry = std::make_shared<ManualTimers::Entry>(
            ManualTimers::Entry{interval, manual->m_now + interval, std::move(tick)});
        manual->m_entries.push_back(entry);
        return std::make_unique<ManualRepeatingTimer>(std::move(entry));
    }
    return std::make_unique<EventLoopTimer>(interval, std::move(tick));
}

ManualTimers::ManualTimers() : m_previous(s_manual)
{
    s_manual = this;
}

ManualTimers::~ManualTimers()
{
    if (s_manual == this)
        s_manual = m_previous;
}

ManualTimers *ManualTimers::current()
{
    return s_manual;
}

int ManualTimers::activeTimers() const
{
    return int(std::count_if(m_entries.begin(), m_entries.end(), [](const auto &entry) { return !entry.expired(); }));
}

void ManualTimers::advance(std::chrono::milliseconds by)
{
    const std::chrono::milliseconds end = m_now + by;
    for (;;) {
        std::erase_if(m_entries, [](const auto &entry) { return entry.expired(); });
        // The earliest due tick up to the end; a tick may start or destroy timers.
        std::shared_ptr<Entry> next;
        for (const auto &weak : m_entries) {
            const std::shared_ptr<Entry> entry = weak.lock();
            if (entry && entry->due <= end && (!next || entry->due < next->due))
                next = entry;
        }
        if (!next)
            break;
        m_now = next->due;
        next->due += next->interval;
        const std::function<void()> tick = next->tick;
        next.reset();
        tick();
    }
    m_now = end;
}

} // namespace platform
