#pragma once

#include <QElapsedTimer>
#include <QPointF>

class QMouseEvent;

namespace platform {

// Counts consecutive presses the way the platform's double-click setting does: a press within
// the double-click interval and distance of the previous one raises the count, any other press
// starts again at 1. Views that track the mouse themselves keep one each.
class VLClickCounter
{
public:
    int countForPress(const QMouseEvent &event);
    int countForPress(QPointF globalPosition, Qt::MouseButton button, qint64 timestampMs);
    int clickCount() const { return m_count; }
    void reset() { m_count = 0; }

private:
    int m_count = 0;
    QPointF m_lastPosition;
    Qt::MouseButton m_lastButton = Qt::NoButton;
    qint64 m_lastTimestamp = 0;
};

} // namespace platform
