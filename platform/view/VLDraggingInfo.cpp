#include "platform/view/VLDraggingInfo.h"

#include "platform/view/VLDraggingSession.h"

#include <QDropEvent>
#include <QMimeData>

VLDraggingInfo::VLDraggingInfo(const QMimeData *pasteboard, QPointF location, VLDragOperation sourceOperationMask,
                               QObject *source)
    : m_pasteboard(pasteboard)
    , m_location(location)
    , m_sourceMask(sourceOperationMask)
    , m_source(source)
{
}

VLDraggingInfo VLDraggingInfo::fromEvent(const QDropEvent &event)
{
    QObject *source = event.source();
    VLDraggingSource *draggingSource = dynamic_cast<VLDraggingSource *>(source);
    if (auto *pasteboard = qobject_cast<const VLDraggingPasteboard *>(event.mimeData())) {
        // A drag of ours: its data names the source even where the event does not.
        if (pasteboard->draggingSource()) {
            draggingSource = pasteboard->draggingSource();
            source = pasteboard->draggingSourceObject();
        }
    }
    VLDragOperation mask = vlDragOperationForDropActions(event.possibleActions());
    if (draggingSource)
        mask = draggingSource->draggingSessionSourceOperationMaskForDraggingContext(
            nullptr, VLDraggingContext::WithinApplication);
    return VLDraggingInfo(event.mimeData(), event.position(), mask, source);
}

QList<QUrl> VLDraggingInfo::draggingURLs() const
{
    return m_pasteboard && m_pasteboard->hasUrls() ? m_pasteboard->urls() : QList<QUrl>();
}
