#include "screens/VLEncryptProgressImageView.h"

#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"

#include <QPainter>
#include <QResizeEvent>

namespace {
const QString kProgressKey = QStringLiteral("progress");

VLAnimatablePropertyPtr displayedProgressProperty()
{
    static const VLAnimatablePropertyPtr property = VLAnimatableProperty::qtProperty(
        QStringLiteral("com.nimbrel.Vaultine.prop.iconProgress"), QByteArrayLiteral("displayedProgress"), 0.001);
    return property;
}
} // namespace

VLEncryptProgressImageView::VLEncryptProgressImageView(QWidget *parent) : QWidget(parent)
{
    setProgress(0.0);
}

void VLEncryptProgressImageView::setTopImage(const QImage &image)
{
    m_topImage = image;
    update();
}

void VLEncryptProgressImageView::setBottomImage(const QImage &image)
{
    m_bottomImage = image;
    update();
}

void VLEncryptProgressImageView::setProgressAnimatedDuration(double progress, bool animated, double duration)
{
    m_progress = progress;
    if (!animated || duration <= 0.0) {
        VLAnimator::removeAnimationForKey(this, kProgressKey);
        setDisplayedProgress(progress);
        return;
    }
    auto animation = VLBasicAnimation::animationWithProperty(displayedProgressProperty());
    animation->setFromValue(m_displayedProgress);
    animation->setToValue(progress);
    animation->setDuration(duration);
    animation->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::Linear));
    VLAnimator::addAnimationForKey(this, animation, kProgressKey);
}

void VLEncryptProgressImageView::setDisplayedProgress(double progress)
{
    if (progress == m_displayedProgress)
        return;
    m_displayedProgress = progress;
    update();
}

QRectF VLEncryptProgressImageView::topImageContainerFrame() const
{
    const double cut = m_displayedProgress * height();
    return QRectF(0, 0, width(), height() - cut);
}

QRectF VLEncryptProgressImageView::bottomImageContainerFrame() const
{
    const double cut = m_displayedProgress * height();
    return QRectF(0, height() - cut, width(), cut);
}

QRectF VLEncryptProgressImageView::imageFrame(const QImage &image) const
{
    const QRectF bounds(rect());
    if (image.isNull() || bounds.isEmpty())
        return QRectF();
    const QSizeF size = image.deviceIndependentSize().scaled(bounds.size(), Qt::KeepAspectRatio);
    return QRectF(bounds.center().x() - size.width() * 0.5, bounds.center().y() - size.height() * 0.5, size.width(),
                  size.height());
}

void VLEncryptProgressImageView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_frameCenterRotation != 0.0) {
        // Counter-clockwise in the layouts' y-up terms is clockwise-negative here.
        const QPointF centre = QRectF(rect()).center();
        painter.translate(centre);
        painter.rotate(-m_frameCenterRotation);
        painter.translate(-centre);
    }
    const auto drawPart = [&](const QImage &image, const QRectF &part) {
        if (image.isNull() || part.height() <= 0.0)
            return;
        painter.save();
        painter.setClipRect(part);
        painter.drawImage(imageFrame(image), image);
        painter.restore();
    };
    drawPart(m_bottomImage, bottomImageContainerFrame());
    drawPart(m_topImage, topImageContainerFrame());
}

void VLEncryptProgressImageView::setFrameCenterRotation(double degrees)
{
    if (m_frameCenterRotation == degrees)
        return;
    m_frameCenterRotation = degrees;
    update();
}

void VLEncryptProgressImageView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // A new size takes the stored progress at once.
    setProgress(m_progress);
}
