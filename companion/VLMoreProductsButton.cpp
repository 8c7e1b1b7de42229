#include "companion/VLMoreProductsButton.h"

#include "platform/animation/VLAnimatableProperty.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// The arrow, pointing down while the products are hidden.
QPixmap arrowImage()
{
    constexpr double scale = 2.0;
    QPixmap image(QSize(10, 6) * scale);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    path.moveTo(1.0, 1.0);
    path.lineTo(5.0, 5.0);
    path.lineTo(9.0, 1.0);
    painter.drawPath(path);
    return image;
}

VLAnimatablePropertyPtr layerRotationProperty()
{
    static const VLAnimatablePropertyPtr property = VLAnimatableProperty::qtProperty(QStringLiteral("layer.rotation"),
                                                                                     "rotation", 0.01);
    return property;
}

} // namespace

VLMoreProductsButton::VLMoreProductsButton(QWidget *parent) : VLLinkRoundedButton(parent)
{
    setImage(arrowImage());
}

void VLMoreProductsButton::setIsOn(bool on)
{
    m_isOn = on;
    // The image layer turns the arrow as an implicit animation would.
    auto turn = VLBasicAnimation::animationWithProperty(layerRotationProperty());
    turn->setToValue(on ? 180.0 : 0.0);
    turn->setDuration(0.25);
    VLAnimator::addAnimationForKey(imageLayer(), turn, rotationAnimationKey);
}

void VLMoreProductsButton::toggle()
{
    setIsOn(!m_isOn);
    sendAction();
}

void VLMoreProductsButton::insertText(const QString &text)
{
    if (text == QStringLiteral(" "))
        toggle();
    else
        VLLinkRoundedButton::insertText(text);
}

void VLMoreProductsButton::trackingChanged(bool inside)
{
    Q_UNUSED(inside)
}

void VLMoreProductsButton::trackingFinished(bool inside)
{
    if (inside)
        toggle();
}
