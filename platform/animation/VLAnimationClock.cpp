#include "platform/animation/VLAnimationClock.h"

#include "platform/animation/VLAnimator.h"

#include <chrono>
#include <cmath>

VLFrameClock::VLFrameClock(std::function<void()> tick, QObject *parent) : QObject(parent), m_tick(std::move(tick))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(16);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_tick(); });
}

double VLFrameClock::now() const
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void VLFrameClock::setFramesWanted(bool wanted)
{
    if (wanted && !m_timer.isActive())
        m_timer.start();
    else if (!wanted && m_timer.isActive())
        m_timer.stop();
}

VLManualClock::VLManualClock(double startTime) : m_now(startTime), m_timersNow(startTime)
{
    VLAnimator::instance()->setClock(this);
}

VLManualClock::~VLManualClock()
{
    VLAnimator *animator = VLAnimator::instance();
    if (animator->clock() == this) {
        animator->discardAll();
        animator->setClock(nullptr);
    }
}

void VLManualClock::advance(double seconds, int frames)
{
    frames = std::max(1, frames);
    const double step = seconds / frames;
    for (int i = 0; i < frames; ++i) {
        m_now += step;
        VLAnimator::instance()->tick();
        // Whole milliseconds, without losing the fractions between frames.
        const auto elapsed = std::chrono::milliseconds(std::llround((m_now - m_timersNow) * 1000.0));
        m_timersNow += double(elapsed.count()) / 1000.0;
        m_timers.advance(elapsed);
    }
}
