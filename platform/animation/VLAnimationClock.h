#pragma once

#include "platform/dispatch/RepeatingTimer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// The animator's source of time and frames. The animator asks for frames while anything animates
// or waits to complete, and ticks on every frame the clock delivers.
class VLAnimationClock
{
public:
    virtual ~VLAnimationClock() = default;
    // Monotonic media time in seconds.
    virtual double now() const = 0;
    virtual void setFramesWanted(bool wanted) = 0;
};

// The real clock: a precise ~16 ms timer on the GUI thread, and the monotonic system clock.
class VLFrameClock final : public QObject, public VLAnimationClock
{
    Q_OBJECT
public:
    explicit VLFrameClock(std::function<void()> tick, QObject *parent = nullptr);
    double now() const override;
    void setFramesWanted(bool wanted) override;

private:
    std::function<void()> m_tick;
    QTimer m_timer;
};

// A clock for tests: time moves only by advance(), which ticks the animator synchronously, so
// animations can be checked at chosen instants without sleeping. It installs itself in the
// animator while it exists; when it goes, the animations still running go with it, silently.
// The repeating timers started while it exists (the remaining-time estimates) follow it too.
class VLManualClock final : public VLAnimationClock
{
public:
    explicit VLManualClock(double startTime = 1000.0);
    ~VLManualClock() override;
    Q_DISABLE_COPY_MOVE(VLManualClock)

    double now() const override { return m_now; }
    void setFramesWanted(bool wanted) override { m_framesWanted = wanted; }
    bool framesWanted() const { return m_framesWanted; }

    // Moves time on by seconds in the given number of equal frames, ticking after each.
    void advance(double seconds, int frames = 1);

private:
    double m_now;
    double m_timersNow;
    bool m_framesWanted = false;
    platform::ManualTimers m_timers;
};
