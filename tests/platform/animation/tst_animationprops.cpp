#include "platform/animation/VLAnimationProps.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/view/ViewAlpha.h"
#include "platform/view/ViewFrame.h"

#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {
VLTimingFunction linear()
{
    return VLTimingFunction::functionWithName(VLTimingFunctionName::Linear);
}
} // namespace

class TestAnimationProps : public QObject
{
    Q_OBJECT

private slots:
    void aggregatedFadesEveryItemAsOne();
    void aggregatedOverNothingWritesNothingAndCompletes();
    void frameWithAlpha_data();
    void frameWithAlpha();
    void frameWithAlphaAnimatedSubtitleFlight();
};

void TestAnimationProps::aggregatedFadesEveryItemAsOne()
{
    VLManualClock clock;
    QWidget screen;
    auto *a = new QWidget(&screen);
    auto *b = new QWidget(&screen);
    auto *c = new QWidget(&screen);
    vlSetAlphaValue(a, 0.8);
    vlSetAlphaValue(b, 0.2);
    QObject owner;

    const auto alpha = VLAnimatableProperty::propertyWithName(kVLViewAlphaValue);
    const auto group = VLAnimationProps::aggregatedPropWithItemsUnderlying({a, b, c}, alpha);
    QCOMPARE(group->name(), u"com.nimbrel.Vaultine.prop.aggregated"_s);
    QCOMPARE(group->threshold(), alpha->threshold());
    QCOMPARE(group->read(&owner), VLAnimationValues{0.8}); // the first item's value

    int completions = 0;
    auto fade = animationWithProp<VLBasicAnimation>(group);
    fade->setToValue(0.0);
    fade->setDuration(0.2);
    fade->setTimingFunction(linear());
    fade->setCompletionBlock([&](VLAnimation *, bool finished) { completions += finished ? 1 : 100; });
    VLAnimator::addAnimationForKey(&owner, fade, u"navAnimation"_s);
    clock.advance(0.1);
    // One value for all: from the first item's 0.8 halfway to 0.
    for (QWidget *view : {a, b, c})
        QVERIFY(std::abs(vlAlphaValue(view) - 0.4) < 1e-9);
    delete b; // an item destroyed meanwhile is skipped
    clock.advance(0.1);
    QCOMPARE(vlAlphaValue(a), 0.0);
    QCOMPARE(vlAlphaValue(c), 0.0);
    QCOMPARE(completions, 1);
}

void TestAnimationProps::aggregatedOverNothingWritesNothingAndCompletes()
{
    VLManualClock clock;
    QObject owner;
    const auto group = VLAnimationProps::aggregatedPropWithItemsUnderlying(
        {}, VLAnimatableProperty::propertyWithName(kVLViewAlphaValue));
    group->write(&owner, {0.5});
    QVERIFY(group->read(&owner).empty());
    bool finished = false;
    auto fade = animationWithProp<VLBasicAnimation>(group);
    fade->setToValue(0.0);
    fade->setDuration(0.15);
    fade->setCompletionBlock([&](VLAnimation *, bool f) { finished = f; });
    VLAnimator::addAnimationForKey(&owner, fade, u"navAnimation"_s);
    clock.advance(0.15);
    QVERIFY(finished); // an empty list still ends the transition that waits on it
}

void TestAnimationProps::frameWithAlpha_data()
{
    QTest::addColumn<QRectF>("from");
    QTest::addColumn<QRectF>("to");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QRectF>("written");
    QTest::addColumn<double>("alpha");
    const QRectF start(10, 100, 80, 20);
    const QRectF end(10, 200, 80, 20);
    QTest::newRow("backward at start") << start << end << false << start << 1.0;
    QTest::newRow("backward halfway") << start << end << false << QRectF(30, 150, 40, 10) << 0.5;
    QTest::newRow("backward at D") << start << end << false << end << 0.0;
    QTest::newRow("backward beyond D") << start << end << false << QRectF(10, 260, 80, 20) << 0.0;
    QTest::newRow("backward moving up") << start << end << false << QRectF(10, 75, 80, 20) << 0.75;
    QTest::newRow("forward at start") << start << end << true << start << 0.0;
    QTest::newRow("forward halfway") << start << end << true << QRectF(10, 150, 80, 20) << 0.5;
    QTest::newRow("forward beyond D stays at 1") << start << end << true << QRectF(10, 400, 80, 20) << 1.0;
    QTest::newRow("equal y, backward") << start << QRectF(300, 100, 5, 5) << false << start << 0.0;
    QTest::newRow("equal y, moved") << start << start << false << QRectF(10, 120, 80, 20) << 0.0;
    QTest::newRow("equal y, forward moved") << start << start << true << QRectF(10, 120, 80, 20) << 0.0;
}

void TestAnimationProps::frameWithAlpha()
{
    QFETCH(QRectF, from);
    QFETCH(QRectF, to);
    QFETCH(bool, forward);
    QFETCH(QRectF, written);
    QFETCH(double, alpha);

    QWidget parent;
    auto *view = new QWidget(&parent);
    const auto property = VLAnimationProps::viewFrameWithAlphaFromToValueForward(from, to, forward);
    QCOMPARE(property->name(), u"com.nimbrel.Vaultine.prop.frame"_s);
    QCOMPARE(property->threshold(), 1.0);
    property->write(view, vlAnimationValuesFromRect(written));
    QCOMPARE(vlFrame(view), written);
    QVERIFY2(std::abs(vlAlphaValue(view) - alpha) < 1e-9, qPrintable(QString::number(vlAlphaValue(view))));
    QCOMPARE(vlRectFromAnimationValues(property->read(view)), written);
    QCOMPARE(vlRectFromAnimationValues(property->read(nullptr)), QRectF());
    property->write(nullptr, vlAnimationValuesFromRect(written)); // no view: nothing happens
}

void TestAnimationProps::frameWithAlphaAnimatedSubtitleFlight()
{
    // A subtitle flying up by 100 with the distance set 5 lower keeps 5/105 of its opacity.
    VLManualClock clock;
    QWidget parent;
    auto *subtitle = new QWidget(&parent);
    const QRectF s0(20, 200, 100, 20);
    const QRectF s1 = s0.translated(0, -100);
    vlSetFrame(subtitle, s0);
    const auto property = VLAnimationProps::viewFrameWithAlphaFromToValue(s0, s1.translated(0, -5));
    auto flight = animationWithProp<VLBasicAnimation>(property);
    flight->setFromValue(s0);
    flight->setToValue(s1);
    flight->setDuration(0.2);
    flight->setTimingFunction(linear());
    VLAnimator::addAnimationForKey(subtitle, flight, u"dropAnimation"_s);
    clock.advance(0.1);
    QVERIFY(std::abs(vlAlphaValue(subtitle) - (1.0 - 50.0 / 105.0)) < 1e-9);
    clock.advance(0.1);
    QCOMPARE(vlFrame(subtitle), s1);
    QVERIFY(std::abs(vlAlphaValue(subtitle) - 5.0 / 105.0) < 1e-9);
}

QTEST_MAIN(TestAnimationProps)
#include "tst_animationprops.moc"
