#include "windowing/navigation/VLOverlaySpringTransition.h"

#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/animation/VLSpringAnimation.h"
#include "platform/view/Geometry.h"
#include "platform/view/ViewAlpha.h"
#include "windowing/navigation/VLKeyViewLoop.h"
#include "windowing/navigation/VLViewHierarchy.h"

#include <QMainWindow>

namespace {

constexpr double kOverlayTransitionDuration = 0.3;
constexpr double kPanelSpringBounciness = 8.0;
constexpr double kPanelSpringSpeed = 30.0;
constexpr int kFillMask = VLViewWidthSizable | VLViewHeightSizable;

QString overlayAnimationKey()
{
    return QStringLiteral("overlayAnimation");
}

std::shared_ptr<VLBasicAnimation> fade(double to, double duration, const VLTimingFunction &timing)
{
    auto animation = VLBasicAnimation::animationWithPropertyNamed(kVLViewAlphaValue);
    animation->setToValue(to);
    animation->setDuration(duration);
    animation->setTimingFunction(timing);
    return animation;
}

// A fade-out whose view leaves its superview at the end and is opaque again for the next time.
void fadeOutAndRemove(QWidget *view, double duration, const VLTimingFunction &timing)
{
    if (!view)
        return;
    auto animation = fade(0.0, duration, timing);
    QPointer<QWidget> guarded(view);
    animation->setCompletionBlock([guarded](VLAnimation *, bool finished) {
        // Replaced: the view is being shown again by a newer fade and stays.
        if (!finished)
            return;
        vlRemoveFromSuperview(guarded);
        vlSetAlphaValue(guarded, 1.0);
    });
    VLAnimator::addAnimationForKey(view, animation, overlayAnimationKey());
}

// Ends an overlay fade still running on the view and leaves the view opaque, as every fade of
// the overlay views ends (shown, or taken out at alpha 1).
void stopOverlayFade(QWidget *view)
{
    if (!view || !VLAnimator::animationForKey(view, overlayAnimationKey()))
        return;
    VLAnimator::removeAnimationForKey(view, overlayAnimationKey());
    vlSetAlphaValue(view, 1.0);
}

} // namespace

QWidget *vlWindowContentView(QWidget *window)
{
    if (auto *mainWindow = qobject_cast<QMainWindow *>(window); mainWindow && mainWindow->centralWidget())
        return mainWindow->centralWidget();
    return window;
}

VLOverlaySpringTransition::VLOverlaySpringTransition(QWidget *overlayContainerView, QWidget *overlayRootView)
    : m_overlayContainerView(overlayContainerView)
    , m_overlayRootView(overlayRootView)
{
}

std::shared_ptr<VLOverlaySpringTransition> VLOverlaySpringTransition::transitionWithOverlayContainerViewOverlayRootView(
    QWidget *overlayContainerView, QWidget *overlayRootView)
{
    return std::make_shared<VLOverlaySpringTransition>(overlayContainerView, overlayRootView);
}

double VLOverlaySpringTransition::transitionDuration(const VLTransitionContextPtr &)
{
    return kOverlayTransitionDuration;
}

void VLOverlaySpringTransition::animationEndedForContext(bool, const VLTransitionContextPtr &)
{
}

QRectF VLOverlaySpringTransition::overlayContainerFrameForController(VLViewController *controller) const
{
    QWidget *panel = m_overlayContainerView;
    QWidget *window = panel && vlSuperview(panel) ? panel->window() : nullptr;
    const QRectF reference = window ? vlViewBounds(vlWindowContentView(window)) : QRectF();
    QRectF frame = controller ? controller->overlayFrame() : QRectF();
    if (frame.x() == kVLViewNoIntrinsicMetric)
        frame.moveLeft(reference.width());
    if (frame.y() == kVLViewNoIntrinsicMetric)
        frame.moveTop(reference.height());
    if (frame.width() == kVLViewNoIntrinsicMetric)
        frame.setWidth(reference.width());
    if (frame.height() == kVLViewNoIntrinsicMetric)
        frame.setHeight(reference.height());
    const QWidget *superview = vlSuperview(panel);
    const qreal height = superview ? superview->height() : reference.height();
    return VLRectFromBottomLeft(frame, height);
}

void VLOverlaySpringTransition::animateTransition(const VLTransitionContextPtr &context)
{
    VLViewController *from = context->fromViewController();
    VLViewController *to = context->toViewController();
    if (!to) {
        context->completeTransition(true);
        return;
    }
    vlSetNextResponder(m_overlayRootView, to);
    if (from)
        from->setOverlayContainer(nullptr);
    to->setOverlayContainer(nullptr);
    if (!to->overlayView())
        to->setOverlayView(new QWidget);

    if (context->isAnimated() && m_overlayContainerView)
        animate(context, from, to);
    else
        place(context, from, to);
}

