#include "controls/VLColoredView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

VLColoredView::VLColoredView(QWidget *parent) : QWidget(parent)
{
}

void VLColoredView::setSolidColor(const QColor &color)
{
    m_solidColor = color;
    update();
}

void VLColoredView::setCornerRadius(double radius)
{
    m_cornerRadius = radius;
    update();
}

bool VLColoredView::isOpaque() const
{
    return m_solidColor.isValid() && m_solidColor.alphaF() == 1.0f;
}

void VLColoredView::paintEvent(QPaintEvent *event)
{
    if (!m_solidColor.isValid() || m_solidColor.alpha() == 0)
        return;
    QPainter painter(this);
    if (m_cornerRadius > 0.0) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
        painter.fillPath(path, m_solidColor);
    } else {
        painter.fillRect(event->rect(), m_solidColor);
    }
}
