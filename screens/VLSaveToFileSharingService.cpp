#include "screens/VLSaveToFileSharingService.h"

#include "engine/files/VLFileNamer.h"
#include "platform/core/BundleInfo.h"
#include "screens/VLTransporter.h"
#include "windowing/windows/VLSavePanel.h"

#include <QPointer>

VLSaveToFileSharingService::VLSaveToFileSharingService(QObject *parent)
    : VLSharingService(tr("Save to File…"), QIcon::fromTheme(QStringLiteral("document-save-as")), parent)
{
}

VLSaveToFileSharingService::~VLSaveToFileSharingService() = default;

bool VLSaveToFileSharingService::canPerformWithItems(const QVariantList &items) const
{
    return std::all_of(items.begin(), items.end(),
                       [](const QVariant &item) { return item.metaType() == QMetaType::fromType<QUrl>(); });
}

void VLSaveToFileSharingService::performWithItems(const QVariantList &items)
{
    VLSharingServiceDelegate *sharingDelegate = delegate();
    if (sharingDelegate)
        sharingDelegate->sharingServiceWillShareItems(this, items);
    const QList<QUrl> urls = urlsOfItems(items);
    if (urls.isEmpty()) {
        if (sharingDelegate)
            sharingDelegate->sharingServiceDidFailToShareItemsError(
                this, items, VLError(QString::fromLatin1(platform::bundle::identifier), noFileErrorCode));
        return;
    }
    const QUrl source = urls.first();
    QWidget *window = sharingDelegate ? sharingDelegate->sharingServiceSourceWindowForShareItems(this, items) : nullptr;
    QPointer<QWidget> host = window;
    VLSavePanel::beginSheetModalForWindow(
        window, VLFileNamer::titleForURLs(urls), QStringLiteral("vault"),
        [self = QPointer<VLSaveToFileSharingService>(this), host, source](int result, const QUrl &url) {
            if (!self || result != VLSavePanel::okButton)
                return;
            auto transporter = VLTransporter::create();
            transporter->setDelegate(dynamic_cast<VLTransporterDelegate *>(self->delegate()));
            transporter->setWindow(host);
            if (self->m_transporterHandler)
                self->m_transporterHandler(transporter);
            transporter->copyItemWithProgressFromURLToURLOverwrite(source, url, true);
        });
}

QUrl VLSaveToFileSharingService::destinationURL() const
{
    const QMutexLocker lock(&m_mutex);
    return m_destinationURL;
}

void VLSaveToFileSharingService::setDestinationURL(const QUrl &url)
{
    const QMutexLocker lock(&m_mutex);
    m_destinationURL = url;
}
