#pragma once

#include <QWidget>

// A view that counts as opaque and lets a press on it move the window: it leaves mouse presses
// to the window, which moves where its background does.
class VLOpaqueView final : public QWidget
{
    Q_OBJECT

public:
    explicit VLOpaqueView(QWidget *parent = nullptr);

    bool isOpaque() const { return true; }
    bool mouseDownCanMoveWindow() const { return true; }
};
