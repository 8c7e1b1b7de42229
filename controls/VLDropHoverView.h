#pragma once

#include "controls/VLDropHoverViewDelegate.h"
#include "platform/core/VLWeakDelegate.h"

#include <QList>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <optional>

// The area a view follows the mouse over, with the platform's tracking options.
struct VLTrackingArea
{
    static constexpr quint64 mouseEnteredAndExited = 0x01;
    static constexpr quint64 activeInActiveApp = 0x40;
    static constexpr quint64 assumeInside = 0x100;

    QRectF rect;
    quint64 options = 0;
};

// Tells its delegate when the mouse enters or leaves it (each change once), also when a layout
// change (of the view or of a view it lies in) brings it under a mouse that does not move.
class VLDropHoverView final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool mouseInside READ mouseInside WRITE setMouseInside)

public:
    explicit VLDropHoverView(QWidget *parent = nullptr);
    ~VLDropHoverView() override;
    Q_DISABLE_COPY_MOVE(VLDropHoverView)

    VLDropHoverViewDelegate *delegate() const { return m_delegate.get(); }
    void setDelegate(VLDropHoverViewDelegate *delegate) { m_delegate.set(delegate); }

    bool mouseInside() const { return m_mouseInside; }
    void setMouseInside(bool inside) { m_mouseInside = inside; }

    const std::optional<VLTrackingArea> &trackingArea() const { return m_trackingArea; }

    // Tracks the current bounds and reports where the mouse is now.
    void updateTrackingAreas();
    void mouseEntered();
    void mouseExited();

    bool acceptsFirstMouse() const { return true; }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void report(bool inside);
    // Follows the views it lies in, whose moves and resizes move it in the window too.
    void watchAncestors();
    static bool applicationIsActive();

    VLWeakDelegate<VLDropHoverViewDelegate> m_delegate;
    bool m_mouseInside = false;
    std::optional<VLTrackingArea> m_trackingArea;
    QList<QPointer<QWidget>> m_ancestors;
};
