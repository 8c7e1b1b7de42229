#pragma once

#include <QRectF>
#include <QVariant>

#include <vector>

// An animated value is a short vector of doubles, as many as the property has components:
// 1 for a number, 2 for a point or size, 4 for a rectangle (x, y, width, height).
using VLAnimationValues = std::vector<double>;

VLAnimationValues vlAnimationValuesFromVariant(const QVariant &value);
// Turns values back into a variant of the given type (double, QPointF, QSizeF, QRectF and their
// integer forms); any other type gets a QVariantList of doubles.
QVariant vlVariantFromAnimationValues(const VLAnimationValues &values, QMetaType type);

VLAnimationValues vlAnimationValuesFromRect(const QRectF &rect);
QRectF vlRectFromAnimationValues(const VLAnimationValues &values); // empty rect when the arity is not 4
