#include "windowing/windows/VLModernWindow.h"

#include "windowing/windows/VLTerminatorProxy.h"

#include <QCloseEvent>

VLModernWindow::VLModernWindow(QWidget *parent) : VLWindow(parent)
{
}

VLModernWindow::~VLModernWindow() = default;

void VLModernWindow::closeEvent(QCloseEvent *event)
{
    // The window never closes by itself; quitting ends the main loop with the window open.
    event->ignore();
    VLTerminatorProxy::sharedInstance()->terminate();
}
