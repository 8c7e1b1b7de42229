#include "platform/desktop/FileManager.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>

namespace platform {

namespace {

QString &busConnectionName()
{
    static QString name;
    return name;
}

QDBusConnection busConnection()
{
    return busConnectionName().isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(busConnectionName());
}

QUrl folderOf(const QUrl &url)
{
    return QUrl::fromLocalFile(QFileInfo(url.toLocalFile()).absolutePath());
}

} // namespace

void revealInFileManager(const QUrl &url)
{
    if (!url.isLocalFile())
        return;
    QDBusConnection bus = busConnection();
    if (!bus.isConnected()) {
        openURL(folderOf(url));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    // The second argument is the startup-notification id, which a launch from here does not have.
    call << QStringList{url.toString(QUrl::FullyEncoded)} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [url](QDBusPendingCallWatcher *self) {
        if (QDBusPendingReply<> reply = *self; reply.isError())
            openURL(folderOf(url));
        self->deleteLater();
    });
}

bool openURL(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

void setFileManagerBusName(const QString &connectionName)
{
    busConnectionName() = connectionName;
}

} // namespace platform
