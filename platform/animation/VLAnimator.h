#pragma once

// Keyed animations on any QObject, in place of a Core Animation-style engine:
//
//   auto slide = VLBasicAnimation::animationWithPropertyNamed(kVLViewFrame);
//   slide->setToValue(QRectF(0, 0, 400, 300));
//   slide->setDuration(0.2);
//   slide->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::EaseIn));
//   slide->setCompletionBlock([](VLAnimation *, bool finished) { ... });
//   VLAnimator::addAnimationForKey(view, slide, u"navAnimation"_s);
//
// Kinds: VLBasicAnimation (duration and timing function), VLSpringAnimation (bounciness, speed,
// velocity), VLCustomAnimation (a block per frame). Properties: the standard ones of
// VLAnimatableProperty.h, or custom ones from VLAnimatableProperty::propertyWithName(name, init).
//
// Rules: everything runs on the GUI thread. Adding under a key in use replaces the running
// animation, which completes with finished false. A begin time in the past starts at once.
// Each tick writes every running animation, then delivers the completions, both over snapshots,
// so callbacks may add or remove animations and delete targets. A target's destruction stops its
// animations (finished false). Completions never run inside the call that added or removed an
// animation; they come with the next tick. Tests install a VLManualClock and call advance().
#include "platform/animation/VLAnimation.h"
#include "platform/animation/VLAnimationClock.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <vector>

class VLAnimator final : public QObject
{
    Q_OBJECT
public:
    static VLAnimator *instance();

    // The clock's media time in seconds (the time base of begin times).
    static double currentMediaTime();

    static void addAnimationForKey(QObject *target, VLAnimationPtr animation, const QString &key);
    // The animation under key (running, or finished and kept), or null.
    static VLAnimationPtr animationForKey(const QObject *target, const QString &key);
    static QStringList animationKeys(const QObject *target);
    static void removeAnimationForKey(QObject *target, const QString &key);
    static void removeAllAnimations(QObject *target);

    // Animations running or waiting for their begin time, on every target.
    int runningAnimationCount() const;

    // Null restores the frame clock. Times already set move along with the change of time base.
    void setClock(VLAnimationClock *clock);
    VLAnimationClock *clock() const { return m_clock; }

    // One frame: write every running animation, then deliver completions.
    void tick();
    // Drops every animation and pending completion without calling anything (a test's clock
    // ends its animations with it, so no callback outlives the test that set it).
    void discardAll();

private:
    explicit VLAnimator(QObject *parent);
    ~VLAnimator() override;

    struct Record
    {
        QPointer<QObject> target;
        const QObject *identity = nullptr; // for lookups; never dereferenced
        QString key;
        VLAnimationPtr animation;
        enum class State { Active, Kept, Gone } state = State::Active;
    };
    using RecordPtr = std::shared_ptr<Record>;

    RecordPtr find(const QObject *target, const QString &key) const;
    void add(QObject *target, VLAnimationPtr animation, const QString &key);
    void stop(const RecordPtr &record, bool finished);
    void watch(QObject *target);
    void targetDestroyed(QObject *target);
    void deliverCompletions();
    void updateFrames();

    std::unique_ptr<VLFrameClock> m_frameClock;
    VLAnimationClock *m_clock = nullptr;
    std::vector<RecordPtr> m_records; // in order of adding
    std::vector<std::pair<VLAnimationPtr, bool>> m_pendingCompletions;
    std::vector<VLAnimationPtr> m_pendingStarts;
    QHash<const QObject *, QMetaObject::Connection> m_watched;
    quint64 m_anonymousKeys = 0;
};
