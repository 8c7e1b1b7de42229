#include "companion/NBGDPRTintedButton.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

// Between the image and the title, and around the content inside the pill.
constexpr double imageTitleGap = 4.0;

} // namespace

NBGDPRTintedButton::NBGDPRTintedButton(QWidget *parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void NBGDPRTintedButton::setTintColor(const QColor &color)
{
    m_tintColor = color;
    update();
}

void NBGDPRTintedButton::setMouseInside(bool inside)
{
    if (m_mouseInside == inside)
        return;
    m_mouseInside = inside;
    update();
}

void NBGDPRTintedButton::enterEvent(QEnterEvent *event)
{
    setMouseInside(true);
    QAbstractButton::enterEvent(event);
}

void NBGDPRTintedButton::leaveEvent(QEvent *event)
{
    setMouseInside(false);
    QAbstractButton::leaveEvent(event);
}

QSize NBGDPRTintedButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int imageWidth = icon().isNull() ? 0 : iconSize().width();
    const int height = std::max(metrics.height(), icon().isNull() ? 0 : iconSize().height()) + 8;
    const int contentWidth = imageWidth + int(imageTitleGap) + metrics.horizontalAdvance(text());
    return {contentWidth + height, height};
}

QRectF NBGDPRTintedButton::contentFrame() const
{
    const QRectF bounds(rect());
    const double end = bounds.height() * 0.5;
    return bounds.adjusted(end, 0.0, -end, 0.0);
}

QImage NBGDPRTintedButton::contentMask(const QRectF &frame) const
{
    const double scale = devicePixelRatioF();
    QImage mask((frame.size() * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    mask.setDevicePixelRatio(scale);
    mask.fill(Qt::transparent);
    if (mask.isNull())
        return mask;

    // The image takes the leftmost strip, the title the rest; both sit a pixel low, clear of the
    // pill's top edge.
    const double imageWidth = icon().isNull() ? 0.0 : iconSize().width();
    const double titleX = imageWidth > 0.0 ? imageWidth + imageTitleGap : 0.0;
    const QRectF imagePart(frame.x(), frame.y() + 1.0, imageWidth, frame.height() - 1.0);
    const QRectF titlePart(frame.x() + titleX, frame.y() + 1.0, frame.width() - titleX, frame.height() - 1.0);

    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-frame.topLeft());
    painter.setFont(font());
    painter.setPen(Qt::black);
    painter.drawText(titlePart, Qt::AlignLeft | Qt::AlignVCenter, text());
    if (!icon().isNull()) {
        const QSize size = iconSize();
        const QPointF origin(imagePart.x(), imagePart.center().y() - size.height() * 0.5);
        painter.drawPixmap(origin, icon().pixmap(size, scale));
    }
    return mask;
}

void NBGDPRTintedButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    QColor content = m_tintColor;
    if (m_mouseInside) {
        const QRectF pill(bounds.x(), bounds.y() + 1.0, bounds.width(), bounds.height() - 1.0);
        const double radius = pill.height() * 0.5;
        QPainterPath path;
        path.addRoundedRect(pill, radius, radius);
        painter.fillPath(path, m_tintColor);
        content = Qt::white;
    }
    // Title and image in one colour: the colour shows only where the mask is drawn.
    const QRectF frame = contentFrame();
    QImage mask = contentMask(frame);
    if (mask.isNull())
        return;
    {
        QPainter tint(&mask);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(QRectF(QPointF(0, 0), frame.size()), content);
    }
    painter.drawImage(frame.topLeft(), mask);
}
