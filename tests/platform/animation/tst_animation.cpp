#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/animation/VLCustomAnimation.h"
#include "platform/animation/VLSpringAnimation.h"
#include "platform/view/ViewAlpha.h"
#include "platform/view/ViewFrame.h"

#include <QGraphicsOpacityEffect>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Counts completions and remembers the flags, so a test can check "exactly once".
struct CompletionLog
{
    int count = 0;
    QList<bool> flags;
    VLAnimation::CompletionBlock block()
    {
        return [this](VLAnimation *, bool finished) {
            ++count;
            flags.append(finished);
        };
    }
};

std::shared_ptr<VLBasicAnimation> linearFrame(const QRectF &to, double duration)
{
    auto animation = VLBasicAnimation::animationWithPropertyNamed(kVLViewFrame);
    animation->setToValue(to);
    animation->setDuration(duration);
    animation->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::Linear));
    return animation;
}

std::shared_ptr<VLBasicAnimation> linearAlpha(double to, double duration)
{
    auto animation = VLBasicAnimation::animationWithPropertyNamed(kVLViewAlphaValue);
    animation->setToValue(to);
    animation->setDuration(duration);
    animation->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::Linear));
    return animation;
}

// A stand-in for a layout constraint: the engine animates its "constant".
class Constraint : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double constant READ constant WRITE setConstant)
public:
    double constant() const { return m_constant; }
    void setConstant(double value) { m_constant = value; }

private:
    double m_constant = 0.0;
};

// A stand-in for a layer: the engine animates its "position".
class Layer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QPointF position READ position WRITE setPosition)
public:
    QPointF position() const { return m_position; }
    void setPosition(const QPointF &position) { m_position = position; }

private:
    QPointF m_position;
};

} // namespace

class TestAnimation : public QObject
{
    Q_OBJECT

private slots:
    void timingCurves_data();
    void timingCurves();
    void basicFrameAtInstants();
    void basicFromCurrentValueAndAlpha();
    void replacingKeyedAnimation();
    void removalCompletesOnceWithFalse();
    void pastBeginTimeStartsAtOnce();
    void futureBeginTimeWaitsAndReadsStartThen();
    void repeatAndAutoreverse_data();
    void repeatAndAutoreverse();
    void springEndsExactlyOnTarget_data();
    void springEndsExactlyOnTarget();
    void springRetargetsFromWhereItIs();
    void targetDeletedWhileAnimating();
    void targetDeletedMidTickByAnotherAnimation();
    void completionsMayChainAnimations();
    void keptAnimationAfterCompletion();
    void customAnimationRunsPerFrame();
    void customPropertyAndQtProperty();
    void frameClockRunsInEventLoop();
    void zeroDurationCompletesOnNextTickAndTellsDelegate();
    void windowFrameSpring();
    void alphaHelperKeepsEffectOnlyBelowOne();
    void frameModelRoundsEdges();
};

void TestAnimation::timingCurves_data()
{
    QTest::addColumn<int>("name");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    const auto add = [](const char *tag, VLTimingFunctionName name, double x, double y) {
        QTest::newRow(tag) << int(name) << x << y;
    };
    add("linear 0.3", VLTimingFunctionName::Linear, 0.3, 0.3);
    add("ease-in 0.25", VLTimingFunctionName::EaseIn, 0.25, 0.093465);
    add("ease-in 0.5", VLTimingFunctionName::EaseIn, 0.5, 0.315357);
    add("ease-in 0.75", VLTimingFunctionName::EaseIn, 0.75, 0.621862);
    add("ease-out 0.25", VLTimingFunctionName::EaseOut, 0.25, 0.378138);
    add("ease-out 0.5", VLTimingFunctionName::EaseOut, 0.5, 0.684643);
    add("ease-in-out 0.25", VLTimingFunctionName::EaseInEaseOut, 0.25, 0.129162);
    add("ease-in-out 0.5", VLTimingFunctionName::EaseInEaseOut, 0.5, 0.5);
    add("ease-in-out 0.75", VLTimingFunctionName::EaseInEaseOut, 0.75, 0.870838);
    add("default 0.5", VLTimingFunctionName::Default, 0.5, 0.802403);
    add("ease-in start", VLTimingFunctionName::EaseIn, 0.0, 0.0);
    add("ease-out end", VLTimingFunctionName::EaseOut, 1.0, 1.0);
    add("clamped below", VLTimingFunctionName::EaseIn, -0.5, 0.0);
    add("clamped above", VLTimingFunctionName::EaseOut, 1.5, 1.0);
}

