#pragma once

#include "windowing/navigation/VLNavigationControllerTransitioning.h"

// The horizontal slide used when nobody supplies a transition: on a push the new screen comes in
// from the right and the old one leaves to the left; on a pop the reverse.
class VLNavigationControllerDefaultTransition final : public VLNavigationControllerAnimatedTransitioning
{
public:
    explicit VLNavigationControllerDefaultTransition(bool push);
    static std::shared_ptr<VLNavigationControllerDefaultTransition> transitionWithPush(bool push);

    double transitionDuration(const VLTransitionContextPtr &context) override;
    void animateTransition(const VLTransitionContextPtr &context) override;

    bool push() const { return m_push; }
    void setPush(bool push) { m_push = push; }

private:
    bool m_push = true;
};

// Places the to-controller's view at once where the from-controller's view is (the container's
// bounds on the first display) and completes: what every content transition does when the
// navigation is not animated.
void vlPlaceToViewWithoutAnimation(const VLTransitionContextPtr &context);
