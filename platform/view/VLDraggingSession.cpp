#include "platform/view/VLDraggingSession.h"

#include "platform/view/VLDraggingDestination.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cmath>

namespace {

// Qt lets any widget of the application take a drop. A source that offers nothing within the
// application is refused everywhere, not only by the destinations that ask it (those, the
// VLDraggingDestination views, apply the source's offer themselves).
class InApplicationDropGuard final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return false;
        if (!watched->isWidgetType() || dynamic_cast<VLDraggingDestination *>(watched))
            return false;
        auto *drop = static_cast<QDropEvent *>(event);
        auto *pasteboard = qobject_cast<const VLDraggingPasteboard *>(drop->mimeData());
        VLDraggingSource *source = pasteboard ? pasteboard->draggingSource() : nullptr;
        if (!source
            || source->draggingSessionSourceOperationMaskForDraggingContext(nullptr,
                                                                            VLDraggingContext::WithinApplication)
                   != VLDragOperationNone)
            return false;
        drop->ignore();
        return true;
    }
};

void installInApplicationDropGuard()
{
    static QPointer<InApplicationDropGuard> guard;
    if (guard || !QCoreApplication::instance())
        return;
    guard = new InApplicationDropGuard(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(guard);
}

} // namespace

VLDraggingPasteboard::VLDraggingPasteboard(VLDraggingSource *source)
    : m_source(source)
    , m_sourceObject(dynamic_cast<QObject *>(source))
{
    installInApplicationDropGuard();
}

VLDraggingSource *VLDraggingPasteboard::draggingSource() const
{
    return m_sourceObject ? m_source : nullptr;
}

QStringList VLDraggingPasteboard::formats() const
{
    QStringList names = QMimeData::formats();
    if (m_directSave)
        names.append(platform::DirectSaveOffer::mimeFormat);
    return names;
}

QVariant VLDraggingPasteboard::retrieveData(const QString &mimeType, QMetaType type) const
{
    // Qt converts the drag's selection to a target's type through the format of the same name;
    // the direct-save type asks the source to save the item where the target said.
    if (m_directSave && mimeType == platform::DirectSaveOffer::mimeFormat)
        return m_directSave->answerSaveRequest();
    return QMimeData::retrieveData(mimeType, type);
}

VLDraggingSession::VLDraggingSession(QWidget *view, VLDraggingSource *source, QList<VLDraggingItem> items,
                                     QPointF startPosition)
    : m_view(view)
    , m_source(source)
    , m_items(std::move(items))
    , m_startPosition(startPosition)
{
}

VLDraggingSession::~VLDraggingSession() = default;

const QMimeData *VLDraggingSession::draggingPasteboard() const
{
    return m_drag ? m_drag->mimeData() : nullptr;
}

void VLDraggingSession::setDirectSave(const QString &fileName, platform::DirectSaveOffer::Saver saver)
{
    m_directSaveName = fileName;
    m_directSaver = std::move(saver);
}

std::optional<QUrl> VLDraggingSession::directSaveURL() const
{
    return m_directSave ? m_directSave->savedURL() : std::nullopt;
}

QImage VLDraggingSession::dragImage(QPointF *hotSpot) const
{
    struct Placed
    {
        QRectF frame;
        QImage contents;
    };
    QList<Placed> placed;
    QRectF area;
    for (const VLDraggingItem &item : m_items) {
        area = area.united(item.draggingFrame);
        for (const VLDraggingImageComponent &component : item.imageComponents()) {
            const QRectF frame = component.frame.translated(item.draggingFrame.topLeft());
            placed.append({frame, component.contents});
            area = area.united(frame);
        }
    }
    if (hotSpot)
        *hotSpot = m_startPosition - area.topLeft();
    if (area.isEmpty())
        return {};

    const qreal ratio = m_view ? m_view->devicePixelRatioF() : 1.0;
    QImage image(
        QSize(static_cast<int>(std::ceil(area.width() * ratio)), static_cast<int>(std::ceil(area.height() * ratio))),
        QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Placed &p : std::as_const(placed)) {
        if (!p.contents.isNull())
            painter.drawImage(p.frame.translated(-area.topLeft()), p.contents);
    }
    return image;
}

void VLDraggingSession::begin()
{
    if (!m_view || !m_source)
        return;

    auto *mimeData = new VLDraggingPasteboard(m_source);
    QList<QUrl> urls;
    for (const VLDraggingItem &item : std::as_const(m_items))
        urls.append(item.pasteboardWriter);
    mimeData->setUrls(urls);
    if (m_items.size() == 1 && m_directSaver)
        m_directSave = platform::DirectSaveOffer::create(m_directSaveName, m_directSaver);
    if (m_directSave) {
        mimeData->setDirectSaveOffer(m_directSave);
        // The drag's window exists once the drag runs; the first event of its loop is early
        // enough, as a target reads the name only when the item is dropped on it.
        QTimer::singleShot(0, mimeData, [offer = std::weak_ptr(m_directSave)] {
            if (const auto live = offer.lock())
                live->dragStarted();
        });
    }

    // Qt owns the drag and deletes it later, so its data is still there when the source hears
    // of the end below.
    auto *drag = new QDrag(m_view);
    m_drag = drag;
    drag->setMimeData(mimeData);
    QPointF hotSpot;
    const QImage image = dragImage(&hotSpot);
    if (!image.isNull()) {
        drag->setPixmap(QPixmap::fromImage(image));
        drag->setHotSpot(hotSpot.toPoint());
    }

    const VLDragOperation offered = m_source->draggingSessionSourceOperationMaskForDraggingContext(
        this, VLDraggingContext::OutsideApplication);
    const Qt::DropAction result = drag->exec(vlDropActionsForDragOperation(offered),
                                             vlPreferredDropActionForDragOperation(offered));
    // Qt's drag ends as the item is dropped; a direct-save target asks for the save after that.
    if (m_directSave && result != Qt::IgnoreAction && m_view)
        m_directSave->waitForTarget();
    // Whatever comes later is refused: the source is told now and may go.
    const struct CloseOffer
    {
        std::shared_ptr<platform::DirectSaveOffer> offer;
        ~CloseOffer()
        {
            if (offer)
                offer->close();
        }
    } closeOffer{m_directSave};
    // The drag's own loop may have closed the view (and its source) meanwhile.
    if (!m_view)
        return;
    // A destination can only perform what was offered.
    VLDragOperation performed = vlDragOperationForDropAction(result);
    if (performed == VLDragOperationMove && !(offered & VLDragOperationMove))
        performed = VLDragOperationGeneric;
    performed &= offered;
    // The source itself did what it offered, whatever action the target named.
    if (directSaveURL())
        performed = (offered & VLDragOperationMove) ? VLDragOperationMove : VLDragOperationCopy;
    m_source->draggingSessionEndedAtPointOperation(this, QCursor::pos(), performed);
    m_drag.clear();
}

std::optional<QUrl> vlPasteLocationForDraggingSession(const VLDraggingSession *session)
{
    const std::optional<QUrl> saved = session ? session->directSaveURL() : std::nullopt;
    if (!saved)
        return std::nullopt;
    return QUrl::fromLocalFile(QFileInfo(saved->toLocalFile()).absolutePath());
}
