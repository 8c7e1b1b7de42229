#pragma once

#include <QRect>
#include <QRectF>

class QWidget;

// Animated frames are fractional; a widget's geometry is whole pixels. The fractional frame is kept
// beside the widget and answered as long as the widget still stands where that frame put it; once
// something else moves the widget, its own geometry counts again.
QRectF vlFrame(const QWidget *view);
void vlSetFrame(QWidget *view, const QRectF &frame);

// Left and right edges (and top and bottom) are rounded on their own, so a whole-pixel width stays
// the same width wherever the frame moves.
QRect vlRoundedFrame(const QRectF &frame);

// Puts a window, frame included, in the middle of its screen's free area (the primary screen's
// when it has none yet).
void vlCenterWindow(QWidget *window);

// The rectangle moved the least distance that puts it inside the free area of the screen that
// holds the given point (the primary screen when none does); a rectangle larger than that area
// keeps its top-left corner in it, so its title and leading controls stay reachable.
QRect vlRectKeptOnScreen(const QRect &rect, const QPoint &anchor);
