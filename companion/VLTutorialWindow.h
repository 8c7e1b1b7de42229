#pragma once

#include "platform/view/VLWindowMover.h"
#include "windowing/windows/VLLegacyWindow.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class VLTutorialWindowController;

// The tutorial's window on current systems. It follows the mouse, moves by its background and
// becomes the key window; closing it (the close button or the Close menu item) is not done by
// the window: it is sent on as performClose to its next responder, the tutorial's controller,
// which decides whether the tutorial ends.
class VLTutorialWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLTutorialWindow)

public:
    explicit VLTutorialWindow(QWidget *parent = nullptr);
    ~VLTutorialWindow() override;

    void setNextResponder(VLTutorialWindowController *responder);
    VLTutorialWindowController *nextResponder() const;
    bool canBecomeKeyWindow() const { return true; }
    // The Close item ("performClose:") is always enabled; other items keep their own state.
    bool validateMenuItem(const QAction *item) const;
    QAction *closeAction() const { return m_closeAction; }

    // Sent on to the next responder with the same sender.
    void performClose(QObject *sender);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPointer<VLTutorialWindowController> m_nextResponder;
    QAction *m_closeAction = nullptr;
    VLWindowMover m_mover;
};

// The tutorial's window on older systems: the legacy window's own chrome, with the same
// behaviour as VLTutorialWindow.
class VLLegacyTutorialWindow final : public VLLegacyWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLLegacyTutorialWindow)

public:
    explicit VLLegacyTutorialWindow(QWidget *parent = nullptr);
    ~VLLegacyTutorialWindow() override;

    void setNextResponder(VLTutorialWindowController *responder);
    VLTutorialWindowController *nextResponder() const;
    bool canBecomeKeyWindow() const { return true; }
    bool validateMenuItem(const QAction *item) const;
    QAction *closeAction() const { return m_closeAction; }

    void performClose(QObject *sender);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointer<VLTutorialWindowController> m_nextResponder;
    QAction *m_closeAction = nullptr;
};
