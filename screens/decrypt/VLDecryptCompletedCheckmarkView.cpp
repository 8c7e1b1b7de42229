#include "screens/decrypt/VLDecryptCompletedCheckmarkView.h"

#include "platform/animation/VLAnimationProps.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"

#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

#include <numbers>

namespace {

const QString kScaleProp = QStringLiteral("transform.scale");

QImage renderCheckIcon(QSize size)
{
    QImage image(size.expandedTo(QSize(1, 1)) * 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(2.0);
    QSvgRenderer renderer(VLDecryptCompletedCheckmarkView::checkmarkImageResource);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

} // namespace

VLCheckmarkLayer::VLCheckmarkLayer(QWidget *host) : QObject(host), m_host(host)
{
}

void VLCheckmarkLayer::setOpacity(double opacity)
{
    m_opacity = opacity;
    m_host->update();
}

void VLCheckmarkLayer::setScale(double scale)
{
    m_scale = scale;
    m_host->update();
}

VLDecryptCompletedCheckmarkView::VLDecryptCompletedCheckmarkView(QWidget *parent)
    : QWidget(parent)
    , m_checkmarkLayer(new VLCheckmarkLayer(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void VLDecryptCompletedCheckmarkView::setProgress(double progress)
{
    m_progress = progress;
    update();
}

VLAnimatablePropertyPtr VLDecryptCompletedCheckmarkView::progressProperty()
{
    return VLAnimatableProperty::propertyWithName(progressPropertyName, [](VLAnimatableProperty &p) {
        p.setReadBlock([](QObject *object) {
            auto *view = qobject_cast<VLDecryptCompletedCheckmarkView *>(object);
            return view ? VLAnimationValues{view->progress()} : VLAnimationValues();
        });
        p.setWriteBlock([](QObject *object, const VLAnimationValues &values) {
            auto *view = qobject_cast<VLDecryptCompletedCheckmarkView *>(object);
            if (view && !values.empty())
                view->setProgress(values.front());
        });
        p.setThreshold(0.01);
    });
}

void VLDecryptCompletedCheckmarkView::animateCheckmark()
{
    const double now = VLAnimator::currentMediaTime();

    auto ring = animationWithProp<VLBasicAnimation>(progressProperty());
    ring->setFromValue(0.0);
    ring->setToValue(1.0);
    ring->setDuration(0.3);
    VLAnimator::addAnimationForKey(this, ring, QStringLiteral("progressAnimation"));

    auto fade = VLBasicAnimation::animationWithPropertyNamed(kVLLayerOpacity);
    fade->setToValue(1.0);
    fade->setBeginTime(now + ring->duration());
    fade->setDuration(0.1);
    VLAnimator::addAnimationForKey(m_checkmarkLayer, fade, QStringLiteral("alphaAnimation"));

    // Stays at its end value once done, as the layer keeps a forward-filled animation.
    auto shrink = VLBasicAnimation::animationWithProperty(
        VLAnimatableProperty::qtProperty(kScaleProp, QByteArrayLiteral("scale"), 0.01));
    shrink->setFromValue(2.0);
    shrink->setToValue(1.0);
    shrink->setBeginTime(now + ring->duration() + fade->duration());
    shrink->setDuration(0.2);
    shrink->setRemovedOnCompletion(false);
    VLAnimator::addAnimationForKey(m_checkmarkLayer, shrink, QStringLiteral("scaleAnimation"));
}

void VLDecryptCompletedCheckmarkView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The bounds inset by 23 and 29, moved 2 right and 1 down (1 up in the layouts' y-up terms).
    const QRectF frame = QRectF(rect()).adjusted(23, 29, -23, -29).translated(2, 1);
    m_checkmarkLayer->setFrame(frame);
    m_checkmarkLayer->setContents(renderCheckIcon(frame.size().toSize()));
}

void VLDecryptCompletedCheckmarkView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    if (m_progress > 0.0) {
        // Starts at the bottom of the circle and grows counter-clockwise on screen.
        const double radius = bounds.width() * 0.5 - 0.5;
        const QPointF centre = bounds.center();
        QPainterPath ring;
        ring.arcMoveTo(QRectF(centre.x() - radius, centre.y() - radius, radius * 2, radius * 2), -90.0);
        ring.arcTo(QRectF(centre.x() - radius, centre.y() - radius, radius * 2, radius * 2), -90.0, 360.0 * m_progress);
        painter.setPen(QPen(QColor::fromRgbF(1.0, 1.0, 1.0, 0.2), 1.0));
        painter.drawPath(ring);
    }
    const double opacity = m_checkmarkLayer->opacity();
    if (opacity > 0.0 && !m_checkmarkLayer->contents().isNull()) {
        const QRectF frame = m_checkmarkLayer->frame();
        const double scale = m_checkmarkLayer->scale();
        QRectF scaled(0, 0, frame.width() * scale, frame.height() * scale);
        scaled.moveCenter(frame.center());
        painter.setOpacity(opacity);
        painter.drawImage(scaled, m_checkmarkLayer->contents());
    }
}
