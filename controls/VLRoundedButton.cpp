#include "controls/VLRoundedButton.h"

#include "controls/VLGeometry.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/view/Geometry.h"
#include "platform/view/ViewAlpha.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr double kImageGap = 6.0;
constexpr double kContentMargin = 8.0;
constexpr double kPressedShadeOpacity = 0.1;

// The system font at the system font size (13 points, drawn as pixels).
QFont defaultFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(13);
    return font;
}

double pixelSizeOf(const QFont &font)
{
    if (font.pixelSize() > 0)
        return font.pixelSize();
    return font.pointSizeF() > 0 ? font.pointSizeF() : 13.0;
}

} // namespace

VLRoundedButton::VLRoundedButton(QWidget *parent) : VLControl(parent)
{
    commonInit();
}

VLRoundedButton::~VLRoundedButton()
{
    m_viewLayer->setDelegate(nullptr); // the layers outlive this part of the button
}

void VLRoundedButton::commonInit()
{
    m_font = defaultFont();
    m_fontName = m_font.family();
    m_fontSize = pixelSizeOf(m_font);
    QWidget::setFont(m_font);
    m_titleColor = palette().color(QPalette::ButtonText);
    m_backgroundColor = palette().color(QPalette::Button);

    m_viewLayer = new VLLayer(this);
    m_viewLayer->setHostView(this);
    m_viewLayer->setDelegate(this);
    m_viewLayer->setBackgroundColor(m_backgroundColor);
    // Sublayers keep to the rounded shape, so the press shade has the button's corners.
    m_viewLayer->setMasksToBounds(true);
    m_viewLayer->setActionForKey(QStringLiteral("opacity"), nullptr);

    m_shadeLayer = new VLLayer;
    m_shadeLayer->setBackgroundColor(Qt::black);
    m_shadeLayer->setOpacityWithoutAction(0.0); // its opacity keeps the implicit fade
    m_viewLayer->addSublayer(m_shadeLayer);

    m_textLayer = new VLTextLayer;
    m_textLayer->setActionForKey(QStringLiteral("opacity"), nullptr);
    m_textLayer->setString(m_title);
    m_textLayer->setFont(m_font);
    m_textLayer->setFontSize(m_fontSize);
    m_textLayer->setForegroundColor(m_titleColor);
    m_textLayer->setAlignmentMode(Qt::AlignHCenter);
    m_textLayer->setShadowColor(Qt::black);
    m_textLayer->setShadowOffset(QPointF(0, 0));
    m_textLayer->setShadowOpacity(0.1);
    m_textLayer->setShadowRadius(0.3);
    m_viewLayer->addSublayer(m_textLayer);

    m_imageLayer = new VLLayer;
    m_imageLayer->setBackgroundColor(Qt::transparent);
    m_imageLayer->setShouldRasterize(true);
    m_viewLayer->addSublayer(m_imageLayer);

    updateContentsScale();
    resizeLayers();
}

// --- Properties ---

void VLRoundedButton::titleOrFontChanged()
{
    updateGeometry();
    if (QWidget *superview = parentWidget(); superview && superview->layout())
        superview->layout()->activate();
    resizeLayers();
    update();
}

void VLRoundedButton::setTitle(const QString &title)
{
    m_title = title;
    m_textLayer->setString(title);
    titleOrFontChanged();
}

void VLRoundedButton::setFont(const QFont &font)
{
    m_fontSize = pixelSizeOf(font);
    m_font = font;
    m_font.setPixelSize(std::max(1, static_cast<int>(std::lround(m_fontSize))));
    m_fontName = m_font.family();
    QWidget::setFont(m_font);
    m_textLayer->setFont(m_font);
    m_textLayer->setFontSize(m_fontSize);
    titleOrFontChanged();
}

void VLRoundedButton::setFontSize(double size)
{
    QFont font = m_font;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    setFont(font);
    m_fontSize = size;
    m_textLayer->setFontSize(size);
}