void TestAnimation::timingCurves()
{
    QFETCH(int, name);
    QFETCH(double, x);
    QFETCH(double, y);
    const VLTimingFunction function = VLTimingFunction::functionWithName(VLTimingFunctionName(name));
    QVERIFY2(std::abs(function.solve(x) - y) < 1e-5, qPrintable(QString::number(function.solve(x), 'f', 6)));
}

void TestAnimation::basicFrameAtInstants()
{
    VLManualClock clock;
    QWidget parent;
    parent.resize(400, 300);
    auto *view = new QWidget(&parent);
    vlSetFrame(view, QRectF(0, 0, 100, 50));

    CompletionLog log;
    auto slide = linearFrame(QRectF(200, 100, 100, 50), 0.2);
    slide->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::EaseIn));
    slide->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(view, slide, u"navAnimation"_s);
    QCOMPARE(VLAnimator::animationForKey(view, u"navAnimation"_s), slide);
    QCOMPARE(vlFrame(view), QRectF(0, 0, 100, 50)); // nothing written before a frame

    clock.advance(0.1);
    const double p = 0.315357;
    QVERIFY(std::abs(vlFrame(view).x() - 200 * p) < 1e-3);
    QVERIFY(std::abs(vlFrame(view).y() - 100 * p) < 1e-3);
    QCOMPARE(view->geometry(), vlRoundedFrame(vlFrame(view)));
    QCOMPARE(log.count, 0);

    clock.advance(0.1);
    QCOMPARE(vlFrame(view), QRectF(200, 100, 100, 50));
    QCOMPARE(view->geometry(), QRect(200, 100, 100, 50));
    QCOMPARE(log.flags, QList<bool>{true});
    QVERIFY(!VLAnimator::animationForKey(view, u"navAnimation"_s));

    clock.advance(0.5);
    QCOMPARE(log.count, 1);
}

void TestAnimation::basicFromCurrentValueAndAlpha()
{
    VLManualClock clock;
    QWidget view;
    vlSetAlphaValue(&view, 0.2);
    auto fade = linearAlpha(1.0, 0.4);
    VLAnimator::addAnimationForKey(&view, fade, u"fade"_s);
    vlSetAlphaValue(&view, 0.9); // the start value was read when the animation was added
    clock.advance(0.1);
    QVERIFY(std::abs(vlAlphaValue(&view) - 0.4) < 1e-9);
    clock.advance(0.3);
    QCOMPARE(vlAlphaValue(&view), 1.0);
    QVERIFY(!view.graphicsEffect());

    // An explicit from value wins over the current value.
    auto explicitFrom = linearAlpha(0.0, 1.0);
    explicitFrom->setFromValue(0.5);
    VLAnimator::addAnimationForKey(&view, explicitFrom, u"fade"_s);
    clock.advance(0.5);
    QVERIFY(std::abs(vlAlphaValue(&view) - 0.25) < 1e-9);
}

