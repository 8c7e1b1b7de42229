#include "controls/VLMoveBypassView.h"

#include <QApplication>
#include <QChildEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <cmath>

VLMoveBypassView::VLMoveBypassView(QWidget *parent) : QWidget(parent)
{
}

namespace {
// A rectangle holds its near edges, not its far ones, so neighbouring frames never share a point.
bool pointInRect(const QPointF &point, const QRectF &rect)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() && point.y() < rect.bottom();
}
} // namespace

QWidget *VLMoveBypassView::hitTest(const QPointF &pointInParent) const
{
    const QPointF point = pointInParent - QPointF(pos());
    if (!pointInRect(point, QRectF(rect())))
        return nullptr;
    for (const QObject *child : children()) {
        const auto *subview = qobject_cast<const QWidget *>(child);
        if (subview && !subview->isWindow() && pointInRect(point, QRectF(subview->geometry())))
            return nullptr;
    }
    return const_cast<VLMoveBypassView *>(this);
}

void VLMoveBypassView::childEvent(QChildEvent *event)
{
    // Presses over a subview reach this view, which hands them on to what lies beneath.
    if (event->added()) {
        if (auto *subview = qobject_cast<QWidget *>(event->child()))
            subview->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QWidget::childEvent(event);
}

QWidget *VLMoveBypassView::widgetBeneath(const QPointF &globalPosition)
{
    QWidget *top = window();
    const bool wasTransparent = testAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    QWidget *found = top->childAt(top->mapFromGlobal(globalPosition).toPoint());
    setAttribute(Qt::WA_TransparentForMouseEvents, wasTransparent);
    return found ? found : top;
}

void VLMoveBypassView::forward(QWidget *receiver, QMouseEvent *event)
{
    const QPointF local = receiver->mapFromGlobal(event->globalPosition());
    QMouseEvent copy(event->type(), local, event->scenePosition(), event->globalPosition(), event->button(),
                     event->buttons(), event->modifiers(), event->pointingDevice());
    QApplication::sendEvent(receiver, &copy);
    event->setAccepted(copy.isAccepted());
}

void VLMoveBypassView::mousePressEvent(QMouseEvent *event)
{
    if (!hitTest(mapToParent(event->position()))) {
        m_passThrough = widgetBeneath(event->globalPosition());
        if (m_passThrough && m_passThrough != this) {
            forward(m_passThrough, event);
            return;
        }
    }
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    QWidget *moved = window();
    if (moved->windowHandle() && moved->windowHandle()->startSystemMove())
        return;
    // Where the window manager cannot move the window, it follows the mouse.
    m_moving = true;
    m_windowOrigin = moved->pos();
    m_pressPosition = event->globalPosition();
}

void VLMoveBypassView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_passThrough) {
        forward(m_passThrough, event);
        return;
    }
    if (!m_moving || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    QWidget *moved = window();
    const QPointF delta = event->globalPosition() - m_pressPosition;
    QPoint origin = m_windowOrigin + QPoint(int(std::lround(delta.x())), int(std::lround(delta.y())));
    // The window's top edge never rises above the top of its screen.
    if (const QScreen *screen = moved->screen())
        origin.setY(std::max(origin.y(), screen->geometry().top()));
    moved->move(origin);
    event->accept();
}

void VLMoveBypassView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_passThrough) {
        QPointer<QWidget> receiver = std::exchange(m_passThrough, nullptr);
        forward(receiver, event);
        return;
    }
    if (event->button() == Qt::LeftButton)
        m_moving = false;
    QWidget::mouseReleaseEvent(event);
}

void VLMoveBypassView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!hitTest(mapToParent(event->position()))) {
        m_passThrough = widgetBeneath(event->globalPosition());
        if (m_passThrough && m_passThrough != this) {
            forward(m_passThrough, event);
            return;
        }
    }
    QWidget::mouseDoubleClickEvent(event);
}
