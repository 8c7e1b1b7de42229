#include "engine/files/VLChronometer.h"

#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/RepeatingTimer.h"
#include "platform/localization/Localization.h"
#include "platform/localization/SWLocalizationHelper.h"

#include <QCoreApplication>

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

struct VLChronometer::State
{
    // The values; never held while the delegate runs.
    mutable std::mutex mutex;
    double measuredTime = 0;
    double remainingTime = 0;
    QString remainingTimeString;
    bool valid = true;
    bool scheduled = false;
    std::shared_ptr<platform::RepeatingTimer> timer; // made and destroyed on the main thread

    std::atomic<double> progress = 0;

    // Held across a delegate call, so that setDelegate() and destruction wait for a tick in
    // progress; recursive, so the delegate may call back into the chronometer.
    std::recursive_mutex delegateMutex;
    VLChronometerDelegate *delegate = nullptr;
    VLChronometer *owner = nullptr;
};

namespace {

void onMain(std::function<void()> work)
{
    if (platform::isMainThread() || !QCoreApplication::instance())
        work();
    else
        platform::dispatchToMain(std::move(work));
}

void dropTimer(std::shared_ptr<platform::RepeatingTimer> timer)
{
    onMain([timer = std::move(timer)]() mutable { timer.reset(); });
}

} // namespace

VLChronometer::VLChronometer() : d(std::make_shared<State>())
{
    d->owner = this;
}

VLChronometer::~VLChronometer()
{
    {
        const std::lock_guard delegateLock(d->delegateMutex);
        d->owner = nullptr;
        d->delegate = nullptr;
    }
    std::shared_ptr<platform::RepeatingTimer> timer;
    {
        const std::lock_guard lock(d->mutex);
        d->valid = false;
        timer = std::move(d->timer);
    }
    if (timer)
        dropTimer(std::move(timer));
}

void VLChronometer::updateProgress(double percent)
{
    d->progress.store(percent);
}

bool VLChronometer::isMeasuring() const
{
    const std::lock_guard lock(d->mutex);
    return d->valid;
}

void VLChronometer::recalculateTime()
{
    tick(*d, false);
}

void VLChronometer::tick(State &state, bool whileMeasuring)
{
    // Held for the whole tick, so that stop(), setDelegate() and destruction wait for it.
    const std::lock_guard delegateLock(state.delegateMutex);
    double remaining = 0;
    {
        const std::lock_guard lock(state.mutex);
        if (whileMeasuring && !state.valid)
            return;
        const double stored = state.progress.load();
        const double p = stored > 0 ? stored : 1.0;
        state.measuredTime += 1.0;
        state.remainingTime = state.measuredTime / p * (100.0 - p);
        remaining = state.remainingTime;
    }
    // A progress past 100 makes the estimate negative: that reads as no time left, not as an
    // arbitrary conversion of a negative number.
    quint64 whole = 0;
    if (remaining >= double(std::numeric_limits<quint64>::max()))
        whole = std::numeric_limits<quint64>::max();
    else if (remaining > 0)
        whole = quint64(remaining);
    const QString text = transformedTimeFromSeconds(whole);
    {
        const std::lock_guard lock(state.mutex);
        state.remainingTimeString = text;
    }
    if (state.delegate && state.owner)
        state.delegate->chronometerDidUpdateRemainingTime(state.owner, remaining);
}

void VLChronometer::start()
{
    {
        const std::lock_guard lock(d->mutex);
        if (!d->valid || d->scheduled)
            return;
        d->scheduled = true;
    }
    onMain([weak = std::weak_ptr<State>(d)] {
        const std::shared_ptr<State> state = weak.lock();
        if (!state)
            return;
        const std::lock_guard lock(state->mutex);
        if (!state->valid)
            return;
        state->timer = platform::RepeatingTimer::start(std::chrono::seconds(1), [weak] {
            if (const std::shared_ptr<State> ticking = weak.lock())
                tick(*ticking, true);
        });
    });
}

void VLChronometer::stop()
{
    // Waits for a tick under way on the main thread (the delegate may stop from its callback).
    const std::lock_guard delegateLock(d->delegateMutex);
    std::shared_ptr<platform::RepeatingTimer> timer;
    {
        const std::lock_guard lock(d->mutex);
        d->valid = false;
        d->measuredTime = 0;
        d->remainingTime = 0;
        d->progress.store(0);
        timer = std::move(d->timer);
    }
    if (timer)
        dropTimer(std::move(timer));
}

QString VLChronometer::transformedTimeFromSeconds(quint64 seconds)
{
    const quint64 s = seconds == std::numeric_limits<quint64>::max() ? seconds : seconds + 1;
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
    const QString amount = SWLocalizationHelper::sharedInstance().pluralFormFromStringCount(unit, count);
    return platform::formatWithObjects(platform::localizedString("About %@"), {amount});
}

double VLChronometer::remainingTime() const
{
    const std::lock_guard lock(d->mutex);
    return d->remainingTime;
}

void VLChronometer::setRemainingTime(double seconds)
{
    const std::lock_guard lock(d->mutex);
    d->remainingTime = seconds;
}

QString VLChronometer::remainingTimeString() const
{
    const std::lock_guard lock(d->mutex);
    return d->remainingTimeString;
}

void VLChronometer::setRemainingTimeString(const QString &text)
{
    const std::lock_guard lock(d->mutex);
    d->remainingTimeString = text;
}

VLChronometerDelegate *VLChronometer::delegate() const
{
    const std::lock_guard delegateLock(d->delegateMutex);
    return d->delegate;
}

void VLChronometer::setDelegate(VLChronometerDelegate *delegate)
{
    const std::lock_guard delegateLock(d->delegateMutex);
    d->delegate = delegate;
}

double VLChronometer::measuredTime() const
{
    const std::lock_guard lock(d->mutex);
    return d->measuredTime;
}

void VLChronometer::setMeasuredTime(double seconds)
{
    const std::lock_guard lock(d->mutex);
    d->measuredTime = seconds;
}

double VLChronometer::progress() const
{
    return d->progress.load();
}

bool VLChronometer::isTimerScheduled() const
{
    const std::lock_guard lock(d->mutex);
    return d->timer && d->valid;
}
