#pragma once

#include "platform/dispatch/WorkerPool.h"

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>

// Work handed to a pool's workers a bounded amount ahead of one consuming thread, which takes
// the jobs in the order they were added, or (waitToTake) the first done job that it may take out
// of turn. The bound is a number of jobs and, optionally, a cost (bytes a made job holds); the
// first job always fits, so one costly job cannot stall the window.
// Each job's state is its own: the window only tracks whether its work is done.
template <typename Job>
class VLOrderedWindow final
{
public:
    using Work = std::function<void(Job &)>;

    // Without a pool, work runs at once on the adding thread.
    VLOrderedWindow(platform::WorkerPool *pool, std::size_t maxJobs,
                    std::size_t maxCost = std::numeric_limits<std::size_t>::max())
        : m_pool(pool)
        , m_maxJobs(maxJobs)
        , m_maxCost(maxCost)
    {
    }
    // Work still in flight may use what its owner holds: it ends (or, on a stopped pool, is
    // dropped) before the window goes.
    ~VLOrderedWindow() { drain(); }
    Q_DISABLE_COPY_MOVE(VLOrderedWindow)

    // The workers of an operation asked for `requested` (0: one per core).
    static int poolSize(int requested)
    {
        return requested > 0 ? requested : platform::WorkerPool::defaultThreadCount();
    }

    bool empty() const { return m_entries.empty(); }
    bool hasRoom(std::size_t cost = 0) const
    {
        if (m_entries.empty())
            return true;
        return m_entries.size() < m_maxJobs && m_cost + cost <= m_maxCost;
    }

    // Adds a job. Its work runs on the pool; without work the job is ready as it stands (its
    // consumer makes it when its turn comes).
    void add(std::shared_ptr<Job> job, std::size_t cost, Work work)
    {
        auto entry = std::make_shared<Entry>();
        entry->job = std::move(job);
        entry->cost = cost;
        m_cost += cost;
        m_entries.push_back(entry);
        if (!work) {
            entry->ready = true;
        } else if (!m_pool) {
            work(*entry->job);
            entry->ready = true;
        } else {
            // The job is done when the pool lets go of its work, after running it or when a
            // stopped pool drops it: a drain never waits for work that will not run.
            const std::shared_ptr<Signal> signal = m_signal;
            std::shared_ptr<Entry> finisher(entry.get(), [signal, entry](Entry *) { signal->finish(*entry); });
            m_pool->post([finisher, work = std::move(work)] { work(*finisher->job); });
        }
    }

    // The oldest job; its work may still run until waitFront() returns.
    const std::shared_ptr<Job> &front() const { return m_entries.front()->job; }
    void waitFront() { m_signal->wait(*m_entries.front()); }
    // False when the timeout passed first.
    bool waitFront(std::chrono::milliseconds timeout) { return m_signal->wait(*m_entries.front(), timeout); }
    void popFront()
    {
        m_cost -= m_entries.front()->cost;
        m_entries.pop_front();
    }

    // Waits until a done job may be taken and removes it from the window. `mayTake(job, index)` is
    // asked about the done jobs from the oldest on and says whether that one may go now; `blocks(job)`
    // says whether a job that is not done yet holds back every job behind it. With nothing left
    // that could be taken, the oldest job's work is awaited.
    template <typename MayTake, typename Blocks>
    std::shared_ptr<Job> waitToTake(MayTake mayTake, Blocks blocks)
    {
        Q_ASSERT(!m_entries.empty());
        std::unique_lock lock(m_signal->mutex);
        for (;;) {
            bool pending = false;
            for (std::size_t i = 0; i < m_entries.size(); ++i) {
                const Entry &entry = *m_entries[i];
                if (entry.ready && mayTake(*entry.job, i)) {
                    lock.unlock();
                    return takeAt(i);
                }
                if (!entry.ready) {
                    pending = true;
                    if (blocks(*entry.job))
                        break;
                }
            }
            // Every job is done and none may go: the oldest goes, as in order.
            if (!pending) {
                lock.unlock();
                return takeAt(0);
            }
            // Woken by the next job that is done, whichever it is.
            m_signal->awaitsAny = true;
            m_signal->done.wait(lock);
            m_signal->awaitsAny = false;
        }
    }

    // Waits for every job's work.
    void drain()
    {
        for (const std::shared_ptr<Entry> &entry : m_entries)
            m_signal->wait(*entry);
    }

private:
    std::shared_ptr<Job> takeAt(std::size_t index)
    {
        const auto at = m_entries.begin() + std::ptrdiff_t(index);
        std::shared_ptr<Job> job = (*at)->job;
        m_cost -= (*at)->cost;
        m_entries.erase(at);
        return job;
    }

    struct Entry
    {
        std::shared_ptr<Job> job;
        std::size_t cost = 0;
        bool ready = false; // guarded by Signal::mutex once the work is posted
    };
    // Shared with the posted work, which may finish after the window is gone.
    struct Signal
    {
        std::mutex mutex;
        std::condition_variable done;
        const Entry *awaited = nullptr;
        bool awaitsAny = false;

        void finish(Entry &entry)
        {
            // Only the job the consumer waits for wakes it: it takes every job ready by then in
            // one go, so a busy machine does not pay a wake-up for each small job.
            bool wake = false;
            {
                std::lock_guard lock(mutex);
                entry.ready = true;
                wake = awaitsAny || awaited == &entry;
            }
            if (wake)
                done.notify_all();
        }
        bool wait(const Entry &entry, std::chrono::milliseconds timeout)
        {
            std::unique_lock lock(mutex);
            awaited = &entry;
            const bool ready = done.wait_for(lock, timeout, [&entry] { return entry.ready; });
            awaited = nullptr;
            return ready;
        }
        void wait(const Entry &entry)
        {
            while (!wait(entry, std::chrono::hours(1))) {
            }
        }
    };

    platform::WorkerPool *m_pool;
    std::size_t m_maxJobs;
    std::size_t m_maxCost;
    std::size_t m_cost = 0;
    std::deque<std::shared_ptr<Entry>> m_entries;
    std::shared_ptr<Signal> m_signal = std::make_shared<Signal>();
};
