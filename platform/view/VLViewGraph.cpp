#include "platform/view/VLViewGraph.h"

#include <QWidget>

namespace {

QList<QWidget *> subviewsOf(const QWidget *view)
{
    QList<QWidget *> subviews;
    if (!view)
        return subviews;
    for (QObject *child : view->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (widget && !widget->isWindow())
            subviews.append(widget);
    }
    return subviews;
}

} // namespace

QList<QWidget *> vl_allViewsExcept(const QWidget *view, const QList<QWidget *> &excepted)
{
    return vl_findAllViewsExcept(view, excepted).results;
}

VLInternalViewGraphTuple vl_findAllViewsExcept(const QWidget *view, const QList<QWidget *> &excepted)
{
    const QList<QWidget *> subviews = subviewsOf(view);
    QList<QWidget *> candidates = subviews;
    QList<QWidget *> nested;
    bool found = false;
    for (QWidget *subview : subviews) {
        if (excepted.contains(subview)) {
            candidates.removeOne(subview);
            found = true;
        } else if (!subviewsOf(subview).isEmpty()) {
            VLInternalViewGraphTuple inside = vl_findAllViewsExcept(subview, excepted);
            if (inside.foundInside) {
                candidates.removeOne(subview);
                nested.append(inside.results);
                found = true;
            }
        }
    }
    candidates.append(nested);
    return VLInternalViewGraphTuple::tupleWithFoundInsideResults(found, std::move(candidates));
}
