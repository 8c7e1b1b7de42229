#include "app/navigation/VLNavigationControllerDefaultTransition.h"

#include "app/navigation/VLViewHierarchy.h"

namespace {

constexpr double kDefaultTransitionDuration = 0.2;

} // namespace

void vlPlaceToViewWithoutAnimation(const VLTransitionContextPtr &context)
{
    QWidget *container = context->containerView();
    VLViewController *from = context->fromViewController();
    VLViewController *to = context->toViewController();
    if (to) {
        QWidget *toView = to->view();
        QRectF frame;
        if (from)
            frame = from->isViewLoaded() ? vlViewFrame(from->view()) : QRectF();
        else
            frame = vlViewBounds(container);
        vlSetViewFrame(toView, frame);
        vlAddSubview(container, toView);
    }
    context->completeTransition(true);
}

VLNavigationControllerDefaultTransition::VLNavigationControllerDefaultTransition(bool push)
{
    setPush(push);
}

std::shared_ptr<VLNavigationControllerDefaultTransition> VLNavigationControllerDefaultTransition::transitionWithPush(bool push)
{
    return std::make_shared<VLNavigationControllerDefaultTransition>(push);
}

double VLNavigationControllerDefaultTransition::transitionDuration(const VLTransitionContextPtr &)
{
    return kDefaultTransitionDuration;
}

void VLNavigationControllerDefaultTransition::animateTransition(const VLTransitionContextPtr &context)
{
    if (!context->isAnimated()) {
        vlPlaceToViewWithoutAnimation(context);
        return;
    }
    // The slide needs the animation engine; until it is wired the change is shown at once.
    vlPlaceToViewWithoutAnimation(context);
}
