#include "windowing/transitions/VLDropContentTransition.h"

#include "platform/animation/VLAnimationProps.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/view/VLViewGraph.h"
#include "platform/view/ViewAlpha.h"
#include "platform/view/ViewFrame.h"
#include "windowing/navigation/VLNavigationControllerDefaultTransition.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/transitions/VLDropAnimationDestination.h"
#include "windowing/transitions/VLDropAnimationSource.h"
#include "windowing/transitions/VLTransitionSupport.h"

#include <cmath>

namespace {

constexpr double kDropTransitionDuration = 0.2;
const QString kDropAnimationKey = QStringLiteral("dropAnimation");

// Where the destination title stands, in the coordinates of the source title's superview.
QRectF destinationRect(QWidget *sourceTitle, QWidget *destinationTitle)
{
    QWidget *superview = sourceTitle ? sourceTitle->parentWidget() : nullptr;
    if (!superview)
        return QRectF();
    if (!destinationTitle) {
        // The window's origin as the layouts count it: its bottom-left corner.
        const QWidget *window = superview->window();
        return QRectF(superview->mapFromGlobal(window->mapToGlobal(QPointF(0, window->height()))), QSizeF(0, 0));
    }
    const QPointF origin = superview->mapFromGlobal(destinationTitle->mapToGlobal(QPointF(0, 0)));
    return QRectF(origin, QSizeF(destinationTitle->size()));
}

} // namespace

using namespace vltransition;

VLDropContentTransition::VLDropContentTransition(bool push) : m_push(push)
{
}

std::shared_ptr<VLDropContentTransition> VLDropContentTransition::transitionWithPush(bool push)
{
    return std::make_shared<VLDropContentTransition>(push);
}

double VLDropContentTransition::transitionDuration(const VLTransitionContextPtr &)
{
    return kDropTransitionDuration;
}

VLDropContentTransition::Roles VLDropContentTransition::rolesFor(const VLTransitionContextPtr &context) const
{
    VLViewController *sourceController = m_push ? context->fromViewController() : context->toViewController();
    VLViewController *destinationController = m_push ? context->toViewController() : context->fromViewController();
    Roles roles;
    if (auto *source = dynamic_cast<VLDropAnimationSource *>(sourceController)) {
        roles.sourceTitle = source->titleView();
        roles.sourceSubtitle = source->subtitleView();
    }
    if (auto *destination = dynamic_cast<VLDropAnimationDestination *>(destinationController))
        roles.destinationTitle = destination->titleView();
    return roles;
}

