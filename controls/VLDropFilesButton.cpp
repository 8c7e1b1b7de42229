#include "controls/VLDropFilesButton.h"

#include "platform/animation/VLBasicAnimation.h"

#include <QEvent>
#include <QPainter>

namespace {

constexpr double kLineWidth = 2.0;
constexpr double kPressedOpacity = 0.4;

// The icon's shapes are drawn y-up in a 62-point square; this turns one point y-down.
QPointF iconPoint(double x, double y)
{
    return {x, VLDropFilesButton::iconSide - y};
}

} // namespace

VLDropFilesButton::VLDropFilesButton(QWidget *parent) : VLControl(parent)
{
    m_viewLayer = new VLLayer(this);
    m_viewLayer->setHostView(this);
    m_viewLayer->setMasksToBounds(true);
    m_viewLayer->setActionForKey(QStringLiteral("position"), nullptr);
    m_viewLayer->setActionForKey(QStringLiteral("bounds"), nullptr);
    m_viewLayer->setActionForKey(QStringLiteral("opacity"), nullptr);
    m_viewLayer->setFrame(QRectF(rect()));

    m_iconLayer = new VLShapeLayer;
    m_iconLayer->setDelegate(this);
    m_iconLayer->setFrame(QRectF(0, 0, iconSide, iconSide));
    m_iconLayer->setPosition(QPointF(width() * 0.5, height() * 0.5));
    m_iconLayer->setStrokeColor(Qt::black);
    m_iconLayer->setFillColor(Qt::transparent);
    m_iconLayer->setLineWidth(kLineWidth);
    m_iconLayer->setLineJoin(Qt::MiterJoin);
    m_iconLayer->setLineCap(Qt::SquareCap);
    m_viewLayer->addSublayer(m_iconLayer);

    setupMovingIcon();
    m_iconLayer->setPath(m_addPath);
    updateContentsScale();
    resizeIcon();
}

VLDropFilesButton::~VLDropFilesButton()
{
    m_iconLayer->setDelegate(nullptr);
}

void VLDropFilesButton::setupMovingIcon()
{
    // Both shapes have the same elements (move, line, move, line, line), so the morph moves
    // point to point: the stem stays, the plus's bar folds into the arrow's head.
    const double h = m_iconLayer->lineWidth() * 0.5;
    const double side = iconSide;
    VLPath plus;
    plus.moveTo(iconPoint(31, h)).lineTo(iconPoint(31, side - h));
    plus.moveTo(iconPoint(h, 31)).lineTo(iconPoint(31, 31)).lineTo(iconPoint(side - h, 31));
    VLPath arrow;
    arrow.moveTo(iconPoint(31, h)).lineTo(iconPoint(31, side - h));
    arrow.moveTo(iconPoint(9, 22)).lineTo(iconPoint(31, 0)).lineTo(iconPoint(53, 22));
    m_plusPath = plus;
    m_addPath = arrow;
}

void VLDropFilesButton::setIconIsPlus(bool iconIsPlus)
{
    m_iconIsPlus = iconIsPlus;
    m_iconLayer->setPath(iconIsPlus ? m_plusPath : m_addPath);
    noteFocusRingMaskChanged();
}

std::optional<VLLayerAction> VLDropFilesButton::actionForLayerForKey(VLLayer *layer, const QString &key)
{
    Q_UNUSED(layer)
    if (key != pathKey)
        return std::nullopt;
    auto morph = VLBasicAnimation::animation();
    morph->setDuration(0.2);
    morph->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::EaseInEaseOut));
    return morph;
}

void VLDropFilesButton::resizeIcon()
{
    m_viewLayer->setFrame(QRectF(rect()));
    m_iconLayer->setFrame(QRectF((width() - iconSide) * 0.5, (height() - iconSide) * 0.5, iconSide, iconSide));
    noteFocusRingMaskChanged();
}

void VLDropFilesButton::resizeEvent(QResizeEvent *event)
{
    VLControl::resizeEvent(event);
    resizeIcon();
}

bool VLDropFilesButton::acceptsFirstMouse(const QMouseEvent *event) const
{
    Q_UNUSED(event)
    return false;
}

void VLDropFilesButton::drawFocusRingMask(QPainter &painter) const
{
    m_viewLayer->renderInContext(painter);
}

void VLDropFilesButton::applyContentsScale(double scale)
{
    m_contentsScale = scale;
    m_viewLayer->setContentsScale(scale);
    m_iconLayer->setContentsScale(scale);
}

void VLDropFilesButton::updateContentsScale()
{
    applyContentsScale(devicePixelRatioF());
}

void VLDropFilesButton::viewDidChangeBackingProperties()
{
    updateContentsScale();
}

bool VLDropFilesButton::event(QEvent *event)
{
    // Moving to another superview may move the button to another screen.
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::ParentAboutToChange)
        updateContentsScale();
    return VLControl::event(event);
}

void VLDropFilesButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    const qreal scale = VLLayer::deviceScale(painter);
    if (scale != m_contentsScale)
        applyContentsScale(scale);
    painter.setRenderHint(QPainter::Antialiasing);
    if (showsFocusRing())
        drawFocusRing(painter); // beneath the strokes, as a halo
    m_viewLayer->renderInContext(painter);
}

void VLDropFilesButton::trackingChanged(bool inside)
{
    const double opacity = inside ? kPressedOpacity : 1.0;
    if (m_viewLayer->opacity() != opacity)
        m_viewLayer->setOpacity(opacity);
}

void VLDropFilesButton::trackingFinished(bool inside)
{
    m_viewLayer->setOpacity(1.0);
    if (inside)
        sendAction();
}
