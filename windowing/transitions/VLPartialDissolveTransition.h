#pragma once

#include "windowing/navigation/VLNavigationControllerTransitioning.h"

// Between two titled screens: their still views (nonanimatableViews) change over at once, all
// other views cross-fade in half the reported duration.
class VLPartialDissolveTransition final : public VLNavigationControllerAnimatedTransitioning
{
public:
    VLPartialDissolveTransition() = default;
    static std::shared_ptr<VLPartialDissolveTransition> transition();

    double transitionDuration(const VLTransitionContextPtr &context) override;
    void animateTransition(const VLTransitionContextPtr &context) override;
    // Leaves the from-screen fully opaque again, whether or not it animated.
    void animationEndedForContext(bool finished, const VLTransitionContextPtr &context) override;
};
