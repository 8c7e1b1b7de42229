#include "platform/animation/VLAnimator.h"

#include "platform/core/Log.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>

namespace {
QPointer<VLAnimator> s_instance;
}

VLAnimator *VLAnimator::instance()
{
    if (!s_instance) {
        Q_ASSERT(QCoreApplication::instance());
        s_instance = new VLAnimator(QCoreApplication::instance());
    }
    return s_instance;
}

VLAnimator::VLAnimator(QObject *parent)
    : QObject(parent)
    , m_frameClock(std::make_unique<VLFrameClock>([this] { tick(); }))
{
    m_clock = m_frameClock.get();
}

VLAnimator::~VLAnimator()
{
    for (auto it = m_watched.cbegin(); it != m_watched.cend(); ++it)
        disconnect(it.value());
}

double VLAnimator::currentMediaTime()
{
    return instance()->m_clock->now();
}

void VLAnimator::setClock(VLAnimationClock *clock)
{
    VLAnimationClock *next = clock ? clock : m_frameClock.get();
    if (next == m_clock)
        return;
    const double delta = next->now() - m_clock->now();
    m_clock->setFramesWanted(false);
    for (const RecordPtr &record : m_records) {
        record->animation->m_startTime += delta;
        if (record->animation->m_beginTime > 0.0)
            record->animation->m_beginTime += delta;
    }
    m_clock = next;
    updateFrames();
}

VLAnimator::RecordPtr VLAnimator::find(const QObject *target, const QString &key) const
{
    for (const RecordPtr &record : m_records) {
        if (record->identity == target && record->key == key && record->state != Record::State::Gone)
            return record;
    }
    return nullptr;
}

void VLAnimator::addAnimationForKey(QObject *target, VLAnimationPtr animation, const QString &key)
{
    instance()->add(target, std::move(animation), key);
}

void VLAnimator::add(QObject *target, VLAnimationPtr animation, const QString &key)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!target || !animation)
        return;
    if (animation->isRunning()) {
        platform::log(QStringLiteral("Warning! An animation that is already running was added again; ignored."));
        return;
    }
    const QString usedKey = key.isEmpty() ? QStringLiteral("_vl_anonymous_%1").arg(++m_anonymousKeys) : key;
    if (RecordPtr previous = find(target, usedKey))
        stop(previous, false);

    const double now = m_clock->now();
    VLAnimation &a = *animation;
    a.m_completionDelivered = false;
    if (a.m_beginTime > now) {
        a.m_state = VLAnimation::State::Waiting;
    } else {
        // Starting reads the start values now, before anything else can change them.
        a.m_state = VLAnimation::State::Running;
        a.m_startTime = now;
        if (a.start(target, now)) {
            m_pendingStarts.push_back(animation);
        } else {
            a.m_state = VLAnimation::State::Done;
            m_pendingCompletions.emplace_back(animation, false);
            updateFrames();
            return;
        }
    }
    auto record = std::make_shared<Record>();
    record->target = target;
    record->identity = target;
    record->key = usedKey;
    record->animation = std::move(animation);
    m_records.push_back(std::move(record));
    watch(target);
    updateFrames();
}

VLAnimationPtr VLAnimator::animationForKey(const QObject *target, const QString &key)
{
    const RecordPtr record = instance()->find(target, key);
    return record ? record->animation : nullptr;
}

QStringList VLAnimator::animationKeys(const QObject *target)
{
    QStringList keys;
    for (const RecordPtr &record : instance()->m_records) {
        if (record->identity == target && record->state != Record::State::Gone)
            keys.append(record->key);
    }
    return keys;
}

void VLAnimator::removeAnimationForKey(QObject *target, const QString &key)
{
    VLAnimator *self = instance();
    if (RecordPtr record = self->find(target, key))
        self->stop(record, false);
    self->updateFrames();
}

void VLAnimator::removeAllAnimations(QObject *target)
{
    VLAnimator *self = instance();
    const std::vector<RecordPtr> records = self->m_records;
    for (const RecordPtr &record : records) {
        if (record->identity == target && record->state != Record::State::Gone)
            self->stop(record, false);
    }
    self->updateFrames();
}

