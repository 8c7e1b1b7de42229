#pragma once

#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLParticleView.h"

#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class VLAnimation;
class VLAnimationProgressMonitor;
class VLCryptingProcessAnimationDelegate;

// What a progress screen does with its job's reports: it runs the sliding animation on the bar
// (the screen's overlay container), feeds it the job's real progress and speed through the
// progress monitor, tells when the remaining-time text may show, and runs the screen's hand-over
// once both the animation and the job have finished.
class VLCryptingProgress final
{
public:
    // Seconds the job must have run before its remaining-time estimate is shown.
    static constexpr double estimationDelay = 3.0;

    VLCryptingProgress();
    ~VLCryptingProgress();
    Q_DISABLE_COPY_MOVE(VLCryptingProgress)

    VLAnimationProgressMonitor &monitor() const { return *m_monitor; }

    // Starts the animation on the bar. byValue keeps the layouts' sense (negative runs down).
    // Without a bar (the screen is not on a window's overlay) the animation counts as finished.
    void start(QWidget *bar, VLEncryptProgressImageView *imageView, VLParticleView *particleView,
               const QRectF &signalRect, double byValue, bool up, VLCryptingProcessAnimationDelegate *delegate);
    // A progress report of the job, in percent (main thread).
    void reportProgress(double percent);
    // The job has finished; the completion runs once the animation has too, unless the flow
    // has been stopped by then.
    void finish(std::function<void()> completion);
    // The flow ends here (Stop, a failure, a quit): a finish already reported or still to come
    // never completes, and later reports are ignored. Main thread.
    void stop();
    bool isStopped() const { return m_stopped; }

    // The job's start (any thread) and whether its estimate may show now.
    void markJobStarted();
    bool isEstimationDue() const;
    void setJobStartTime(double seconds) { m_jobStartTime = seconds; }
    static double currentTime();

private:
    std::shared_ptr<VLAnimationProgressMonitor> m_monitor;
    QPointer<QWidget> m_bar;
    std::weak_ptr<VLAnimation> m_animation;
    std::atomic<double> m_jobStartTime{0.0};
    bool m_stopped = false;
};
