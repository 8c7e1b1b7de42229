#pragma once

#include "windowing/navigation/VLNavigationControllerTransitioning.h"
#include "windowing/transitions/VLRecordedAlphas.h"

// From the decrypted result screen to the decrypt completed screen: the new screen shows at once
// (the overlay transition beside it still animates); afterwards the old screen's views get their
// alphas back.
class VLDecryptFinishedTransition final : public VLNavigationControllerAnimatedTransitioning
{
public:
    VLDecryptFinishedTransition() = default;
    static std::shared_ptr<VLDecryptFinishedTransition> transition();

    double transitionDuration(const VLTransitionContextPtr &context) override;
    void animateTransition(const VLTransitionContextPtr &context) override;
    void animationEndedForContext(bool finished, const VLTransitionContextPtr &context) override;

    const VLRecordedAlphas &fromControllerAlphas() const { return m_fromAlphas; }
    QList<double> fromControllerAlphaValues() const { return m_fromAlphas.values(); }

private:
    VLRecordedAlphas m_fromAlphas;
};
