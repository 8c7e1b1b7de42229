#pragma once

#include "platform/view/VLDragOperation.h"

#include <QList>
#include <QPointF>
#include <QUrl>

class QDropEvent;
class QMimeData;
class QObject;

// What a drag destination learns of the drag over it (NSDraggingInfo). It refers to the event's
// data, so it is valid only during the call it is passed to.
class VLDraggingInfo final
{
public:
    VLDraggingInfo(const QMimeData *pasteboard, QPointF location, VLDragOperation sourceOperationMask, QObject *source);
    // From a drag event, in the coordinates of the widget it is delivered to. A drag that comes
    // from a source of this application (VLDraggingSource) offers what that source allows within
    // the application; any other offers the event's possible actions.
    static VLDraggingInfo fromEvent(const QDropEvent &event);

    const QMimeData *draggingPasteboard() const { return m_pasteboard; }
    // The URLs on the pasteboard, in order; empty when it holds none.
    QList<QUrl> draggingURLs() const;
    // Where the pointer is, in the receiving view's coordinates.
    QPointF draggingLocation() const { return m_location; }
    VLDragOperation draggingSourceOperationMask() const { return m_sourceMask; }
    // The drag's source when it lies in this application, else null.
    QObject *draggingSource() const { return m_source; }

private:
    const QMimeData *m_pasteboard;
    QPointF m_location;
    VLDragOperation m_sourceMask;
    QObject *m_source;
};
