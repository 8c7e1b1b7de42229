#include "platform/view/WindowActivation.h"

#include <QGuiApplication>
#include <QWidget>

namespace platform {

void activateWindowWithToken(QWidget *window, const QString &token)
{
    if (!window)
        return;
    // Qt's Wayland client presents the token from this variable with the next activation
    // request and then clears it.
    if (!token.isEmpty() && QGuiApplication::platformName() == u"wayland")
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    window->raise();
    window->activateWindow();
}

} // namespace platform
