#pragma once

#include <QList>

#include <functional>
#include <memory>

// Follows a job's progress for the progress animation: estimates the job's speed from its last
// two progress points, and runs a completion once both the animation and the job have ended, in
// either order. Times are the animation clock's media time.
class VLAnimationProgressMonitor final
{
public:
    // duration: the seconds in which the bar crosses the icon at the highest speed.
    static std::shared_ptr<VLAnimationProgressMonitor> monitorWithDuration(double duration);
    explicit VLAnimationProgressMonitor(double duration);
    Q_DISABLE_COPY_MOVE(VLAnimationProgressMonitor)

    double duration() const { return m_duration; }
    double maxVelocity() const { return m_maxVelocity; }
    double minVelocity() const { return m_minVelocity; }
    const QList<double> &points() const { return m_points; }
    const QList<double> &timestamps() const { return m_timestamps; }

    // A progress fraction (0 to 1), stamped with the current media time.
    void appendProgressPoint(double point);
    // Icon heights per second: the speed between the last two points, kept within
    // minVelocity (also for a fall) and maxVelocity (also when it cannot be told).
    double currentVelocityEstimation() const;
    double initialVelocity() const { return m_maxVelocity; }
    double beginTime() const { return m_timestamps.isEmpty() ? 0.0 : m_timestamps.first(); }
    double elapsedTime() const;

    bool animFinished() const { return m_animFinished; }
    bool procFinished() const { return m_procFinished; }
    // Run once, when both halves have been reported; a half reported again (a job that ends
    // twice, say finished and then failed) does not run it a second time.
    void setCompletion(std::function<void()> completion) { m_completion = std::move(completion); }
    // The argument is not used (the halves are reported from callbacks that pass their sender).
    void animationFinished(const void *sender = nullptr);
    void processFinished(const void *sender = nullptr);
    void checkCompletion();

private:
    double m_duration;
    double m_maxVelocity;
    double m_minVelocity = 0.01;
    QList<double> m_points;
    QList<double> m_timestamps;
    bool m_animFinished = false;
    bool m_procFinished = false;
    std::function<void()> m_completion;
};
