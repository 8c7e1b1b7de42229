#pragma once

#include "platform/view/VLWindowMover.h"

#include <QDialog>

#include <functional>

// The consent window: application-modal, moved by dragging its background. It cannot be
// dismissed without a decision: Escape does nothing, and closing it through the window manager
// is reported to its owner, which treats it as Quit.
class NBGDPRWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NBGDPRWindow)

public:
    explicit NBGDPRWindow(QWidget *parent = nullptr);
    ~NBGDPRWindow() override;

    bool isMovableByWindowBackground() const { return true; }
    void setCloseHandler(std::function<void()> handler) { m_closeHandler = std::move(handler); }

    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    std::function<void()> m_closeHandler;
    VLWindowMover m_mover;
};
