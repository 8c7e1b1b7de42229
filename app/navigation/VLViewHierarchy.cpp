#include "app/navigation/VLViewHierarchy.h"

#include "platform/view/ViewFrame.h"

#include <QEvent>
#include <QResizeEvent>
#include <QVariant>
#include <QWidget>

#include <array>

namespace {

constexpr char kMaskProperty[] = "vl_autoresizingMask";
constexpr char kAutoLayoutDisabledProperty[] = "vl_autoLayoutDisabled";
// The superview's size the masked subviews were last laid out for. Qt defers the resize events
// of hidden widgets and then reports no old size, so the filter keeps its own.
constexpr char kLaidOutSizeProperty[] = "vl_laidOutSize";

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
            if (!superview->property(kLaidOutSizeProperty).isValid())
                superview->setProperty(kLaidOutSizeProperty, superview->size());
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize) {
            auto *superview = static_cast<QWidget *>(watched);
            const QVariant laidOut = superview->property(kLaidOutSizeProperty);
            const QSize oldSize = laidOut.isValid() ? laidOut.toSize() : static_cast<QResizeEvent *>(event)->oldSize();
            superview->setProperty(kLaidOutSizeProperty, superview->size());
            if (oldSize.isValid() && oldSize != superview->size()) {
                for (QWidget *child : vlSubviews(superview))
                    vlResizeWithOldSuperviewSize(child, oldSize);
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
