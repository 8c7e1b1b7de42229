#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>

// The rounded panel of the overlay area (corner radius 5, contents clipped to it). Pressing
// on it and dragging moves the window, but never so high that the window's top passes the top
// of its screen.
class VLOverlayContentView : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLOverlayContentView)

public:
    explicit VLOverlayContentView(QWidget *parent = nullptr);
    ~VLOverlayContentView() override;

    static constexpr qreal cornerRadius = 5.0;

    // The panel handles its own drags.
    bool mouseDownCanMoveWindow() const { return false; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QWidget *windowToMove() const;

    QPointer<QWidget> m_dragWindow;
    QPoint m_windowOrigin;
    QPoint m_pressPosition;
    QRect m_screenFrame;
};
