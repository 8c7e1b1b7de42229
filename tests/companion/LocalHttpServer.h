#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

class QThread;

// A small HTTP/1.1 server on 127.0.0.1 for tests. It runs on its own thread, so it keeps
// answering while the test's main thread blocks in a synchronous send. Every request is recorded
// raw, with its body; each answer can be delayed, dropped (connection closed without an answer), and the server
// can stop listening so that connections are refused.
class LocalHttpServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LocalHttpServer)

public:
    struct Request
    {
        QByteArray raw;    // request line and header block, as received
        QByteArray method; // "GET"
        QByteArray target; // path and query exactly as sent
        QByteArray path;
        QByteArray query;                     // without the "?"
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;                      // what followed the header block (Content-Length)
        QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    };

    struct Reply
    {
        int status = 200;
        QByteArray body;
        std::chrono::milliseconds delay{0};
        bool drop = false;

        static Reply answer(int status, QByteArray body = {}, std::chrono::milliseconds delay = {})
        {
            Reply reply;
            reply.status = status;
            reply.body = std::move(body);
            reply.delay = delay;
            return reply;
        }
        static Reply delayed(std::chrono::milliseconds delay) { return answer(200, {}, delay); }
        static Reply dropped()
        {
            Reply reply;
            reply.drop = true;
            return reply;
        }
    };

    // Decides the answer to the request with the given index (0 for the first one).
    using Behaviour = std::function<Reply(int index, const Request &request)>;

    LocalHttpServer();
    ~LocalHttpServer() override;

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by the path.
    QUrl url(const QString &path = QString()) const;

    void setBehaviour(Behaviour behaviour);
    // Shorthand for every request getting the same answer.
    void setReply(Reply reply);

    // Stop or resume listening on the same port; while stopped, connections are refused.
    void setListening(bool listening);

    QList<Request> requests() const;
    int requestCount() const;
    // The largest number of requests received and not yet answered at one time.
    int maximumConcurrent() const;

private:
    class Engine;
    friend class Engine;

    Reply replyFor(const Request &request);
    void beginRequest();
    void endRequest();

    std::unique_ptr<QThread> m_thread;
    Engine *m_engine = nullptr;
    quint16 m_port = 0;

    mutable QMutex m_mutex;
    Behaviour m_behaviour;
    QList<Request> m_requests;
    int m_pending = 0;
    int m_maximumPending = 0;
};
