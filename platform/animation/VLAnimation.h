#pragma once

#include <QString>

#include <functional>
#include <memory>

class QObject;
class VLAnimation;
class VLAnimator;

// Told when an animation starts and when it stops. A plain observer: whoever sets a delegate
// clears it (or removes the animation) before the delegate goes away.
class VLAnimationDelegate
{
public:
    virtual ~VLAnimationDelegate() = default;
    virtual void animationDidStart(VLAnimation *animation) { Q_UNUSED(animation) }
    virtual void animationDidStopFinished(VLAnimation *animation, bool finished)
    {
        Q_UNUSED(animation)
        Q_UNUSED(finished)
    }
};

// What every animation has: begin time, repetition and the single completion. Animations are
// shared objects (std::shared_ptr) handed to VLAnimator::addAnimationForKey, which runs them on
// the GUI thread. Completion comes exactly once per run, on the GUI thread, never inside the call
// that added the animation: finished is true when the animation reached its end value, false when
// it was removed, replaced or its target was destroyed.
class VLAnimation : public std::enable_shared_from_this<VLAnimation>
{
public:
    using CompletionBlock = std::function<void(VLAnimation *animation, bool finished)>;

    virtual ~VLAnimation();
    Q_DISABLE_COPY_MOVE(VLAnimation)

    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    // Absolute media time (VLAnimator::currentMediaTime()) at which the animation starts; 0 or a
    // time already past starts it at once, without skipping ahead.
    double beginTime() const { return m_beginTime; }
    void setBeginTime(double time) { m_beginTime = time; }

    // Number of cycles (0 and 1 both mean one); with autoreverse one cycle runs there and back.
    int repeatCount() const { return m_repeatCount; }
    void setRepeatCount(int count) { m_repeatCount = count; }
    bool repeatForever() const { return m_repeatForever; }
    void setRepeatForever(bool repeat) { m_repeatForever = repeat; }
    bool autoreverses() const { return m_autoreverses; }
    void setAutoreverses(bool autoreverses) { m_autoreverses = autoreverses; }

    // When false, a finished animation stays findable under its key until removed or replaced.
    bool removedOnCompletion() const { return m_removedOnCompletion; }
    void setRemovedOnCompletion(bool removed) { m_removedOnCompletion = removed; }

    const CompletionBlock &completionBlock() const { return m_completion; }
    void setCompletionBlock(CompletionBlock block) { m_completion = std::move(block); }

    VLAnimationDelegate *delegate() const { return m_delegate; }
    void setDelegate(VLAnimationDelegate *delegate) { m_delegate = delegate; }

    // True from being added until it stops (waiting for its begin time counts as running).
    bool isRunning() const { return m_state == State::Waiting || m_state == State::Running; }
    // True once its begin time has come.
    bool hasStarted() const { return m_state == State::Running || m_state == State::Done; }

protected:
    VLAnimation() = default;

    int cycleCount() const { return m_repeatCount > 1 ? m_repeatCount : 1; }
    double startTime() const { return m_startTime; }

    // The animation starts on target at time: read start values, set up. False when it cannot
    // run (no property, values of the wrong arity); it then stops with finished false.
    virtual bool start(QObject *target, double time) = 0;
    // Write the values for time; true once the end value has been written.
    virtual bool advance(QObject *target, double time) = 0;

private:
    friend class VLAnimator;
    enum class State { Idle, Waiting, Running, Done };

    QString m_name;
    double m_beginTime = 0.0;
    int m_repeatCount = 0;
    bool m_repeatForever = false;
    bool m_autoreverses = false;
    bool m_removedOnCompletion = true;
    CompletionBlock m_completion;
    VLAnimationDelegate *m_delegate = nullptr;

    State m_state = State::Idle;
    double m_startTime = 0.0;
    bool m_completionDelivered = false;
};

using VLAnimationPtr = std::shared_ptr<VLAnimation>;
