#include "platform/animation/VLPropertyAnimation.h"

void VLPropertyAnimation::setToValue(const QVariant &value)
{
    m_toValue = value;
    if (hasStarted() && isRunning())
        toValueChanged();
}

bool VLPropertyAnimation::prepareValues(QObject *target)
{
    if (!m_property)
        return false;
    const VLAnimationValues current = m_property->read(target);
    m_from = m_fromValue.isValid() ? vlAnimationValuesFromVariant(m_fromValue) : current;
    m_to = m_toValue.isValid() ? vlAnimationValuesFromVariant(m_toValue) : current;
    if (m_from.empty())
        m_from = m_to;
    if (m_to.empty())
        m_to = m_from;
    return !m_from.empty() && m_from.size() == m_to.size();
}

void VLPropertyAnimation::write(QObject *target, const VLAnimationValues &values) const
{
    if (m_property)
        m_property->write(target, values);
}
