#include "controls/VLRespondingView.h"

#include <QMouseEvent>

VLRespondingView::VLRespondingView(QWidget *parent) : QWidget(parent)
{
    // Not click focus: Qt would focus the view before the press arrives, and the first click
    // could no longer be told from the later ones.
    setFocusPolicy(Qt::TabFocus);
}

void VLRespondingView::mousePressEvent(QMouseEvent *event)
{
    if (!hasFocus()) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}
