#include "tests/companion/LocalHttpServer.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

LocalHttpServer::Request parse(const QByteArray &head)
{
    LocalHttpServer::Request request;
    request.raw = head;
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    const qsizetype question = request.target.indexOf('?');
    request.path = question < 0 ? request.target : request.target.left(question);
    request.query = question < 0 ? QByteArray() : request.target.mid(question + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    return request;
}

} // namespace

class LocalHttpServer::Engine final : public QObject
{
public:
    explicit Engine(LocalHttpServer *owner) : m_owner(owner)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &Engine::accept);
    }

    quint16 listen(quint16 port)
    {
        m_server.listen(QHostAddress::LocalHost, port);
        return m_server.serverPort();
    }

    void close() { m_server.close(); }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        qsizetype end;
        while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
            Request request = parse(buffer.left(end + 2));
            // A request with a body (a POST) is complete once its announced length has arrived.
            const qsizetype length = request.header("content-length").toLongLong();
            if (buffer.size() < end + 4 + length)
                return;
            request.body = buffer.mid(end + 4, length);
            buffer.remove(0, end + 4 + length);
            m_owner->beginRequest();
            const Reply reply = m_owner->replyFor(request);
            QPointer<QTcpSocket> guarded(socket);
            auto answer = [this, guarded, reply] {
                m_owner->endRequest();
                if (!guarded)
                    return;
                if (reply.drop) {
                    guarded->abort();
                    return;
                }
                QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status)
                                      + "\r\nContent-Type: text/plain\r\nContent-Length: "
                                      + QByteArray::number(reply.body.size()) + "\r\nConnection: keep-alive\r\n\r\n"
                                      + reply.body;
                guarded->write(response);
            };
            if (reply.delay.count() > 0)
                QTimer::singleShot(reply.delay, this, answer);
            else
                answer();
        }
    }

    LocalHttpServer *m_owner;
    QTcpServer m_server{this};
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

LocalHttpServer::LocalHttpServer() : m_thread(std::make_unique<QThread>())
{
    // A proxy from the environment would carry the test's requests off this machine.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    m_engine = new Engine(this);
    m_engine->moveToThread(m_thread.get());
    connect(m_thread.get(), &QThread::finished, m_engine, &QObject::deleteLater);
    m_thread->start();
    Engine *engine = m_engine;
    QMetaObject::invokeMethod(
        engine, [this, engine] { m_port = engine->listen(0); }, Qt::BlockingQueuedConnection);
}

LocalHttpServer::~LocalHttpServer()
{
    Engine *engine = m_engine;
    QMetaObject::invokeMethod(
        engine, [engine] { engine->close(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

QUrl LocalHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
}

void LocalHttpServer::setBehaviour(Behaviour behaviour)
{
    const QMutexLocker locker(&m_mutex);
    m_behaviour = std::move(behaviour);
}

void LocalHttpServer::setReply(Reply reply)
{
    setBehaviour([reply](int, const Request &) { return reply; });
}

void LocalHttpServer::setListening(bool listening)
{
    Engine *engine = m_engine;
    const quint16 port = m_port;
    QMetaObject::invokeMethod(
        engine,
        [engine, listening, port] {
            if (listening)
                engine->listen(port);
            else
                engine->close();
        },
        Qt::BlockingQueuedConnection);
}

QList<LocalHttpServer::Request> LocalHttpServer::requests() const
{
    const QMutexLocker locker(&m_mutex);
    return m_requests;
}

int LocalHttpServer::requestCount() const
{
    const QMutexLocker locker(&m_mutex);
    return int(m_requests.size());
}

int LocalHttpServer::maximumConcurrent() const
{
    const QMutexLocker locker(&m_mutex);
    return m_maximumPending;
}

LocalHttpServer::Reply LocalHttpServer::replyFor(const Request &request)
{
    const QMutexLocker locker(&m_mutex);
    const int index = int(m_requests.size());
    m_requests << request;
    return m_behaviour ? m_behaviour(index, request) : Reply{};
}

void LocalHttpServer::beginRequest()
{
    const QMutexLocker locker(&m_mutex);
    m_maximumPending = std::max(m_maximumPending, ++m_pending);
}

void LocalHttpServer::endRequest()
{
    const QMutexLocker locker(&m_mutex);
    --m_pending;
}
