#pragma once

#include <QVariantList>

class QMenu;
class QObject;
class QWidget;
class VLSharingService;
class VLSharingServiceDelegate;

// Builds the share menu: one item for every sharing service this desktop offers for the items,
// except the application's own, then "More...". Each item's data is its service, and choosing it
// calls the target's method (which takes the chosen QAction *).
class KXSharingServicePickerMenu final
{
public:
    KXSharingServicePickerMenu() = delete;

    // options is not used. The services belong to the menu.
    static QMenu *vl_menuForSharingItemsOptionsWithTargetSelectorServiceDelegate(const QVariantList &items,
                                                                                 qint64 options, QObject *target,
                                                                                 const char *selector,
                                                                                 VLSharingServiceDelegate *delegate,
                                                                                 QWidget *parent = nullptr);
    static void constructMenuItemSelectorDelegateMenuService(QObject *target, const char *selector,
                                                             VLSharingServiceDelegate *delegate, QMenu *menu,
                                                             VLSharingService *service);

    // The service an item of the menu stands for.
    static VLSharingService *serviceOfMenuItem(const QObject *menuItem);
};
