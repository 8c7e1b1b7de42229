#include "controls/VLDraggableImageView.h"

#include <QMouseEvent>
#include <QWindow>

VLDraggableImageView::VLDraggableImageView(QWidget *parent) : QLabel(parent)
{
}

void VLDraggableImageView::mousePressEvent(QMouseEvent *event)
{
    QWindow *handle = window()->windowHandle();
    if (event->button() == Qt::LeftButton && mouseDownCanMoveWindow() && handle && handle->startSystemMove()) {
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}
