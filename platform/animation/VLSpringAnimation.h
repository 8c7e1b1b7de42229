#pragma once

#include "platform/animation/VLPropertyAnimation.h"

// A damped spring towards the end value. Bounciness (0..20, default 4) sets how far it overshoots,
// speed (0..20 and beyond, default 12) how fast it settles; bounciness 0 does not overshoot. The
// spring ends, exactly on its end value, once it can no longer move by the property's threshold.
// Changing the to value of a running spring retargets it from where it is, keeping its velocity.
class VLSpringAnimation final : public VLPropertyAnimation
{
public:
    VLSpringAnimation() = default;
    static std::shared_ptr<VLSpringAnimation> animation();
    static std::shared_ptr<VLSpringAnimation> animationWithPropertyNamed(const QString &name);
    static std::shared_ptr<VLSpringAnimation> animationWithProperty(VLAnimatablePropertyPtr property);

    double springBounciness() const { return m_bounciness; }
    void setSpringBounciness(double bounciness) { m_bounciness = bounciness; }
    double springSpeed() const { return m_speed; }
    void setSpringSpeed(double speed) { m_speed = speed; }
    // Start velocity in property units per second, shaped like the to value.
    const QVariant &velocity() const { return m_velocityValue; }
    void setVelocity(const QVariant &velocity) { m_velocityValue = velocity; }

    // The model behind bounciness and speed: damping ratio and natural frequency (rad/s).
    double dampingRatio() const;
    double angularFrequency() const;

protected:
    bool start(QObject *target, double time) override;
    bool advance(QObject *target, double time) override;
    void toValueChanged() override;

private:
    void beginLeg(double time, const VLAnimationValues &from, const VLAnimationValues &to,
                  const VLAnimationValues &velocity);

    double m_bounciness = 4.0;
    double m_speed = 12.0;
    QVariant m_velocityValue;

    // Current leg: displacement x0 and velocity v0 per component at m_legStart.
    double m_legStart = 0.0;
    VLAnimationValues m_legTarget;
    VLAnimationValues m_x0;
    VLAnimationValues m_v0;
    VLAnimationValues m_lastValues;
    VLAnimationValues m_lastVelocity;
    double m_lastTime = 0.0;
    int m_legsDone = 0;
};
