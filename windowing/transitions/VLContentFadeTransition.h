#pragma once

#include "windowing/navigation/VLNavigationControllerTransitioning.h"

// Fades the old screen's view out and the new one's in, as wholes. The old view stays transparent
// until a transition shows it again (the drop and fade transitions set the alpha they show).
class VLContentFadeTransition final : public VLNavigationControllerAnimatedTransitioning
{
public:
    VLContentFadeTransition() = default;
    static std::shared_ptr<VLContentFadeTransition> transition();

    double transitionDuration(const VLTransitionContextPtr &context) override;
    void animateTransition(const VLTransitionContextPtr &context) override;
};
