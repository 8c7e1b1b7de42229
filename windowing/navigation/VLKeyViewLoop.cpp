#include "windowing/navigation/VLKeyViewLoop.h"

#include "platform/desktop/Beep.h"
#include "windowing/navigation/VLViewController.h"
#include "windowing/navigation/VLWindowPresentation.h"

#include <QGuiApplication>
#include <QPointer>
#include <QStyleHints>
#include <QVariant>
#include <QWidget>

namespace {

constexpr char kRootViewControllerProperty[] = "vl_rootViewController";

// Explicitly hidden, itself or an ancestor below its window.
bool isHiddenInTree(const QWidget *view)
{
    for (const QWidget *w = view; w && !w->isWindow(); w = w->parentWidget()) {
        if (w->isHidden())
            return true;
    }
    return false;
}

bool isInside(const QWidget *view, const QWidget *root)
{
    return root && view != root && root->isAncestorOf(view);
}

Qt::FocusPolicy tabFocusFlag()
{
    return vlFullKeyboardAccess() ? Qt::TabFocus : Qt::StrongFocus;
}

} // namespace

void vlSetRootViewController(QWidget *window, VLViewController *controller)
{
    if (window)
        window->setProperty(kRootViewControllerProperty, QVariant::fromValue(QPointer<QObject>(controller)));
}

VLViewController *vlRootViewController(const QWidget *window)
{
    if (!window)
        return nullptr;
    return qobject_cast<VLViewController *>(window->property(kRootViewControllerProperty).value<QPointer<QObject>>());
}

bool vlFullKeyboardAccess()
{
    return QGuiApplication::styleHints()->tabFocusBehavior() == Qt::TabFocusAllControls;
}

bool vlAcceptsFirstResponder(const QWidget *view)
{
    if (!view)
        return false;
    if (view->isEnabled() && view->focusPolicy() != Qt::NoFocus)
        return true;
    if (const VLViewController *controller = VLViewController::viewController(view))
        return !controller->hasValidInitialFirstResponder();
    return false;
}

bool vlCanBecomeKeyView(const QWidget *view)
{
    if (!view)
        return false;
    const Qt::FocusPolicy flag = tabFocusFlag();
    if (view->isEnabled() && !isHiddenInTree(view) && (view->focusPolicy() & flag) == flag)
        return true;
    if (const VLViewController *controller = VLViewController::viewController(view))
        return !controller->hasValidInitialFirstResponder();
    return false;
}

namespace {

bool selectNextKeyViewOfLoop(QWidget *window, bool forward)
{
    // A controller presented over the window holds the loop while it is shown.
    const QList<VLViewControllerPtr> presented = vlPresentedViewControllers(window);
    VLViewController *root = presented.isEmpty() ? vlRootViewController(window) : presented.last().data();
    if (!root)
        return false;

    // The loop: every key view inside the roots, in focus-chain order, the view's before the
    // overlay's.
    const Qt::FocusPolicy flag = tabFocusFlag();
    QList<QWidget *> loop;
    for (QWidget *keyRoot : root->keyViewRoots()) {
        if (!keyRoot)
            continue;
        QWidget *w = keyRoot;
        do {
            w = w->nextInFocusChain();
            if (isInside(w, keyRoot) && !w->focusProxy() && w->isEnabled() && !isHiddenInTree(w)
                && (w->focusPolicy() & flag) == flag && !loop.contains(w))
                loop.append(w);
        } while (w && w != keyRoot);
    }

    QWidget *current = window->focusWidget();
    qsizetype index = -1;
    for (qsizetype i = 0; i < loop.size(); ++i) {
        if (loop.at(i) == current || loop.at(i)->isAncestorOf(current)) {
            index = i;
            break;
        }
    }
    QWidget *next = nullptr;
    if (index < 0) {
        if (!loop.isEmpty())
            next = forward ? loop.first() : loop.last();
    } else {
        const qsizetype step = forward ? index + 1 : index - 1;
        if (step >= 0 && step < loop.size())
            next = loop.at(step);
        else if (!forward)
            next = loop.last(); // backwards the loop is simply circular
    }
    if (next) {
        next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }

    QWidget *wrapped = root->firstValidResponder();
    if (!wrapped)
        return true;
    if (wrapped == current && VLViewController::viewController(wrapped))
        platform::beep(); // nothing in the loop but the screen itself
    wrapped->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool followingController(const QObject *responder, QObject **following)
{
    const auto *controller = qobject_cast<const VLViewController *>(responder);
    if (!controller)
        return false;
    QWidget *view = const_cast<VLViewController *>(controller)->isViewLoaded()
                        ? const_cast<VLViewController *>(controller)->view()
                        : nullptr;
    *following = view && !view->isWindow() ? view->parentWidget() : nullptr;
    return true;
}

QObject *controllerOfView(const QWidget *view)
{
    return VLViewController::viewController(view);
}

} // namespace

void vlTeachResponderChainControllers()
{
    static const bool taught = [] {
        vlSetResponderControllers({followingController, controllerOfView, selectNextKeyViewOfLoop});
        return true;
    }();
    Q_UNUSED(taught)
}
