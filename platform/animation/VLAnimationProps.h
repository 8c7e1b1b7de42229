#pragma once

#include "platform/animation/VLAnimatableProperty.h"

#include <QList>
#include <QPointer>
#include <QRectF>

#include <memory>

// The custom properties the content transitions animate.
class VLAnimationProps final
{
public:
    VLAnimationProps() = delete;

    // "com.nimbrel.Vaultine.prop.aggregated": drives a whole list of objects as one. Reads the first
    // item's value through the underlying property, writes every item in list order, with the
    // underlying property's threshold. The object the animation is added to is not touched, so a
    // fade of every view of a screen is one animation with one completion. Items that are
    // destroyed meanwhile are skipped.
    static VLAnimatablePropertyPtr aggregatedPropWithItemsUnderlying(const QList<QObject *> &items,
                                                                     VLAnimatablePropertyPtr underlying);

    // "com.nimbrel.Vaultine.prop.frame": a view's frame (x, y, width, height) whose writes also set
    // the view's alpha from the vertical distance travelled from `from`, over the distance D between
    // `from` and `to`: alpha = t forward, 1 - t backward, with t = |y - from.y| / D, kept within 0
    // and 1. With D = 0 there is no distance to measure and the alpha is 0. `to` only sets D; it
    // need not be the animation's end value. Threshold one pixel.
    static VLAnimatablePropertyPtr viewFrameWithAlphaFromToValueForward(const QRectF &from, const QRectF &to,
                                                                        bool forward);
    static VLAnimatablePropertyPtr viewFrameWithAlphaFromToValue(const QRectF &from, const QRectF &to)
    {
        return viewFrameWithAlphaFromToValueForward(from, to, false);
    }

    // The alpha the frame-with-alpha property gives a view whose frame origin is at y.
    static double frameAlpha(double y, double fromY, double distance, bool forward);
};

inline const QString kVLAggregatedPropName = QStringLiteral("com.nimbrel.Vaultine.prop.aggregated");
inline const QString kVLFrameWithAlphaPropName = QStringLiteral("com.nimbrel.Vaultine.prop.frame");

// A new animation of the given kind (VLBasicAnimation, VLSpringAnimation) on a property.
template <class Animation>
std::shared_ptr<Animation> animationWithProp(VLAnimatablePropertyPtr property)
{
    return Animation::animationWithProperty(std::move(property));
}
