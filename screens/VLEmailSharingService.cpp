#include "screens/VLEmailSharingService.h"

#include "platform/core/BundleInfo.h"
#include "platform/desktop/Sharing.h"

#include <QUrl>

#include <cerrno>

VLEmailSharingService::VLEmailSharingService(QObject *parent)
    : VLSharingService(
        tr("Email"),
        QIcon::fromTheme(QStringLiteral("mail-message-new"), QIcon::fromTheme(QStringLiteral("internet-mail"))), parent)
{
}

bool VLEmailSharingService::isAvailable()
{
    return platform::canComposeEmail();
}

bool VLEmailSharingService::canPerformWithItems(const QVariantList &items) const
{
    bool hasFile = false;
    for (const QVariant &item : items) {
        if (item.metaType() == QMetaType::fromType<QUrl>()) {
            if (!item.toUrl().isLocalFile())
                return false;
            hasFile = true;
        } else if (item.metaType() != QMetaType::fromType<QString>()) {
            return false;
        }
    }
    return hasFile;
}

void VLEmailSharingService::performWithItems(const QVariantList &items)
{
    if (VLSharingServiceDelegate *sharingDelegate = delegate())
        sharingDelegate->sharingServiceWillShareItems(this, items);
    QStringList texts;
    QStringList attachments;
    for (const QVariant &item : items) {
        if (item.metaType() == QMetaType::fromType<QUrl>())
            attachments << item.toUrl().toLocalFile();
        else
            texts << item.toString();
    }
    if (platform::composeEmail(texts.join(u'\n'), attachments))
        return;
    if (VLSharingServiceDelegate *sharingDelegate = delegate())
        sharingDelegate->sharingServiceDidFailToShareItemsError(this, items, VLError::posix(ENOENT));
}
