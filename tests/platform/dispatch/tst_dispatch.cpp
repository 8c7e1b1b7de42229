#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/WorkerPool.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

using namespace std::chrono_literals;

class TestDispatch : public QObject
{
    Q_OBJECT

private slots:
    void asyncRunsOffTheMainThread_data()
    {
        QTest::addColumn<platform::QueuePriority>("priority");
        QTest::newRow("default") << platform::QueuePriority::Default;
        QTest::newRow("background") << platform::QueuePriority::Background;
    }

    void asyncRunsOffTheMainThread()
    {
        QFETCH(platform::QueuePriority, priority);
        std::atomic<QThread *> ranOn = nullptr;
        std::atomic<bool> wasMain = true;
        platform::Semaphore done;
        platform::dispatchAsync(priority, [&] {
            ranOn = QThread::currentThread();
            wasMain = platform::isMainThread();
            done.signal();
        });
        QVERIFY(done.waitFor(5s));
        QVERIFY(ranOn.load() != QThread::currentThread());
        QVERIFY(!wasMain);
        QVERIFY(platform::isMainThread());
    }

    void manyBlockedWorkersDoNotStarveTheQueue()
    {
        // A parked worker (waiting for a password) must not keep later work from running.
        platform::Semaphore release;
        platform::Semaphore ran;
        const int blocked = QThread::idealThreadCount() + 2;
        for (int i = 0; i < blocked; ++i)
            platform::dispatchAsync(platform::QueuePriority::Default, [&] { release.wait(); });
        platform::dispatchAsync(platform::QueuePriority::Default, [&] { ran.signal(); });
        QVERIFY(ran.waitFor(5s));
        for (int i = 0; i < blocked; ++i)
            release.signal();
        QVERIFY(platform::globalQueue(platform::QueuePriority::Default).waitForDone(5000));
    }

    void toMainRunsOnTheMainThreadInOrder()
    {
        QList<int> order;
        std::atomic<bool> allOnMain = true;
        platform::dispatchAsync(platform::QueuePriority::Background, [&] {
            for (int i = 0; i < 5; ++i) {
                platform::dispatchToMain([&, i] {
                    allOnMain = allOnMain && platform::isMainThread();
                    order << i;
                });
            }
        });
        QTRY_COMPARE(order, QList<int>({0, 1, 2, 3, 4}));
        QVERIFY(allOnMain);
    }

    void toMainFromMainIsQueuedNotInline()
    {
        bool ran = false;
        platform::dispatchToMain([&] { ran = true; });
        QVERIFY(!ran);
        QTRY_VERIFY(ran);
    }

    void toMainIsDroppedWhenTheReceiverIsGone()
    {
        auto *receiver = new QObject;
        auto *survivor = new QObject;
        bool droppedRan = false;
        bool keptRan = false;
        platform::dispatchToMain(receiver, [&] { droppedRan = true; });
        platform::dispatchToMain(survivor, [&] { keptRan = true; });
        delete receiver;
        QTRY_VERIFY(keptRan);
        QCoreApplication::processEvents();
        QVERIFY(!droppedRan);
        delete survivor;
    }

    void syncToMainIsInlineOnMainAndBlocksElsewhere()
    {
        bool inlineRan = false;
        platform::dispatchSyncToMain([&] { inlineRan = true; });
        QVERIFY(inlineRan);

        std::atomic<bool> ranOnMain = false;
        std::atomic<bool> returnedAfterRun = false;
        std::atomic<bool> finished = false;
        platform::dispatchAsync(platform::QueuePriority::Background, [&] {
            platform::dispatchSyncToMain([&] {
                QThread::msleep(50);
                ranOnMain = platform::isMainThread();
            });
            returnedAfterRun = ranOnMain.load();
            finished = true;
        });
        QTRY_VERIFY(finished);
        QVERIFY(ranOnMain);
        QVERIFY(returnedAfterRun);
    }

    void semaphoreDeadlines()
    {
        platform::Semaphore semaphore;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!semaphore.waitFor(100ms));
        QVERIFY(timer.elapsed() >= 90);
        QVERIFY(!semaphore.waitUntil(std::chrono::steady_clock::now() + 10ms));

        semaphore.signal();
        QVERIFY(semaphore.waitFor(0ms));
        QVERIFY(!semaphore.tryWait());

