#include "platform/animation/VLAnimationProps.h"

#include "platform/view/ViewAlpha.h"
#include "platform/view/ViewFrame.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

VLAnimatablePropertyPtr VLAnimationProps::aggregatedPropWithItemsUnderlying(const QList<QObject *> &items,
                                                                            VLAnimatablePropertyPtr underlying)
{
    QList<QPointer<QObject>> guarded;
    for (QObject *item : items) {
        if (item)
            guarded.append(item);
    }
    return VLAnimatableProperty::propertyWithName(
        kVLAggregatedPropName, [guarded, underlying](VLAnimatableProperty &p) {
            p.setReadBlock([guarded, underlying](QObject *) {
                if (!underlying || guarded.isEmpty() || !guarded.front())
                    return VLAnimationValues();
                return underlying->read(guarded.front().data());
            });
            p.setWriteBlock([guarded, underlying](QObject *, const VLAnimationValues &values) {
                if (!underlying)
                    return;
                for (const QPointer<QObject> &item : guarded) {
                    if (item)
                        underlying->write(item.data(), values);
                }
            });
            p.setThreshold(underlying ? underlying->threshold() : 0.01);
        });
}

double VLAnimationProps::frameAlpha(double y, double fromY, double distance, bool forward)
{
    if (!(distance > 0.0))
        return 0.0;
    const double t = std::abs(y - fromY) / distance;
    const double alpha = forward ? t : 1.0 - t;
    return std::clamp(alpha, 0.0, 1.0);
}

VLAnimatablePropertyPtr VLAnimationProps::viewFrameWithAlphaFromToValueForward(const QRectF &from, const QRectF &to,
                                                                               bool forward)
{
    const double fromY = from.y();
    const double distance = std::abs(to.y() - from.y());
    return VLAnimatableProperty::propertyWithName(kVLFrameWithAlphaPropName, [=](VLAnimatableProperty &p) {
        p.setReadBlock([](QObject *object) {
            auto *view = qobject_cast<QWidget *>(object);
            return vlAnimationValuesFromRect(view ? vlFrame(view) : QRectF());
        });
        p.setWriteBlock([=](QObject *object, const VLAnimationValues &values) {
            auto *view = qobject_cast<QWidget *>(object);
            if (!view || values.size() != 4)
                return;
            vlSetFrame(view, vlRectFromAnimationValues(values));
            vlSetAlphaValue(view, frameAlpha(values[1], fromY, distance, forward));
        });
        p.setThreshold(1.0);
    });
}
