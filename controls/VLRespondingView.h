#pragma once

#include <QWidget>

// A view that takes the keyboard focus: a click gives it the focus when it does not have it yet
// (and does nothing else), later clicks go on to its parent. Tab reaches it too.
class VLRespondingView final : public QWidget
{
    Q_OBJECT

public:
    explicit VLRespondingView(QWidget *parent = nullptr);

    bool acceptsFirstResponder() const { return true; }
    bool canBecomeKeyView() const { return true; }
    bool acceptsFirstMouse() const { return true; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
