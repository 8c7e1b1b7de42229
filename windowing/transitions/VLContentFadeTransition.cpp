#include "windowing/transitions/VLContentFadeTransition.h"

#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/view/ViewAlpha.h"
#include "platform/view/ViewFrame.h"
#include "windowing/navigation/VLNavigationControllerDefaultTransition.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/transitions/VLTransitionSupport.h"

using namespace vltransition;

namespace {
constexpr double kContentFadeDuration = 0.3;
const QString kFadeAnimationKey = QStringLiteral("navigationFadeTransition");
} // namespace

std::shared_ptr<VLContentFadeTransition> VLContentFadeTransition::transition()
{
    return std::make_shared<VLContentFadeTransition>();
}

double VLContentFadeTransition::transitionDuration(const VLTransitionContextPtr &)
{
    return kContentFadeDuration;
}

void VLContentFadeTransition::animateTransition(const VLTransitionContextPtr &context)
{
    QWidget *toView = viewOf(context->toViewController());
    if (!context->isAnimated() || !toView) {
        vlPlaceToViewWithoutAnimation(context);
        return;
    }
    QWidget *container = context->containerView();
    QWidget *fromView = viewOf(context->fromViewController());
    const double d = kContentFadeDuration;
    const VLTimingFunction timing = VLTimingFunction::functionWithName(VLTimingFunctionName::EaseInEaseOut);

    vlSetAlphaValue(toView, 0.0);
    vlSetFrame(toView, vlViewBounds(container));
    vlAddSubview(container, toView);

    if (fromView) {
        auto fadeOut = VLBasicAnimation::animationWithPropertyNamed(kVLViewAlphaValue);
        fadeOut->setToValue(0.0);
        fadeOut->setDuration(d);
        fadeOut->setTimingFunction(timing);
        VLAnimator::addAnimationForKey(fromView, fadeOut, kFadeAnimationKey);
    }
    auto fadeIn = VLBasicAnimation::animationWithPropertyNamed(kVLViewAlphaValue);
    fadeIn->setToValue(1.0);
    fadeIn->setDuration(d);
    fadeIn->setTimingFunction(timing);
    fadeIn->setCompletionBlock([context](VLAnimation *, bool finished) { context->completeTransition(finished); });
    VLAnimator::addAnimationForKey(toView, fadeIn, kFadeAnimationKey);
}
