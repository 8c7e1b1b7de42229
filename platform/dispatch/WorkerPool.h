#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

// A fixed set of threads that belongs to one operation and runs posted work in the order it
// was posted. Unlike the global queues it never shares its threads, so work that waits for other
// work posted to the same pool cannot starve: the operation chooses how much it keeps in flight.
class WorkerPool final
{
public:
    explicit WorkerPool(int threads);
    // Stops the pool.
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // One thread per processor core.
    static int defaultThreadCount();

    int size() const { return int(m_threads.size()); }
    void post(std::function<void()> work);
    // Drops work not started yet and waits for the work that runs; work posted afterwards is
    // dropped. Once it returns, nothing of this pool runs any more.
    void stop();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_quit = false;
    std::vector<std::thread> m_threads;
};

} // namespace platform
