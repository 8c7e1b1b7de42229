#include "platform/net/HttpSender.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <deque>
#include <semaphore>

namespace platform {

namespace {

struct Job
{
    HttpRequest request;
    std::function<void(const HttpResponse &)> deliver;
};

// Carries one answer to its context's thread. Qt drops a queued call to a receiver that is
// destroyed, also while the call is on its way; a pointer checked on the worker thread could go
// stale between the check and the post.
class AnswerRelay final : public QObject
{
    Q_OBJECT

public:
    Q_SIGNAL void answered();
};

HttpResponse cancelledResponse()
{
    HttpResponse response;
    response.failure = HttpResponse::Failure::Cancelled;
    response.errorString = QStringLiteral("The request was cancelled.");
    return response;
}

} // namespace

class HttpSender::Worker final : public QObject
{
public:
    Worker()
    {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (!m_reply)
                return;
            m_timedOut = true;
            m_reply->abort();
        });
    }

    // Everything below runs on the worker thread.
    void enqueue(Job job)
    {
        m_queue.push_back(std::move(job));
        startNext();
    }

    // Sent at once, beside whatever is in flight or queued, so that a waiting caller's deadline
    // is spent on its own request only.
    void sendNow(Job job)
    {
        if (m_shuttingDown) {
            if (job.deliver)
                job.deliver(cancelledResponse());
            return;
        }
        QNetworkReply *reply = issue(job.request);
        m_sentNow.append(reply);
        auto timedOut = std::make_shared<bool>(false);
        auto *timer = new QTimer(reply);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, reply, [reply, timedOut] {
            *timedOut = true;
            reply->abort();
        });
        timer->start(job.request.timeout);
        connect(reply, &QNetworkReply::finished, this, [this, reply, timedOut, job = std::move(job)] {
            m_sentNow.removeOne(reply);
            const HttpResponse response = responseFor(reply, *timedOut);
            reply->deleteLater();
            if (job.deliver)
                job.deliver(response);
        });
    }

    void shutdown()
    {
        m_shuttingDown = true;
        // Aborting finishes a reply synchronously and delivers Cancelled.
        for (QNetworkReply *reply : QList<QNetworkReply *>(m_sentNow))
            reply->abort();
        if (m_reply) {
            QNetworkReply *reply = m_reply;
            reply->abort();
        }
        while (!m_queue.empty()) {
            Job job = std::move(m_queue.front());
            m_queue.pop_front();
            if (job.deliver)
                job.deliver(cancelledResponse());
        }
        delete m_manager;
        m_manager = nullptr;
    }

private:
    void startNext()
    {
        while (!m_reply && !m_queue.empty() && !m_shuttingDown) {
            m_current = std::move(m_queue.front());
            m_queue.pop_front();
            start();
        }
    }

    QNetworkReply *issue(const HttpRequest &job)
    {
        if (!m_manager)
            m_manager = new QNetworkAccessManager(this);
        QNetworkRequest request(job.url);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        for (const auto &[name, value] : job.headers)
            request.setRawHeader(name, value);
        return job.body.isNull() ? m_manager->get(request) : m_manager->post(request, job.body);
    }

    void start()
    {
        m_timedOut = false;
        m_reply = issue(m_current.request);
        m_timer.start(m_current.request.timeout);
        connect(m_reply, &QNetworkReply::finished, this, &Worker::finished);
    }

    void finished()
    {
        m_timer.stop();
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        const HttpResponse response = responseFor(reply, m_timedOut);
        reply->deleteLater();
        Job job = std::move(m_current);
        m_current = {};
        if (job.deliver)
            job.deliver(response);
        startNext();
    }

    static HttpResponse responseFor(QNetworkReply *reply, bool timedOut)
    {
        HttpResponse response;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid()) {
            response.failure = HttpResponse::Failure::NoFailure;
            response.statusCode = status.toInt();
            response.body = reply->readAll();
            return response;
        }
        response.errorString = reply->errorString();
        switch (reply->error()) {
        case QNetworkReply::ConnectionRefusedError:
            response.failure = HttpResponse::Failure::ConnectionRefused;
            break;
        case QNetworkReply::HostNotFoundError:
            response.failure = HttpResponse::Failure::HostNotFound;
            break;
        case QNetworkReply::TimeoutError:
            response.failure = HttpResponse::Failure::TimedOut;
            break;
        case QNetworkReply::OperationCanceledError:
            response.failure = timedOut ? HttpResponse::Failure::TimedOut : HttpResponse::Failure::Cancelled;
            break;
        default:
            response.failure = HttpResponse::Failure::Other;
            break;
        }
        return response;
    }

    QNetworkAccessManager *m_manager = nullptr;
    std::deque<Job> m_queue;
    Job m_current;
    QPointer<QNetworkReply> m_reply;
    QList<QNetworkReply *> m_sentNow;
    QTimer m_timer{this};
    bool m_timedOut = false;
    bool m_shuttingDown = false;
};

HttpSender::HttpSender(QObject *parent) : QObject(parent), m_thread(std::make_unique<QThread>()), m_worker(new Worker)
{
    m_thread->setObjectName(QStringLiteral("HttpSender"));
    m_worker->moveToThread(m_thread.get());
    connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

HttpSender::~HttpSender()
{
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->shutdown(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void HttpSender::send(HttpRequest request, QObject *context, Completion completion)
{
    Job job;
    job.request = std::move(request);
    if (completion && !context) {
        job.deliver = std::move(completion);
    } else if (completion) {
        auto relay = std::make_shared<AnswerRelay>();
        auto answer = std::make_shared<HttpResponse>();
        connect(
            relay.get(), &AnswerRelay::answered, context,
            [completion = std::move(completion), answer] { completion(*answer); }, Qt::QueuedConnection);
        // The job, and with it the relay, ends on the worker thread.
        relay->moveToThread(m_thread.get());
        job.deliver = [relay, answer](const HttpResponse &response) {
            *answer = response;
            emit relay->answered();
        };
    }
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, job = std::move(job)]() mutable { worker->enqueue(std::move(job)); }, Qt::QueuedConnection);
}

HttpResponse HttpSender::sendSynchronously(HttpRequest request, std::chrono::milliseconds deadline)
{
    Q_ASSERT(QThread::currentThread() != m_thread.get());
    struct Slot
    {
        std::binary_semaphore done{0};
        HttpResponse response;
    };
    auto slot = std::make_shared<Slot>();
    Job job;
    job.request = std::move(request);
    job.request.timeout = std::min(job.request.timeout, deadline);
    job.deliver = [slot](const HttpResponse &response) {
        slot->response = response;
        slot->done.release();
    };
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, job = std::move(job)]() mutable { worker->sendNow(std::move(job)); }, Qt::QueuedConnection);
    if (slot->done.try_acquire_for(deadline))
        return slot->response;
    // Its own time-out, no longer than the deadline, ends the request.
    HttpResponse response;
    response.failure = HttpResponse::Failure::TimedOut;
    response.errorString = QStringLiteral("No answer within the deadline.");
    return response;
}

} // namespace platform

#include "HttpSender.moc"
