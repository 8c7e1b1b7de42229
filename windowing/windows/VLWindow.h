#pragma once

#include <QMainWindow>

class VLViewController;

// What the application's windows share: the keyboard loop stays inside the screen on top.
// Tabbing past the last control (or back past the first) of the shown screen moves focus to
// the root view controller's first valid responder instead of leaving the screen.
class VLWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLWindow)

public:
    explicit VLWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~VLWindow() override;

    // The controller whose first valid responder ends the keyboard loop (held weakly).
    void setRootViewController(VLViewController *controller);
    VLViewController *rootViewController() const;

protected:
    bool focusNextPrevChild(bool next) override;
};
