#pragma once

#include <QSize>

class QWidget;

namespace platform {

// The size of the main screen (the primary screen's full geometry); 0x0 without a screen.
QSize mainScreenSize();

// The frame size of the application's main window; 0x0 while there is none or it is hidden.
QSize mainWindowSize();

// The shell names its main window here once it exists; the window may be destroyed later.
void setMainWindow(QWidget *window);

} // namespace platform
