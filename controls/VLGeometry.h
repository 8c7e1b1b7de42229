#pragma once

#include <QRectF>
#include <QSizeF>

// Edge insets of a rectangle, in the order top, left, bottom, right.
struct VLEdgeInsets
{
    double top = 0.0;
    double left = 0.0;
    double bottom = 0.0;
    double right = 0.0;
};

enum class VLRectEdge { MinX, MinY, MaxX, MaxY };

// A rectangle made integral: origin rounded down, far edges rounded up to whole pixels (a null
// rectangle stays null).
QRectF VLRectIntegral(const QRectF &rect);

QRectF VLRectIntegralWithOrigin(const QRectF &rect, double x, double y);
QRectF VLRectWithWidth(const QRectF &rect, double width);
QRectF VLRectIntegralWithX(const QRectF &rect, double x);
QRectF VLRectInsetByEdgeInsets(const QRectF &rect, const VLEdgeInsets &insets);

QRectF VLRectWithSize(const QRectF &rect, const QSizeF &size);
QRectF VLRectWithHeight(const QRectF &rect, double height);
QRectF VLRectIntegralWithY(const QRectF &rect, double y);
// Centred in outer's size; outer's origin is not added.
QRectF VLRectCenteredInRect(const QRectF &inner, const QRectF &outer);
QRectF VLRectCenteredHorizontally(const QRectF &inner, const QRectF &outer);
QRectF VLRectCenteredVertically(const QRectF &inner, const QRectF &outer);
// Scaled about the centre of a rectangle at the origin (the rect's own origin is dropped).
QRectF VLRectScaledAboutCenter(const QRectF &rect, double sx, double sy);
// What is left after cutting a slice of amount off the given edge, made integral.
QRectF VLRectDivideRemainder(const QRectF &rect, double amount, VLRectEdge edge);
QSizeF VLSizeDoubled(const QSizeF &size);
QRectF VLRectWithDoubledSize(const QRectF &rect);
QRectF VLRectInsetByHalfPoint(const QRectF &rect);
double VLAspectFitScale(const QRectF &inner, const QRectF &outer);
QRectF VLRectAspectFit(const QRectF &inner, const QRectF &outer);
double VLAspectFillScale(const QRectF &inner, const QRectF &outer);
QRectF VLRectAspectFill(const QRectF &inner, const QRectF &outer);
