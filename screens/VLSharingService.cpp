#include "screens/VLSharingService.h"

#include "screens/VLEmailSharingService.h"
#include "screens/VLSaveToFileSharingService.h"

#include <QUrl>

VLSharingService::VLSharingService(const QString &title, const QIcon &image, const QIcon &alternateImage,
                                   Handler handler, QObject *parent)
    : QObject(parent)
    , m_title(title)
    , m_image(image)
    , m_alternateImage(alternateImage)
    , m_handler(std::move(handler))
{
}

VLSharingService::VLSharingService(const QString &title, const QIcon &image, QObject *parent)
    : QObject(parent)
    , m_title(title)
    , m_image(image)
{
}

VLSharingService::~VLSharingService() = default;

QList<VLSharingService *> VLSharingService::sharingServicesForItems(const QVariantList &items, QObject *parent)
{
    QList<VLSharingService *> services;
    auto offer = [&](VLSharingService *service) {
        if (service->canPerformWithItems(items))
            services << service;
        else
            delete service;
    };
    if (VLEmailSharingService::isAvailable())
        offer(new VLEmailSharingService(parent));
    offer(new VLSaveToFileSharingService(parent));
    return services;
}

bool VLSharingService::canPerformWithItems(const QVariantList &items) const
{
    Q_UNUSED(items)
    return true;
}

void VLSharingService::performWithItems(const QVariantList &items)
{
    Q_UNUSED(items)
    if (m_handler)
        m_handler();
}

QList<QUrl> VLSharingService::urlsOfItems(const QVariantList &items)
{
    QList<QUrl> urls;
    for (const QVariant &item : items) {
        if (item.metaType() == QMetaType::fromType<QUrl>())
            urls << item.toUrl();
    }
    return urls;
}