void VLDropContentTransition::animateTransition(const VLTransitionContextPtr &context)
{
    const Roles roles = rolesFor(context);
    // Without a source title there is nothing to fly; the change is shown at once rather than
    // leaving the navigation waiting for a flight that cannot run.
    if (!context->isAnimated() || !roles.sourceTitle) {
        vlPlaceToViewWithoutAnimation(context);
        return;
    }
    m_animated = true;
    QWidget *container = context->containerView();
    QWidget *toView = viewOf(context->toViewController());
    QWidget *fromView = viewOf(context->fromViewController());
    QWidget *sourceTitle = roles.sourceTitle;
    QWidget *sourceSubtitle = roles.sourceSubtitle;
    QWidget *destinationTitle = roles.destinationTitle;

    const QList<QWidget *> excepted = roles.excepted();
    const QList<QWidget *> toViews = vl_allViewsExcept(toView, excepted);
    const QList<QWidget *> fromViews = vl_allViewsExcept(fromView, excepted);

    const double d = kDropTransitionDuration;
    const VLTimingFunction timing = VLTimingFunction::functionWithName(m_push ? VLTimingFunctionName::EaseIn
                                                                              : VLTimingFunctionName::EaseOut);

    if (toView) {
        vlSetFrame(toView, vlViewBounds(container));
        vlSetAlphaValue(toView, 0.0);
        vlAddSubview(container, toView);
    }

    const QRectF t0 = vlFrame(sourceTitle);
    const QRectF s0 = sourceSubtitle ? vlFrame(sourceSubtitle) : QRectF();
    const QRectF r = destinationRect(sourceTitle, destinationTitle);
    // The layouts measure the title's travel at its origin, which is its bottom edge here; so the
    // subtitle keeps its gap under the title also when the two titles differ in height.
    const double dy = r.bottom() - t0.bottom();
    const QRectF s1 = s0.translated(0.0, dy);

    VLRecordedAlphas toAlphas;
    toAlphas.record(toViews);
    for (QWidget *view : toViews)
        vlSetAlphaValue(view, 0.0);
    m_fromAlphas.clear();
    m_fromAlphas.record(fromViews);

    vlSetAutoLayoutDisabled(sourceTitle, true);
    vlSetAutoLayoutDisabled(sourceSubtitle, true);
    // The subtitle's distance is measured to a point 5 pixels further down (the layouts' "5 points
    // lower"), so that on a downward flight it keeps a little opacity on arrival.
    const QRectF subtitleDistanceEnd = s1.translated(0.0, 5.0);
    if (!m_push) {
        vlSetFrame(sourceTitle, r);
        if (sourceSubtitle) {
            // Placed where the flight back starts, with the alpha the flight gives it there, so it
            // does not show at full opacity over the leaving screen until the first frame.
            vlSetFrame(sourceSubtitle, s1);
            vlSetAlphaValue(sourceSubtitle, VLAnimationProps::frameAlpha(
                                                s1.y(), s0.y(), std::abs(subtitleDistanceEnd.y() - s0.y()), false));
        }
    }
    vlSetAlphaValue(destinationTitle, 0.0);
    vlSetAlphaValue(toView, 1.0);

    // On a push the fades wait for the first half of the flight; on a pop they run at once.
    const double beginTime = m_push ? VLAnimator::currentMediaTime() + d * 0.5 : 0.0;
    vltransition::fadeInToRecordedAlphas(toAlphas, timing, d * 0.5, beginTime, kDropAnimationKey);

    auto fadeOut = animationWithProp<VLBasicAnimation>(VLAnimationProps::aggregatedPropWithItemsUnderlying(
        asObjects(visibleViews(fromViews)), VLAnimatableProperty::propertyWithName(kVLViewAlphaValue)));
    fadeOut->setToValue(0.0);
    fadeOut->setTimingFunction(timing);
    fadeOut->setBeginTime(beginTime);
    fadeOut->setDuration(d * 0.5);

    auto titleFlight = VLBasicAnimation::animationWithPropertyNamed(kVLViewFrame);
    titleFlight->setFromValue(m_push ? t0 : r);
    titleFlight->setToValue(m_push ? r : t0);
    titleFlight->setTimingFunction(timing);
    titleFlight->setDuration(d);
    const bool push = m_push;
    QPointer<QWidget> sourceTitleGuard = sourceTitle;
    QPointer<QWidget> destinationTitleGuard = destinationTitle;
    titleFlight->setCompletionBlock([=](VLAnimation *, bool finished) {
        vlSetAutoLayoutDisabled(sourceTitleGuard.data(), false);
        vlSetAlphaValue(sourceTitleGuard.data(), push ? 0.0 : 1.0);
        vlSetAlphaValue(destinationTitleGuard.data(), push ? 1.0 : 0.0);
        context->completeTransition(finished);
    });

    std::shared_ptr<VLBasicAnimation> subtitleFlight;
    if (sourceSubtitle) {
        subtitleFlight = animationWithProp<VLBasicAnimation>(
            VLAnimationProps::viewFrameWithAlphaFromToValue(s0, subtitleDistanceEnd));
        subtitleFlight->setFromValue(m_push ? s0 : s1);
        subtitleFlight->setToValue(m_push ? s1 : s0);
        subtitleFlight->setTimingFunction(timing);
        subtitleFlight->setDuration(d);
        QPointer<QWidget> subtitleGuard = sourceSubtitle;
        subtitleFlight->setCompletionBlock(
            [subtitleGuard](VLAnimation *, bool) { vlSetAutoLayoutDisabled(subtitleGuard.data(), false); });
    }

    m_originalSourceTitleRect = t0;
    m_originalSourceSubtitleRect = s0;

    VLAnimator::addAnimationForKey(this, fadeOut, kDropAnimationKey);
    VLAnimator::addAnimationForKey(sourceTitle, titleFlight, kDropAnimationKey);
    if (subtitleFlight)
        VLAnimator::addAnimationForKey(sourceSubtitle, subtitleFlight, kDropAnimationKey);
}

void VLDropContentTransition::animationEndedForContext(bool finished, const VLTransitionContextPtr &context)
{
    Q_UNUSED(finished)
    if (!context->isAnimated() || !m_animated)
        return;
    // A fade still under way would undo what is put back here.
    VLAnimator::removeAllAnimations(this);
    const Roles roles = rolesFor(context);
    m_fromAlphas.restore();
    for (QWidget *view : roles.excepted())
        vlSetAlphaValue(view, 1.0);
    if (roles.sourceTitle)
        vlSetFrame(roles.sourceTitle, m_originalSourceTitleRect);
    if (roles.sourceSubtitle)
        vlSetFrame(roles.sourceSubtitle, m_originalSourceSubtitleRect);
}
