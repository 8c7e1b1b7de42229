#include "screens/VLWiggleAnimation.h"

#include "platform/animation/VLAnimationClock.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/view/ViewFrame.h"

#include <QTest>
#include <QWidget>

#include <memory>

// An icon that draws itself turned, as the result screens' icon views do.
class TurningView final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(double frameCenterRotation READ frameCenterRotation WRITE setFrameCenterRotation)

public:
    using QWidget::QWidget;
    double frameCenterRotation() const { return m_rotation; }
    void setFrameCenterRotation(double degrees) { m_rotation = degrees; }

private:
    double m_rotation = 0.0;
};

class TestWiggleAnimation : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<VLManualClock> m_clock;
    std::unique_ptr<QWidget> m_parent;
    TurningView *m_icon = nullptr;
    const QRectF m_frame{40, 30, 64, 64};

    // Moves the clock to an absolute media time.
    void advanceTo(double time) { m_clock->advance(time - m_clock->now()); }

private slots:
    void init()
    {
        m_clock = std::make_unique<VLManualClock>(1000.0);
        m_parent = std::make_unique<QWidget>();
        m_parent->resize(300, 200);
        m_icon = new TurningView(m_parent.get());
        vlSetFrame(m_icon, m_frame);
    }

    void cleanup()
    {
        m_parent.reset();
        m_clock.reset();
    }

    void noRepetitionsAddNothing_data()
    {
        QTest::addColumn<int>("repetitions");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -2;
    }

    void noRepetitionsAddNothing()
    {
        QFETCH(int, repetitions);
        int completions = 0;
        VLWiggleAnimation::tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitionsCompletion(
            m_icon, m_frame, 0.7, 10.0, m_clock->now() + 1.0, repetitions,
            [&completions](VLAnimation *, bool) { ++completions; });
        QVERIFY(VLAnimator::animationKeys(m_icon).isEmpty());
        m_clock->advance(30.0, 30);
        QCOMPARE(completions, 0);
        QCOMPARE(vlFrame(m_icon), m_frame);
    }

    // The result screens' values: 0.7 s wiggles, 10 s apart, three times.
    void schedulesFiveStepsPerRepetition()
    {
        const double offset = m_clock->now() + 2.0;
        VLWiggleAnimation::tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitions(m_icon, m_frame, 0.7, 10.0,
                                                                                       offset, 3);
        QCOMPARE(VLAnimator::animationKeys(m_icon).size(), 15);

        const QStringList names{QStringLiteral("frame1Animation"), QStringLiteral("rotation1Animation"),
                                QStringLiteral("rotation2Animation"), QStringLiteral("rotation3Animation"),
                                QStringLiteral("frame2Animation")};
        const QList<QVariant> toValues{QVariant(m_frame.adjusted(-10, -10, 10, 10)), QVariant(10.0), QVariant(-10.0),
                                       QVariant(0.0), QVariant(m_frame)};
        for (int i = 0; i < 3; ++i) {
            for (int step = 0; step < 5; ++step) {
                const QString key = names.at(step) + u'_' + QString::number(i);
                auto animation = std::dynamic_pointer_cast<VLBasicAnimation>(VLAnimator::animationForKey(m_icon, key));
                QVERIFY2(animation, qPrintable(key));
                QVERIFY(qFuzzyCompare(animation->duration(), 0.14));
                QVERIFY2(qAbs(animation->beginTime() - (offset + i * 10.7 + step * 0.14)) < 1e-9, qPrintable(key));
                QCOMPARE(animation->toValue(), toValues.at(step));
                QCOMPARE(animation->property()->name(),
                         step == 0 || step == 4 ? kVLViewFrame : kVLViewFrameCenterRotation);
            }
        }
    }

    void wigglesAtTheChosenInstants()
    {
        const double offset = m_clock->now() + 2.0;
        QList<bool> finished;
        VLWiggleAnimation::tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitionsCompletion(
            m_icon, m_frame, 0.7, 10.0, offset, 3, [&finished](VLAnimation *animation, bool done) {
                QVERIFY(animation);
                finished.append(done);
            });
        const QRectF grown = m_frame.adjusted(-10, -10, 10, 10);

        for (int i = 0; i < 3; ++i) {
            const double start = offset + i * 10.7;
            advanceTo(start - 0.05);
            QCOMPARE(vlFrame(m_icon), m_frame);
            QCOMPARE(m_icon->frameCenterRotation(), 0.0);

            advanceTo(start + 0.07); // half way through growing
            QVERIFY(vlFrame(m_icon).width() > m_frame.width());
            QVERIFY(vlFrame(m_icon).width() < grown.width());
            advanceTo(start + 0.14);
            QCOMPARE(vlFrame(m_icon), grown);
            advanceTo(start + 0.28);
            QCOMPARE(m_icon->frameCenterRotation(), 10.0);
            QCOMPARE(vlFrame(m_icon), grown);
            advanceTo(start + 0.42);
            QCOMPARE(m_icon->frameCenterRotation(), -10.0);
            advanceTo(start + 0.56);
            QCOMPARE(m_icon->frameCenterRotation(), 0.0);
            QCOMPARE(finished.size(), i);
            advanceTo(start + 0.70);
            QCOMPARE(vlFrame(m_icon), m_frame);
            m_clock->advance(0.02); // completions come with the next frame
            QCOMPARE(finished.size(), i + 1);
            QVERIFY(finished.last());
        }
        m_clock->advance(30.0, 30);
        QCOMPARE(finished.size(), 3);
        QCOMPARE(VLAnimator::instance()->runningAnimationCount(), 0);
    }

    void wigglesAroundTheFrameGivenAtTheCall()
    {
        const double offset = m_clock->now() + 1.0;
        VLWiggleAnimation::tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitions(m_icon, m_frame, 0.7, 10.0,
                                                                                       offset, 1);
        // Something else moves the icon before the wiggle starts.
        vlSetFrame(m_icon, QRectF(200, 120, 64, 64));
        advanceTo(offset + 0.14);
        QCOMPARE(vlFrame(m_icon), m_frame.adjusted(-10, -10, 10, 10));
        advanceTo(offset + 0.7);
        QCOMPARE(vlFrame(m_icon), m_frame);
    }

    // A view without a turn property still grows and shrinks; its steps do not stall the rest.
    void plainViewOnlyGrows()
    {
        auto *plain = new QWidget(m_parent.get());
        vlSetFrame(plain, m_frame);
        int completions = 0;
        const double offset = m_clock->now() + 0.5;
        VLWiggleAnimation::tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitionsCompletion(
            plain, m_frame, 0.7, 10.0, offset, 1, [&completions](VLAnimation *, bool) { ++completions; });
        advanceTo(offset + 0.3);
        QCOMPARE(vlFrame(plain), m_frame.adjusted(-10, -10, 10, 10));
        advanceTo(offset + 0.75);
        QCOMPARE(vlFrame(plain), m_frame);
        QCOMPARE(completions, 1);
    }
};

QTEST_MAIN(TestWiggleAnimation)
#include "tst_wiggleanimation.moc"
