#include "platform/core/Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace platform {
namespace {

std::mutex &sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

LogSink &currentSink()
{
    static LogSink sink;
    return sink;
}

} // namespace

void log(const QString &message)
{
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(message);
        return;
    }
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + u' '
                         + QCoreApplication::applicationName() + u'[' + QString::number(::getpid()) + u':'
                         + QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()), 16) + u"] " + message
                         + u'\n';
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void setLogSink(LogSink sink)
{
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

} // namespace platform