void TestAnimation::replacingKeyedAnimation()
{
    VLManualClock clock;
    QWidget view;
    vlSetFrame(&view, QRectF(0, 0, 10, 10));

    CompletionLog first;
    CompletionLog second;
    auto a = linearFrame(QRectF(100, 0, 10, 10), 1.0);
    a->setCompletionBlock(first.block());
    VLAnimator::addAnimationForKey(&view, a, u"k"_s);
    clock.advance(0.5);
    QCOMPARE(vlFrame(&view).x(), 50.0);

    auto b = linearFrame(QRectF(50, 100, 10, 10), 1.0);
    b->setCompletionBlock(second.block());
    VLAnimator::addAnimationForKey(&view, b, u"k"_s);
    QCOMPARE(first.count, 0); // never inside the call that replaced it
    QVERIFY(!a->isRunning());
    QCOMPARE(VLAnimator::animationForKey(&view, u"k"_s), b);
    QCOMPARE(VLAnimator::animationKeys(&view), QStringList{u"k"_s});

    clock.advance(0.5);
    QCOMPARE(first.flags, QList<bool>{false});
    QCOMPARE(vlFrame(&view), QRectF(50, 50, 10, 10)); // b started from where a left the view
    clock.advance(0.5);
    QCOMPARE(second.flags, QList<bool>{true});
    QCOMPARE(first.count, 1);

    // Another key runs side by side.
    auto frame = linearFrame(QRectF(0, 0, 10, 10), 1.0);
    auto alpha = linearAlpha(0.0, 1.0);
    VLAnimator::addAnimationForKey(&view, frame, u"frame"_s);
    VLAnimator::addAnimationForKey(&view, alpha, u"alpha"_s);
    clock.advance(0.5);
    QVERIFY(frame->isRunning() && alpha->isRunning());
    QVERIFY(std::abs(vlAlphaValue(&view) - 0.5) < 1e-9);
    clock.advance(0.5);
}

void TestAnimation::removalCompletesOnceWithFalse()
{
    VLManualClock clock;
    QWidget view;
    CompletionLog log;
    auto a = linearAlpha(0.0, 1.0);
    a->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(&view, a, u"k"_s);
    VLAnimator::removeAnimationForKey(&view, u"k"_s);
    VLAnimator::removeAnimationForKey(&view, u"k"_s);
    VLAnimator::removeAllAnimations(&view);
    QCOMPARE(log.count, 0);
    clock.advance(0.1);
    QCOMPARE(log.flags, QList<bool>{false});
    QCOMPARE(vlAlphaValue(&view), 1.0); // never written

    CompletionLog all;
    auto b = linearAlpha(0.0, 1.0);
    auto c = linearFrame(QRectF(1, 1, 1, 1), 1.0);
    b->setCompletionBlock(all.block());
    c->setCompletionBlock(all.block());
    VLAnimator::addAnimationForKey(&view, b, u"b"_s);
    VLAnimator::addAnimationForKey(&view, c, u"c"_s);
    clock.advance(0.1);
    VLAnimator::removeAllAnimations(&view);
    clock.advance(0.1);
    clock.advance(5.0);
    QCOMPARE(all.flags, (QList<bool>{false, false}));
    QCOMPARE(VLAnimator::instance()->runningAnimationCount(), 0);
}

void TestAnimation::pastBeginTimeStartsAtOnce()
{
    VLManualClock clock;
    QWidget view;
    auto fade = linearAlpha(0.0, 1.0);
    fade->setBeginTime(VLAnimator::currentMediaTime() - 10.0);
    VLAnimator::addAnimationForKey(&view, fade, u"k"_s);
    clock.advance(0.25);
    // Started when added, not skipped ahead by the ten seconds.
    QVERIFY(std::abs(vlAlphaValue(&view) - 0.75) < 1e-9);
    QVERIFY(fade->isRunning());
}

void TestAnimation::futureBeginTimeWaitsAndReadsStartThen()
{
    VLManualClock clock;
    QWidget view;
    CompletionLog log;
    auto fade = linearAlpha(0.0, 0.2);
    fade->setBeginTime(VLAnimator::currentMediaTime() + 0.1);
    fade->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(&view, fade, u"k"_s);
    QVERIFY(fade->isRunning());
    QVERIFY(!fade->hasStarted());

    clock.advance(0.05);
    QCOMPARE(vlAlphaValue(&view), 1.0);
    vlSetAlphaValue(&view, 0.8); // the start value is read when the begin time comes
    clock.advance(0.1);          // 0.05 s past the begin time
    QVERIFY(fade->hasStarted());
    QVERIFY(std::abs(vlAlphaValue(&view) - 0.6) < 1e-9);
    clock.advance(0.15);
    QCOMPARE(vlAlphaValue(&view), 0.0);
    QCOMPARE(log.flags, QList<bool>{true});
}

