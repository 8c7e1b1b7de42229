#pragma once

#include "platform/view/DirectSave.h"
#include "platform/view/VLDragOperation.h"

#include <QImage>
#include <QList>
#include <QMimeData>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QDrag;
class QWidget;
class VLDraggingSession;

// One picture of a dragging item; its frame is in the item's own coordinates (the dragging
// frame's origin is 0, 0).
struct VLDraggingImageComponent
{
    QString key;
    QRectF frame;
    QImage contents;
};

inline const QString VLDraggingImageComponentIconKey = QStringLiteral("icon");
inline const QString VLDraggingImageComponentLabelKey = QStringLiteral("label");

// One dragged file: its URL goes on the pasteboard as a file URL; its pictures are asked for
// when the drag image is made.
struct VLDraggingItem
{
    using ImageComponentsProvider = std::function<QList<VLDraggingImageComponent>()>;

    QUrl pasteboardWriter;
    QRectF draggingFrame; // in the source view's coordinates
    ImageComponentsProvider imageComponentsProvider;

    QList<VLDraggingImageComponent> imageComponents() const
    {
        return imageComponentsProvider ? imageComponentsProvider() : QList<VLDraggingImageComponent>();
    }
};

// How several dragged items are arranged under the pointer.
enum class VLDraggingFormation { Default = 0, None = 1, Pile = 2, List = 3, Stack = 4 };

// The source side of a drag (NSDraggingSource).
class VLDraggingSource
{
public:
    virtual ~VLDraggingSource() = default;
    // The operations offered to a destination in the given context.
    virtual VLDragOperation draggingSessionSourceOperationMaskForDraggingContext(VLDraggingSession *session,
                                                                                 VLDraggingContext context) = 0;
    // The drag is over: dropped (operation is what the destination did) or cancelled (none).
    virtual void draggingSessionEndedAtPointOperation(VLDraggingSession *session, QPointF screenPoint,
                                                      VLDragOperation operation)
    {
        Q_UNUSED(session)
        Q_UNUSED(screenPoint)
        Q_UNUSED(operation)
    }
};

// The data of a drag begun here. It remembers its source, so that this application's widgets
// can ask the source what it allows within the application even where the platform does not name
// the source of a drag: where it allows nothing, no widget of the application takes the drop.
class VLDraggingPasteboard final : public QMimeData
{
    Q_OBJECT
public:
    // The source must be a QObject.
    explicit VLDraggingPasteboard(VLDraggingSource *source);
    VLDraggingSource *draggingSource() const;
    QObject *draggingSourceObject() const { return m_sourceObject; }

    // Offers the desktop's direct-save protocol along with the file URLs.
    void setDirectSaveOffer(std::shared_ptr<platform::DirectSaveOffer> offer) { m_directSave = std::move(offer); }

    QStringList formats() const override;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    VLDraggingSource *m_source;
    QPointer<QObject> m_sourceObject;
    std::shared_ptr<platform::DirectSaveOffer> m_directSave;
};

// One drag out of a view, run by Qt's drag and drop. Qt's drag is synchronous (the desktop's drag
// runs a loop of its own): begin() returns once the drag has ended and the source has been told.
// Items and settings are given before.
class VLDraggingSession final
{
public:
    VLDraggingSession(QWidget *view, VLDraggingSource *source, QList<VLDraggingItem> items, QPointF startPosition);
    ~VLDraggingSession();
    Q_DISABLE_COPY_MOVE(VLDraggingSession)

    bool animatesToStartingPositionsOnCancelOrFail() const { return m_animatesBack; }
    void setAnimatesToStartingPositionsOnCancelOrFail(bool animates) { m_animatesBack = animates; }
    VLDraggingFormation draggingFormation() const { return m_formation; }
    void setDraggingFormation(VLDraggingFormation formation) { m_formation = formation; }

    const QList<VLDraggingItem> &draggingItems() const { return m_items; }

    // Lets a drop target that takes part in the desktop's direct-save protocol have the item
    // saved by the source, named fileName, where the target says; saver writes it there. Only a
    // drag of one item offers it.
    void setDirectSave(const QString &fileName, platform::DirectSaveOffer::Saver saver);
    // The drag's data while it runs and while the source hears of its end; null otherwise.
    const QMimeData *draggingPasteboard() const;
    // Where the source saved the item for a direct-save target; none otherwise.
    std::optional<QUrl> directSaveURL() const;

    // Runs the drag with the operations the source offers outside the application, then calls
    // the source's end. Widgets of this application ask the source through the drag's data
    // (VLDraggingPasteboard) what it allows within the application.
    void begin();

    // The composed drag image of every item's components, and where the start position lies in
    // it.
    QImage dragImage(QPointF *hotSpot = nullptr) const;

private:
    QPointer<QWidget> m_view;
    VLDraggingSource *m_source;
    QList<VLDraggingItem> m_items;
    QPointF m_startPosition;
    bool m_animatesBack = false;
    VLDraggingFormation m_formation = VLDraggingFormation::Default;
    QPointer<QDrag> m_drag;
    QString m_directSaveName;
    platform::DirectSaveOffer::Saver m_directSaver;
    std::shared_ptr<platform::DirectSaveOffer> m_directSave;
};

// The folder in which the receiver of a drag put the dropped file, when the platform reports it:
// only a target that had the source save the item through the direct-save protocol tells; for
// any other drop this answers none and callers follow the file by other means.
std::optional<QUrl> vlPasteLocationForDraggingSession(const VLDraggingSession *session);