void VLOverlaySpringTransition::animate(const VLTransitionContextPtr &context, VLViewController *from,
                                        VLViewController *to)
{
    const double duration = transitionDuration(context);
    const double fadeDuration = duration * 0.5;
    QWidget *panel = m_overlayContainerView;
    QWidget *toOverlay = to->overlayView();
    QWidget *toBackground = to->overlayBackgroundView();
    QWidget *fromOverlay = from ? from->overlayView() : nullptr;
    QWidget *fromBackground = from ? from->overlayBackgroundView() : nullptr;
    // A screen shown again over itself keeps its overlay in place.
    if (fromOverlay == toOverlay)
        fromOverlay = nullptr;
    if (fromBackground == toBackground)
        fromBackground = nullptr;

    vlSetViewFrame(toOverlay, vlViewBounds(panel));
    vlSetAutoresizingMask(toOverlay, kFillMask);
    vlSetAlphaValue(toOverlay, 0.0);
    if (toBackground) {
        vlSetViewFrame(toBackground, vlViewBounds(m_overlayRootView));
        vlSetAutoresizingMask(toBackground, kFillMask);
        vlSetAlphaValue(toBackground, 0.0);
    }
    vlAddSubview(panel, toOverlay);
    if (toBackground)
        vlAddSubview(m_overlayRootView, toBackground);

    const VLTimingFunction timing = VLTimingFunction::functionWithName(VLTimingFunctionName::EaseInEaseOut);
    // The fade-ins start at once, beside the fade-outs (a begin time in the past).
    const double fadeInBegin = VLAnimator::currentMediaTime() - duration - fadeDuration;

    auto fadeIn = fade(1.0, fadeDuration, timing);
    fadeIn->setBeginTime(fadeInBegin);
    QPointer<VLViewController> guardedTo(to);
    QPointer<QWidget> guardedPanel(panel);
    fadeIn->setCompletionBlock([guardedTo, guardedPanel](VLAnimation *, bool finished) {
        // Cut short: a later transition has left this screen already and cleared its link.
        if (finished && guardedTo)
            guardedTo->setOverlayContainer(guardedPanel);
    });
    auto backgroundFadeIn = fade(1.0, fadeDuration, timing);
    backgroundFadeIn->setBeginTime(fadeInBegin);

    auto spring = VLSpringAnimation::animationWithPropertyNamed(kVLViewFrame);
    spring->setFromValue(vlViewFrame(panel));
    spring->setToValue(overlayContainerFrameForController(to));
    spring->setSpringBounciness(kPanelSpringBounciness);
    spring->setSpringSpeed(kPanelSpringSpeed);
    spring->setCompletionBlock([context](VLAnimation *, bool finished) { context->completeTransition(finished); });

    VLAnimator::removeAllAnimations(panel);
    VLAnimator::addAnimationForKey(panel, spring, overlayAnimationKey());
    fadeOutAndRemove(fromOverlay, fadeDuration, timing);
    VLAnimator::addAnimationForKey(toOverlay, fadeIn, overlayAnimationKey());
    fadeOutAndRemove(fromBackground, fadeDuration, timing);
    if (toBackground)
        VLAnimator::addAnimationForKey(toBackground, backgroundFadeIn, overlayAnimationKey());
}

void VLOverlaySpringTransition::place(const VLTransitionContextPtr &context, VLViewController *from,
                                      VLViewController *to)
{
    QWidget *panel = m_overlayContainerView;
    QWidget *toOverlay = to->overlayView();
    QWidget *toBackground = to->overlayBackgroundView();
    QWidget *fromOverlay = from ? from->overlayView() : nullptr;
    QWidget *fromBackground = from ? from->overlayBackgroundView() : nullptr;
    // Fades of an earlier transition may still run on these views (its spring can end first);
    // left alone they would take the placed overlay out of the panel when they end.
    for (QWidget *view : {toOverlay, toBackground, fromOverlay, fromBackground})
        stopOverlayFade(view);
    if (panel)
        vlSetViewFrame(panel, overlayContainerFrameForController(to));
    vlSetViewFrame(toOverlay, vlViewBounds(panel));
    vlSetAutoresizingMask(toOverlay, kFillMask);
    if (toBackground) {
        vlSetViewFrame(toBackground, vlViewBounds(m_overlayRootView));
        vlSetAutoresizingMask(toBackground, kFillMask);
    }
    to->setOverlayContainer(panel);
    if (fromOverlay != toOverlay)
        vlRemoveFromSuperview(fromOverlay);
    if (fromBackground != toBackground)
        vlRemoveFromSuperview(fromBackground);
    vlAddSubview(panel, toOverlay);
    if (toBackground)
        vlAddSubview(m_overlayRootView, toBackground);
    context->completeTransition(true);
}