void TestAnimation::repeatAndAutoreverse_data()
{
    QTest::addColumn<int>("repeatCount");
    QTest::addColumn<bool>("autoreverses");
    QTest::addColumn<QList<double>>("alphas"); // at 0.25 s steps, duration 0.5 s, from 1 to 0
    QTest::addColumn<double>("end");
    QTest::addColumn<double>("endTime");
    QTest::newRow("once") << 1 << false << QList<double>{0.5} << 0.0 << 0.5;
    QTest::newRow("twice") << 2 << false << QList<double>{0.5, 1.0, 0.5} << 0.0 << 1.0;
    QTest::newRow("there and back") << 1 << true << QList<double>{0.5, 0.0, 0.5} << 1.0 << 1.0;
    QTest::newRow("twice there and back")
        << 2 << true << QList<double>{0.5, 0.0, 0.5, 1.0, 0.5, 0.0, 0.5} << 1.0 << 2.0;
}

void TestAnimation::repeatAndAutoreverse()
{
    QFETCH(int, repeatCount);
    QFETCH(bool, autoreverses);
    QFETCH(QList<double>, alphas);
    QFETCH(double, end);
    QFETCH(double, endTime);

    VLManualClock clock;
    QWidget view;
    CompletionLog log;
    auto fade = linearAlpha(0.0, 0.5);
    fade->setFromValue(1.0);
    fade->setRepeatCount(repeatCount);
    fade->setAutoreverses(autoreverses);
    fade->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(&view, fade, u"k"_s);
    double time = 0.0;
    for (double expected : alphas) {
        clock.advance(0.25);
        time += 0.25;
        QVERIFY2(std::abs(vlAlphaValue(&view) - expected) < 1e-9, qPrintable(QString::number(time)));
        QCOMPARE(log.count, 0);
    }
    clock.advance(endTime - time);
    QCOMPARE(vlAlphaValue(&view), end);
    QCOMPARE(log.flags, QList<bool>{true});
}

void TestAnimation::springEndsExactlyOnTarget_data()
{
    QTest::addColumn<double>("bounciness");
    QTest::addColumn<double>("speed");
    QTest::addColumn<bool>("overshoots");
    QTest::newRow("no bounce") << 0.0 << 12.0 << false;
    QTest::newRow("default") << 4.0 << 12.0 << true;
    QTest::newRow("overlay panel") << 8.0 << 30.0 << true;
    QTest::newRow("lively") << 20.0 << 20.0 << true;
}

void TestAnimation::springEndsExactlyOnTarget()
{
    QFETCH(double, bounciness);
    QFETCH(double, speed);
    QFETCH(bool, overshoots);

    VLManualClock clock;
    QWidget parent;
    auto *view = new QWidget(&parent);
    vlSetFrame(view, QRectF(0, 0, 100, 100));
    CompletionLog log;
    auto spring = VLSpringAnimation::animationWithPropertyNamed(kVLViewFrame);
    spring->setToValue(QRectF(0, 300, 100, 100));
    spring->setSpringBounciness(bounciness);
    spring->setSpringSpeed(speed);
    spring->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(view, spring, u"spring"_s);

    double furthest = 0.0;
    int frames = 0;
    while (log.count == 0 && frames < 600) {
        clock.advance(1.0 / 60.0);
        furthest = std::max(furthest, vlFrame(view).y());
        ++frames;
        if (log.count == 0) // width and height were not animated
            QCOMPARE(vlFrame(view).width(), 100.0);
    }
    QCOMPARE(log.flags, QList<bool>{true});
    QVERIFY2(frames < 180, qPrintable(QString::number(frames))); // settles within three seconds
    QCOMPARE(vlFrame(view), QRectF(0, 300, 100, 100));
    QCOMPARE(view->geometry(), QRect(0, 300, 100, 100));
    if (overshoots)
        QVERIFY2(furthest > 300.5, qPrintable(QString::number(furthest)));
    else
        QVERIFY2(furthest <= 300.0 + 1e-9, qPrintable(QString::number(furthest)));
}

