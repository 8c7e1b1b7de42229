#include "windowing/navigation/VLNavigationControllerTransitioning.h"

void VLNavigationControllerContextTransitioning::completeTransition(bool finished)
{
    if (m_completed)
        return;
    m_completed = true;
    // Kept alive through the callback, which may drop the last reference to this context; the
    // callback itself is released afterwards, which also breaks the cycle through the transition.
    const VLTransitionContextPtr keep = weak_from_this().lock();
    const Completion completion = std::exchange(m_completion, {});
    if (completion)
        completion(finished);
}
