#include "screens/VLWiggleAnimation.h"

#include "platform/animation/VLAnimatableProperty.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"

#include <QWidget>

void VLWiggleAnimation::tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitions(QWidget *view, const QRectF &frame,
                                                                                    double duration, double delay,
                                                                                    double beginOffset, int repetitions)
{
    tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitionsCompletion(view, frame, duration, delay, beginOffset,
                                                                          repetitions, {});
}

void VLWiggleAnimation::tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitionsCompletion(
    QWidget *view, const QRectF &frame, double duration, double delay, double beginOffset, int repetitions,
    const VLAnimation::CompletionBlock &completion)
{
    if (!view)
        return;
    struct Step
    {
        const char *key;
        const QString &property;
        QVariant toValue;
    };
    // The frame values are fixed now, so a view moved meanwhile still wiggles around this frame.
    const Step steps[] = {
        {"frame1Animation", kVLViewFrame, QVariant(frame.adjusted(-growth, -growth, growth, growth))},
        {"rotation1Animation", kVLViewFrameCenterRotation, QVariant(rotationAngle)},
        {"rotation2Animation", kVLViewFrameCenterRotation, QVariant(-rotationAngle)},
        {"rotation3Animation", kVLViewFrameCenterRotation, QVariant(0.0)},
        {"frame2Animation", kVLViewFrame, QVariant(frame)},
    };
    const double stepDuration = duration * 0.2;

    for (int i = 0; i < repetitions; ++i) {
        double beginTime = i * (delay + duration) + beginOffset;
        for (const Step &step : steps) {
            auto animation = VLBasicAnimation::animationWithPropertyNamed(step.property);
            animation->setDuration(stepDuration);
            animation->setBeginTime(beginTime);
            animation->setToValue(step.toValue);
            if (&step == &steps[std::size(steps) - 1] && completion)
                animation->setCompletionBlock(completion);
            VLAnimator::addAnimationForKey(view, animation,
                                           QLatin1String(step.key) + QLatin1Char('_') + QString::number(i));
            beginTime += stepDuration;
        }
    }
}
