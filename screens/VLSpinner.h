#pragma once

#include <QTimer>
#include <QWidget>

// A small indeterminate spinner: twelve fading spokes turning while it animates.
class VLSpinner final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLSpinner)

public:
    explicit VLSpinner(QWidget *parent = nullptr);

    bool isAnimating() const { return m_timer.isActive(); }
    void startAnimation();
    void stopAnimation();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};