void TestAnimation::springRetargetsFromWhereItIs()
{
    VLManualClock clock;
    Constraint constraint;
    CompletionLog log;
    auto spring = VLSpringAnimation::animationWithPropertyNamed(kVLLayoutConstraintConstant);
    spring->setToValue(-20.0);
    spring->setSpringBounciness(10);
    spring->setSpringSpeed(30);
    spring->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(&constraint, spring, u"c"_s);
    clock.advance(0.05);
    const double midway = constraint.constant();
    QVERIFY(midway < 0.0 && midway > -20.0);
    spring->setToValue(40.0);
    clock.advance(0.001);
    // Still moving down: the velocity was kept across the change of target.
    QVERIFY(constraint.constant() < midway);
    for (int i = 0; i < 300 && log.count == 0; ++i)
        clock.advance(1.0 / 60.0);
    QCOMPARE(constraint.constant(), 40.0);
    QCOMPARE(log.flags, QList<bool>{true});
}

void TestAnimation::targetDeletedWhileAnimating()
{
    VLManualClock clock;
    CompletionLog log;
    auto *view = new QWidget;
    auto frame = linearFrame(QRectF(10, 10, 10, 10), 1.0);
    auto alpha = linearAlpha(0.0, 1.0);
    frame->setCompletionBlock(log.block());
    alpha->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(view, frame, u"frame"_s);
    VLAnimator::addAnimationForKey(view, alpha, u"alpha"_s);
    clock.advance(0.3);
    delete view;
    QCOMPARE(log.count, 0);
    clock.advance(0.3);
    QCOMPARE(log.flags, (QList<bool>{false, false}));
    clock.advance(1.0);
    QCOMPARE(log.count, 2);
    QCOMPARE(VLAnimator::instance()->runningAnimationCount(), 0);
}

void TestAnimation::targetDeletedMidTickByAnotherAnimation()
{
    VLManualClock clock;
    QWidget owner;
    QPointer<QWidget> victim = new QWidget(&owner);
    CompletionLog log;

    // The first animation's per-frame block deletes the second animation's target in the same tick.
    auto killer = VLCustomAnimation::animationWithBlock([&](QObject *, VLCustomAnimation *) {
        delete victim.data();
        return false;
    });
    killer->setCompletionBlock(log.block());
    auto doomed = linearAlpha(0.0, 1.0);
    doomed->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(&owner, killer, u"killer"_s);
    VLAnimator::addAnimationForKey(victim.data(), doomed, u"fade"_s);
    clock.advance(0.1);
    QVERIFY(!victim);
    QCOMPARE(log.count, 2);
    QVERIFY(log.flags.contains(true));  // the killer ended normally
    QVERIFY(log.flags.contains(false)); // the fade lost its target
}

void TestAnimation::completionsMayChainAnimations()
{
    VLManualClock clock;
    QWidget view;
    int completions = 0;
    auto first = linearAlpha(0.0, 0.1);
    auto second = linearAlpha(1.0, 0.1);
    first->setCompletionBlock([&](VLAnimation *, bool finished) {
        QVERIFY(finished);
        ++completions;
        VLAnimator::addAnimationForKey(&view, second, u"k"_s); // same key, from inside a completion
        VLAnimator::removeAllAnimations(nullptr);
    });
    second->setCompletionBlock([&](VLAnimation *, bool finished) {
        QVERIFY(finished);
        ++completions;
    });
    VLAnimator::addAnimationForKey(&view, first, u"k"_s);
    clock.advance(0.1);
    QCOMPARE(completions, 1);
    QCOMPARE(vlAlphaValue(&view), 0.0);
    clock.advance(0.05);
    QVERIFY(std::abs(vlAlphaValue(&view) - 0.5) < 1e-9);
    clock.advance(0.05);
    QCOMPARE(completions, 2);

    // An animation may be added again once it has stopped, and completes once more.
    CompletionLog again;
    first->setCompletionBlock(again.block());
    VLAnimator::addAnimationForKey(&view, first, u"again"_s);
    QVERIFY(first->isRunning());
    VLAnimator::removeAllAnimations(&view);
    clock.advance(0.01);
    QCOMPARE(again.flags, QList<bool>{false});
    QCOMPARE(completions, 2);
}

