#pragma once

#include <QLabel>

// An image that moves its window when dragged, as the window's background does.
class VLDraggableImageView final : public QLabel
{
    Q_OBJECT
public:
    explicit VLDraggableImageView(QWidget *parent = nullptr);

    bool mouseDownCanMoveWindow() const { return true; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
