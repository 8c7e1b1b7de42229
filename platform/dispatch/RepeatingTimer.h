#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

// A repeating timer on the main thread, for the services below the interface that count real
// seconds (the remaining-time estimate). Made, ticked and destroyed on the main thread; a tick
// never comes before its full interval. While a ManualTimers exists, timers started from then on
// follow its time instead of the event loop's, so their owners can be tested at chosen instants.
class RepeatingTimer
{
public:
    virtual ~RepeatingTimer() = default;

    [[nodiscard]] static std::unique_ptr<RepeatingTimer> start(std::chrono::milliseconds interval,
                                                               std::function<void()> tick);
};

// Time for tests: it moves only by advance(), which ticks every due timer synchronously, in the
// order their ticks fall due. The newest one drives the timers started while it exists; they go
// quiet when it goes.
class ManualTimers final
{
public:
    ManualTimers();
    ~ManualTimers();
    Q_DISABLE_COPY_MOVE(ManualTimers)

    void advance(std::chrono::milliseconds by);
    // The timers it drives that are still alive.
    int activeTimers() const;

    static ManualTimers *current();

private:
    struct Entry;
    friend class RepeatingTimer;
    friend class ManualRepeatingTimer;
    ManualTimers *m_previous;
    std::chrono::milliseconds m_now{0};
    std::vector<std::weak_ptr<Entry>> m_entries;
};

} // namespace platform
