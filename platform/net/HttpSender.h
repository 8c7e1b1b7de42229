#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

class QThread;

namespace platform {

struct HttpRequest
{
    HttpRequest() = default;
    explicit HttpRequest(QUrl address, QList<std::pair<QByteArray, QByteArray>> fields = {})
        : url(std::move(address))
        , headers(std::move(fields))
    {
    }

    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers;
    // A request with a body is sent as a POST of that body; without one, as a GET.
    QByteArray body;
    // Aborts a request that has not finished within this time.
    std::chrono::milliseconds timeout{60000};
};

struct HttpResponse
{
    // What went wrong below HTTP (refused, reset, timed out, cancelled); NoFailure with an answer.
    enum class Failure { NoFailure, ConnectionRefused, HostNotFound, TimedOut, Cancelled, Other };

    Failure failure = Failure::Other;
    int statusCode = 0;
    QByteArray body;
    QString errorString;

    // Whether an HTTP answer arrived (of any status).
    bool answered() const { return failure == Failure::NoFailure; }
    bool succeeded() const { return answered() && statusCode >= 200 && statusCode < 300; }
};

// Sends GET and POST requests from its own worker thread; the QNetworkAccessManager lives on that
// thread. Queued requests go one at a time, first in first out, and their answers are delivered on
// the thread of a context object. A synchronous send goes out at once, beside the queue, and
// blocks its caller on a semaphore, never in an event loop.
class HttpSender final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpSender)

public:
    using Completion = std::function<void(const HttpResponse &)>;

    explicit HttpSender(QObject *parent = nullptr);
    // Cancels what is queued or in flight and stops the worker.
    ~HttpSender() override;

    // Queues the request. The completion, when given, runs on the context's thread; it is dropped
    // when the context is destroyed first.
    void send(HttpRequest request, QObject *context = nullptr, Completion completion = {});

    // Sends the request at once, whatever is queued or in flight, and waits at most the deadline
    // for its answer; past the deadline the request is abandoned and a TimedOut failure is returned.
    // Must not be called from the sender's own worker thread.
    HttpResponse sendSynchronously(HttpRequest request, std::chrono::milliseconds deadline);

private:
    class Worker;
    std::unique_ptr<QThread> m_thread;
    Worker *m_worker = nullptr; // lives on m_thread, deleted when it finishes
};

} // namespace platform
