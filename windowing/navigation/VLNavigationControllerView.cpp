#include "windowing/navigation/VLNavigationControllerView.h"

#include "windowing/navigation/VLViewController.h"

#include <QEvent>

VLNavigationControllerView::VLNavigationControllerView(QWidget *parent) : QWidget(parent)
{
}

VLNavigationControllerView::~VLNavigationControllerView()
{
    // A screen keeps its view for as long as it lives (it may be shown again elsewhere); only the
    // container goes, when its window does.
    const QList<QWidget *> children = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (VLViewController::viewController(child) && !child->isWindow()) {
            child->hide();
            child->setParent(nullptr);
        }
    }
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
