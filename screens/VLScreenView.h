#pragma once

#include "platform/view/VLKeyBindings.h"

#include <QWidget>

// A screen's root or overlay view. It paints nothing (transitions stack screens over each other)
// and hands the key presses that reach it, its own and those its controls leave alone, to its
// controller through the key bindings, as commands (Command::insertNewline, Command::cancelOperation) or text.
class VLScreenView : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLScreenView)

public:
    // The client is the screen's controller, which owns this view and so outlives it.
    explicit VLScreenView(platform::VLKeyBindingClient *client, QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    platform::VLKeyBindingClient *m_client;
};
