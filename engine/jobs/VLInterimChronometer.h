#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <mutex>

class VLInterimChronometer;

class VLInterimChronometerDelegate
{
public:
    virtual ~VLInterimChronometerDelegate() = default;
    virtual void chronometerDidUpdateRemainingTime(VLInterimChronometer *chronometer, double seconds) = 0;
};

// The remaining-time estimate of a job, once a second on the GUI thread, from the progress
// percentage given from any thread. It stands in for the shared chronometer until that is
// available here, with the same operations.
class VLInterimChronometer final : public QObject
{
    Q_OBJECT

public:
    // Made on the GUI thread, where its timer runs.
    VLInterimChronometer();

    void updateProgress(double percent);
    bool isMeasuring() const;
    void recalculateTime();
    // Both may be called from any thread; the timer itself is handled on the GUI thread.
    void start();
    void stop();
    static QString transformedTimeFromSeconds(quint64 seconds);

    double remainingTime() const;
    QString remainingTimeString() const;
    VLInterimChronometerDelegate *delegate() const;
    // A plain reference; after setDelegate returns, a tick in progress has finished with the old one.
    void setDelegate(VLInterimChronometerDelegate *delegate);

private:
    QTimer m_timer;
    // The values, and separately the delegate calls, so that stop() never waits for a tick.
    mutable std::mutex m_mutex;
    mutable std::recursive_mutex m_delegateMutex;
    VLInterimChronometerDelegate *m_delegate = nullptr;
    std::atomic<bool> m_valid = true;
    std::atomic<double> m_progress = 0;
    double m_measuredTime = 0;
    double m_remainingTime = 0;
    QString m_remainingTimeString;
};
