#include "windowing/navigation/VLViewHierarchy.h"

#include "platform/view/ViewFrame.h"

#include <QEvent>
#include <QResizeEvent>
#include <QVariant>
#include <QWidget>

#include <array>

namespace {

constexpr char kMaskProperty[] = "vl_autoresizingMask";
constexpr char kAutoLayoutDisabledProperty[] = "vl_autoLayoutDisabled";
// The superview's size a masked view's frame was last made for. Qt defers the resize events of
// hidden widgets (and then reports no old size), while frames may be set in between against the
// new size; so each view keeps the size its own frame belongs to.
constexpr char kLaidOutForProperty[] = "vl_laidOutFor";

void recordSuperviewSize(QWidget *view)
{
    if (QWidget *superview = vlSuperview(view))
        view->setProperty(kLaidOutForProperty, superview->size());
    else
        view->setProperty(kLaidOutForProperty, QVariant());
}

// Watches superviews for resizes and masked views for a change of superview.
class AutoresizingFilter final : public QObject
{
public:
    static AutoresizingFilter *instance()
    {
        static auto *filter = new AutoresizingFilter;
        return filter;
    }

    void watch(QWidget *view)
    {
        view->removeEventFilter(this);
        view->installEventFilter(this);
        if (QWidget *superview = view->parentWidget()) {
            superview->removeEventFilter(this);
            superview->installEventFilter(this);
        }
        recordSuperviewSize(view);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize) {
            auto *superview = static_cast<QWidget *>(watched);
            const QSize eventOldSize = static_cast<QResizeEvent *>(event)->oldSize();
            for (QWidget *child : vlSubviews(superview)) {
                if (vlAutoresizingMask(child) == VLViewNotSizable)
                    continue;
                const QVariant laidOutFor = child->property(kLaidOutForProperty);
                const QSize oldSize = laidOutFor.isValid() ? laidOutFor.toSize() : eventOldSize;
                if (oldSize.isValid() && oldSize != superview->size())
                    vlResizeWithOldSuperviewSize(child, oldSize);
                recordSuperviewSize(child);
            }
        } else if (event->type() == QEvent::ParentChange) {
            auto *view = static_cast<QWidget *>(watched);
            if (vlAutoresizingMask(view) != VLViewNotSizable)
                watch(view);
        }
        return false;
    }
};

// Spreads a change of the superview's extent over the flexible parts of one axis in proportion
// to their current extents (equally when they are all zero). Answers the new origin and extent.
std::pair<qreal, qreal> resizeAxis(qreal origin, qreal extent, qreal oldTotal, qreal newTotal, bool leadingFlexible,
                                   bool extentFlexible, bool trailingFlexible)
{
    const std::array<qreal, 3> parts{origin, extent, oldTotal - origin - extent};
    const std::array<bool, 3> flexible{leadingFlexible, extentFlexible, trailingFlexible};
    qreal sum = 0.0;
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        if (flexible[i]) {
            sum += qMax<qreal>(parts[i], 0.0);
            ++count;
        }
    }
    if (count == 0)
        return {origin, extent};
    const qreal delta = newTotal - oldTotal;
    auto share = [&](int i) {
        if (!flexible[i])
            return 0.0;
        return sum > 0.0 ? delta * qMax<qreal>(parts[i], 0.0) / sum : delta / count;
    };
    return {origin + share(0), qMax<qreal>(extent + share(1), 0.0)};
}

} // namespace

void vlAddSubview(QWidget *superview, QWidget *view)
{
    if (!superview || !view)
        return;
    if (view->parentWidget() != superview) {
        const QRectF frame = vlFrame(view);
        view->setParent(superview);
        vlSetFrame(view, frame);
    }
    if (vlAutoresizingMask(view) != VLViewNotSizable)
        recordSuperviewSize(view);
    view->raise();
    view->show();
}

void vlRemoveFromSuperview(QWidget *view)
{
    if (!view || !view->parentWidget())
        return;
    const QRectF frame = vlFrame(view);
    view->hide();
    view->setParent(nullptr);
    vlSetFrame(view, frame);
}

QWidget *vlSuperview(const QWidget *view)
{
    return view && !view->isWindow() ? view->parentWidget() : nullptr;
}

QList<QWidget *> vlSubviews(const QWidget *view)
{
    if (!view)
        return {};
    QList<QWidget *> subviews;
    for (QObject *child : view->children()) {
        if (auto *widget = qobject_cast<QWidget *>(child); widget && !widget->isWindow())
            subviews.append(widget);
    }
    return subviews;
}

QRectF vlViewFrame(const QWidget *view)
{
    return vlFrame(view);
}

void vlSetViewFrame(QWidget *view, const QRectF &frame)
{
    vlSetFrame(view, frame);
    if (view && vlAutoresizingMask(view) != VLViewNotSizable)
        recordSuperviewSize(view);
}

QRectF vlViewBounds(const QWidget *view)
{
    return view ? QRectF(QPointF(0, 0), QSizeF(view->size())) : QRectF();
}

void vlSetAutoresizingMask(QWidget *view, int mask)
{
    if (!view)
        return;
    view->setProperty(kMaskProperty, mask);
    if (mask != VLViewNotSizable)
        AutoresizingFilter::instance()->watch(view);
}

int vlAutoresizingMask(const QWidget *view)
{
    return view ? view->property(kMaskProperty).toInt() : VLViewNotSizable;
}

void vlSetAutoLayoutDisabled(QWidget *view, bool disabled)
{
    if (view)
        view->setProperty(kAutoLayoutDisabledProperty, disabled);
}

bool vlAutoLayoutDisabled(const QWidget *view)
{
    return view && view->property(kAutoLayoutDisabledProperty).toBool();
}

void vlResizeWithOldSuperviewSize(QWidget *view, const QSizeF &oldSize)
{
    const QWidget *superview = vlSuperview(view);
    const int mask = vlAutoresizingMask(view);
    if (!superview || mask == VLViewNotSizable || vlAutoLayoutDisabled(view))
        return;
    const QRectF frame = vlViewFrame(view);
    const QSizeF newSize = superview->size();
    const auto [x, width] = resizeAxis(frame.x(), frame.width(), oldSize.width(), newSize.width(),
                                       mask & VLViewMinXMargin, mask & VLViewWidthSizable, mask & VLViewMaxXMargin);
    const auto [y, height] = resizeAxis(frame.y(), frame.height(), oldSize.height(), newSize.height(),
                                        mask & VLViewMaxYMargin, mask & VLViewHeightSizable, mask & VLViewMinYMargin);
    vlSetViewFrame(view, QRectF(x, y, width, height));
}
