#include "controls/VLDragSourceView.h"

#include "controls/VLErrorPresentation.h"
#include "engine/files/KXAdditions.h"
#include "platform/core/Log.h"
#include "platform/files/FileOperations.h"
#include "platform/view/VLResponderChain.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWindow>

#include <cerrno>
#include <cmath>
#include <semaphore>

namespace {

// The platform's rectangle test: the left and top edges belong to a rectangle, the right and
// bottom ones do not.
bool pointInRect(QPointF point, const QRectF &rect)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() && point.y() < rect.bottom();
}

QImage transparentImage(QSizeF size, qreal ratio)
{
    QImage image(
        QSize(static_cast<int>(std::ceil(size.width() * ratio)), static_cast<int>(std::ceil(size.height() * ratio))),
        QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

VLDragSourceView::VLDragSourceView(QWidget *parent) : QWidget(parent)
{
}

VLDragSourceView::~VLDragSourceView() = default;

VLDragOperation VLDragSourceView::draggingSessionSourceOperationMaskForDraggingContext(VLDraggingSession *session,
                                                                                       VLDraggingContext context)
{
    Q_UNUSED(session)
    // Nothing may be dropped back into the window.
    return context == VLDraggingContext::OutsideApplication ? m_dragOperation : VLDragOperationNone;
}

void VLDragSourceView::draggingSessionEndedAtPointOperation(VLDraggingSession *session, QPointF screenPoint,
                                                            VLDragOperation operation)
{
    Q_UNUSED(screenPoint)
    std::optional<QUrl> location;
    if (session && !m_draggingURL.isEmpty())
        location = vlPasteLocationForDraggingSession(session);

    const QPointer<VLDragSourceView> self(this);
    const QString movedAwayOriginal = std::exchange(m_movedAwayOriginal, QString());
    VLDragSourceViewDelegate *target = delegate();
    if (target && target->answersDragSourceViewCallback(VLDragSourceViewDelegate::Callback::DidFinishWithURLOperation))
        target->dragSourceViewDidFinishWithURLOperation(this, location, operation);
    // Whoever follows the item knows the drop folder now, so it finds the copy there once the
    // original has gone.
    if (!movedAwayOriginal.isEmpty()) {
        if (const int error = platform::removeItemAtPath(movedAwayOriginal, platform::RemovalAccess::GrantOwner))
            platform::log(
                QStringLiteral("[Drag]: The moved item's original stays: %1").arg(platform::errorDescription(error)));
    }
    if (!self)
        return;

    // The drag cleared the focus; give it to the first key view of the window again.
    if (QWidget *w = window()) {
        vlMakeFirstResponder(w, nullptr);
        vlSelectNextKeyView(w, true);
    }
    if (const std::optional<VLError> failure = std::exchange(m_directSaveError, std::nullopt))
        vlPresentError(*failure, window(), {});
}

QImage VLDragSourceView::snapshotView(QWidget *view)
{
    if (!view)
        return {};
    if (auto *label = qobject_cast<QLabel *>(view)) {
        const QPixmap pixmap = label->pixmap();
        if (!pixmap.isNull())
            return pixmap.toImage();
    }
    // Views that show an image of their own offer it as their "image" property.
    const QVariant image = view->property("image");
    if (image.metaType() == QMetaType::fromType<QImage>() && !image.value<QImage>().isNull())
        return image.value<QImage>();
    if (image.metaType() == QMetaType::fromType<QPixmap>() && !image.value<QPixmap>().isNull())
        return image.value<QPixmap>().toImage();

    if (view->size().isEmpty())
        return {};
    QImage picture = transparentImage(QSizeF(view->size()), view->devicePixelRatioF());
    view->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    return picture;
}

QImage VLDragSourceView::highlightedSnapshotView(QWidget *view) const
{
    if (!view)
        return {};
    QImage snapshot = snapshotView(view);
    if (!snapshot.isNull()) {
        snapshot.convertTo(QImage::Format_ARGB32_Premultiplied);
        // Source-atop paints only where the snapshot has drawn something: the text takes the
        // colour, the transparent parts stay transparent.
        QPainter painter(&snapshot);
        painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        painter.fillRect(QRectF(QPointF(0, 0), snapshot.deviceIndependentSize()),
                         palette().color(QPalette::Active, QPalette::HighlightedText));
    }

    const QSizeF size = QSizeF(view->size()) + QSizeF(2 * highlightMarginX, 2 * highlightMarginY);
    QImage highlighted = transparentImage(size, view->devicePixelRatioF());
    QPainter painter(&highlighted);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), 3.0, 3.0);
    painter.fillPath(path, palette().color(QPalette::Active, QPalette::Highlight));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    if (!snapshot.isNull())
        painter.drawImage(QPointF(highlightMarginX, highlightMarginY), snapshot);
    return highlighted;
}

