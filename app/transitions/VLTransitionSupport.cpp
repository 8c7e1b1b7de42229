#include "app/transitions/VLTransitionSupport.h"

#include "app/navigation/VLTitledViewController.h"

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

} // namespace vltransition
