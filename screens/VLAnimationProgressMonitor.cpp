#include "screens/VLAnimationProgressMonitor.h"

#include "platform/animation/VLAnimator.h"

#include <utility>

std::shared_ptr<VLAnimationProgressMonitor> VLAnimationProgressMonitor::monitorWithDuration(double duration)
{
    return std::make_shared<VLAnimationProgressMonitor>(duration);
}

VLAnimationProgressMonitor::VLAnimationProgressMonitor(double duration)
    : m_duration(duration)
    , m_maxVelocity(1.0 / duration)
{
}

void VLAnimationProgressMonitor::appendProgressPoint(double point)
{
    m_points.append(point);
    m_timestamps.append(VLAnimator::currentMediaTime());
}

double VLAnimationProgressMonitor::currentVelocityEstimation() const
{
    const qsizetype count = m_points.size();
    if (count < 2)
        return m_maxVelocity;
    // The points count as single precision, as the job reports them.
    const double rise = double(float(m_points.at(count - 1)) - float(m_points.at(count - 2)));
    const double velocity = rise / (m_timestamps.at(count - 1) - m_timestamps.at(count - 2));
    // Written so that an undefined speed (0/0) falls through to the highest one.
    if (velocity < m_maxVelocity)
        return velocity > 0.0 ? velocity : m_minVelocity;
    return m_maxVelocity;
}

double VLAnimationProgressMonitor::elapsedTime() const
{
    return VLAnimator::currentMediaTime() - beginTime();
}

void VLAnimationProgressMonitor::animationFinished(const void *sender)
{
    Q_UNUSED(sender)
    m_animFinished = true;
    checkCompletion();
}

void VLAnimationProgressMonitor::processFinished(const void *sender)
{
    Q_UNUSED(sender)
    m_procFinished = true;
    checkCompletion();
}

void VLAnimationProgressMonitor::checkCompletion()
{
    if (m_animFinished && m_procFinished && m_completion) {
        // Taken out before it runs: pushing the next screen twice would stack it twice.
        const std::function<void()> completion = std::exchange(m_completion, {});
        completion();
    }
}