int VLAnimator::runningAnimationCount() const
{
    return int(std::count_if(m_records.cbegin(), m_records.cend(),
                             [](const RecordPtr &record) { return record->state == Record::State::Active; }));
}

void VLAnimator::stop(const RecordPtr &record, bool finished)
{
    const bool wasActive = record->state == Record::State::Active;
    record->state = Record::State::Gone;
    if (wasActive) {
        record->animation->m_state = VLAnimation::State::Done;
        m_pendingCompletions.emplace_back(record->animation, finished);
    }
}

void VLAnimator::watch(QObject *target)
{
    if (m_watched.contains(target))
        return;
    m_watched.insert(target, connect(target, &QObject::destroyed, this, [this, target] { targetDestroyed(target); }));
}

void VLAnimator::targetDestroyed(QObject *target)
{
    // The object is half destroyed: only its address is used here.
    m_watched.remove(target);
    for (const RecordPtr &record : m_records) {
        if (record->identity == target && record->state != Record::State::Gone)
            stop(record, false);
    }
    updateFrames();
}

void VLAnimator::tick()
{
    Q_ASSERT(QThread::currentThread() == thread());
    const double now = m_clock->now();

    // Writes first, over a snapshot: animations added by callbacks start on the next tick.
    const std::vector<RecordPtr> snapshot = m_records;
    for (const RecordPtr &record : snapshot) {
        if (record->state != Record::State::Active)
            continue;
        QObject *target = record->target.data();
        if (!target) {
            stop(record, false);
            continue;
        }
        VLAnimation &a = *record->animation;
        if (a.m_state == VLAnimation::State::Waiting) {
            if (now < a.m_beginTime)
                continue;
            a.m_state = VLAnimation::State::Running;
            a.m_startTime = a.m_beginTime;
            if (!a.start(target, a.m_startTime)) {
                stop(record, false);
                continue;
            }
            m_pendingStarts.push_back(record->animation);
        }
        if (!a.advance(target, now))
            continue;
        // The write may have removed this very animation; only a still active one finishes.
        if (record->state != Record::State::Active)
            continue;
        a.m_state = VLAnimation::State::Done;
        record->state = a.m_removedOnCompletion ? Record::State::Gone : Record::State::Kept;
        m_pendingCompletions.emplace_back(record->animation, true);
    }
    m_records.erase(std::remove_if(m_records.begin(), m_records.end(),
                                   [](const RecordPtr &record) { return record->state == Record::State::Gone; }),
                    m_records.end());

    deliverCompletions();
    updateFrames();
}

void VLAnimator::deliverCompletions()
{
    // Callbacks may stop further animations; those are delivered in the same round.
    for (int round = 0; round < 64 && (!m_pendingStarts.empty() || !m_pendingCompletions.empty()); ++round) {
        const std::vector<VLAnimationPtr> starts = std::exchange(m_pendingStarts, {});
        for (const VLAnimationPtr &animation : starts) {
            if (animation->m_delegate)
                animation->m_delegate->animationDidStart(animation.get());
        }
        const auto completions = std::exchange(m_pendingCompletions, {});
        for (const auto &[animation, finished] : completions) {
            if (animation->m_completionDelivered)
                continue;
            animation->m_completionDelivered = true;
            if (animation->m_delegate)
                animation->m_delegate->animationDidStopFinished(animation.get(), finished);
            if (animation->m_completion) {
                // Keep the callback alive while it runs, even if it replaces itself.
                const VLAnimation::CompletionBlock completion = animation->m_completion;
                completion(animation.get(), finished);
            }
        }
    }
    m_records.erase(std::remove_if(m_records.begin(), m_records.end(),
                                   [](const RecordPtr &record) { return record->state == Record::State::Gone; }),
                    m_records.end());
}

void VLAnimator::discardAll()
{
    for (const RecordPtr &record : m_records)
        record->animation->m_state = VLAnimation::State::Done;
    m_records.clear();
    m_pendingCompletions.clear();
    m_pendingStarts.clear();
    updateFrames();
}

void VLAnimator::updateFrames()
{
    const bool wanted = runningAnimationCount() > 0 || !m_pendingCompletions.empty() || !m_pendingStarts.empty();
    m_clock->setFramesWanted(wanted);
}
