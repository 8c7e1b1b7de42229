#include "platform/view/DisplayMetrics.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace platform {

namespace {

// Read and written on the interface thread only.
QPointer<QWidget> &mainWindowSlot()
{
    static QPointer<QWidget> window;
    return window;
}

} // namespace

QSize mainScreenSize()
{
    const QScreen *screen = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    return screen ? screen->geometry().size() : QSize(0, 0);
}

QSize mainWindowSize()
{
    // A window out of sight is no main window.
    const QWidget *window = mainWindowSlot();
    return window && window->isVisible() ? window->frameGeometry().size() : QSize(0, 0);
}

void setMainWindow(QWidget *window)
{
    mainWindowSlot() = window;
}

} // namespace platform
