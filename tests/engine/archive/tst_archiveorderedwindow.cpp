#include "engine/archive/VLOrderedWindow.h"

#include <QTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Job
{
    int index = 0;
    int result = -1;
};

// A gate that work waits at until the test, or other work, opens it.
class Gate
{
public:
    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

} // namespace

class TestOrderedWindow : public QObject
{
    Q_OBJECT

private slots:
    // Work that finishes last to first is still taken first to last, each job whole.
    void takesJobsInTheOrderTheyWereAdded()
    {
        constexpr int count = 4;
        platform::WorkerPool pool(count);
        std::vector<Gate> finished(count);
        std::mutex orderMutex;
        std::vector<int> finishOrder;
        VLOrderedWindow<Job> window(&pool, count);
        for (int i = 0; i < count; ++i) {
            auto job = std::make_shared<Job>();
            job->index = i;
            window.add(job, 0, [&](Job &own) {
                if (own.index + 1 < count)
                    finished[std::size_t(own.index + 1)].wait();
                own.result = own.index * 10;
                {
                    std::lock_guard lock(orderMutex);
                    finishOrder.push_back(own.index);
                }
                finished[std::size_t(own.index)].open();
            });
        }
        QVERIFY(!window.hasRoom());
        for (int i = 0; i < count; ++i) {
            window.waitFront();
            QCOMPARE(window.front()->index, i);
            QCOMPARE(window.front()->result, i * 10);
            window.popFront();
        }
        QVERIFY(window.empty());
        QCOMPARE(finishOrder, (std::vector<int>{3, 2, 1, 0}));
    }

    // Taken as they are done: a slow job lets the done ones behind it go, unless it holds back
    // everything behind it (a folder before its contents), and a job that may only go first
    // waits for its turn.
    void takesDoneJobsAheadOfSlowOnes()
    {
        // 0 slow, 1 done, 2 slow and blocking, 3 done, 4 done but only as the oldest.
        platform::WorkerPool pool(4);
        Gate slowGate;
        Gate blockingGate;
        VLOrderedWindow<Job> window(&pool, 8);
        for (int i = 0; i < 5; ++i) {
            auto job = std::make_shared<Job>();
            job->index = i;
            if (i == 4) {
                window.add(job, 0, {});
                continue;
            }
            window.add(job, 0, [&](Job &own) {
                if (own.index == 0)
                    slowGate.wait();
                if (own.index == 2)
                    blockingGate.wait();
                own.result = own.index;
            });
        }
        const auto mayTake = [](const Job &job, std::size_t index) { return job.index != 4 || index == 0; };
        const auto blocks = [](const Job &job) { return job.index == 2; };
        std::vector<int> taken;
        auto take = [&] {
            const std::shared_ptr<Job> job = window.waitToTake(mayTake, blocks);
            QCOMPARE(job->result, job->index == 4 ? -1 : job->index);
            taken.push_back(job->index);
        };
        take();
        QCOMPARE(taken, (std::vector<int>{1}));
        // Job 3 is done, but behind the blocking job 2.
        std::thread opener([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            blockingGate.open();
        });
        take();
        take();
        opener.join();
        QCOMPARE(taken, (std::vector<int>{1, 2, 3}));
        // Job 4 goes only once the slow job 0, before it, is gone.
        slowGate.open();
        take();
        take();
        QCOMPARE(taken, (std::vector<int>{1, 2, 3, 0, 4}));
        QVERIFY(window.empty());
    }

    void boundsJobsAndCost_data()
    {
        QTest::addColumn<int>("maxJobs");
        QTest::addColumn<int>("maxCost");
        QTest::addColumn<int>("cost");
        QTest::addColumn<int>("admitted");
        QTest::newRow("jobs only") << 3 << std::numeric_limits<int>::max() << 0 << 3;
        QTest::newRow("cost before jobs") << 10 << 10 << 4 << 2;
        QTest::newRow("cost exactly filled") << 10 << 12 << 4 << 3;
        QTest::newRow("jobs before cost") << 2 << 100 << 4 << 2;
        // One job larger than the whole budget still goes: the window never stalls.
        QTest::newRow("first job over the budget") << 10 << 10 << 50 << 1;
    }

    void boundsJobsAndCost()
    {
        QFETCH(int, maxJobs);
        QFETCH(int, maxCost);
        QFETCH(int, cost);
        QFETCH(int, admitted);
        VLOrderedWindow<Job> window(nullptr, std::size_t(maxJobs), std::size_t(maxCost));
        int added = 0;
        while (added < 100 && window.hasRoom(std::size_t(cost))) {
            window.add(std::make_shared<Job>(), std::size_t(cost), {});
            ++added;
        }
        QCOMPARE(added, admitted);
        // Taking a job gives its room back.
        window.popFront();
        QVERIFY(window.hasRoom(std::size_t(cost)));
    }

    // Without a pool the work is done when add returns; without work the job is ready as it is.
    void runsWorkAtOnceWithoutAPool()
    {
        VLOrderedWindow<Job> window(nullptr, 4);
        auto made = std::make_shared<Job>();
        window.add(made, 0, [](Job &job) { job.result = 7; });
        QCOMPARE(made->result, 7);
        auto asIs = std::make_shared<Job>();
        window.add(asIs, 0, {});
        window.waitFront();
        window.popFront();
        window.waitFront();
        QCOMPARE(window.front(), asIs);
        QCOMPARE(asIs->result, -1);
    }

    // Work a stopped pool drops never runs, and waiting for it does not hang.
    void waitsNotForWorkAStoppedPoolDropped()
    {
        platform::WorkerPool pool(2);
        pool.stop();
        std::atomic<int> ran = 0;
        {
            VLOrderedWindow<Job> window(&pool, 4);
            for (int i = 0; i < 3; ++i)
                window.add(std::make_shared<Job>(), 0, [&ran](Job &) { ++ran; });
            window.waitFront();
            QCOMPARE(window.front()->result, -1);
        }
        QCOMPARE(ran.load(), 0);
    }

    // Work still running when the window goes ends first: it may use what the window's owner holds.
    void endsRunningWorkBeforeItGoes()
    {
        constexpr int count = 6;
        platform::WorkerPool pool(3);
        Gate go;
        std::atomic<int> done = 0;
        std::thread opener;
        {
            VLOrderedWindow<Job> window(&pool, count);
            for (int i = 0; i < count; ++i) {
                window.add(std::make_shared<Job>(), 0, [&](Job &) {
                    go.wait();
                    ++done;
                });
            }
            opener = std::thread([&go] { go.open(); });
        }
        QCOMPARE(done.load(), count);
        opener.join();
    }
};

QTEST_GUILESS_MAIN(TestOrderedWindow)
#include "tst_archiveorderedwindow.moc"
