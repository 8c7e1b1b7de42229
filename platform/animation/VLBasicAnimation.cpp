#include "platform/animation/VLBasicAnimation.h"

#include <cmath>

std::shared_ptr<VLBasicAnimation> VLBasicAnimation::animation()
{
    return std::make_shared<VLBasicAnimation>();
}

std::shared_ptr<VLBasicAnimation> VLBasicAnimation::animationWithPropertyNamed(const QString &name)
{
    return animationWithProperty(VLAnimatableProperty::propertyWithName(name));
}

std::shared_ptr<VLBasicAnimation> VLBasicAnimation::animationWithProperty(VLAnimatablePropertyPtr property)
{
    auto result = animation();
    result->setProperty(std::move(property));
    return result;
}

VLAnimationValues VLBasicAnimation::valuesAtFraction(double fraction) const
{
    const double p = m_timing.solve(fraction);
    VLAnimationValues values(m_from.size());
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = m_from[i] + (m_to[i] - m_from[i]) * p;
    return values;
}

bool VLBasicAnimation::start(QObject *target, double time)
{
    Q_UNUSED(time)
    return prepareValues(target);
}

bool VLBasicAnimation::advance(QObject *target, double time)
{
    const double elapsed = std::max(0.0, time - startTime());
    const int legsPerCycle = autoreverses() ? 2 : 1;
    const bool endless = repeatForever();
    const double totalLegs = double(cycleCount() * legsPerCycle);

    // A hair of tolerance: media times are sums of frame steps.
    if (m_duration <= 0.0 || (!endless && elapsed >= m_duration * totalLegs - 1e-9)) {
        // End exactly on the final value: the to value, or the from value after a way back.
        write(target, autoreverses() ? m_from : m_to);
        return true;
    }
    const double legs = elapsed / m_duration;
    const double leg = std::floor(legs);
    double fraction = legs - leg;
    if (autoreverses() && std::fmod(leg, 2.0) >= 1.0)
        fraction = 1.0 - fraction;
    write(target, valuesAtFraction(fraction));
    return false;
}