void TestAnimation::keptAnimationAfterCompletion()
{
    VLManualClock clock;
    QWidget view;
    CompletionLog log;
    auto fade = linearAlpha(0.5, 0.1);
    fade->setRemovedOnCompletion(false);
    fade->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(&view, fade, u"k"_s);
    clock.advance(0.2);
    QCOMPARE(log.flags, QList<bool>{true});
    QCOMPARE(VLAnimator::animationForKey(&view, u"k"_s), fade);
    VLAnimator::removeAnimationForKey(&view, u"k"_s);
    clock.advance(0.1);
    QCOMPARE(log.count, 1);
    QVERIFY(!VLAnimator::animationForKey(&view, u"k"_s));
}

void TestAnimation::customAnimationRunsPerFrame()
{
    VLManualClock clock;
    QObject target;
    QList<double> elapsed;
    CompletionLog log;
    auto custom = VLCustomAnimation::animationWithBlock([&](QObject *object, VLCustomAnimation *animation) {
        [&] { QCOMPARE(object, &target); }();
        elapsed.append(animation->elapsedTime());
        return elapsed.size() < 3;
    });
    custom->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(&target, custom, u"progress"_s);
    clock.advance(0.05, 5);
    QCOMPARE(elapsed.size(), 3);
    for (double e : elapsed)
        QVERIFY(std::abs(e - 0.01) < 1e-9);
    QCOMPARE(log.flags, QList<bool>{true});
}

void TestAnimation::customPropertyAndQtProperty()
{
    VLManualClock clock;
    QObject target;
    QList<VLAnimationValues> written;
    auto make = [&] {
        return VLAnimatableProperty::propertyWithName(u"test.pair"_s, [&](VLAnimatableProperty &p) {
            p.setReadBlock([](QObject *) { return VLAnimationValues{1.0, 2.0}; });
            p.setWriteBlock([&](QObject *object, const VLAnimationValues &values) {
                [&] { QCOMPARE(object, &target); }();
                written.append(values);
            });
            p.setThreshold(0.25);
        });
    };
    const VLAnimatablePropertyPtr property = make();
    QVERIFY(make() != property); // each call binds its own callbacks
    QCOMPARE(property->threshold(), 0.25);

    auto animation = VLBasicAnimation::animationWithProperty(property);
    animation->setToValue(QPointF(3.0, 6.0));
    animation->setDuration(1.0);
    animation->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::Linear));
    VLAnimator::addAnimationForKey(&target, animation, u"pair"_s);
    clock.advance(0.5);
    clock.advance(0.5);
    QCOMPARE(written.size(), 2);
    QCOMPARE(written.front(), (VLAnimationValues{2.0, 4.0}));
    QCOMPARE(written.back(), (VLAnimationValues{3.0, 6.0}));

    // A to value of another arity cannot run: it completes with false and writes nothing.
    CompletionLog log;
    auto wrong = VLBasicAnimation::animationWithProperty(property);
    wrong->setToValue(QRectF(1, 2, 3, 4));
    wrong->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(&target, wrong, u"pair"_s);
    QCOMPARE(log.count, 0);
    clock.advance(0.1);
    QCOMPARE(log.flags, QList<bool>{false});
    QCOMPARE(written.size(), 2);

    // The layer position goes by the name the layer animations give it.
    Layer layer;
    layer.setPosition(QPointF(10, 20));
    auto slide = VLBasicAnimation::animationWithPropertyNamed(u"position"_s);
    QVERIFY(slide->property());
    slide->setToValue(QPointF(10, -20));
    slide->setDuration(0.2);
    slide->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::Linear));
    VLAnimator::addAnimationForKey(&layer, slide, u"slideAnimation"_s);
    clock.advance(0.1);
    QVERIFY(std::abs(layer.position().y()) < 1e-6);
    clock.advance(0.1);
    QCOMPARE(layer.position(), QPointF(10, -20));

    QVERIFY(!VLAnimatableProperty::propertyWithName(u"no.such.property"_s));
    QCOMPARE(VLAnimatableProperty::propertyWithName(kVLViewFrame),
             VLAnimatableProperty::propertyWithName(kVLViewFrame));
}

void TestAnimation::frameClockRunsInEventLoop()
{
    QWidget view;
    bool done = false;
    auto fade = linearAlpha(0.0, 0.05);
    fade->setCompletionBlock([&](VLAnimation *, bool finished) { done = finished; });
    const double before = VLAnimator::currentMediaTime();
    VLAnimator::addAnimationForKey(&view, fade, u"k"_s);
    QTRY_VERIFY_WITH_TIMEOUT(done, 2000);
    QCOMPARE(vlAlphaValue(&view), 0.0);
    QVERIFY(VLAnimator::currentMediaTime() - before >= 0.05);
}

