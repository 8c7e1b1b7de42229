#include "companion/NBGDPRWindow.h"

#include <QCloseEvent>
#include <QMouseEvent>

NBGDPRWindow::NBGDPRWindow(QWidget *parent) : QDialog(parent)
{
    setModal(true);
}

NBGDPRWindow::~NBGDPRWindow() = default;

void NBGDPRWindow::reject()
{
    // The user has to accept or quit; nothing else ends the window.
}

void NBGDPRWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_closeHandler)
        m_closeHandler();
}

void NBGDPRWindow::mousePressEvent(QMouseEvent *event)
{
    if (!m_mover.mousePress(this, event))
        QDialog::mousePressEvent(event);
}

void NBGDPRWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_mover.mouseMove(this, event))
        QDialog::mouseMoveEvent(event);
}

void NBGDPRWindow::mouseReleaseEvent(QMouseEvent *event)
{
    m_mover.mouseRelease(event);
    QDialog::mouseReleaseEvent(event);
}
