#include "windowing/windows/VLOverlayContentView.h"

#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>

VLOverlayContentView::VLOverlayContentView(QWidget *parent) : QWidget(parent)
{
}

VLOverlayContentView::~VLOverlayContentView() = default;

void VLOverlayContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

QWidget *VLOverlayContentView::windowToMove() const
{
    // A panel shown in a child window moves the window it belongs to.
    QWidget *own = window();
    if (own && own->parentWidget())
        return own->parentWidget()->window();
    return own;
}

void VLOverlayContentView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragWindow = windowToMove();
    if (!m_dragWindow)
        return;
    m_windowOrigin = m_dragWindow->pos();
    m_pressPosition = event->globalPosition().toPoint();
    const QScreen *screen = m_dragWindow->screen();
    m_screenFrame = screen ? screen->geometry() : QRect();
    event->accept();
}

void VLOverlayContentView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragWindow || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    QPoint origin = m_windowOrigin + (event->globalPosition().toPoint() - m_pressPosition);
    // The window's top edge stays on its screen.
    if (m_screenFrame.isValid())
        origin.setY(std::max(origin.y(), m_screenFrame.top()));
    m_dragWindow->move(origin);
    event->accept();
}

void VLOverlayContentView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragWindow = nullptr;
    QWidget::mouseReleaseEvent(event);
}
