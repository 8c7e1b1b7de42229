#pragma once

#include <QList>

class QWidget;

// One step of the view-graph search: whether an excepted view was found below a view, and the
// views to use from there.
struct VLInternalViewGraphTuple
{
    bool foundInside = false;
    QList<QWidget *> results;

    static VLInternalViewGraphTuple tupleWithFoundInsideResults(bool foundInside, QList<QWidget *> results)
    {
        return {foundInside, std::move(results)};
    }
};

// Subviews are a view's child widgets, back to front; windows parented to it are not subviews.
// The largest subtrees of view that contain none of the excepted views, each given by its root:
// the views on the way down to an excepted view are split into their children; neither the
// excepted views nor view itself are answered. Membership is by identity; null entries are ignored.
QList<QWidget *> vl_allViewsExcept(const QWidget *view, const QList<QWidget *> &excepted);
VLInternalViewGraphTuple vl_findAllViewsExcept(const QWidget *view, const QList<QWidget *> &excepted);
