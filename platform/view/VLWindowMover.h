#pragma once

#include <QPoint>

class QMouseEvent;
class QWidget;

// Moves a top-level window while the left button drags over its background: through the window
// manager where it offers that, otherwise by following the pointer. The window hands it the
// presses, moves and releases that reach its background.
class VLWindowMover final
{
public:
    // True when the press starts a move (a left press); the event is then accepted.
    bool mousePress(QWidget *window, QMouseEvent *event);
    // True when the move belongs to a move the mover follows itself.
    bool mouseMove(QWidget *window, QMouseEvent *event);
    void mouseRelease(QMouseEvent *event);

    bool isMoving() const { return m_moving; }

private:
    bool m_moving = false;
    QPoint m_windowOrigin;
    QPoint m_pressPosition;
};
