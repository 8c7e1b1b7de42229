#include "controls/VLDropDestinationView.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWindow>

VLDropDestinationView::VLDropDestinationView(QWidget *parent) : QWidget(parent), m_registeredTypes{fileURLType}
{
    // Clicks and hovering go to the views beneath; Qt then also leaves this view out when it
    // looks for a drop target, so it takes part in drags only while one is over its window.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAcceptDrops(true);
}

VLDropDestinationView::~VLDropDestinationView() = default;

QWidget *VLDropDestinationView::hitTest(QPointF point) const
{
    Q_UNUSED(point)
    return nullptr;
}

bool VLDropDestinationView::carriesRegisteredType(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.cbegin(), urls.cend(), [](const QUrl &url) { return url.isLocalFile(); });
}

VLDraggingDestination::Callbacks VLDropDestinationView::answeredDraggingDestinationCallbacks() const
{
    return Callback::DraggingEntered | Callback::DraggingUpdated | Callback::DraggingExited | Callback::DraggingEnded
           | Callback::PrepareForDragOperation | Callback::PerformDragOperation;
}

VLDragOperation VLDropDestinationView::draggingEntered(const VLDraggingInfo &info)
{
    m_dragInProgress = true;
    VLDraggingDestination *target = delegate();
    return target && target->answersDraggingCallback(Callback::DraggingEntered) ? target->draggingEntered(info)
                                                                                : VLDragOperationNone;
}

VLDragOperation VLDropDestinationView::draggingUpdated(const VLDraggingInfo &info)
{
    VLDraggingDestination *target = delegate();
    return target && target->answersDraggingCallback(Callback::DraggingUpdated) ? target->draggingUpdated(info)
                                                                                : VLDragOperationNone;
}

void VLDropDestinationView::draggingExited(const VLDraggingInfo *info)
{
    m_dragInProgress = false;
    VLDraggingDestination *target = delegate();
    if (target && target->answersDraggingCallback(Callback::DraggingExited))
        target->draggingExited(info);
}

void VLDropDestinationView::draggingEnded(const VLDraggingInfo &info)
{
    m_dragInProgress = false;
    VLDraggingDestination *target = delegate();
    if (target && target->answersDraggingCallback(Callback::DraggingEnded))
        target->draggingEnded(info);
}

bool VLDropDestinationView::prepareForDragOperation(const VLDraggingInfo &info)
{
    Q_UNUSED(info)
    return true;
}

bool VLDropDestinationView::performDragOperation(const VLDraggingInfo &info)
{
    VLDraggingDestination *target = delegate();
    return target && target->answersDraggingCallback(Callback::PerformDragOperation)
           && target->performDragOperation(info);
}

void VLDropDestinationView::answer(QDragMoveEvent *event, VLDragOperation operation, const VLDraggingInfo &info)
{
    m_lastOperation = operation & info.draggingSourceOperationMask();
    if (m_lastOperation == VLDragOperationNone) {
        event->ignore();
        return;
    }
    event->setDropAction(vlPreferredDropActionForDragOperation(m_lastOperation));
    event->accept();
}

void VLDropDestinationView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!carriesRegisteredType(event->mimeData())) {
        event->ignore();
        return;
    }
    const VLDraggingInfo info = VLDraggingInfo::fromEvent(*event);
    // Qt enters a view again on every move while the view refuses the drag; for the delegate
    // that is one drag moving on.
    answer(event, m_dragInProgress ? draggingUpdated(info) : draggingEntered(info), info);
}

void VLDropDestinationView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!m_dragInProgress || !carriesRegisteredType(event->mimeData())) {
        event->ignore();
        return;
    }
    const VLDraggingInfo info = VLDraggingInfo::fromEvent(*event);
    answer(event, draggingUpdated(info), info);
}

void VLDropDestinationView::dragLeaveEvent(QDragLeaveEvent *event)
{
    event->accept();
    setTakesDrags(false);
    if (m_dragInProgress)
        draggingExited(nullptr); // Qt says nothing about the drag that left
}

void VLDropDestinationView::dropEvent(QDropEvent *event)
{
    setTakesDrags(false);
    if (!m_dragInProgress || !carriesRegisteredType(event->mimeData())) {
        event->ignore();
        return;
    }
    const VLDraggingInfo info = VLDraggingInfo::fromEvent(*event);
    // A drop that this view last refused is no drop: the drag just leaves.
    const VLDragOperation operation = m_lastOperation & info.draggingSourceOperationMask();
    if (operation == VLDragOperationNone) {
        event->ignore();
        draggingExited(&info);
        return;
    }
    const bool performed = prepareForDragOperation(info) && performDragOperation(info);
    if (performed) {
        event->setDropAction(vlPreferredDropActionForDragOperation(operation));
        event->accept();
    } else {
        event->ignore();
    }
    draggingEnded(info);
}

void VLDropDestinationView::setTakesDrags(bool takes)
{
    setAttribute(Qt::WA_TransparentForMouseEvents, !takes);
}

void VLDropDestinationView::watchWindow()
{
    QWindow *handle = window() ? window()->windowHandle() : nullptr;
    if (handle == m_watchedWindow)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = handle;
    if (handle)
        handle->installEventFilter(this);
}

bool VLDropDestinationView::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::ParentChange:
        watchWindow();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool VLDropDestinationView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedWindow) {
        switch (event->type()) {
        case QEvent::DragEnter:
            // Qt picks the drop target among the views under the pointer that take mouse
            // events; for the length of a drag of files over the window this view is one.
            if (isVisible() && carriesRegisteredType(static_cast<QDragEnterEvent *>(event)->mimeData()))
                setTakesDrags(true);
            break;
        case QEvent::DragLeave:
        case QEvent::Drop:
            // The window has already chosen the target of these, so clicks can pass again.
            setTakesDrags(false);
            // Qt tells a view that refused a drag neither that it left nor that it was dropped;
            // for this view the drag is over all the same.
            if (m_dragInProgress && m_lastOperation == VLDragOperationNone)
                draggingExited(nullptr);
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
