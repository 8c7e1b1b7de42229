#pragma once

#include "windowing/navigation/VLOverlaySpringTransition.h"

// The overlay transition of the result screens: once the change is done, the panel collapses to
// a zero-height line across the middle of the new screen.
class VLFinishedScreenOverlayTransition final : public VLOverlaySpringTransition
{
public:
    using VLOverlaySpringTransition::VLOverlaySpringTransition;
    static std::shared_ptr<VLFinishedScreenOverlayTransition> transitionWithOverlayContainerViewOverlayRootView(
        QWidget *overlayContainerView, QWidget *overlayRootView);

    void animationEndedForContext(bool finished, const VLTransitionContextPtr &context) override;
};
