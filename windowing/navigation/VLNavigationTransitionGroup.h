#pragma once

#include "windowing/navigation/VLNavigationControllerTransitioning.h"

#include <QList>

// Runs several transitions side by side as one. Its duration is the longest member's.
class VLNavigationTransitionGroup final : public VLNavigationControllerAnimatedTransitioning
{
public:
    explicit VLNavigationTransitionGroup(QList<VLAnimatedTransitioningPtr> transitions);
    static std::shared_ptr<VLNavigationTransitionGroup> groupWithTransitions(
        QList<VLAnimatedTransitioningPtr> transitions);

    double transitionDuration(const VLTransitionContextPtr &context) override;
    // Hands every member one group context. An empty group completes at once.
    void animateTransition(const VLTransitionContextPtr &context) override;
    // Passed to every member with the navigation's own context.
    void animationEndedForContext(bool finished, const VLTransitionContextPtr &context) override;

    const QList<VLAnimatedTransitioningPtr> &transitions() const { return m_transitions; }

private:
    QList<VLAnimatedTransitioningPtr> m_transitions;
};

// The context the group hands to its members: it answers what the parent answers and tells the
// parent once every member has completed, finished only if every member finished.
class VLNavigationTransitionGroupContextTransitioning final : public VLNavigationControllerContextTransitioning
{
public:
    VLNavigationTransitionGroupContextTransitioning(QList<VLAnimatedTransitioningPtr> transitions,
                                                    VLTransitionContextPtr parentContext);

    void completeTransition(bool finished) override;
    bool isAnimated() const override;
    QWidget *containerView() const override;
    VLViewController *fromViewController() const override;
    VLViewController *toViewController() const override;

    const QList<VLAnimatedTransitioningPtr> &transitions() const { return m_transitions; }
    const VLTransitionContextPtr &parentContext() const { return m_parentContext; }
    qint64 completedTransitions() const { return m_completedTransitions; }
    qint64 finishedTransitions() const { return m_finishedTransitions; }

private:
    QList<VLAnimatedTransitioningPtr> m_transitions;
    VLTransitionContextPtr m_parentContext;
    qint64 m_completedTransitions = 0;
    qint64 m_finishedTransitions = 0;
};
