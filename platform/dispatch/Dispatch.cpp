#include "platform/dispatch/Dispatch.h"

#include <QCoreApplication>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>

namespace platform {

namespace {

QThreadPool *makePool(QThread::Priority priority)
{
    auto *pool = new QThreadPool;
    // Work on these queues may block on a semaphore for a long time (a parked open waiting for
    // the next password), so the pools are wide; idle threads expire on their own.
    pool->setMaxThreadCount(qMax(32, 4 * QThread::idealThreadCount()));
    pool->setThreadPriority(priority);
    return pool;
}

} // namespace

QThreadPool &globalQueue(QueuePriority priority)
{
    static QThreadPool *const defaultQueue = makePool(QThread::NormalPriority);
    static QThreadPool *const backgroundQueue = makePool(QThread::LowPriority);
    return priority == QueuePriority::Default ? *defaultQueue : *backgroundQueue;
}

void dispatchAsync(QueuePriority priority, std::function<void()> work)
{
    globalQueue(priority).start(std::move(work));
}

bool isMainThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void dispatchToMain(std::function<void()> work)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void dispatchToMain(QObject *receiver, std::function<void()> work)
{
    dispatchToMain([guard = QPointer<QObject>(receiver), work = std::move(work)] {
        if (guard)
            work();
    });
}

void dispatchSyncToMain(const std::function<void()> &work)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(app, work, Qt::BlockingQueuedConnection);
}

void DispatchGroup::enter()
{
    const std::lock_guard lock(m_mutex);
    ++m_count;
}

void DispatchGroup::leave()
{
    const std::lock_guard lock(m_mutex);
    if (--m_count == 0)
        m_idle.notify_all();
}

void DispatchGroup::async(QueuePriority priority, std::function<void()> work)
{
    enter();
    dispatchAsync(priority, [this, work = std::move(work)] {
        work();
        leave();
    });
}

void DispatchGroup::wait()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_count == 0; });
}

bool DispatchGroup::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, timeout, [this] { return m_count == 0; });
}

} // namespace platform
