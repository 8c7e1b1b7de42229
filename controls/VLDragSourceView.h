#pragma once

#include "controls/VLDragSourceViewDelegate.h"
#include "platform/core/VLError.h"
#include "platform/core/VLWeakDelegate.h"
#include "platform/view/VLClickCounter.h"
#include "platform/view/VLDraggingSession.h"

#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <optional>

// Lets the user drag a result file out of the window. Only presses on the icon, title or
// subtitle view start a drag; the drag image is made of their pictures, the title's and
// subtitle's drawn highlighted. Drops back into this application are refused. A double click
// asks the delegate for its action. With the drag operation 0 the area moves the window instead.
class VLDragSourceView final : public QWidget, public VLDraggingSource
{
    Q_OBJECT
    Q_PROPERTY(quint64 dragOperation READ dragOperation WRITE setDragOperation)
    Q_PROPERTY(QUrl draggingURL READ draggingURL WRITE setDraggingURL)
    Q_PROPERTY(QWidget *iconView READ iconView WRITE setIconView)
    Q_PROPERTY(QWidget *titleView READ titleView WRITE setTitleView)
    Q_PROPERTY(QWidget *subtitleView READ subtitleView WRITE setSubtitleView)

public:
    explicit VLDragSourceView(QWidget *parent = nullptr);
    ~VLDragSourceView() override;
    Q_DISABLE_COPY_MOVE(VLDragSourceView)

    // The operation offered outside the application: copy at first; 0 switches dragging off.
    VLDragOperation dragOperation() const { return m_dragOperation; }
    void setDragOperation(VLDragOperation operation) { m_dragOperation = operation; }

    // The file put on the drag pasteboard and handed to the delegate.
    const QUrl &draggingURL() const { return m_draggingURL; }
    void setDraggingURL(const QUrl &url) { m_draggingURL = url; }

    VLDragSourceViewDelegate *delegate() const { return m_delegate.get(); }
    void setDelegate(VLDragSourceViewDelegate *delegate) { m_delegate.set(delegate); }

    // The screen's views lying inside this one (weak).
    QWidget *iconView() const { return m_iconView; }
    void setIconView(QWidget *view) { m_iconView = view; }
    QWidget *titleView() const { return m_titleView; }
    void setTitleView(QWidget *view) { m_titleView = view; }
    QWidget *subtitleView() const { return m_subtitleView; }
    void setSubtitleView(QWidget *view) { m_subtitleView = view; }

    VLDragOperation draggingSessionSourceOperationMaskForDraggingContext(VLDraggingSession *session,
                                                                         VLDraggingContext context) override;
    void draggingSessionEndedAtPointOperation(VLDraggingSession *session, QPointF screenPoint,
                                              VLDragOperation operation) override;

    bool acceptsFirstMouse() const { return true; }
    bool mouseDownCanMoveWindow() const { return m_dragOperation == VLDragOperationNone; }

    // A view's picture: an image view's image, else the view drawn into an image of its size.
    static QImage snapshotView(QWidget *view);
    // The picture recoloured in the highlighted-text colour on a rounded highlight, 3 points
    // wider on the left and right and 1 point on the top and bottom.
    QImage highlightedSnapshotView(QWidget *view) const;
    // The drag image: icon, label ("label") and "subtitleLabel", framed in this view.
    QList<VLDraggingImageComponent> imageComponents() const;

    // The margins of the highlighted title and subtitle around their views.
    static constexpr qreal highlightMarginX = 3.0;
    static constexpr qreal highlightMarginY = 1.0;
    static inline const QString subtitleLabelKey = QStringLiteral("subtitleLabel");

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Pressed: the button is down; Dragged: the pointer moved past the drag distance without
    // starting anything; DragSession: a drag ran; MovingWindow: the gesture moves the window.
    enum class Gesture { None, Pressed, Dragged, DragSession, MovingWindow };

    // The pointer moved far enough with the button down to count as a drag.
    void mouseDragged(QMouseEvent *event);
    void mouseUp(QMouseEvent *event);

    QRectF frameOfView(const QWidget *view) const;
    bool startsDragAt(QPointF position) const;
    void beginDrag(QPointF position);
    // A direct-save target's request: the item saved at path, copied or moved as offered.
    bool saveDraggedItemAt(const QString &path);
    void moveWindow(QMouseEvent *event);

    VLDragOperation m_dragOperation = VLDragOperationCopy;
    QUrl m_draggingURL;
    VLWeakDelegate<VLDragSourceViewDelegate> m_delegate;
    QPointer<QWidget> m_iconView;
    QPointer<QWidget> m_titleView;
    QPointer<QWidget> m_subtitleView;

    platform::VLClickCounter m_clickCounter;
    ulong m_lastPressTimestamp = 0;
    int m_clickCount = 0;
    Gesture m_gesture = Gesture::None;
    QPointF m_pressPosition;
    QPoint m_pressGlobalPosition;
    QPoint m_windowOrigin;
    // A move to another file system copies the item during the drag; the original goes once the
    // delegate has heard where the item went.
    QString m_movedAwayOriginal;
    // Why a direct save failed, shown once the drag has ended: the file manager is only told "E".
    std::optional<VLError> m_directSaveError;
};
