#include "platform/channel/VLInstanceChannel.h"

#include "platform/core/BundleInfo.h"
#include "platform/core/LaunchActivation.h"
#include "platform/core/Log.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

constexpr quint32 messageMagic = 0x564c5431; // "VLT1"
constexpr char acknowledgement = 'k';
// A message larger than this is not one of ours.
constexpr qint64 maximumMessageSize = 16 * 1024 * 1024;

QByteArray encode(VLInstanceChannel::Kind kind, const QStringList &paths, const QString &activationToken)
{
    QByteArray body;
    QDataStream stream(&body, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    // The token comes last: a running instance of an earlier version reads the rest as before.
    stream << messageMagic << quint8(kind) << paths << activationToken;
    QByteArray framed;
    QDataStream frame(&framed, QIODevice::WriteOnly);
    frame.setVersion(QDataStream::Qt_6_4);
    frame << quint32(body.size());
    return framed + body;
}

} // namespace

VLInstanceChannel::VLInstanceChannel(QObject *parent) : QObject(parent)
{
}

VLInstanceChannel::~VLInstanceChannel()
{
    if (m_server)
        m_server->close();
}

QString VLInstanceChannel::serverPath()
{
    // Qt hands out the runtime folder only when it belongs to this user alone (0700), making a
    // private one in the temporary folder when none is set. A socket under a shared folder could
    // be taken first by another user, who would then receive our paths and keep us from starting.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return {};
    return runtime + u'/' + QString::fromLatin1(platform::bundle::identifier) + u".instance";
}

bool VLInstanceChannel::sendToRunningInstance(Kind kind, const QStringList &paths, int connectTimeoutMs,
                                              int answerTimeoutMs)
{
    const QString path = serverPath();
    if (path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(connectTimeoutMs))
        return false;
    socket.write(encode(kind, paths, platform::launchActivationToken()));
    if (!socket.waitForBytesWritten(answerTimeoutMs))
        return false;
    // The running instance answers once it has the whole message, so nothing is lost when this
    // process exits at once.
    if (!socket.waitForReadyRead(answerTimeoutMs))
        return false;
    const bool acknowledged = socket.read(1) == QByteArray(1, acknowledgement);
    socket.disconnectFromServer();
    return acknowledged;
}

bool VLInstanceChannel::listen()
{
    if (m_server && m_server->isListening())
        return true;
    delete m_server;
    m_server = new QLocalServer(this);
    // Only this user may hand files to the application.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = serverPath();
    if (path.isEmpty())
        return false;
    if (!m_server->listen(path)) {
        if (m_server->serverError() != QAbstractSocket::AddressInUseError)
            return false;
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500))
            return false; // another instance answers there
        // Left behind by an instance that ended without closing it.
        QLocalServer::removeServer(path);
        if (!m_server->listen(path))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
            readFrom(socket);
        }
    });
    return true;
}

bool VLInstanceChannel::isListening() const
{
    return m_server && m_server->isListening();
}

void VLInstanceChannel::readFrom(QLocalSocket *socket)
{
    if (socket->bytesAvailable() < qint64(sizeof(quint32)))
        return;
    QDataStream frame(socket->peek(sizeof(quint32)));
    frame.setVersion(QDataStream::Qt_6_4);
    quint32 size = 0;
    frame >> size;
    if (qint64(size) > maximumMessageSize) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < qint64(sizeof(quint32)) + size)
        return;
    socket->read(sizeof(quint32));
    QDataStream stream(socket->read(size));
    stream.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint8 kind = 0;
    QStringList paths;
    stream >> magic >> kind >> paths;
    if (stream.status() != QDataStream::Ok || magic != messageMagic
        || (kind != quint8(Kind::OpenFiles) && kind != quint8(Kind::ServiceFiles))) {
        platform::log(QStringLiteral("[Launch]: ignored a malformed message from another instance."));
        socket->abort();
        return;
    }
    // A launch of an earlier version sends no token.
    QString activationToken;
    if (!stream.atEnd()) {
        stream >> activationToken;
        if (stream.status() != QDataStream::Ok)
            activationToken.clear();
    }
    socket->write(QByteArray(1, acknowledgement));
    socket->flush();
    emit messageReceived(Kind(kind), paths, activationToken);
}
