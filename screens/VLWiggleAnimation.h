#pragma once

#include "platform/animation/VLAnimation.h"

#include <QRectF>

class QWidget;

// Draws attention to a result icon: at set times it grows by 10 points on every side, turns 10
// degrees one way and the other, straightens and shrinks back. The turns animate the view's
// "frameCenterRotation" property (degrees), so a view that draws itself rotated turns; any
// other view only grows and shrinks.
class VLWiggleAnimation final
{
public:
    VLWiggleAnimation() = delete;

    // Schedules `repetitions` wiggles of `duration` seconds, in five equal steps, the first at
    // `beginOffset` (absolute media time) and each next one `delay + duration` seconds later.
    // `frame` is the view's resting frame. The completion runs once per wiggle, when its last
    // step stops.
    static void tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitionsCompletion(
        QWidget *view, const QRectF &frame, double duration, double delay, double beginOffset, int repetitions,
        const VLAnimation::CompletionBlock &completion);
    static void tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitions(QWidget *view, const QRectF &frame,
                                                                            double duration, double delay,
                                                                            double beginOffset, int repetitions);

    // Degrees of each turn and points of growth on every side.
    static constexpr double rotationAngle = 10.0;
    static constexpr double growth = 10.0;
};
