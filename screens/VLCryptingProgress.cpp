#include "screens/VLCryptingProgress.h"

#include "platform/animation/VLAnimator.h"
#include "screens/VLAnimationProgressMonitor.h"
#include "screens/VLCryptingProcessAnimation.h"

#include "platform/view/ViewFrame.h"

#include <chrono>

VLCryptingProgress::VLCryptingProgress() : m_monitor(VLAnimationProgressMonitor::monitorWithDuration(2.0))
{
}

VLCryptingProgress::~VLCryptingProgress()
{
    // The animation's delegate is the screen that owns this: it must not hear of the removal.
    const std::shared_ptr<VLAnimation> animation = m_animation.lock();
    if (!animation)
        return;
    animation->setDelegate(nullptr);
    if (m_bar && VLAnimator::animationForKey(m_bar, VLCryptingProcessAnimation::slidingAnimationKey) == animation)
        VLAnimator::removeAnimationForKey(m_bar, VLCryptingProcessAnimation::slidingAnimationKey);
}

void VLCryptingProgress::start(QWidget *bar, VLEncryptProgressImageView *imageView, VLParticleView *particleView,
                               const QRectF &signalRect, double byValue, bool up,
                               VLCryptingProcessAnimationDelegate *delegate)
{
    m_bar = bar;
    if (!bar) {
        m_monitor->animationFinished();
    } else {
        auto animation = VLCryptingProcessAnimation::animationWithProgressImageViewParticleViewSignalRect(
            imageView, particleView, signalRect);
        animation->setDelegate(delegate);
        animation->setFromValue(vlFrame(bar));
        animation->setByValue(byValue);
        animation->setVelocity(0);
        animation->setUp(up);
        const std::weak_ptr<VLAnimationProgressMonitor> monitor = m_monitor;
        animation->setCompletionBlock([monitor](VLAnimation *, bool) {
            if (auto strong = monitor.lock())
                strong->animationFinished();
        });
        m_animation = animation;
        VLAnimator::addAnimationForKey(bar, animation, VLCryptingProcessAnimation::slidingAnimationKey);
    }
    m_monitor->appendProgressPoint(0);
}

void VLCryptingProgress::reportProgress(double percent)
{
    if (m_stopped)
        return;
    m_monitor->appendProgressPoint(percent > 0 ? percent / 100.0 : 0.0);
    if (!m_bar)
        return;
    if (auto running = std::dynamic_pointer_cast<VLCryptingProcessAnimation>(
            VLAnimator::animationForKey(m_bar, VLCryptingProcessAnimation::slidingAnimationKey))) {
        running->setRealProgress(percent / 100.0);
        running->setVelocity(m_monitor->currentVelocityEstimation());
    }
}

void VLCryptingProgress::finish(std::function<void()> completion)
{
    if (m_stopped)
        return;
    m_monitor->setCompletion(std::move(completion));
    m_monitor->processFinished();
}

void VLCryptingProgress::stop()
{
    m_stopped = true;
    // The animation may still be catching up with a finished job: its end must hand over nothing.
    m_monitor->setCompletion({});
}

void VLCryptingProgress::markJobStarted()
{
    m_jobStartTime = currentTime();
}

bool VLCryptingProgress::isEstimationDue() const
{
    return currentTime() - m_jobStartTime.load() > estimationDelay;
}

double VLCryptingProgress::currentTime()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
