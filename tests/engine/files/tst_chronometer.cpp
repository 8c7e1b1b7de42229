#include "engine/files/VLChronometer.h"
#include "platform/core/SystemInfo.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/RepeatingTimer.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

class Recorder final : public VLChronometerDelegate
{
public:
    void chronometerDidUpdateRemainingTime(VLChronometer *chronometer, double seconds) override
    {
        senders << chronometer;
        estimates << seconds;
        onMain << platform::isMainThread();
    }
    QList<VLChronometer *> senders;
    QList<double> estimates;
    QList<bool> onMain;
};

using namespace std::chrono_literals;

} // namespace

class TestChronometer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { platform::setPreferredLanguagesOverride(QStringList{u"en"_qs}); }

    void estimates_data()
    {
        QTest::addColumn<double>("progress");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<double>("estimate");
        QTest::addColumn<QString>("text");
        QTest::newRow("half way after ten seconds") << 50.0 << 10 << 10.0 << u"About 11 seconds"_qs;
        QTest::newRow("no progress yet, one tick") << 0.0 << 1 << 99.0 << u"About 1 minute"_qs;
        QTest::newRow("no progress yet, three ticks") << 0.0 << 3 << 297.0 << u"About 4 minutes"_qs;
        QTest::newRow("done") << 100.0 << 4 << 0.0 << u"About 1 second"_qs;
        QTest::newRow("a quarter after one second") << 25.0 << 1 << 3.0 << u"About 4 seconds"_qs;
        QTest::newRow("ten percent after a minute") << 10.0 << 60 << 540.0 << u"About 9 minutes"_qs;
        QTest::newRow("past the end reads as no time left") << 150.0 << 2 << -2.0 / 3.0 << u"About 1 second"_qs;
    }

    void estimates()
    {
        QFETCH(double, progress);
        QFETCH(int, ticks);
        QFETCH(double, estimate);
        QFETCH(QString, text);
        VLChronometer chronometer;
        Recorder recorder;
        chronometer.setDelegate(&recorder);
        chronometer.updateProgress(progress);
        for (int i = 0; i < ticks; ++i)
            chronometer.recalculateTime();
        QCOMPARE(chronometer.measuredTime(), double(ticks));
        QVERIFY(qAbs(chronometer.remainingTime() - estimate) < 1e-9);
        QCOMPARE(chronometer.remainingTimeString(), text);
        QCOMPARE(recorder.estimates.size(), ticks);
        QVERIFY(qAbs(recorder.estimates.last() - estimate) < 1e-9);
        QCOMPARE(recorder.senders.last(), &chronometer);
    }

    void noProgressAddsNinetyNineSecondsEachTick()
    {
        VLChronometer chronometer;
        Recorder recorder;
        chronometer.setDelegate(&recorder);
        for (int i = 0; i < 5; ++i)
            chronometer.recalculateTime();
        QCOMPARE(recorder.estimates, QList<double>({99, 198, 297, 396, 495}));
    }

    void texts_data()
    {
        QTest::addColumn<quint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << quint64(0) << u"About 1 second"_qs;
        QTest::newRow("1") << quint64(1) << u"About 2 seconds"_qs;
        QTest::newRow("10") << quint64(10) << u"About 11 seconds"_qs;
        QTest::newRow("58") << quint64(58) << u"About 59 seconds"_qs;
        QTest::newRow("59") << quint64(59) << u"About 1 minute"_qs;
        QTest::newRow("119") << quint64(119) << u"About 2 minutes"_qs;
        QTest::newRow("3598") << quint64(3598) << u"About 59 minutes"_qs;
        QTest::newRow("3599") << quint64(3599) << u"About 1 hour"_qs;
        QTest::newRow("7199") << quint64(7199) << u"About 2 hours"_qs;
        QTest::newRow("86398") << quint64(86398) << u"About 23 hours"_qs;
        QTest::newRow("86399") << quint64(86399) << u"About 1 day"_qs;
        QTest::newRow("364 days") << quint64(364) * 86400 << u"About 364 days"_qs;
        QTest::newRow("365 days") << quint64(365) * 86400 << u"About 365 days"_qs;
        QTest::newRow("ten years") << quint64(3650) * 86400 << u"About 365 days"_qs;
        QTest::newRow("largest") << std::numeric_limits<quint64>::max() << u"About 365 days"_qs;
    }

    void texts()
    {
        QFETCH(quint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(VLChronometer::transformedTimeFromSeconds(seconds), text);
    }

    void stopZeroesAndIsFinal()
    {
        VLChronometer chronometer;
        QVERIFY(chronometer.isMeasuring()); // also before start
        chronometer.updateProgress(40);
        chronometer.recalculateTime();
        const QString text = chronometer.remainingTimeString();
        QVERIFY(!text.isEmpty());
        chronometer.stop();
        QVERIFY(!chronometer.isMeasuring());
        QCOMPARE(chronometer.measuredTime(), 0.0);
        QCOMPARE(chronometer.remainingTime(), 0.0);
        QCOMPARE(chronometer.progress(), 0.0);
        QCOMPARE(chronometer.remainingTimeString(), text);

        // Never scheduled again.
        chronometer.start();
        QCoreApplication::processEvents();
        QVERIFY(!chronometer.isTimerScheduled());
        chronometer.stop(); // a second stop is harmless
    }

    void stopBeforeStartOnlyInvalidates()
    {
        platform::ManualTimers time;
        VLChronometer chronometer;
        Recorder recorder;
        chronometer.setDelegate(&recorder);
        chronometer.stop();
        chronometer.start();
        QCoreApplication::processEvents();
        time.advance(5s);
        QVERIFY(recorder.estimates.isEmpty());
        QVERIFY(!chronometer.isTimerScheduled());
        QCOMPARE(time.activeTimers(), 0);
    }

    void tickOnceASecondOnTheMainThread()
    {
        platform::ManualTimers time;
        auto chronometer = std::make_unique<VLChronometer>();
        Recorder recorder;
        chronometer->setDelegate(&recorder);
        chronometer->updateProgress(50);
        // The jobs start it from their worker thread; the timer is made on the main thread.
        platform::Semaphore started;
        platform::dispatchAsync(platform::QueuePriority::Background, [&] {
            chronometer->start();
            started.signal();
        });
        QVERIFY(started.waitFor(std::chrono::seconds(5)));
        QTRY_VERIFY(chronometer->isTimerScheduled());
        time.advance(999ms);
        QVERIFY(recorder.estimates.isEmpty()); // nothing before a full second
        time.advance(1ms);
        QCOMPARE(recorder.estimates, (QList<double>{1.0}));
        time.advance(2s);
        QCOMPARE(recorder.estimates, (QList<double>{1.0, 2.0, 3.0}));
        QVERIFY(!recorder.onMain.contains(false));

        // Stopped from another thread: no further tick.
        platform::Semaphore stopped;
        platform::dispatchAsync(platform::QueuePriority::Background, [&] {
            chronometer->stop();
            stopped.signal();
        });
        QVERIFY(stopped.waitFor(std::chrono::seconds(5)));
        QTRY_COMPARE(time.activeTimers(), 0);
        time.advance(5s);
        QCOMPARE(recorder.estimates.size(), 3);
        QVERIFY(!chronometer->isTimerScheduled());
    }

    void stopWaitsForATickUnderWay()
    {
        // The job stops its chronometer from the worker thread and then reports the end: no
        // estimate may arrive after the stop has returned.
        class SlowDelegate final : public VLChronometerDelegate
        {
        public:
            void chronometerDidUpdateRemainingTime(VLChronometer *, double) override
            {
                if (calls.fetch_add(1) == 0) {
                    inTick.signal();
                    QThread::msleep(300);
                }
                finished.store(true);
            }
            std::atomic<int> calls = 0;
            std::atomic<bool> finished = false;
            platform::Semaphore inTick;
        };
        platform::ManualTimers time;
        VLChronometer chronometer;
        SlowDelegate delegate;
        chronometer.setDelegate(&delegate);
        chronometer.start();
        QCoreApplication::processEvents();
        std::atomic<bool> stoppedAfterTick = false;
        platform::Semaphore stopped;
        platform::dispatchAsync(platform::QueuePriority::Background, [&] {
            QVERIFY(delegate.inTick.waitFor(std::chrono::seconds(10)));
            chronometer.stop();
            stoppedAfterTick.store(delegate.finished.load());
            stopped.signal();
        });
        time.advance(1s); // the tick that the stop must wait for
        QVERIFY(stopped.waitFor(std::chrono::seconds(10)));
        QVERIFY(stoppedAfterTick.load());
        QCoreApplication::processEvents();
        time.advance(3s);
        QCOMPARE(delegate.calls.load(), 1);
    }

    void destroyedWhileRunning()
    {
        platform::ManualTimers time;
        Recorder recorder;
        {
            VLChronometer chronometer;
            chronometer.setDelegate(&recorder);
            chronometer.start();
            QCoreApplication::processEvents();
            QVERIFY(chronometer.isTimerScheduled());
        }
        QCoreApplication::processEvents();
        QCOMPARE(time.activeTimers(), 0);
        time.advance(3s);
        QVERIFY(recorder.estimates.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestChronometer)
#include "tst_chronometer.moc"
