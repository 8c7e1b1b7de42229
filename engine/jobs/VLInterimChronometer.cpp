#include "engine/jobs/VLInterimChronometer.h"

#include <QCoreApplication>
#include <QThread>

VLInterimChronometer::VLInterimChronometer()
{
    m_timer.setInterval(1000);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &VLInterimChronometer::recalculateTime);
}

void VLInterimChronometer::updateProgress(double percent)
{
    m_progress.store(percent);
}

bool VLInterimChronometer::isMeasuring() const
{
    return m_valid.load();
}

void VLInterimChronometer::recalculateTime()
{
    double remaining = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_valid.load())
            return;
        const double progress = m_progress.load();
        const double p = progress > 0 ? progress : 1.0;
        m_measuredTime += 1.0;
        m_remainingTime = m_measuredTime / p * (100 - p);
        m_remainingTimeString = transformedTimeFromSeconds(quint64(qMax(0.0, m_remainingTime)));
        remaining = m_remainingTime;
    }
    std::lock_guard lock(m_delegateMutex);
    if (m_delegate)
        m_delegate->chronometerDidUpdateRemainingTime(this, remaining);
}

void VLInterimChronometer::start()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_valid.load())
                m_timer.start();
        },
        Qt::QueuedConnection);
}

void VLInterimChronometer::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_valid.store(false);
        m_measuredTime = 0;
        m_remainingTime = 0;
        m_progress.store(0);
    }
    if (thread() == QThread::currentThread())
        m_timer.stop();
    else
        QMetaObject::invokeMethod(
            this, [this] { m_timer.stop(); }, Qt::QueuedConnection);
}

QString VLInterimChronometer::transformedTimeFromSeconds(quint64 seconds)
{
    const quint64 s = seconds + 1;
    quint64 count = 0;
    QString unit;
    if (s < 60) {
        count = s;
        unit = QStringLiteral("second");
    } else if (s < 3600) {
        count = s / 60;
        unit = QStringLiteral("minute");
    } else if (s < 86400) {
        count = s / 3600;
        unit = QStringLiteral("hour");
    } else {
        count = qMin<quint64>(s / 86400, 365);
        unit = QStringLiteral("day");
    }
    const QString amount = QString::number(count) + u' ' + (count == 1 ? unit : unit + u's');
    return QCoreApplication::translate("Localizable", "About %@").replace(QStringLiteral("%@"), amount);
}

double VLInterimChronometer::remainingTime() const
{
    std::lock_guard lock(m_mutex);
    return m_remainingTime;
}

QString VLInterimChronometer::remainingTimeString() const
{
    std::lock_guard lock(m_mutex);
    return m_remainingTimeString;
}

VLInterimChronometerDelegate *VLInterimChronometer::delegate() const
{
    std::lock_guard lock(m_delegateMutex);
    return m_delegate;
}

void VLInterimChronometer::setDelegate(VLInterimChronometerDelegate *delegate)
{
    std::lock_guard lock(m_delegateMutex);
    m_delegate = delegate;
}
