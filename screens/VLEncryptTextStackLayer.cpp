#include "screens/VLEncryptTextStackLayer.h"

#include "controls/VLHexColor.h"

#include <QPainter>
#include <QWidget>

VLEncryptTextStackLayer::VLEncryptTextStackLayer(QWidget *view) : QObject(view), m_view(view)
{
    const QColor color = VLHexColor::vl_colorFromHex(QStringLiteral("5A3C00"));
    for (int i = 0; i < rowCount; ++i)
        m_textLayers.append(VLEncryptTextLayer{QString(), color, QRectF()});
}

void VLEncryptTextStackLayer::setFont(const QFont &font)
{
    m_font = font;
    changed();
}

double VLEncryptTextStackLayer::fontSize() const
{
    return m_font.pixelSize() > 0 ? m_font.pixelSize() : m_font.pointSizeF();
}

void VLEncryptTextStackLayer::setFontSize(double size)
{
    m_font.setPixelSize(int(size));
    changed();
}

void VLEncryptTextStackLayer::setOpacity(double opacity)
{
    m_opacity = opacity;
    changed();
}

void VLEncryptTextStackLayer::setFrame(const QRectF &frame)
{
    m_frame = frame;
    const double rowHeight = frame.height() / rowCount;
    for (int i = 0; i < rowCount; ++i)
        m_textLayers[i].frame = QRectF(0, (rowCount - 1 - i) * rowHeight, frame.width(), rowHeight);
    changed();
}

void VLEncryptTextStackLayer::setPosition(const QPointF &position)
{
    if (position == m_frame.topLeft())
        return;
    m_frame.moveTopLeft(position);
    changed();
}

void VLEncryptTextStackLayer::draw(QPainter &painter) const
{
    painter.save();
    painter.setOpacity(painter.opacity() * m_opacity);
    painter.setFont(m_font);
    painter.translate(m_frame.topLeft());
    for (const VLEncryptTextLayer &layer : m_textLayers) {
        painter.setPen(layer.foregroundColor);
        painter.drawText(layer.frame, Qt::AlignHCenter | Qt::AlignTop, layer.string);
    }
    painter.restore();
}

void VLEncryptTextStackLayer::changed()
{
    if (m_view)
        m_view->update();
}
