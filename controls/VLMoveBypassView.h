#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>

// An area that moves its window when dragged, while clicks over its subviews go through to
// whatever lies beneath it (the subviews only show). Dragging never lifts the window's top above
// the top of its screen.
class VLMoveBypassView final : public QWidget
{
    Q_OBJECT

public:
    explicit VLMoveBypassView(QWidget *parent = nullptr);

    // The view itself where point (in the parent's coordinates) lies in none of its subviews'
    // frames; null inside a subview's frame and outside the view.
    QWidget *hitTest(const QPointF &pointInParent) const;
    bool acceptsFirstMouse() const { return true; }

protected:
    void childEvent(QChildEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QWidget *widgetBeneath(const QPointF &globalPosition);
    void forward(QWidget *receiver, QMouseEvent *event);

    // The widget that gets the current press, from press to release, when it is not this view.
    QPointer<QWidget> m_passThrough;
    bool m_moving = false;
    QPoint m_windowOrigin;
    QPointF m_pressPosition;
};
