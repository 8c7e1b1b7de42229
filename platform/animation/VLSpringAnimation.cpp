#include "platform/animation/VLSpringAnimation.h"

#include <algorithm>
#include <cmath>

std::shared_ptr<VLSpringAnimation> VLSpringAnimation::animation()
{
    return std::make_shared<VLSpringAnimation>();
}

std::shared_ptr<VLSpringAnimation> VLSpringAnimation::animationWithPropertyNamed(const QString &name)
{
    return animationWithProperty(VLAnimatableProperty::propertyWithName(name));
}

std::shared_ptr<VLSpringAnimation> VLSpringAnimation::animationWithProperty(VLAnimatablePropertyPtr property)
{
    auto result = animation();
    result->setProperty(std::move(property));
    return result;
}

double VLSpringAnimation::dampingRatio() const
{
    // 0 bounciness is critically damped; 20 leaves a lively spring (about half its travel back).
    return std::clamp(1.0 - m_bounciness / 25.0, 0.05, 1.0);
}

double VLSpringAnimation::angularFrequency() const
{
    return 1.0 + 0.8 * std::max(0.0, m_speed);
}

bool VLSpringAnimation::start(QObject *target, double time)
{
    if (!prepareValues(target))
        return false;
    VLAnimationValues velocity = vlAnimationValuesFromVariant(m_velocityValue);
    velocity.resize(m_from.size(), 0.0);
    m_legsDone = 0;
    beginLeg(time, m_from, m_to, velocity);
    return true;
}

void VLSpringAnimation::beginLeg(double time, const VLAnimationValues &from, const VLAnimationValues &to,
                                 const VLAnimationValues &velocity)
{
    m_legStart = time;
    m_legTarget = to;
    m_x0.resize(from.size());
    for (size_t i = 0; i < from.size(); ++i)
        m_x0[i] = from[i] - to[i];
    m_v0 = velocity;
    m_lastValues = from;
    m_lastVelocity = velocity;
    m_lastTime = time;
}

void VLSpringAnimation::toValueChanged()
{
    VLAnimationValues to = vlAnimationValuesFromVariant(toValue());
    if (to.size() != m_lastValues.size())
        return;
    m_to = to;
    beginLeg(m_lastTime, m_lastValues, to, m_lastVelocity);
}

bool VLSpringAnimation::advance(QObject *target, double time)
{
    const double zeta = dampingRatio();
    const double omega = angularFrequency();
    const double t = std::max(0.0, time - m_legStart);
    const double decay = std::exp(-zeta * omega * t);
    const double limit = threshold() > 0.0 ? threshold() : 0.01;

    bool resting = true;
    VLAnimationValues values(m_x0.size());
    VLAnimationValues velocity(m_x0.size());
    for (size_t i = 0; i < m_x0.size(); ++i) {
        const double x0 = m_x0[i];
        const double v0 = m_v0[i];
        double x = 0.0;
        double v = 0.0;
        double bound = 0.0; // no later excursion can exceed this
        if (zeta < 1.0) {
            const double omegaD = omega * std::sqrt(1.0 - zeta * zeta);
            const double a = x0;
            const double b = (v0 + zeta * omega * x0) / omegaD;
            const double c = std::cos(omegaD * t);
            const double s = std::sin(omegaD * t);
            x = decay * (a * c + b * s);
            v = decay * ((b * omegaD - zeta * omega * a) * c - (a * omegaD + zeta * omega * b) * s);
            bound = decay * std::sqrt(a * a + b * b);
        } else {
            const double a = x0;
            const double b = v0 + omega * x0;
            x = decay * (a + b * t);
            v = decay * (b - omega * (a + b * t));
            bound = decay * (std::abs(a) + std::abs(b) * t + std::abs(b) / omega);
        }
        if (bound >= limit)
            resting = false;
        values[i] = m_legTarget[i] + x;
        velocity[i] = v;
    }
    m_lastTime = time;

    if (!resting) {
        m_lastValues = values;
        m_lastVelocity = velocity;
        write(target, values);
        return false;
    }
    // At rest: land exactly on the target, then run the next leg if repeating.
    m_lastValues = m_legTarget;
    m_lastVelocity.assign(m_x0.size(), 0.0);
    write(target, m_legTarget);
    ++m_legsDone;
    const int legs = cycleCount() * (autoreverses() ? 2 : 1);
    if (!repeatForever() && m_legsDone >= legs)
        return true;
    const bool back = autoreverses() && (m_legsDone % 2 == 1);
    const VLAnimationValues zero(m_x0.size(), 0.0);
    beginLeg(time, back ? m_to : m_from, back ? m_from : m_to, zero);
    return false;
}
