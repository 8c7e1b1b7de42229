#include "controls/VLDropHoverView.h"

#include <QCursor>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QPointer>

VLDropHoverView::VLDropHoverView(QWidget *parent) : QWidget(parent)
{
    watchAncestors();
    // The area only follows the mouse while the application is active; coming back to it,
    // the mouse may have moved in or out meanwhile.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive && isVisible())
            updateTrackingAreas();
    });
}

VLDropHoverView::~VLDropHoverView() = default;

bool VLDropHoverView::applicationIsActive()
{
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void VLDropHoverView::updateTrackingAreas()
{
    m_trackingArea = VLTrackingArea{QRectF(rect()), VLTrackingArea::mouseEnteredAndExited
                                                        | VLTrackingArea::activeInActiveApp
                                                        | VLTrackingArea::assumeInside};
    // Where the mouse is now, outside the stream of events.
    const QPointF mouse = mapFromGlobal(QCursor::pos());
    const QRectF &area = m_trackingArea->rect;
    if (mouse.x() >= area.left() && mouse.x() < area.right() && mouse.y() >= area.top() && mouse.y() < area.bottom())
        mouseEntered();
    else
        mouseExited();
}

void VLDropHoverView::mouseEntered()
{
    report(true);
}

void VLDropHoverView::mouseExited()
{
    report(false);
}

void VLDropHoverView::report(bool inside)
{
    if (m_mouseInside == inside)
        return;
    // The new state is set after the delegate has heard, as the delegate sees the change.
    VLDropHoverViewDelegate *target = delegate();
    const QPointer<VLDropHoverView> self(this);
    if (target && target->answersHoverViewCallback(VLDropHoverViewDelegate::Callback::HoverViewMouseInside))
        target->hoverViewMouseInside(this, inside);
    if (self)
        m_mouseInside = inside;
}

void VLDropHoverView::watchAncestors()
{
    for (const QPointer<QWidget> &ancestor : std::as_const(m_ancestors)) {
        if (ancestor)
            ancestor->removeEventFilter(this);
    }
    m_ancestors.clear();
    for (QWidget *w = parentWidget(); w && !w->isWindow(); w = w->parentWidget()) {
        w->installEventFilter(this);
        m_ancestors.append(w);
    }
}

bool VLDropHoverView::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange)
        watchAncestors();
    return QWidget::event(event);
}

bool VLDropHoverView::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        // The chain above changed.
        QMetaObject::invokeMethod(this, &VLDropHoverView::watchAncestors, Qt::QueuedConnection);
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (isVisible())
            updateTrackingAreas();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void VLDropHoverView::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    if (applicationIsActive())
        mouseEntered();
}

void VLDropHoverView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (applicationIsActive())
        mouseExited();
}

void VLDropHoverView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (isVisible())
        updateTrackingAreas();
}

void VLDropHoverView::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (isVisible())
        updateTrackingAreas();
}

void VLDropHoverView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateTrackingAreas();
}
