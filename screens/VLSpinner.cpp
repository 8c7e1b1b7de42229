#include "screens/VLSpinner.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr int kSpokes = 12;
constexpr int kStepMs = 80;
} // namespace

VLSpinner::VLSpinner(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer.setInterval(kStepMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
}

void VLSpinner::startAnimation()
{
    m_timer.start();
    update();
}

void VLSpinner::stopAnimation()
{
    m_timer.stop();
}

void VLSpinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    painter.translate(width() * 0.5, height() * 0.5);
    QPen pen(palette().color(QPalette::WindowText));
    pen.setWidthF(std::max(1.5, side / 10.0));
    pen.setCapStyle(Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        QColor color = pen.color();
        color.setAlphaF(float(0.15 + 0.85 * ((i - m_step + kSpokes) % kSpokes) / double(kSpokes - 1)));
        pen.setColor(color);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -side * 0.25), QPointF(0, -side * 0.45));
        painter.rotate(360.0 / kSpokes);
    }
}
