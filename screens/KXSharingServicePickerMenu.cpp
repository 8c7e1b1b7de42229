#include "screens/KXSharingServicePickerMenu.h"

#include "platform/core/AppKitVersion.h"
#include "platform/core/Log.h"
#include "platform/desktop/Sharing.h"
#include "platform/localization/Localization.h"
#include "screens/VLSharingService.h"

#include <QAction>
#include <QMenu>

#include <cmath>

namespace {

const char *const serviceProperty = "vl_sharingService";

} // namespace

QMenu *KXSharingServicePickerMenu::vl_menuForSharingItemsOptionsWithTargetSelectorServiceDelegate(
    const QVariantList &items, qint64 options, QObject *target, const char *selector,
    VLSharingServiceDelegate *delegate, QWidget *parent)
{
    Q_UNUSED(options)
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("shareMenu"));
    const QList<VLSharingService *> services = VLSharingService::sharingServicesForItems(items, menu);
    for (VLSharingService *service : services) {
        // The application's own share helper would send the container back here.
        if (service->title().toLower().contains(u"vaultine")) {
            delete service;
            continue;
        }
        constructMenuItemSelectorDelegateMenuService(target, selector, delegate, menu, service);
    }
    if (std::floor(platform::appKitVersionNumber()) > platform::appKitVersionLegacy) {
        auto *more = new VLSharingService(
            platform::localizedString(QT_TRANSLATE_NOOP("Localizable", "More...")),
            QIcon(QStringLiteral(":/images/MoreIcon.svg")), QIcon(),
            [] {
                if (!platform::openSharingSettings())
                    platform::log(QStringLiteral("[Encrypt]: no sharing settings to open."));
            },
            menu);
        constructMenuItemSelectorDelegateMenuService(target, selector, delegate, menu, more);
    }
    return menu;
}

void KXSharingServicePickerMenu::constructMenuItemSelectorDelegateMenuService(QObject *target, const char *selector,
                                                                              VLSharingServiceDelegate *delegate,
                                                                              QMenu *menu, VLSharingService *service)
{
    QAction *item = menu->addAction(service->image(), service->menuItemTitle());
    item->setProperty(serviceProperty, QVariant::fromValue<QObject *>(service));
    service->setDelegate(delegate);
    if (target && selector) {
        const QByteArray method(selector);
        QObject::connect(item, &QAction::triggered, target, [target, method, item] {
            QMetaObject::invokeMethod(target, method.constData(), Q_ARG(QAction *, item));
        });
    }
}

VLSharingService *KXSharingServicePickerMenu::serviceOfMenuItem(const QObject *menuItem)
{
    return menuItem ? qobject_cast<VLSharingService *>(menuItem->property(serviceProperty).value<QObject *>())
                    : nullptr;
}
