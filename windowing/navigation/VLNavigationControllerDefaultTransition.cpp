#include "windowing/navigation/VLNavigationControllerDefaultTransition.h"

#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "windowing/navigation/VLViewHierarchy.h"

#include <QPointer>

namespace {

constexpr double kDefaultTransitionDuration = 0.2;

QString navAnimationKey()
{
    return QStringLiteral("navAnimation");
}

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

std::shared_ptr<VLNavigationControllerDefaultTransition> VLNavigationControllerDefaultTransition::transitionWithPush(
    bool push)
{
    return std::make_shared<VLNavigationControllerDefaultTransition>(push);
}

double VLNavigationControllerDefaultTransition::transitionDuration(const VLTransitionContextPtr &)
{
    return kDefaultTransitionDuration;
}

void VLNavigationControllerDefaultTransition::animateTransition(const VLTransitionContextPtr &context)
{
    if (!context->isAnimated() || !context->toViewController()) {
        vlPlaceToViewWithoutAnimation(context);
        return;
    }
    const double duration = transitionDuration(context);
    QWidget *container = context->containerView();
    VLViewController *from = context->fromViewController();
    QWidget *fromView = from && from->isViewLoaded() ? from->view() : nullptr;
    QWidget *toView = context->toViewController()->view();

    const QRectF bounds = vlViewBounds(container);
    const double dx = (m_push ? 1.0 : -1.0) * bounds.width();
    vlSetViewFrame(toView, bounds.translated(dx, 0.0));
    vlAddSubview(container, toView);

    const VLTimingFunction timing = VLTimingFunction::functionWithName(m_push ? VLTimingFunctionName::EaseIn
                                                                              : VLTimingFunctionName::EaseOut);

    if (fromView && fromView != toView) {
        auto fromSlide = VLBasicAnimation::animationWithPropertyNamed(kVLViewFrame);
        fromSlide->setToValue(bounds.translated(-dx, 0.0));
        fromSlide->setTimingFunction(timing);
        fromSlide->setDuration(duration);
        QPointer<QWidget> guardedFrom(fromView);
        fromSlide->setCompletionBlock(
            [guardedFrom](VLAnimation *, bool) { vlSetAutoLayoutDisabled(guardedFrom, false); });
        vlSetAutoLayoutDisabled(fromView, true);
        VLAnimator::addAnimationForKey(fromView, fromSlide, navAnimationKey());
    }

    auto toSlide = VLBasicAnimation::animationWithPropertyNamed(kVLViewFrame);
    toSlide->setToValue(bounds);
    toSlide->setTimingFunction(timing);
    toSlide->setDuration(duration);
    QPointer<QWidget> guardedTo(toView);
    // The slide completes the navigation whether or not it ran to its end.
    toSlide->setCompletionBlock([guardedTo, context](VLAnimation *, bool) {
        vlSetAutoLayoutDisabled(guardedTo, false);
        context->completeTransition(true);
    });
    vlSetAutoLayoutDisabled(toView, true);
    VLAnimator::addAnimationForKey(toView, toSlide, navAnimationKey());
}
