#include "app/navigation/VLNavigationControllerView.h"

#include <QEvent>

VLNavigationControllerView::VLNavigationControllerView(QWidget *parent)
    : QWidget(parent)
{
}

QWidget *VLNavigationControllerView::hostWindow() const
{
    return parentWidget() ? window() : nullptr;
}

bool VLNavigationControllerView::event(QEvent *event)
{
    if (event->type() == QEvent::ParentAboutToChange) {
        const bool handled = QWidget::event(event);
        if (m_delegate) {
            m_delegate->controllerViewWillMoveToSuperview(this, parentWidget());
            m_delegate->controllerViewWillMoveToWindow(this, hostWindow());
        }
        return handled;
    }
    if (event->type() == QEvent::ParentChange) {
        const bool handled = QWidget::event(event);
        if (m_delegate) {
            m_delegate->controllerViewDidMoveToSuperview(this, parentWidget());
            m_delegate->controllerViewDidMoveToWindow(this, hostWindow());
        }
        return handled;
    }
    return QWidget::event(event);
}