QList<VLDraggingImageComponent> VLDragSourceView::imageComponents() const
{
    // A missing view gives an empty frame and no picture, so nothing stray shows in the image.
    const auto grown = [](const QWidget *view, const QRectF &frame) {
        return view ? frame.adjusted(-highlightMarginX, -highlightMarginY, highlightMarginX, highlightMarginY)
                    : QRectF();
    };
    return {
        {VLDraggingImageComponentIconKey, frameOfView(m_iconView), snapshotView(m_iconView)},
        {VLDraggingImageComponentLabelKey, grown(m_titleView, frameOfView(m_titleView)),
         highlightedSnapshotView(m_titleView)},
        {subtitleLabelKey, grown(m_subtitleView, frameOfView(m_subtitleView)), highlightedSnapshotView(m_subtitleView)},
    };
}

QRectF VLDragSourceView::frameOfView(const QWidget *view) const
{
    if (!view)
        return {};
    // Through the window, so the views need not be direct children of this one.
    QPointF origin;
    if (view->window() == window())
        origin = mapFrom(window(), view->mapTo(window(), QPointF(0, 0)));
    else
        origin = mapFromGlobal(view->mapToGlobal(QPointF(0, 0)));
    return QRectF(origin, QSizeF(view->size()));
}

bool VLDragSourceView::startsDragAt(QPointF position) const
{
    for (const QWidget *view : {m_iconView.data(), m_titleView.data(), m_subtitleView.data()}) {
        if (pointInRect(position, frameOfView(view)))
            return true;
    }
    return false;
}

void VLDragSourceView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Qt follows the second press of a double click with a double-click event of the same
    // moment; that is one press, not two.
    const bool samePress = event->type() == QEvent::MouseButtonDblClick && m_gesture == Gesture::Pressed
                           && event->timestamp() == m_lastPressTimestamp;
    if (!samePress)
        m_clickCount = m_clickCounter.countForPress(*event);
    m_lastPressTimestamp = event->timestamp();
    m_gesture = Gesture::Pressed;
    m_pressPosition = event->position();
    m_pressGlobalPosition = event->globalPosition().toPoint();
    event->accept();
}

void VLDragSourceView::mouseDoubleClickEvent(QMouseEvent *event)
{
    mousePressEvent(event);
}

void VLDragSourceView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    switch (m_gesture) {
    case Gesture::Pressed:
        if ((event->position() - m_pressPosition).manhattanLength() < QApplication::startDragDistance()) {
            event->accept();
            return;
        }
        mouseDragged(event);
        return;
    case Gesture::MovingWindow:
        moveWindow(event);
        return;
    case Gesture::None:
    case Gesture::Dragged:
    case Gesture::DragSession:
        QWidget::mouseMoveEvent(event);
        return;
    }
}

