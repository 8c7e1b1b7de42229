#pragma once

#include <QString>

#include <QtGlobal>

#include <memory>

class VLChronometer;

class VLChronometerDelegate
{
public:
    virtual ~VLChronometerDelegate() = default;
    // Each estimate, on the main thread.
    virtual void chronometerDidUpdateRemainingTime(VLChronometer *chronometer, double seconds)
    {
        Q_UNUSED(chronometer)
        Q_UNUSED(seconds)
    }
};

// Estimates the time left for an operation from its progress percentage, once a second, and
// words it as "About 5 minutes". Progress comes from any thread; the one-second timer runs on
// the main thread, where the ticks and the delegate calls happen. start() and stop() may be
// called from any thread. A stopped chronometer never runs again.
class VLChronometer final
{
public:
    VLChronometer();
    ~VLChronometer();
    Q_DISABLE_COPY_MOVE(VLChronometer)

    // Stores the progress (0 to 100).
    void updateProgress(double percent);
    // True from construction until stop().
    bool isMeasuring() const;
    // One tick: counts a second, estimates, words the estimate and tells the delegate. The
    // timer calls it; tests call it directly.
    void recalculateTime();
    // Schedules the one-second timer on the main thread (once; nothing after stop()).
    void start();
    // Invalidates the timer and sets the measured time, the estimate and the progress to 0. Once
    // it returns no tick is under way and none follows, whichever thread calls it.
    void stop();

    // "About <n> <unit>" for an estimate in seconds.
    static QString transformedTimeFromSeconds(quint64 seconds);

    double remainingTime() const;
    void setRemainingTime(double seconds);
    // The last estimate's text; stop() leaves it.
    QString remainingTimeString() const;
    void setRemainingTimeString(const QString &text);
    // A plain reference. Once setDelegate() returns, a tick in progress on another thread has
    // finished with the old delegate (the delegate may clear itself from inside its callback).
    VLChronometerDelegate *delegate() const;
    void setDelegate(VLChronometerDelegate *delegate);
    double measuredTime() const;
    void setMeasuredTime(double seconds);
    double progress() const;
    void setProgress(double percent) { updateProgress(percent); }

    // True while the timer is scheduled on the main thread.
    bool isTimerScheduled() const;

private:
    struct State;
    // A tick; the timer's (whileMeasuring) do nothing once the chronometer is stopped.
    static void tick(State &state, bool whileMeasuring);
    std::shared_ptr<State> d;
};
