#include "controls/VLTextFieldLayer.h"

#include "controls/VLTextFieldRenderer.h"

#include <QPainter>

VLTextFieldLayer::VLTextFieldLayer(QObject *parent) : VLLayer(parent)
{
}

void VLTextFieldLayer::setRenderer(VLTextFieldRenderer *renderer)
{
    m_renderer = renderer;
    setNeedsDisplay();
}

void VLTextFieldLayer::drawInContext(QPainter &painter) const
{
    if (!m_renderer)
        return;
    painter.save();
    m_renderer->drawInContext(painter, bounds());
    painter.restore();
}
