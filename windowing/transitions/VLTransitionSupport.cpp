#include "windowing/transitions/VLTransitionSupport.h"

#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/view/ViewAlpha.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/transitions/VLRecordedAlphas.h"

namespace vltransition {

QWidget *viewOf(VLViewController *controller)
{
    return controller ? controller->view() : nullptr;
}

QList<QWidget *> nonanimatableViewsOf(VLViewController *controller)
{
    auto *titled = qobject_cast<VLTitledViewController *>(controller);
    return titled ? titled->nonanimatableViews() : QList<QWidget *>();
}

QList<QObject *> asObjects(const QList<QWidget *> &views)
{
    QList<QObject *> objects;
    for (QWidget *view : views)
        objects.append(view);
    return objects;
}

QList<QWidget *> visibleViews(const QList<QWidget *> &views)
{
    QList<QWidget *> visible;
    for (QWidget *view : views) {
        if (view && vlAlphaValue(view) > 0.0)
            visible.append(view);
    }
    return visible;
}

void fadeInToRecordedAlphas(const VLRecordedAlphas &alphas, const VLTimingFunction &timing, double duration,
                            double beginTime, const QString &key)
{
    for (const auto &[view, alpha] : alphas.entries()) {
        if (!(alpha > 0.0))
            continue;
        auto fadeIn = VLBasicAnimation::animationWithPropertyNamed(kVLViewAlphaValue);
        fadeIn->setToValue(alpha);
        fadeIn->setTimingFunction(timing);
        fadeIn->setDuration(duration);
        fadeIn->setBeginTime(beginTime);
        VLAnimator::addAnimationForKey(view.data(), fadeIn, key);
    }
}

} // namespace vltransition
