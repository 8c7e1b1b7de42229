#include "windowing/transitions/VLPartialDissolveTransition.h"

#include "platform/animation/VLAnimationProps.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/view/VLViewGraph.h"
#include "platform/view/ViewAlpha.h"
#include "platform/view/ViewFrame.h"
#include "windowing/navigation/VLNavigationControllerDefaultTransition.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/transitions/VLRecordedAlphas.h"
#include "windowing/transitions/VLTransitionSupport.h"

using namespace vltransition;

namespace {

constexpr double kPartialDissolveDuration = 0.3;
const QString kNavAnimationKey = QStringLiteral("navAnimation");

QList<QWidget *> exceptedViews(const VLTransitionContextPtr &context)
{
    return nonanimatableViewsOf(context->toViewController()) + nonanimatableViewsOf(context->fromViewController());
}

} // namespace

std::shared_ptr<VLPartialDissolveTransition> VLPartialDissolveTransition::transition()
{
    return std::make_shared<VLPartialDissolveTransition>();
}

double VLPartialDissolveTransition::transitionDuration(const VLTransitionContextPtr &)
{
    return kPartialDissolveDuration;
}

void VLPartialDissolveTransition::animateTransition(const VLTransitionContextPtr &context)
{
    if (!context->isAnimated()) {
        vlPlaceToViewWithoutAnimation(context);
        return;
    }
    QWidget *container = context->containerView();
    VLViewController *fromController = context->fromViewController();
    QWidget *toView = viewOf(context->toViewController());
    QWidget *fromView = viewOf(fromController);

    const QList<QWidget *> excepted = exceptedViews(context);
    const QList<QWidget *> toViews = vl_allViewsExcept(toView, excepted);
    const QList<QWidget *> fromViews = vl_allViewsExcept(fromView, excepted);
    const double d = kPartialDissolveDuration;
    const VLTimingFunction timing = VLTimingFunction::functionWithName(VLTimingFunctionName::EaseInEaseOut);

    VLRecordedAlphas toAlphas;
    toAlphas.record(toViews);
    for (QWidget *view : toViews)
        vlSetAlphaValue(view, 0.0);
    if (toView) {
        vlSetFrame(toView, vlViewBounds(container));
        vlAddSubview(container, toView);
    }
    // The old screen's still views go at once; the new one's show at once, being left out of the fades.
    for (QWidget *view : nonanimatableViewsOf(fromController))
        vlSetAlphaValue(view, 0.0);

    vltransition::fadeInToRecordedAlphas(toAlphas, timing, d * 0.5, 0.0, kNavAnimationKey);

    auto fadeOut = animationWithProp<VLBasicAnimation>(VLAnimationProps::aggregatedPropWithItemsUnderlying(
        asObjects(visibleViews(fromViews)), VLAnimatableProperty::propertyWithName(kVLViewAlphaValue)));
    fadeOut->setToValue(0.0);
    fadeOut->setTimingFunction(timing);
    fadeOut->setDuration(d * 0.5);
    fadeOut->setCompletionBlock([context](VLAnimation *, bool finished) { context->completeTransition(finished); });
    // Added to the from-screen controller; without one (nothing to leave) to the container.
    QObject *owner = fromController ? static_cast<QObject *>(fromController) : static_cast<QObject *>(container);
    if (owner)
        VLAnimator::addAnimationForKey(owner, fadeOut, kNavAnimationKey);
    else
        context->completeTransition(true);
}

void VLPartialDissolveTransition::animationEndedForContext(bool finished, const VLTransitionContextPtr &context)
{
    Q_UNUSED(finished)
    const QList<QWidget *> excepted = exceptedViews(context);
    const QList<QWidget *> views = vl_allViewsExcept(viewOf(context->fromViewController()), excepted) + excepted;
    for (QWidget *view : views)
        vlSetAlphaValue(view, 1.0);
}
