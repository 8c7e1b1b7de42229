#include "companion/NBGDPRButton.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

NBGDPRButton::NBGDPRButton(QWidget *parent) : QPushButton(parent)
{
    setCursor(Qt::ArrowCursor);
}

void NBGDPRButton::setColor(QColor &slot, const QColor &color)
{
    slot = color;
    update();
}

void NBGDPRButton::setCornerRadius(double radius)
{
    m_cornerRadius = radius;
    update();
}

void NBGDPRButton::setHorizontalContentInset(double inset)
{
    m_horizontalContentInset = inset;
    updateGeometry();
}

void NBGDPRButton::setBackgrounColor(const QColor &color)
{
    setColor(m_backgrounColor, color);
}
void NBGDPRButton::setHighlightedBackgroundColor(const QColor &color)
{
    setColor(m_highlightedBackgroundColor, color);
}
void NBGDPRButton::setTitleColor(const QColor &color)
{
    setColor(m_titleColor, color);
}
void NBGDPRButton::setHighlightedTitleColor(const QColor &color)
{
    setColor(m_highlightedTitleColor, color);
}
void NBGDPRButton::setDisabledBackgroundColor(const QColor &color)
{
    setColor(m_disabledBackgroundColor, color);
}
void NBGDPRButton::setDisabledTitleColor(const QColor &color)
{
    setColor(m_disabledTitleColor, color);
}

QSize NBGDPRButton::sizeHint() const
{
    QSize size = QPushButton::sizeHint();
    size.rwidth() += int(2.0 * m_horizontalContentInset);
    return size;
}

QColor NBGDPRButton::currentBezelColor() const
{
    if (!isEnabled())
        return m_disabledBackgroundColor;
    return isDown() ? m_highlightedBackgroundColor : m_backgrounColor;
}

QColor NBGDPRButton::currentTitleColor() const
{
    if (!isEnabled())
        return m_disabledTitleColor;
    return isDown() ? m_highlightedTitleColor : m_titleColor;
}

void NBGDPRButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(rect());
    QPainterPath bezel;
    bezel.addRoundedRect(frame, m_cornerRadius, m_cornerRadius);
    painter.fillPath(bezel, currentBezelColor());
    if (m_keyboardFocus && hasFocus()) {
        QColor ring = palette().color(QPalette::Highlight);
        painter.setPen(QPen(ring, 2.0));
        painter.drawPath(bezel);
    }
    painter.setFont(font());
    painter.setPen(currentTitleColor());
    painter.drawText(frame.translated(0.0, -1.0), Qt::AlignCenter, text());
}

void NBGDPRButton::focusInEvent(QFocusEvent *event)
{
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QPushButton::focusInEvent(event);
}

void NBGDPRButton::focusOutEvent(QFocusEvent *event)
{
    m_keyboardFocus = false;
    QPushButton::focusOutEvent(event);
}
