#pragma once

#include "platform/core/VLWeakDelegate.h"
#include "platform/view/VLDraggingDestination.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QWindow;

// An invisible drop target laid over a screen: it takes drags of file URLs and hands every
// destination call to its delegate, while clicks and hovering pass through to the views beneath.
class VLDropDestinationView final : public QWidget, public VLDraggingDestination
{
    Q_OBJECT
    Q_PROPERTY(bool dragInProgress READ dragInProgress)

public:
    explicit VLDropDestinationView(QWidget *parent = nullptr);
    ~VLDropDestinationView() override;
    Q_DISABLE_COPY_MOVE(VLDropDestinationView)

    // The dragged type this view takes: file URLs.
    static inline const QString fileURLType = QStringLiteral("public.file-url");
    const QStringList &registeredDraggedTypes() const { return m_registeredTypes; }

    VLDraggingDestination *delegate() const { return m_delegate.get(); }
    void setDelegate(VLDraggingDestination *delegate) { m_delegate.set(delegate); }

    // From a drag's entering until it exits or ends.
    bool dragInProgress() const { return m_dragInProgress; }

    // Every point passes through to the views beneath (drags excepted).
    QWidget *hitTest(QPointF point) const;

    Callbacks answeredDraggingDestinationCallbacks() const override;
    VLDragOperation draggingEntered(const VLDraggingInfo &info) override;
    VLDragOperation draggingUpdated(const VLDraggingInfo &info) override;
    void draggingExited(const VLDraggingInfo *info) override;
    void draggingEnded(const VLDraggingInfo &info) override;
    bool prepareForDragOperation(const VLDraggingInfo &info) override;
    bool performDragOperation(const VLDraggingInfo &info) override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    static bool carriesRegisteredType(const QMimeData *data);
    void watchWindow();
    void setTakesDrags(bool takes);
    // The operation to answer an entering or moving drag with: the destination's answer within
    // what the source offers.
    void answer(QDragMoveEvent *event, VLDragOperation operation, const VLDraggingInfo &info);

    QStringList m_registeredTypes;
    VLWeakDelegate<VLDraggingDestination> m_delegate;
    bool m_dragInProgress = false;
    VLDragOperation m_lastOperation = VLDragOperationNone;
    QPointer<QWindow> m_watchedWindow;
};