void VLRoundedButton::setFontName(const QString &name)
{
    QFont font(name);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(m_fontSize))));
    const double size = m_fontSize;
    setFont(font);
    m_fontSize = size;
    m_textLayer->setFontSize(size);
}

void VLRoundedButton::setImage(const QPixmap &image)
{
    m_image = image;
    m_imageLayer->setContents(image.toImage());
    resizeLayers();
    update();
}

void VLRoundedButton::setTitleColor(const QColor &color)
{
    m_titleColor = color;
    m_textLayer->setForegroundColor(color);
    update();
}

void VLRoundedButton::setBackgroundColor(const QColor &color)
{
    m_backgroundColor = color;
    m_viewLayer->setBackgroundColor(color);
}

double VLRoundedButton::cornerRadius() const
{
    return m_viewLayer->cornerRadius();
}

void VLRoundedButton::setCornerRadius(double radius)
{
    m_viewLayer->setCornerRadius(radius);
    noteFocusRingMaskChanged();
}

// --- Enabled state ---

void VLRoundedButton::setEnabledAnimated(bool enabled, bool animated)
{
    if (enabled == !testAttribute(Qt::WA_ForceDisabled))
        return;
    m_animateEnabledChange = animated;
    QWidget::setEnabled(enabled);
    // Qt sends no change event when an ancestor already decides the state.
    applyEnabledAppearance(animated);
    m_animateEnabledChange = false;
}

void VLRoundedButton::applyEnabledAppearance(bool animated)
{
    // The button's own state counts, not a disabled ancestor's.
    const bool enabled = !testAttribute(Qt::WA_ForceDisabled);
    if (enabled == m_appliedEnabled)
        return;
    m_appliedEnabled = enabled;
    VLAnimator::removeAnimationForKey(this, enabledAnimationKey);
    const double alpha = enabled ? 1.0 : 0.5;
    if (animated) {
        auto fade = VLBasicAnimation::animationWithPropertyNamed(kVLViewAlphaValue);
        fade->setToValue(alpha);
        fade->setDuration(0.25);
        VLAnimator::addAnimationForKey(this, fade, enabledAnimationKey);
    } else {
        vlSetAlphaValue(this, alpha);
    }
}

void VLRoundedButton::changeEvent(QEvent *event)
{
    VLControl::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        applyEnabledAppearance(m_animateEnabledChange);
}

// --- Scale ---

bool VLRoundedButton::shouldDrawManually() const
{
    return m_contentsScale < 2.0;
}

void VLRoundedButton::applyContentsScale(double scale)
{
    m_contentsScale = scale;
    m_viewLayer->setContentsScale(scale);
    m_textLayer->setContentsScale(scale);
    m_shadeLayer->setContentsScale(scale);
    m_imageLayer->setContentsScale(scale);
    m_imageLayer->setRasterizationScale(scale);
    m_textLayer->setOpacity(shouldDrawManually() ? 0.0 : 1.0);
    update();
}

void VLRoundedButton::updateContentsScale()
{
    applyContentsScale(devicePixelRatioF());
}

void VLRoundedButton::viewDidChangeBackingProperties()
{
    VLLayerActionsDisabled noActions;
    updateContentsScale();
}

void VLRoundedButton::showEvent(QShowEvent *event)
{
    VLControl::showEvent(event);
    if (devicePixelRatioF() != m_contentsScale)
        viewDidChangeBackingProperties();
}

// --- Layout ---

QSizeF VLRoundedButton::titleSize() const
{
    const QFontMetricsF metrics(m_textLayer->drawingFont());
    return {metrics.horizontalAdvance(m_title), metrics.height()};
}

QSizeF VLRoundedButton::imageSize() const
{
    return m_image.isNull() ? QSizeF(0, 0) : m_image.deviceIndependentSize();
}

double VLRoundedButton::imageGap() const
{
    const QSizeF size = imageSize();
    return size.width() != 0.0 || size.height() != 0.0 ? kImageGap : 0.0;
}

