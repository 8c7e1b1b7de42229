#include "windowing/transitions/VLTransitionSupport.h"

#include "platform/view/ViewAlpha.h"
#include "windowing/navigation/VLTitledViewController.h"

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

} // namespace vltransition
