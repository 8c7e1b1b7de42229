#include "windowing/transitions/VLDecryptFinishedTransition.h"

#include "platform/view/VLViewGraph.h"
#include "platform/view/ViewAlpha.h"
#include "windowing/navigation/VLNavigationControllerDefaultTransition.h"
#include "windowing/transitions/VLDecryptFinishedScreens.h"
#include "windowing/transitions/VLTransitionSupport.h"

using namespace vltransition;

namespace {

constexpr double kDecryptFinishedDuration = 0.4;

QList<QWidget *> exceptedViews(const VLTransitionContextPtr &context)
{
    QList<QWidget *> excepted;
    if (auto *from = dynamic_cast<VLDecryptFinishedSourceScreen *>(context->fromViewController()))
        excepted << from->startOverButton() << from->titleView() << from->iconView();
    if (auto *to = dynamic_cast<VLDecryptFinishedDestinationScreen *>(context->toViewController()))
        excepted << to->startOverButton() << to->titleView() << to->titleLabel();
    return excepted;
}

} // namespace

std::shared_ptr<VLDecryptFinishedTransition> VLDecryptFinishedTransition::transition()
{
    return std::make_shared<VLDecryptFinishedTransition>();
}

double VLDecryptFinishedTransition::transitionDuration(const VLTransitionContextPtr &)
{
    return kDecryptFinishedDuration;
}

void VLDecryptFinishedTransition::animateTransition(const VLTransitionContextPtr &context)
{
    if (context->isAnimated()) {
        m_fromAlphas.clear();
        m_fromAlphas.record(vl_allViewsExcept(viewOf(context->fromViewController()), exceptedViews(context)));
    }
    // Shown at once even when animated; the overlay transition beside it does the animating.
    vlPlaceToViewWithoutAnimation(context);
}

void VLDecryptFinishedTransition::animationEndedForContext(bool finished, const VLTransitionContextPtr &context)
{
    Q_UNUSED(finished)
    if (!context->isAnimated())
        return;
    m_fromAlphas.restore();
    if (auto *from = dynamic_cast<VLDecryptFinishedSourceScreen *>(context->fromViewController())) {
        vlSetAlphaValue(from->titleView(), 1.0);
        vlSetAlphaValue(from->startOverButton(), 1.0);
    }
}
