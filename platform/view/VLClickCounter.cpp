#include "platform/view/VLClickCounter.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>

#include <cmath>

namespace platform {

int VLClickCounter::countForPress(const QMouseEvent &event)
{
    return countForPress(event.globalPosition(), event.button(), static_cast<qint64>(event.timestamp()));
}

int VLClickCounter::countForPress(QPointF globalPosition, Qt::MouseButton button, qint64 timestampMs)
{
    const QStyleHints *hints = QGuiApplication::styleHints();
    const qint64 interval = hints->mouseDoubleClickInterval();
    const double distance = hints->mouseDoubleClickDistance();
    const QPointF moved = globalPosition - m_lastPosition;
    const bool continues = m_count > 0 && button == m_lastButton && timestampMs >= m_lastTimestamp
                           && timestampMs - m_lastTimestamp <= interval && std::abs(moved.x()) <= distance
                           && std::abs(moved.y()) <= distance;
    m_count = continues ? m_count + 1 : 1;
    m_lastPosition = globalPosition;
    m_lastButton = button;
    m_lastTimestamp = timestampMs;
    return m_count;
}

} // namespace platform
