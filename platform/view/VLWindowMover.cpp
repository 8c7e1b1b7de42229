#include "platform/view/VLWindowMover.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

bool VLWindowMover::mousePress(QWidget *window, QMouseEvent *event)
{
    if (!window || event->button() != Qt::LeftButton)
        return false;
    event->accept();
    m_moving = false;
    if (window->windowHandle() && window->windowHandle()->startSystemMove())
        return true;
    m_moving = true;
    m_windowOrigin = window->pos();
    m_pressPosition = event->globalPosition().toPoint();
    return true;
}

bool VLWindowMover::mouseMove(QWidget *window, QMouseEvent *event)
{
    if (!window || !m_moving || !(event->buttons() & Qt::LeftButton))
        return false;
    window->move(m_windowOrigin + (event->globalPosition().toPoint() - m_pressPosition));
    event->accept();
    return true;
}

void VLWindowMover::mouseRelease(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_moving = false;
}