void TestAnimation::zeroDurationCompletesOnNextTickAndTellsDelegate()
{
    struct Delegate final : VLAnimationDelegate
    {
        QStringList calls;
        void animationDidStart(VLAnimation *) override { calls << u"start"_s; }
        void animationDidStopFinished(VLAnimation *, bool finished) override
        {
            calls << (finished ? u"stop(1)"_s : u"stop(0)"_s);
        }
    } delegate;
    VLManualClock clock;
    QWidget view;
    CompletionLog log;
    auto instant = linearAlpha(0.25, 0.0);
    instant->setDelegate(&delegate);
    instant->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(&view, instant, u"k"_s);
    QCOMPARE(log.count, 0);
    QVERIFY(delegate.calls.isEmpty()); // nothing is called back from inside the add
    clock.advance(0.0);
    QCOMPARE(vlAlphaValue(&view), 0.25);
    QCOMPARE(log.flags, QList<bool>{true});
    QCOMPARE(delegate.calls, (QStringList{u"start"_s, u"stop(1)"_s}));
}

void TestAnimation::windowFrameSpring()
{
    VLManualClock clock;
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    window.show();
    CompletionLog log;
    auto spring = VLSpringAnimation::animationWithPropertyNamed(kVLWindowFrame);
    spring->setToValue(QRectF(100, 100, 360, 240));
    spring->setSpringBounciness(0.0);
    spring->setCompletionBlock(log.block());
    VLAnimator::addAnimationForKey(&window, spring, u"frame"_s);
    clock.advance(0.1);
    QVERIFY(window.width() > 300 && window.width() < 360);
    for (int i = 0; i < 300 && log.count == 0; ++i)
        clock.advance(1.0 / 60.0);
    QCOMPARE(log.flags, QList<bool>{true});
    QCOMPARE(window.geometry(), QRect(100, 100, 360, 240));
}

void TestAnimation::alphaHelperKeepsEffectOnlyBelowOne()
{
    QWidget view;
    QCOMPARE(vlAlphaValue(&view), 1.0);
    vlSetAlphaValue(&view, 0.4);
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(view.graphicsEffect());
    QVERIFY(effect);
    QCOMPARE(effect->opacity(), 0.4);
    vlSetAlphaValue(&view, -3.0);
    QCOMPARE(vlAlphaValue(&view), 0.0);
    QCOMPARE(effect->opacity(), 0.0);
    vlSetAlphaValue(&view, 7.0);
    QCOMPARE(vlAlphaValue(&view), 1.0);
    QVERIFY(!view.graphicsEffect());

    // Another effect stays; the view then paints its alpha itself.
    QWidget blurred;
    auto *own = new QGraphicsOpacityEffect(&blurred);
    blurred.setGraphicsEffect(own);
    vlSetAlphaValue(&blurred, 0.3);
    QCOMPARE(blurred.graphicsEffect(), own);
    QCOMPARE(vlAlphaValue(&blurred), 0.3);
    vlSetAlphaValue(&blurred, 1.0);
    QCOMPARE(blurred.graphicsEffect(), own);
}

void TestAnimation::frameModelRoundsEdges()
{
    QWidget parent;
    auto *view = new QWidget(&parent);
    vlSetFrame(view, QRectF(10.4, 20.6, 100.0, 30.0));
    QCOMPARE(vlFrame(view), QRectF(10.4, 20.6, 100.0, 30.0));
    QCOMPARE(view->geometry(), QRect(10, 21, 100, 30));
    vlSetFrame(view, QRectF(10.6, 20.4, 100.0, 30.0));
    QCOMPARE(view->geometry(), QRect(11, 20, 100, 30)); // the width does not wobble
    view->setGeometry(0, 0, 5, 5);                      // moved by someone else: its own geometry counts
    QCOMPARE(vlFrame(view), QRectF(0, 0, 5, 5));
}

QTEST_MAIN(TestAnimation)
#include "tst_animation.moc"
