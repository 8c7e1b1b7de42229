#include "platform/animation/VLAnimationValues.h"

#include <QPointF>
#include <QSizeF>

#include <cmath>

VLAnimationValues vlAnimationValuesFromVariant(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QRectF:
    case QMetaType::QRect:
        return vlAnimationValuesFromRect(value.toRectF());
    case QMetaType::QPointF:
    case QMetaType::QPoint: {
        const QPointF p = value.toPointF();
        return {p.x(), p.y()};
    }
    case QMetaType::QSizeF:
    case QMetaType::QSize: {
        const QSizeF s = value.toSizeF();
        return {s.width(), s.height()};
    }
    case QMetaType::QVariantList: {
        VLAnimationValues values;
        const QVariantList list = value.toList();
        values.reserve(size_t(list.size()));
        for (const QVariant &item : list)
            values.push_back(item.toDouble());
        return values;
    }
    default:
        break;
    }
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (ok)
        return {number};
    return {};
}

QVariant vlVariantFromAnimationValues(const VLAnimationValues &values, QMetaType type)
{
    auto at = [&](size_t i) { return i < values.size() ? values[i] : 0.0; };
    switch (type.id()) {
    case QMetaType::Double:
        return at(0);
    case QMetaType::Float:
        return float(at(0));
    case QMetaType::Int:
        return int(std::lround(at(0)));
    case QMetaType::QRectF:
        return vlRectFromAnimationValues(values);
    case QMetaType::QRect:
        return vlRectFromAnimationValues(values).toRect();
    case QMetaType::QPointF:
        return QPointF(at(0), at(1));
    case QMetaType::QPoint:
        return QPointF(at(0), at(1)).toPoint();
    case QMetaType::QSizeF:
        return QSizeF(at(0), at(1));
    case QMetaType::QSize:
        return QSizeF(at(0), at(1)).toSize();
    default:
        break;
    }
    QVariantList list;
    for (double v : values)
        list.append(v);
    return list;
}

VLAnimationValues vlAnimationValuesFromRect(const QRectF &rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

QRectF vlRectFromAnimationValues(const VLAnimationValues &values)
{
    if (values.size() != 4)
        return QRectF();
    return QRectF(values[0], values[1], values[2], values[3]);
}
