#include "controls/VLProgressIndicator.h"

#include <algorithm>
#include <cmath>

VLProgressIndicator::VLProgressIndicator(QWidget *parent) : QProgressBar(parent)
{
    setRange(0, scale);
    setValue(0);
    setTextVisible(false);
}

void VLProgressIndicator::setMaxValue(double maxValue)
{
    m_maxValue = maxValue;
    updateBar();
}

void VLProgressIndicator::setDoubleValue(double value)
{
    m_doubleValue = value;
    updateBar();
}

void VLProgressIndicator::updateBar()
{
    // A zero or negative maximum (an empty item) shows an empty bar, not Qt's busy indicator.
    const double fraction = m_maxValue > 0 && std::isfinite(m_doubleValue) ? m_doubleValue / m_maxValue : 0.0;
    setValue(int(std::lround(std::clamp(fraction, 0.0, 1.0) * scale)));
}
