#pragma once

#include "platform/animation/VLAnimatableProperty.h"
#include "platform/animation/VLAnimation.h"

#include <QVariant>

// An animation of one property between a start and an end value. Values are given as variants
// (double, QPointF, QSizeF, QRectF, or a QVariantList of doubles for custom properties). Without a
// from value the property's value at the start is used; without a to value, the same.
class VLPropertyAnimation : public VLAnimation
{
public:
    const VLAnimatablePropertyPtr &property() const { return m_property; }
    void setProperty(VLAnimatablePropertyPtr property) { m_property = std::move(property); }

    const QVariant &fromValue() const { return m_fromValue; }
    void setFromValue(const QVariant &value) { m_fromValue = value; }
    const QVariant &toValue() const { return m_toValue; }
    void setToValue(const QVariant &value);

protected:
    VLPropertyAnimation() = default;

    // Reads and converts the start and end values; false when they do not fit the property.
    bool prepareValues(QObject *target);
    void write(QObject *target, const VLAnimationValues &values) const;
    double threshold() const { return m_property ? m_property->threshold() : 0.01; }
    // A running animation whose end value is changed (springs retarget from where they are).
    virtual void toValueChanged() {}

    VLAnimationValues m_from;
    VLAnimationValues m_to;

private:
    VLAnimatablePropertyPtr m_property;
    QVariant m_fromValue;
    QVariant m_toValue;
};
