#pragma once

#include "platform/animation/VLPropertyAnimation.h"
#include "platform/animation/VLTimingFunction.h"

// Interpolates from the start to the end value over a duration, shaped by a timing function.
class VLBasicAnimation final : public VLPropertyAnimation
{
public:
    VLBasicAnimation() = default;
    static std::shared_ptr<VLBasicAnimation> animation();
    static std::shared_ptr<VLBasicAnimation> animationWithPropertyNamed(const QString &name);
    static std::shared_ptr<VLBasicAnimation> animationWithProperty(VLAnimatablePropertyPtr property);

    double duration() const { return m_duration; }
    void setDuration(double seconds) { m_duration = seconds; }
    const VLTimingFunction &timingFunction() const { return m_timing; }
    void setTimingFunction(const VLTimingFunction &function) { m_timing = function; }

    // The value written for a time fraction of one cycle (0..1), before repetition.
    VLAnimationValues valuesAtFraction(double fraction) const;

protected:
    bool start(QObject *target, double time) override;
    bool advance(QObject *target, double time) override;

private:
    double m_duration = 0.4;
    VLTimingFunction m_timing = VLTimingFunction::functionWithName(VLTimingFunctionName::Default);
};
