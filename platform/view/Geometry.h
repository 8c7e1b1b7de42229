#pragma once

#include <QRectF>

// Rectangles in the code are Qt's (top-left origin, y down). The original layouts give them in
// bottom-left, y-up coordinates; this converts one such rectangle inside a reference height
// (usually the parent view's), once, where it enters. The conversion is its own inverse.
QRectF VLRectFromBottomLeft(const QRectF &rect, qreal referenceHeight);
