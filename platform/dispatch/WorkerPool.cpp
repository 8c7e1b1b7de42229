#include "platform/dispatch/WorkerPool.h"

#include <algorithm>

namespace platform {

WorkerPool::WorkerPool(int threads)
{
    const int count = std::max(1, threads);
    m_threads.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back(&WorkerPool::run, this);
}

WorkerPool::~WorkerPool()
{
    stop();
}

void WorkerPool::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    for (std::thread &thread : m_threads) {
        if (thread.joinable())
            thread.join();
    }
}

int WorkerPool::defaultThreadCount()
{
    return std::max(1, int(std::thread::hardware_concurrency()));
}

void WorkerPool::post(std::function<void()> work)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_quit)
            return;
        m_queue.push_back(std::move(work));
    }
    m_wake.notify_one();
}

void WorkerPool::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
        if (m_quit)
            return;
        std::function<void()> work = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        work();
        work = nullptr; // what it captured goes before the lock is taken again
        lock.lock();
    }
}

} // namespace platform
