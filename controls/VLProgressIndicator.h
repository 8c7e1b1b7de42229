#pragma once

#include <QProgressBar>

// A determinate progress bar measured in doubles, so that byte counts beyond the range of int
// fit: the bar shows doubleValue / maxValue on a fixed integer scale.
class VLProgressIndicator final : public QProgressBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLProgressIndicator)
    Q_PROPERTY(double maxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(double doubleValue READ doubleValue WRITE setDoubleValue)

public:
    explicit VLProgressIndicator(QWidget *parent = nullptr);

    double maxValue() const { return m_maxValue; }
    void setMaxValue(double maxValue);
    double doubleValue() const { return m_doubleValue; }
    void setDoubleValue(double value);

    // The integer steps the bar is drawn in.
    static constexpr int scale = 10000;

private:
    void updateBar();

    double m_maxValue = 100.0;
    double m_doubleValue = 0.0;
};
