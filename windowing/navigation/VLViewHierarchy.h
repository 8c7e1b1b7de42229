#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>

class QWidget;

// The view-tree operations the navigation code and the transitions share, in the shape the
// layouts expect: a superview with ordered subviews, frames in the superview's coordinates and
// autoresizing masks. Views that animations move are never in a QLayout; their superview
// repositions them by mask when it resizes.

// Puts the view into the superview as its topmost subview and shows it.
void vlAddSubview(QWidget *superview, QWidget *view);
// Takes the view out of its superview; the view keeps its owner (its controller).
void vlRemoveFromSuperview(QWidget *view);
QWidget *vlSuperview(const QWidget *view);
// Direct child widgets, bottom first.
QList<QWidget *> vlSubviews(const QWidget *view);

QRectF vlViewFrame(const QWidget *view);
void vlSetViewFrame(QWidget *view, const QRectF &frame);
QRectF vlViewBounds(const QWidget *view);

enum VLAutoresizingMaskOption : int {
    VLViewNotSizable = 0,
    VLViewMinXMargin = 1,
    VLViewWidthSizable = 2,
    VLViewMaxXMargin = 4,
    VLViewMinYMargin = 8, // the bottom margin, as the layouts count y upwards
    VLViewHeightSizable = 16,
    VLViewMaxYMargin = 32, // the top margin
};

void vlSetAutoresizingMask(QWidget *view, int mask);
int vlAutoresizingMask(const QWidget *view);

// While set, the view ignores its superview's resizing (an animation is moving it).
void vlSetAutoLayoutDisabled(QWidget *view, bool disabled);
bool vlAutoLayoutDisabled(const QWidget *view);

// Repositions the view by its mask after its superview changed from oldSize to its current size.
void vlResizeWithOldSuperviewSize(QWidget *view, const QSizeF &oldSize);
