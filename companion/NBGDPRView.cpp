#include "companion/NBGDPRView.h"

#include <QPaintEvent>
#include <QPainter>

NBGDPRView::NBGDPRView(QWidget *parent) : QWidget(parent)
{
}

void NBGDPRView::setFillColor(const QColor &color)
{
    m_fillColor = color;
    setAttribute(Qt::WA_OpaquePaintEvent, isOpaque());
    update();
}

bool NBGDPRView::isOpaque() const
{
    return m_fillColor.isValid() && m_fillColor.alphaF() == 1.0f;
}

void NBGDPRView::paintEvent(QPaintEvent *event)
{
    if (!m_fillColor.isValid())
        return;
    QPainter painter(this);
    painter.fillRect(event->rect(), m_fillColor);
}