        platform::Semaphore counted(2);
        QVERIFY(counted.tryWait());
        QVERIFY(counted.tryWait());
        QVERIFY(!counted.tryWait());

        // A signal from another thread wakes a waiter before its deadline.
        platform::dispatchAsync(platform::QueuePriority::Default, [&] {
            QThread::msleep(30);
            semaphore.signal();
        });
        timer.restart();
        QVERIFY(semaphore.waitFor(5s));
        QVERIFY(timer.elapsed() < 4000);
    }

    void groupWaitsForAllWork()
    {
        platform::DispatchGroup group;
        std::atomic<int> count = 0;
        platform::Semaphore gate;
        for (int i = 0; i < 8; ++i) {
            group.async(platform::QueuePriority::Background, [&] {
                gate.wait();
                ++count;
            });
        }
        QVERIFY(!group.waitFor(50ms));
        for (int i = 0; i < 8; ++i)
            gate.signal();
        QVERIFY(group.waitFor(5s));
        QCOMPARE(count.load(), 8);
        group.wait(); // an empty group returns at once
    }

    void onceRunsOnce()
    {
        platform::OnceFlag flag;
        std::atomic<int> runs = 0;
        platform::DispatchGroup group;
        for (int i = 0; i < 8; ++i)
            group.async(platform::QueuePriority::Default, [&] { platform::dispatchOnce(flag, [&] { ++runs; }); });
        group.wait();
        QCOMPARE(runs.load(), 1);
    }

    // A pool runs its work on as many threads as it has, at once; going away, it waits for the
    // work that runs.
    void workerPoolRunsOnItsThreadsAndDropsQueuedWork()
    {
        std::mutex mutex;
        std::set<std::thread::id> threads;
        std::atomic<int> ran = 0;
        {
            platform::WorkerPool pool(3);
            QCOMPARE(pool.size(), 3);
            platform::Semaphore started;
            platform::Semaphore release;
            for (int i = 0; i < 3; ++i) {
                pool.post([&] {
                    {
                        std::lock_guard lock(mutex);
                        threads.insert(std::this_thread::get_id());
                    }
                    started.signal();
                    release.wait();
                    ++ran;
                });
            }
            // Each piece waits for the others to have started: they run on three threads at once.
            for (int i = 0; i < 3; ++i)
                QVERIFY(started.waitFor(std::chrono::seconds(10)));
            for (int i = 0; i < 3; ++i)
                release.signal();
        }
        QCOMPARE(threads.size(), std::size_t(3));
        QCOMPARE(ran.load(), 3);
        QVERIFY(platform::WorkerPool::defaultThreadCount() >= 1);
    }

    // Work posted from several threads at once runs once each; a stop drops the work still
    // queued, waits for the work that runs and drops what is posted after it.
    void workerPoolRunsEachPieceOnceAndAStopDropsTheRest()
    {
        platform::WorkerPool pool(4);
        std::atomic<int> ran = 0;
        constexpr int perPoster = 20000;
        auto postMany = [&] {
            for (int i = 0; i < perPoster; ++i)
                pool.post([&ran] { ++ran; });
        };
        std::thread other(postMany);
        postMany();
        other.join();
        QTRY_COMPARE_WITH_TIMEOUT(ran.load(), 2 * perPoster, 30000);

        platform::Semaphore started;
        std::atomic<bool> released = false;
        std::atomic<int> finished = 0;
        for (int i = 0; i < pool.size(); ++i) {
            pool.post([&] {
                started.signal();
                while (!released)
                    std::this_thread::sleep_for(1ms);
                ++finished;
            });
        }
        for (int i = 0; i < pool.size(); ++i)
            QVERIFY(started.waitFor(std::chrono::seconds(10)));
        std::atomic<int> queuedRan = 0;
        for (int i = 0; i < 100; ++i)
            pool.post([&queuedRan] { ++queuedRan; });
        std::thread releaser([&released] {
            std::this_thread::sleep_for(200ms);
            released = true;
        });
        pool.stop();
        releaser.join();
        QCOMPARE(finished.load(), pool.size());
        QCOMPARE(queuedRan.load(), 0);
        pool.post([&queuedRan] { ++queuedRan; });
        pool.stop();
        QCOMPARE(queuedRan.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDispatch)
#include "tst_dispatch.moc"