void VLRoundedButton::resizeLayers()
{
    // Worked out y-up, as the layout was designed, and converted once.
    const double w = width();
    const double h = height();
    const QSizeF text = titleSize();
    const QSizeF picture = imageSize();
    const double gap = imageGap();

    QRectF textFrame;
    if (gap > 0.0) {
        const double x = (w - text.width() - gap - picture.width()) * 0.5;
        const double y = (h - text.height()) * 0.5;
        textFrame = QRectF(x, y, text.width(), text.height());
        const QRectF imageFrame(std::floor(x + text.width() + gap), std::floor((h - picture.height()) * 0.5),
                                picture.width(), picture.height());
        m_imageLayer->setFrame(VLRectFromBottomLeft(imageFrame, h));
    } else {
        textFrame = QRectF(0, (h - text.height()) * 0.5, w, text.height());
        m_imageLayer->setFrame(QRectF());
    }
    m_textLayer->setFrame(VLRectFromBottomLeft(VLRectIntegral(textFrame), h));
    m_viewLayer->setFrame(QRectF(rect()));
    m_shadeLayer->setFrame(QRectF(rect()));
    noteFocusRingMaskChanged();
}

void VLRoundedButton::resizeEvent(QResizeEvent *event)
{
    VLControl::resizeEvent(event);
    resizeLayers();
}

QSize VLRoundedButton::sizeHint() const
{
    const QSizeF text = titleSize();
    const QSizeF picture = imageSize();
    const double gap = imageGap();
    const double w = text.width() + gap + picture.width() + kContentMargin;
    const double h = std::max(text.height(), picture.height()) + kContentMargin;
    return {static_cast<int>(std::ceil(w)), static_cast<int>(std::ceil(h))};
}

// --- Drawing ---

void VLRoundedButton::drawLayerInContext(const VLLayer *layer, QPainter &painter) const
{
    if (layer == m_viewLayer)
        drawRect(painter);
}

void VLRoundedButton::drawRect(QPainter &painter) const
{
    if (!shouldDrawManually() || m_title.isEmpty())
        return;
    const double w = width();
    const double h = height();
    const QSizeF text = titleSize();
    const double x = (w - text.width() - imageGap() - imageSize().width()) * 0.5;
    double y = (h - text.height()) * 0.5;
    if (text.height() < h)
        y += 1.0; // sits a pixel higher on low-resolution screens, where it is drawn unshadowed
    const QRectF frame = VLRectFromBottomLeft(QRectF(x, y, text.width(), text.height()), h);
    painter.save();
    painter.setFont(m_textLayer->drawingFont());
    painter.setPen(m_textLayer->foregroundColor());
    painter.drawText(frame, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_title);
    painter.restore();
}

void VLRoundedButton::drawFocusRingMask(QPainter &painter) const
{
    QPainterPath path;
    const double r = cornerRadius();
    path.addRoundedRect(QRectF(rect()), r, r);
    painter.fillPath(path, Qt::black);
}

void VLRoundedButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    // Follow the surface actually painted on (a grab at another scale, a move between screens).
    const qreal scale = VLLayer::deviceScale(painter);
    if (scale != m_contentsScale) {
        VLLayerActionsDisabled noActions;
        applyContentsScale(scale);
    }
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    m_viewLayer->renderInContext(painter);
    if (showsFocusRing())
        drawFocusRing(painter);
}

// --- Tracking ---

void VLRoundedButton::trackingChanged(bool inside)
{
    const double opacity = inside ? kPressedShadeOpacity : 0.0;
    if (m_shadeLayer->opacity() != opacity)
        m_shadeLayer->setOpacity(opacity);
}

void VLRoundedButton::trackingFinished(bool inside)
{
    QPointer<VLRoundedButton> self(this);
    if (inside)
        sendAction();
    if (self)
        m_shadeLayer->setOpacity(0.0);
}
