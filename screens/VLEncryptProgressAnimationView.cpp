#include "screens/VLEncryptProgressAnimationView.h"

#include "screens/VLEncryptTextStackLayer.h"

#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/view/Geometry.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QShowEvent>

#include <algorithm>

const QString VLEncryptProgressAnimationView::slideAnimationKey = QStringLiteral("slideAnimation");

VLEncryptProgressAnimationView::VLEncryptProgressAnimationView(QWidget *parent)
    : QWidget(parent)
    , m_durationRandom(quint32(QDateTime::currentMSecsSinceEpoch()))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    for (const QChar c : alphabet)
        m_characters.append(QString(c));

    m_font = QFont(QStringLiteral("DejaVu Sans Mono"));
    m_font.setStyleHint(QFont::Monospace);
    m_font.setPixelSize(11);
    m_textHeight = QFontMetricsF(m_font).size(Qt::TextSingleLine, QStringLiteral("M")).height();

    for (int i = 0; i < columnCount; ++i) {
        auto *column = new VLEncryptTextStackLayer(this);
        column->setFont(m_font);
        column->setOpacity(0.6);
        for (VLEncryptTextLayer &layer : column->textLayers())
            layer.string = randomCharacter();
        m_animationLayers.append(column);
    }
    recreateLayerMask();
    resizeLayers();
}

VLEncryptProgressAnimationView::~VLEncryptProgressAnimationView()
{
    // The slides name this view as their delegate; they must not report to it once it is gone.
    for (const auto &slide : std::as_const(m_ownedSlides))
        slide->setDelegate(nullptr);
    for (VLEncryptTextStackLayer *column : std::as_const(m_animationLayers))
        VLAnimator::removeAnimationForKey(column, slideAnimationKey);
}

QString VLEncryptProgressAnimationView::randomCharacter()
{
    return m_characters.at(int(QRandomGenerator::global()->bounded(quint32(m_characters.size()))));
}

double VLEncryptProgressAnimationView::randomDuration()
{
    // 0.15 to 0.75 seconds for a slide of four rows.
    return (m_durationRandom.generateDouble() * 0.12 + 0.03) * 5.0;
}

void VLEncryptProgressAnimationView::setAnimating(bool animating)
{
    if (animating == m_animating)
        return;
    m_animating = animating;
    removeSlides();
    if (animating)
        addSlides();
}

void VLEncryptProgressAnimationView::removeSlides()
{
    for (VLEncryptTextStackLayer *column : std::as_const(m_animationLayers))
        VLAnimator::removeAnimationForKey(column, slideAnimationKey);
}

void VLEncryptProgressAnimationView::addSlides()
{
    for (VLEncryptTextStackLayer *column : std::as_const(m_animationLayers))
        addAnimationForLayer(column);
}

void VLEncryptProgressAnimationView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous() && m_animating) {
        removeSlides();
        addSlides();
    }
}

void VLEncryptProgressAnimationView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        removeSlides();
}

void VLEncryptProgressAnimationView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    resizeLayers();
}

void VLEncryptProgressAnimationView::resizeLayers()
{
    recreateLayerMask();
    const QRectF bounds(rect());
    const double columnWidth = (bounds.width() - 14.0) / columnCount;
    const double columnHeight = VLEncryptTextStackLayer::rowCount * m_textHeight;
    const double inset = (bounds.height() - m_textHeight) * 0.5;
    m_containerFrame = bounds.adjusted(7.0, inset, -7.0, -inset);
    for (int i = 0; i < columnCount; ++i) {
        VLEncryptTextStackLayer *column = m_animationLayers.at(i);
        const VLAnimationPtr running = VLAnimator::animationForKey(column, slideAnimationKey);
        const bool sliding = running && running->isRunning();
        if (sliding)
            VLAnimator::removeAnimationForKey(column, slideAnimationKey);
        // The column stands on the container's line and reaches four rows above it.
        column->setFrame(
            VLRectFromBottomLeft(QRectF(i * columnWidth, 0, columnWidth, columnHeight), m_containerFrame.height()));
        if (sliding)
            addAnimationForLayer(column);
    }
    update();
}

void VLEncryptProgressAnimationView::recreateLayerMask()
{
    const double height = this->height();
    // The locations rise only while the view is at most two lines high; the layouts keep to that.
    const double f = height > 0.0 ? std::clamp((height - m_textHeight) / height, 0.0, 1.0) : 0.0;
    m_maskLocations = {0.0, f, 1.0 - f, 1.0};
}

void VLEncryptProgressAnimationView::addAnimationForLayer(VLEncryptTextStackLayer *layer)
{
    const QPointF position = layer->position();
    auto slide = VLBasicAnimation::animationWithPropertyNamed(kVLLayerPosition);
    slide->setFromValue(position);
    slide->setToValue(position + QPointF(0, 4.0 * m_textHeight));
    slide->setDuration(randomDuration());
    slide->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::Linear));
    slide->setRemovedOnCompletion(false);
    slide->setAutoreverses(false);
    slide->setDelegate(this);
    m_slides.insert(slide.get(), Slide{layer, position});
    m_ownedSlides.append(slide);
    VLAnimator::addAnimationForKey(layer, slide, slideAnimationKey);
}

void VLEncryptProgressAnimationView::animationDidStopFinished(VLAnimation *animation, bool finished)
{
    const auto found = m_slides.constFind(animation);
    if (found == m_slides.cend())
        return;
    const Slide slide = *found;
    VLEncryptTextStackLayer *column = slide.layer;
    if (!finished || !column || !m_animating) {
        // Removed: forget it.
        m_slides.erase(found);
        m_ownedSlides.removeIf([animation](const auto &owned) { return owned.get() == animation; });
        return;
    }
    // One slide is over: the bottom row takes the character that was just in view, the column
    // jumps back, and the slide runs again at a new speed.
    QList<VLEncryptTextLayer> &rows = column->textLayers();
    rows.first().string = rows.last().string;
    column->setPosition(slide.originalPosition);
    for (qsizetype i = 1; i < rows.size(); ++i)
        rows[i].string = randomCharacter();
    auto *basic = static_cast<VLBasicAnimation *>(animation);
    basic->setDuration(randomDuration());
    const VLAnimationPtr again = animation->shared_from_this();
    VLAnimator::addAnimationForKey(column, again, slideAnimationKey);
}

void VLEncryptProgressAnimationView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    if (width() <= 0 || height() <= 0)
        return;
    const qreal ratio = devicePixelRatioF();
    QImage layer(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(m_containerFrame.topLeft());
        for (const VLEncryptTextStackLayer *column : std::as_const(m_animationLayers))
            column->draw(painter);

        // Fade towards the top and bottom edges.
        QLinearGradient mask(0, 0, 0, height());
        mask.setColorAt(m_maskLocations.at(0), Qt::transparent);
        mask.setColorAt(m_maskLocations.at(1), Qt::black);
        mask.setColorAt(m_maskLocations.at(2), Qt::black);
        mask.setColorAt(m_maskLocations.at(3), Qt::transparent);
        painter.resetTransform();
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(QRectF(rect()), mask);
    }
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), layer);
}
