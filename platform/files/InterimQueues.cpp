#include "platform/files/InterimQueues.h"

#include <QRunnable>
#include <QThread>
#include <QThreadPool>

namespace platform::interim {

namespace {

QThreadPool &pool(QueuePriority priority)
{
    // Never destroyed: exit must not wait for work still running on them.
    static QThreadPool *const defaultPool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(qMax(4, QThread::idealThreadCount()));
        p->setThreadPriority(QThread::NormalPriority);
        return p;
    }();
    static QThreadPool *const backgroundPool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(qMax(4, QThread::idealThreadCount()));
        p->setThreadPriority(QThread::LowPriority);
        return p;
    }();
    return priority == QueuePriority::Default ? *defaultPool : *backgroundPool;
}

} // namespace

void dispatchAsync(QueuePriority priority, std::function<void()> work)
{
    pool(priority).start(QRunnable::create(std::move(work)));
}

} // namespace platform::interim
