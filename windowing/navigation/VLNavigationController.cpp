#include "windowing/navigation/VLNavigationController.h"

#include "windowing/navigation/VLKeyViewLoop.h"
#include "windowing/navigation/VLNavigationControllerDefaultTransition.h"
#include "windowing/navigation/VLViewHierarchy.h"

namespace {

// The navigation view's mask: flexible left and both vertical margins, flexible size.
constexpr int kNavigationViewMask = VLViewMinXMargin | VLViewWidthSizable | VLViewMinYMargin | VLViewHeightSizable
                                    | VLViewMaxYMargin;

VLViewControllerPtr makeBlankController(const QRectF &frame)
{
    VLViewControllerPtr controller = VLViewController::create<VLViewController>();
    auto *view = new QWidget;
    vlSetViewFrame(view, frame);
    controller->setView(view);
    return controller;
}

} // namespace

VLNavigationController::VLNavigationController(VLViewControllerPtr rootViewController, QObject *parent)
    : VLViewController(parent)
{
    if (!rootViewController)
        rootViewController = makeBlankController(QRectF());
    m_viewControllers.append(rootViewController);
}

VLNavigationController::~VLNavigationController()
{
    // The view outlives this object's own part for a moment; it must not call back into it.
    if (m_navigationView)
        m_navigationView->setDelegate(nullptr);
    // The screens' views live in the navigation view; they go with their controllers, not with it.
    for (const VLViewControllerPtr &controller : std::as_const(m_viewControllers)) {
        if (controller->isViewLoaded() && controller->view())
            vlRemoveFromSuperview(controller->view());
    }
}

VLNavigationControllerDelegate *VLNavigationController::delegate() const
{
    if (m_delegateIsObject && !m_delegateObject)
        return nullptr;
    return m_delegate;
}

void VLNavigationController::setDelegate(VLNavigationControllerDelegate *delegate)
{
    m_delegate = delegate;
    m_delegateObject = dynamic_cast<QObject *>(delegate);
    m_delegateIsObject = m_delegateObject != nullptr;
}

void VLNavigationController::loadView()
{
    auto *view = new VLNavigationControllerView;
    vlSetAutoresizingMask(view, kNavigationViewMask);
    view->setDelegate(this);
    m_navigationView = view;
    setView(view);
}

VLNavigationControllerView *VLNavigationController::navigationView()
{
    view();
    return m_navigationView;
}

VLViewControllerPtr VLNavigationController::topViewController() const
{
    return m_viewControllers.isEmpty() ? VLViewControllerPtr() : m_viewControllers.last();
}

VLViewControllerPtr VLNavigationController::rootViewController() const
{
    return m_viewControllers.isEmpty() ? VLViewControllerPtr() : m_viewControllers.first();
}

VLViewControllerPtr VLNavigationController::sharedViewController(const VLViewController *controller) const
{
    for (const VLViewControllerPtr &candidate : m_viewControllers) {
        if (candidate.data() == controller)
            return candidate;
    }
    return {};
}

void VLNavigationController::setViewControllers(const QList<VLViewControllerPtr> &viewControllers)
{
    setViewControllersAnimated(viewControllers, false);
}

void VLNavigationController::setViewControllersAnimated(QList<VLViewControllerPtr> viewControllers, bool animated)
{
    viewControllers.removeAll(VLViewControllerPtr());
    if (viewControllers.isEmpty())
        viewControllers.append(makeBlankController(vlViewBounds(navigationView())));

    const VLViewControllerPtr from = topViewController();
    const VLViewControllerPtr to = viewControllers.last();
    const bool push = !m_viewControllers.contains(to);

    m_viewControllers = viewControllers;
    for (const VLViewControllerPtr &controller : std::as_const(m_viewControllers))
        addControllerToHierarchyToStack(controller, false);

    navigateFromViewControllerToViewControllerAnimatedPush(from, to, animated, push);
}

void VLNavigationController::pushViewControllerAnimated(const VLViewControllerPtr &viewController, bool animated)
{
    if (!m_canNavigate || !viewController)
        return;
    const VLViewControllerPtr from = topViewController();
    addControllerToHierarchyToStack(viewController, true);
    navigateFromViewControllerToViewControllerAnimatedPush(from, viewController, animated, true);
}

VLViewControllerPtr VLNavigationController::popViewControllerAnimated(bool animated)
{
    if (!m_canNavigate || m_viewControllers.size() < 2)
        return {};
    const VLViewControllerPtr from = m_viewControllers.last();
    const VLViewControllerPtr to = m_viewControllers.at(m_viewControllers.size() - 2);
    navigateFromViewControllerToViewControllerAnimatedPush(from, to, animated, false);
    removeControllerFromHierarchyFromStack(from, true);
    return from;
}

std::optional<QList<VLViewControllerPtr>> VLNavigationController::popToRootViewControllerAnimated(bool animated)
{
    if (!m_canNavigate)
        return std::nullopt;
    if (m_viewControllers.size() < 2)
        return QList<VLViewControllerPtr>();
    const VLViewControllerPtr from = topViewController();
    const VLViewControllerPtr root = rootViewController();
    const QList<VLViewControllerPtr> removed = m_viewControllers.mid(1);
    m_viewControllers = {root};
    navigateFromViewControllerToViewControllerAnimatedPush(from, root, animated, false);
    for (const VLViewControllerPtr &controller : removed)
        removeControllerFromHierarchyFromStack(controller, false);
    return removed;
}

