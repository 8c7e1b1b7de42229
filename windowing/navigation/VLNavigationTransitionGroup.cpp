#include "windowing/navigation/VLNavigationTransitionGroup.h"

#include <algorithm>

VLNavigationTransitionGroup::VLNavigationTransitionGroup(QList<VLAnimatedTransitioningPtr> transitions)
    : m_transitions(std::move(transitions))
{
    m_transitions.removeAll(nullptr);
}

std::shared_ptr<VLNavigationTransitionGroup> VLNavigationTransitionGroup::groupWithTransitions(
    QList<VLAnimatedTransitioningPtr> transitions)
{
    return std::make_shared<VLNavigationTransitionGroup>(std::move(transitions));
}

double VLNavigationTransitionGroup::transitionDuration(const VLTransitionContextPtr &context)
{
    double duration = 0.0;
    for (const VLAnimatedTransitioningPtr &transition : std::as_const(m_transitions))
        duration = std::max(duration, transition->transitionDuration(context));
    return duration;
}

void VLNavigationTransitionGroup::animateTransition(const VLTransitionContextPtr &context)
{
    if (m_transitions.isEmpty()) {
        // Nobody would ever complete it, and the navigation would stay locked.
        context->completeTransition(true);
        return;
    }
    const auto groupContext = std::make_shared<VLNavigationTransitionGroupContextTransitioning>(m_transitions, context);
    const QList<VLAnimatedTransitioningPtr> members = m_transitions;
    for (const VLAnimatedTransitioningPtr &transition : members)
        transition->animateTransition(groupContext);
}

void VLNavigationTransitionGroup::animationEndedForContext(bool finished, const VLTransitionContextPtr &context)
{
    const QList<VLAnimatedTransitioningPtr> members = m_transitions;
    for (const VLAnimatedTransitioningPtr &transition : members)
        transition->animationEndedForContext(finished, context);
}

VLNavigationTransitionGroupContextTransitioning::VLNavigationTransitionGroupContextTransitioning(
    QList<VLAnimatedTransitioningPtr> transitions, VLTransitionContextPtr parentContext)
    : m_transitions(std::move(transitions))
    , m_parentContext(std::move(parentContext))
{
}

void VLNavigationTransitionGroupContextTransitioning::completeTransition(bool finished)
{
    if (m_completedTransitions >= m_transitions.size())
        return; // the parent has been told already
    ++m_completedTransitions;
    if (finished)
        ++m_finishedTransitions;
    if (m_completedTransitions == m_transitions.size() && m_parentContext)
        m_parentContext->completeTransition(m_completedTransitions == m_finishedTransitions);
}

bool VLNavigationTransitionGroupContextTransitioning::isAnimated() const
{
    return m_parentContext && m_parentContext->isAnimated();
}

QWidget *VLNavigationTransitionGroupContextTransitioning::containerView() const
{
    return m_parentContext ? m_parentContext->containerView() : nullptr;
}

VLViewController *VLNavigationTransitionGroupContextTransitioning::fromViewController() const
{
    return m_parentContext ? m_parentContext->fromViewController() : nullptr;
}

VLViewController *VLNavigationTransitionGroupContextTransitioning::toViewController() const
{
    return m_parentContext ? m_parentContext->toViewController() : nullptr;
}
