#include "screens/VLRootScreen.h"

#include "app/navigation/VLNavigationController.h"
#include "app/shell/VLStartViewController.h"
#include "screens/decrypt/VLDecryptViewController.h"

#include <QFileInfo>

bool VLRootScreen::opensDecryptFlow(const QList<QUrl> &urls)
{
    return urls.size() == 1 && QFileInfo(urls.first().toLocalFile()).suffix().toLower() == u"vault";
}

VLViewControllerPtr VLRootScreen::make()
{
    auto start = VLViewController::create<VLStartViewController>();
    QObject::connect(start.get(), &VLStartViewController::filesReceived, start.get(),
                     [screen = start.get()](const QList<QUrl> &urls) {
                         VLNavigationController *navigation = screen->navigationController();
                         if (navigation && opensDecryptFlow(urls))
                             navigation->pushViewControllerAnimated(
                                 VLViewController::create<VLDecryptViewController>(urls), true);
                     });
    return start;
}
