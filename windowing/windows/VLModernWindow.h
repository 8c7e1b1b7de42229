#pragma once

#include "windowing/windows/VLWindow.h"

// The main window on current systems. Closing it is a quit request: the quit state machine
// decides, and the window stays open while a screen or the quit hook holds the quit.
class VLModernWindow final : public VLWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLModernWindow)

public:
    explicit VLModernWindow(QWidget *parent = nullptr);
    ~VLModernWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;
};
