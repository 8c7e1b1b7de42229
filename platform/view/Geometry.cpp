#include "platform/view/Geometry.h"

QRectF VLRectFromBottomLeft(const QRectF &rect, qreal referenceHeight)
{
    return QRectF(rect.x(), referenceHeight - rect.y() - rect.height(), rect.width(), rect.height());
}
