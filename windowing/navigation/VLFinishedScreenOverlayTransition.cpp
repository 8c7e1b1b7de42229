#include "windowing/navigation/VLFinishedScreenOverlayTransition.h"

#include "platform/view/Geometry.h"
#include "windowing/navigation/VLViewHierarchy.h"

std::shared_ptr<VLFinishedScreenOverlayTransition>
VLFinishedScreenOverlayTransition::transitionWithOverlayContainerViewOverlayRootView(QWidget *overlayContainerView,
                                                                                     QWidget *overlayRootView)
{
    return std::make_shared<VLFinishedScreenOverlayTransition>(overlayContainerView, overlayRootView);
}

void VLFinishedScreenOverlayTransition::animationEndedForContext(bool finished, const VLTransitionContextPtr &context)
{
    VLOverlaySpringTransition::animationEndedForContext(finished, context);
    VLViewController *to = context->toViewController();
    if (!to)
        return;
    // The panel link comes with the end of the fade-in, which may be delivered after the spring
    // in the same frame; the transition's own panel is the same view.
    QWidget *panel = to->overlayContainer() ? to->overlayContainer() : overlayContainerView();
    if (!panel)
        return;
    const QRectF screen = vlViewFrame(to->view());
    const QRectF line(0.0, screen.height() * 0.5, screen.width(), 0.0);
    const QWidget *superview = vlSuperview(panel);
    vlSetViewFrame(panel, VLRectFromBottomLeft(line, superview ? superview->height() : screen.height()));
}
