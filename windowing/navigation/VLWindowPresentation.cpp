#include "windowing/navigation/VLWindowPresentation.h"

#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLSpringAnimation.h"
#include "windowing/navigation/VLKeyViewLoop.h"
#include "windowing/navigation/VLOverlaySpringTransition.h"
#include "windowing/navigation/VLViewHierarchy.h"

namespace {

constexpr double kPresentationBounciness = 6.0;

QString presentingAnimationKey()
{
    return QStringLiteral("overlayPresentingAnimation");
}

// The window's presented controllers, owned by the window.
class PresentedList final : public QObject
{
public:
    using QObject::QObject;
    QList<VLViewControllerPtr> controllers;

    static PresentedList *of(const QWidget *window, bool create)
    {
        if (!window)
            return nullptr;
        for (QObject *child : window->children()) {
            if (auto *list = dynamic_cast<PresentedList *>(child))
                return list;
        }
        return create ? new PresentedList(const_cast<QWidget *>(window)) : nullptr;
    }
};

std::shared_ptr<VLSpringAnimation> presentationSpring(const QRectF &to)
{
    auto spring = VLSpringAnimation::animationWithPropertyNamed(kVLViewFrame);
    spring->setToValue(to);
    spring->setSpringBounciness(kPresentationBounciness);
    return spring;
}

void focusFirstKeyView(QWidget *window)
{
    vlMakeFirstResponder(window, nullptr);
    if (vlSelectNextKeyView(window, true))
        return;
    for (QWidget *w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if (vlCanBecomeKeyView(w) && w->focusPolicy() != Qt::NoFocus) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

} // namespace

void vlPresentViewControllerAnimated(QWidget *window, const VLViewControllerPtr &controller, bool)
{
    if (!window || !controller)
        return;
    PresentedList *list = PresentedList::of(window, true);
    if (!list->controllers.isEmpty())
        return; // one presentation at a time

    QWidget *view = controller->view();
    const QRectF frame = vlViewFrame(view);
    const QRectF start = frame.translated(0.0, frame.height()); // just below its place
    vlSetViewFrame(view, start);

    controller->setPresentingWindow(window);
    list->controllers.append(controller);
    vlAddSubview(vlWindowContentView(window), view);

    auto spring = presentationSpring(start.translated(0.0, -window->height()));
    QPointer<VLViewController> guarded(controller.data());
    QPointer<QWidget> guardedWindow(window);
    spring->setCompletionBlock([guarded, guardedWindow](VLAnimation *, bool) {
        if (guarded && guardedWindow)
            vlMakeFirstResponder(guardedWindow, guarded->firstValidResponder());
    });
    VLAnimator::addAnimationForKey(view, spring, presentingAnimationKey());
}

void vlDismissViewControllerAnimated(QWidget *window, VLViewController *controller, bool)
{
    PresentedList *list = PresentedList::of(window, false);
    if (!list || !controller)
        return;
    VLViewControllerPtr presented;
    for (const VLViewControllerPtr &candidate : std::as_const(list->controllers)) {
        if (candidate.data() == controller)
            presented = candidate;
    }
    if (!presented)
        return;

    QWidget *view = controller->view();
    auto spring = presentationSpring(vlViewFrame(view).translated(0.0, window->height()));
    QPointer<QWidget> guardedWindow(window);
    // The completion keeps the controller until it is off the window.
    spring->setCompletionBlock([presented, guardedWindow](VLAnimation *, bool) {
        vlRemoveFromSuperview(presented->view());
        if (!guardedWindow)
            return;
        PresentedList *remaining = PresentedList::of(guardedWindow, false);
        if (!remaining)
            return;
        remaining->controllers.removeAll(presented);
        if (!remaining->controllers.isEmpty())
            vlMakeFirstResponder(guardedWindow, remaining->controllers.last()->firstValidResponder());
        else
            focusFirstKeyView(guardedWindow);
    });
    VLAnimator::addAnimationForKey(view, spring, presentingAnimationKey());
}

QList<VLViewControllerPtr> vlPresentedViewControllers(const QWidget *window)
{
    const PresentedList *list = PresentedList::of(window, false);
    return list ? list->controllers : QList<VLViewControllerPtr>();
}
