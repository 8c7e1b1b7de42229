#include "windowing/windows/VLWindow.h"

#include "windowing/navigation/VLKeyViewLoop.h"

VLWindow::VLWindow(QWidget *parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
}

VLWindow::~VLWindow() = default;

void VLWindow::setRootViewController(VLViewController *controller)
{
    vlSetRootViewController(this, controller);
}

VLViewController *VLWindow::rootViewController() const
{
    return vlRootViewController(this);
}

bool VLWindow::focusNextPrevChild(bool next)
{
    // Without a root controller the window has no screen loop: Qt's own chain applies.
    if (vlSelectNextKeyView(this, next))
        return true;
    return QMainWindow::focusNextPrevChild(next);
}
