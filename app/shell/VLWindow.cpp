#include "app/shell/VLWindow.h"

VLWindow::VLWindow(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
}

VLWindow::~VLWindow() = default;

void VLWindow::setRootFirstValidResponder(FirstValidResponderProvider provider)
{
    m_firstValidResponder = std::move(provider);
}

QWidget *VLWindow::rootFirstValidResponder() const
{
    return m_firstValidResponder ? m_firstValidResponder() : nullptr;
}

QList<QWidget *> VLWindow::keyViewLoop() const
{
    // The window's content in focus-chain order: the controls Tab can reach.
    QList<QWidget *> loop;
    QWidget *root = centralWidget();
    if (!root)
        return loop;
    QWidget *widget = root;
    do {
        if (widget != root && root->isAncestorOf(widget) && widget->isVisibleTo(const_cast<VLWindow *>(this))
            && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy())
            loop << widget;
        widget = widget->nextInFocusChain();
    } while (widget && widget != root);
    return loop;
}

void VLWindow::selectKeyViewFollowingView(QWidget *view)
{
    const QList<QWidget *> loop = keyViewLoop();
    const qsizetype index = loop.indexOf(view);
    QWidget *next = index >= 0 && index + 1 < loop.size() ? loop.at(index + 1) : rootFirstValidResponder();
    if (next)
        next->setFocus(Qt::TabFocusReason);
}

void VLWindow::selectKeyViewPrecedingView(QWidget *view)
{
    const QList<QWidget *> loop = keyViewLoop();
    const qsizetype index = loop.indexOf(view);
    QWidget *previous = index > 0 ? loop.at(index - 1) : rootFirstValidResponder();
    if (previous)
        previous->setFocus(Qt::BacktabFocusReason);
}

bool VLWindow::focusNextPrevChild(bool next)
{
    if (!m_firstValidResponder)
        return QMainWindow::focusNextPrevChild(next);
    if (next)
        selectKeyViewFollowingView(focusWidget());
    else
        selectKeyViewPrecedingView(focusWidget());
    return true;
}
