#include "controls/VLGeometry.h"

#include <algorithm>
#include <cmath>

QRectF VLRectIntegral(const QRectF &rect)
{
    if (rect.isNull())
        return rect;
    const QRectF r = rect.normalized();
    const double left = std::floor(r.left());
    const double top = std::floor(r.top());
    const double right = std::ceil(r.left() + r.width());
    const double bottom = std::ceil(r.top() + r.height());
    return QRectF(left, top, right - left, bottom - top);
}

QRectF VLRectIntegralWithOrigin(const QRectF &rect, double x, double y)
{
    return VLRectIntegral(QRectF(x, y, rect.width(), rect.height()));
}

QRectF VLRectWithWidth(const QRectF &rect, double width)
{
    return QRectF(rect.x(), rect.y(), width, rect.height());
}

QRectF VLRectIntegralWithX(const QRectF &rect, double x)
{
    return VLRectIntegral(QRectF(x, rect.y(), rect.width(), rect.height()));
}

QRectF VLRectInsetByEdgeInsets(const QRectF &rect, const VLEdgeInsets &insets)
{
    return QRectF(rect.x() + insets.left, rect.y() + insets.top, rect.width() - (insets.left + insets.right),
                  rect.height() - (insets.top + insets.bottom));
}

QRectF VLRectWithSize(const QRectF &rect, const QSizeF &size)
{
    return QRectF(rect.topLeft(), size);
}

QRectF VLRectWithHeight(const QRectF &rect, double height)
{
    return QRectF(rect.x(), rect.y(), rect.width(), height);
}

QRectF VLRectIntegralWithY(const QRectF &rect, double y)
{
    return VLRectIntegral(QRectF(rect.x(), y, rect.width(), rect.height()));
}

QRectF VLRectCenteredInRect(const QRectF &inner, const QRectF &outer)
{
    return VLRectIntegral(QRectF((outer.width() - inner.width()) * 0.5, (outer.height() - inner.height()) * 0.5,
                                 inner.width(), inner.height()));
}

QRectF VLRectCenteredHorizontally(const QRectF &inner, const QRectF &outer)
{
    const double x = (std::abs(outer.width()) - std::abs(inner.width())) * 0.5;
    return VLRectIntegral(QRectF(x, inner.y(), inner.width(), inner.height()));
}

QRectF VLRectCenteredVertically(const QRectF &inner, const QRectF &outer)
{
    const double y = (std::abs(outer.height()) - std::abs(inner.height())) * 0.5;
    return VLRectIntegral(QRectF(inner.x(), y, inner.width(), inner.height()));
}

QRectF VLRectScaledAboutCenter(const QRectF &rect, double sx, double sy)
{
    const double width = rect.width() * sx;
    const double height = rect.height() * sy;
    return VLRectIntegral(QRectF((rect.width() - width) * 0.5, (rect.height() - height) * 0.5, width, height));
}

QRectF VLRectDivideRemainder(const QRectF &rect, double amount, VLRectEdge edge)
{
    const QRectF r = rect.normalized();
    const bool horizontal = edge == VLRectEdge::MinX || edge == VLRectEdge::MaxX;
    const double extent = horizontal ? r.width() : r.height();
    const double slice = std::clamp(amount, 0.0, extent);
    QRectF remainder = r;
    switch (edge) {
    case VLRectEdge::MinX:
        remainder.setLeft(r.left() + slice);
        break;
    case VLRectEdge::MaxX:
        remainder.setWidth(r.width() - slice);
        break;
    case VLRectEdge::MinY:
        remainder.setTop(r.top() + slice);
        break;
    case VLRectEdge::MaxY:
        remainder.setHeight(r.height() - slice);
        break;
    }
    return VLRectIntegral(remainder);
}

QSizeF VLSizeDoubled(const QSizeF &size)
{
    return QSizeF(size.width() * 2.0, size.height() * 2.0);
}

QRectF VLRectWithDoubledSize(const QRectF &rect)
{
    return QRectF(rect.topLeft(), VLSizeDoubled(rect.size()));
}

QRectF VLRectInsetByHalfPoint(const QRectF &rect)
{
    return rect.adjusted(0.5, 0.5, -0.5, -0.5);
}

double VLAspectFitScale(const QRectF &inner, const QRectF &outer)
{
    double scale = outer.width() / inner.width();
    if (outer.height() < inner.height() * scale)
        scale = outer.height() / inner.height();
    return scale;
}

namespace {
QRectF scaledAndCentred(const QRectF &inner, const QRectF &outer, double scale)
{
    const QSizeF size(inner.width() * scale, inner.height() * scale);
    const QPointF centre = outer.center();
    return QRectF(centre.x() - size.width() * 0.5, centre.y() - size.height() * 0.5, size.width(), size.height());
}
} // namespace

QRectF VLRectAspectFit(const QRectF &inner, const QRectF &outer)
{
    return scaledAndCentred(inner, outer, VLAspectFitScale(inner, outer));
}

double VLAspectFillScale(const QRectF &inner, const QRectF &outer)
{
    return 1.0 / VLAspectFitScale(outer, inner);
}

QRectF VLRectAspectFill(const QRectF &inner, const QRectF &outer)
{
    return scaledAndCentred(inner, outer, VLAspectFillScale(inner, outer));
}