void VLDragSourceView::mouseDragged(QMouseEvent *event)
{
    // Ends any editing in the window, the rename field's included.
    if (QWidget *w = window())
        vlMakeFirstResponder(w, nullptr);

    // The gesture counts where it began: a press on the icon, title or subtitle.
    if (m_dragOperation != VLDragOperationNone && !m_draggingURL.isEmpty() && startsDragAt(m_pressPosition)) {
        m_gesture = Gesture::DragSession;
        event->accept();
        beginDrag(event->position());
        return;
    }
    if (mouseDownCanMoveWindow() && window()) {
        m_gesture = Gesture::MovingWindow;
        m_windowOrigin = window()->pos();
        event->accept();
        // The window manager moves the window where it can; elsewhere the window follows the mouse.
        QWindow *handle = window()->windowHandle();
        if (!handle || !handle->startSystemMove())
            moveWindow(event);
        return;
    }
    m_gesture = Gesture::Dragged;
    QWidget::mouseMoveEvent(event);
}

void VLDragSourceView::moveWindow(QMouseEvent *event)
{
    if (QWidget *w = window())
        w->move(m_windowOrigin + (event->globalPosition().toPoint() - m_pressGlobalPosition));
    event->accept();
}

void VLDragSourceView::beginDrag(QPointF position)
{
    VLDraggingItem item;
    item.pasteboardWriter = m_draggingURL;
    item.draggingFrame = QRectF(rect());
    // The pictures are taken once, as the drag begins.
    const QList<VLDraggingImageComponent> components = imageComponents();
    item.imageComponentsProvider = [components] { return components; };

    VLDraggingSession session(this, this, {item}, position);
    session.setAnimatesToStartingPositionsOnCancelOrFail(true);
    session.setDraggingFormation(VLDraggingFormation::None);
    const QPointer<VLDragSourceView> self(this);
    session.setDirectSave(QFileInfo(m_draggingURL.toLocalFile()).fileName(),
                          [self](const QString &path) { return self && self->saveDraggedItemAt(path); });
    // The drag may run a loop of its own; nothing of this view is touched after it.
    session.begin();
}

bool VLDragSourceView::saveDraggedItemAt(const QString &path)
{
    const QString source = m_draggingURL.toLocalFile();
    if (source.isEmpty())
        return false;
    const bool move = (m_dragOperation & VLDragOperationMove) != 0;
    if (move) {
        // Nothing is ever replaced: a target that names an existing item gets an error.
        const int moved = platform::renameItem(source, path, false);
        if (moved != EXDEV) {
            if (moved != 0) {
                platform::log(
                    QStringLiteral("[Drag]: The item could not be moved: %1").arg(platform::errorDescription(moved)));
                m_directSaveError = VLError::posix(moved);
            }
            return moved == 0;
        }
    }
    // The target waits for the answer, so the copy is waited for; it carries the metadata along
    // and creates the destination exclusively.
    std::binary_semaphore done(0);
    bool copied = false;
    VLError failure;
    KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
        m_draggingURL, QUrl::fromLocalFile(path), 0, KXAdditions::TransferCopy,
        [&done, &copied, &failure](quint64 state, bool *cancel, const QVariantMap &information) {
            Q_UNUSED(cancel)
            if (state != KXAdditions::TransferFinished && state != KXAdditions::TransferFailed)
                return;
            copied = state == KXAdditions::TransferFinished;
            if (!copied)
                failure = information.value(KXAdditions::errorKey).value<VLError>();
            done.release();
        });
    done.acquire();
    if (!copied)
        m_directSaveError = failure;
    if (copied && move)
        m_movedAwayOriginal = source;
    return copied;
}

void VLDragSourceView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const Gesture gesture = std::exchange(m_gesture, Gesture::None);
    if (gesture == Gesture::DragSession || gesture == Gesture::MovingWindow) {
        // The drag or the window move took this gesture.
        event->accept();
        return;
    }
    mouseUp(event);
}

void VLDragSourceView::mouseUp(QMouseEvent *event)
{
    VLDragSourceViewDelegate *target = delegate();
    if (m_clickCount == 2 && target
        && target->answersDragSourceViewCallback(VLDragSourceViewDelegate::Callback::PerformActionWithURL)) {
        event->accept();
        target->dragSourceViewPerformActionWithURL(this, m_draggingURL);
        return;
    }
    QWidget::mouseReleaseEvent(event);
}
