#pragma once

#include "windowing/navigation/VLViewController.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class VLNavigationController;
class VLNavigationControllerContextTransitioning;

using VLTransitionContextPtr = std::shared_ptr<VLNavigationControllerContextTransitioning>;

// One animated change of screen. A transition object is made for every navigation.
class VLNavigationControllerAnimatedTransitioning
{
public:
    virtual ~VLNavigationControllerAnimatedTransitioning() = default;

    // Seconds; read by the transition group only.
    virtual double transitionDuration(const VLTransitionContextPtr &context) = 0;
    // Places the to-controller's view in the container, animates, and ends (synchronously or later)
    // in exactly one completeTransition() on the context. Animation callbacks keep the context
    // alive until then.
    virtual void animateTransition(const VLTransitionContextPtr &context) = 0;
    // After the completion, once the from-controller's view is out of the window: restore what
    // the transition changed on views that outlive it.
    virtual void animationEndedForContext(bool finished, const VLTransitionContextPtr &context)
    {
        Q_UNUSED(finished)
        Q_UNUSED(context)
    }
};

using VLAnimatedTransitioningPtr = std::shared_ptr<VLNavigationControllerAnimatedTransitioning>;

// Every method is optional; the defaults do nothing and answer no transition.
class VLNavigationControllerDelegate
{
public:
    virtual ~VLNavigationControllerDelegate() = default;

    virtual void navigationControllerWillShowViewControllerAnimated(VLNavigationController *navigationController,
                                                                    VLViewController *viewController, bool animated)
    {
        Q_UNUSED(navigationController)
        Q_UNUSED(viewController)
        Q_UNUSED(animated)
    }
    virtual void navigationControllerDidShowViewControllerAnimated(VLNavigationController *navigationController,
                                                                   VLViewController *viewController, bool animated)
    {
        Q_UNUSED(navigationController)
        Q_UNUSED(viewController)
        Q_UNUSED(animated)
    }
    virtual VLAnimatedTransitioningPtr
    navigationControllerAnimationControllerForOperationFromViewControllerToViewController(
        VLNavigationController *navigationController, VLNavigationControllerOperation operation,
        VLViewController *fromViewController, VLViewController *toViewController)
    {
        Q_UNUSED(navigationController)
        Q_UNUSED(operation)
        Q_UNUSED(fromViewController)
        Q_UNUSED(toViewController)
        return nullptr;
    }
};

// The context of one navigation: the views and controllers a transition works on, and the
// completion the navigation controller runs when the transition calls completeTransition().
// Only the first completeTransition() counts; later ones are ignored.
class VLNavigationControllerContextTransitioning
    : public std::enable_shared_from_this<VLNavigationControllerContextTransitioning>
{
public:
    using Completion = std::function<void(bool finished)>;

    VLNavigationControllerContextTransitioning() = default;
    virtual ~VLNavigationControllerContextTransitioning() = default;
    Q_DISABLE_COPY_MOVE(VLNavigationControllerContextTransitioning)

    virtual void completeTransition(bool finished);
    virtual bool isAnimated() const { return m_animated; }
    virtual QWidget *containerView() const { return m_containerView; }
    virtual VLViewController *fromViewController() const { return m_fromViewController; }
    virtual VLViewController *toViewController() const { return m_toViewController; }

    void setAnimated(bool animated) { m_animated = animated; }
    void setContainerView(QWidget *view) { m_containerView = view; }
    void setFromViewController(VLViewController *controller) { m_fromViewController = controller; }
    void setToViewController(VLViewController *controller) { m_toViewController = controller; }
    const Completion &completion() const { return m_completion; }
    void setCompletion(Completion completion) { m_completion = std::move(completion); }
    bool isCompleted() const { return m_completed; }

private:
    bool m_animated = false;
    bool m_completed = false;
    QPointer<QWidget> m_containerView;
    QPointer<VLViewController> m_fromViewController;
    QPointer<VLViewController> m_toViewController;
    Completion m_completion;
};