std::optional<QList<VLViewControllerPtr>> VLNavigationController::popToViewControllerAnimated(
    const VLViewControllerPtr &viewController, bool animated)
{
    if (!m_canNavigate)
        return std::nullopt;
    const qsizetype index = m_viewControllers.indexOf(viewController);
    if (index < 0 || index == m_viewControllers.size() - 1)
        return QList<VLViewControllerPtr>();
    const VLViewControllerPtr from = topViewController();
    const QList<VLViewControllerPtr> removed = m_viewControllers.mid(index + 1);
    m_viewControllers = m_viewControllers.mid(0, index + 1);
    navigateFromViewControllerToViewControllerAnimatedPush(from, viewController, animated, false);
    for (const VLViewControllerPtr &controller : removed)
        removeControllerFromHierarchyFromStack(controller, false);
    return removed;
}

QWidget *VLNavigationController::initialFirstResponder() const
{
    const VLViewControllerPtr top = topViewController();
    if (top && top->isViewLoaded())
        return top->firstValidResponder();
    return m_navigationView;
}

QWidget *VLNavigationController::firstValidResponder()
{
    const VLViewControllerPtr top = topViewController();
    return top ? top->firstValidResponder() : navigationView();
}

QList<QWidget *> VLNavigationController::keyViewRoots()
{
    const VLViewControllerPtr top = topViewController();
    return top ? top->keyViewRoots() : QList<QWidget *>{navigationView()};
}

void VLNavigationController::addControllerToHierarchyToStack(const VLViewControllerPtr &controller, bool toStack)
{
    if (!m_viewCreated)
        return;
    if (toStack)
        m_viewControllers.append(controller);
    addChildViewController(controller.data());
    controller->setNavigationController(this);
}

void VLNavigationController::removeControllerFromHierarchyFromStack(const VLViewControllerPtr &controller,
                                                                    bool fromStack)
{
    if (!m_viewCreated)
        return;
    if (fromStack)
        m_viewControllers.removeAll(controller);
    controller->removeFromParentViewController();
}

void VLNavigationController::controllerViewDidMoveToWindow(VLNavigationControllerView *view, QWidget *window)
{
    Q_UNUSED(window)
    if (!vlSubviews(view).isEmpty())
        return; // only the first placement shows the root
    m_viewCreated = true;
    const QList<VLViewControllerPtr> stack = m_viewControllers;
    for (const VLViewControllerPtr &controller : stack)
        addControllerToHierarchyToStack(controller, false);
    navigateFromViewControllerToViewControllerAnimatedPush({}, rootViewController(), false, true);
}

VLAnimatedTransitioningPtr VLNavigationController::transitionFor(VLViewController *from, VLViewController *to,
                                                                 bool push)
{
    const auto operation = push ? VLNavigationControllerOperation::Push : VLNavigationControllerOperation::Pop;
    VLAnimatedTransitioningPtr transition;
    if (from)
        transition = from->navigationControllerAnimationControllerForOperationToViewController(this, operation, to);
    if (!transition) {
        if (VLNavigationControllerDelegate *navigationDelegate = delegate()) {
            transition = navigationDelegate
                             ->navigationControllerAnimationControllerForOperationFromViewControllerToViewController(
                                 this, operation, from, to);
        }
    }
    if (!transition)
        transition = VLNavigationControllerDefaultTransition::transitionWithPush(push);
    return transition;
}

void VLNavigationController::navigateFromViewControllerToViewControllerAnimatedPush(const VLViewControllerPtr &from,
                                                                                    const VLViewControllerPtr &to,
                                                                                    bool animated, bool push)
{
    // Without its view (its window destroyed it) there is nowhere to show a screen.
    if (!m_viewCreated || !to || !m_navigationView)
        return;
    m_canNavigate = false;

    QWidget *toView = to->view();
    vlSetAutoresizingMask(toView, vlAutoresizingMask(navigationView()));

    if (VLNavigationControllerDelegate *navigationDelegate = delegate())
        navigationDelegate->navigationControllerWillShowViewControllerAnimated(this, to.data(), animated);

    // Ends editing in the old screen before it goes.
    if (from) {
        if (QWidget *responder = from->firstValidResponder(); responder && !responder->isWindow())
            vlMakeFirstResponder(responder->window(), nullptr);
    }

    to->viewWillAppear(animated);
    if (from)
        from->viewWillDisappear(animated);

    navigationView()->setNextKeyView(to->firstValidResponder());

    const VLAnimatedTransitioningPtr transition = transitionFor(from.data(), to.data(), push);

    auto context = std::make_shared<VLNavigationControllerContextTransitioning>();
    context->setFromViewController(from.data());
    context->setToViewController(to.data());
    context->setAnimated(animated);
    context->setContainerView(navigationView());

    QPointer<VLNavigationController> self(this);
    std::weak_ptr<VLNavigationControllerContextTransitioning> weakContext = context;
    context->setCompletion([self, from, to, transition, weakContext, animated](bool finished) {
        if (!self)
            return;
        // When a screen replaces itself its view stays: it is the incoming one too.
        if (from && from != to && from->isViewLoaded())
            vlRemoveFromSuperview(from->view());
        if (const VLTransitionContextPtr strongContext = weakContext.lock())
            transition->animationEndedForContext(finished, strongContext);
        if (VLNavigationControllerDelegate *navigationDelegate = self->delegate())
            navigationDelegate->navigationControllerDidShowViewControllerAnimated(self, to.data(), animated);
        to->viewDidAppear(animated);
        if (from)
            from->viewDidDisappear(animated);
        if (QWidget *window = self->m_navigationView ? self->m_navigationView->hostWindow() : nullptr)
            vlMakeFirstResponder(window, to->firstValidResponder());
        self->m_canNavigate = true;
    });

    transition->animateTransition(context);
}
