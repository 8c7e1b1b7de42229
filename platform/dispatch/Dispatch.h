#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <semaphore>

class QThreadPool;

// The thin dispatch layer: two global work queues, hand-over to the main (QCoreApplication)
// thread, semaphores with deadlines, groups and once-only initialisation.
namespace platform {

enum class QueuePriority {
    Default,    // the opener's background open, the file monitor's sources
    Background, // jobs, transfers, sizes, icons, clean-up
};

// The global queue of a priority. The pools are created on first use and never destroyed, so
// that leaving the process does not wait for work still running on them. Tests may waitForDone().
QThreadPool &globalQueue(QueuePriority priority);

// Runs work on a thread of the global queue of that priority.
void dispatchAsync(QueuePriority priority, std::function<void()> work);

// True on the thread of the QCoreApplication (false when there is none).
bool isMainThread();

// Queues work to the main thread's event loop; it runs after the current event, also when
// called from the main thread. Dropped when there is no QCoreApplication.
void dispatchToMain(std::function<void()> work);

// As above, but the work is dropped when `receiver` (a main-thread object) is gone by the time
// it would run.
void dispatchToMain(QObject *receiver, std::function<void()> work);

// Runs work on the main thread and returns once it has run. Called on the main thread it runs
// inline, so it never deadlocks there; from another thread it blocks until the main loop has
// run it (the caller must not hold anything the main thread waits for).
void dispatchSyncToMain(const std::function<void()> &work);

using DispatchDeadline = std::chrono::steady_clock::time_point;

// A counting semaphore (dispatch_semaphore): signal() adds one, wait() takes one.
class Semaphore final
{
public:
    explicit Semaphore(std::ptrdiff_t initial = 0) : m_semaphore(initial) {}
    Q_DISABLE_COPY_MOVE(Semaphore)

    void signal() { m_semaphore.release(); }
    void wait() { m_semaphore.acquire(); }
    // False when the timeout passed without a signal.
    [[nodiscard]] bool waitFor(std::chrono::milliseconds timeout) { return m_semaphore.try_acquire_for(timeout); }
    [[nodiscard]] bool waitUntil(DispatchDeadline deadline) { return m_semaphore.try_acquire_until(deadline); }
    [[nodiscard]] bool tryWait() { return m_semaphore.try_acquire(); }

private:
    std::counting_semaphore<> m_semaphore;
};

// A dispatch group: enter() before work starts, leave() when it ends; wait() until none is left.
class DispatchGroup final
{
public:
    DispatchGroup() = default;
    Q_DISABLE_COPY_MOVE(DispatchGroup)

    void enter();
    void leave();
    // Runs work on the queue of that priority inside the group (which must outlive the work).
    void async(QueuePriority priority, std::function<void()> work);
    void wait();
    // False when work was still in the group at the deadline.
    [[nodiscard]] bool waitFor(std::chrono::milliseconds timeout);

private:
    std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_count = 0;
};

// Once-only initialisation (dispatch_once). Function-local statics cover most single instances;
// this is for the places that initialise something other than a static.
using OnceFlag = std::once_flag;
template <class Function>
void dispatchOnce(OnceFlag &flag, Function &&function)
{
    std::call_once(flag, std::forward<Function>(function));
}

} // namespace platform
