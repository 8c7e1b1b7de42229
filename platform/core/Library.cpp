#include "platform/core/Library.h"

#include "platform/core/BundleInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace platform {

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(bundle::organisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(bundle::name));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(bundle::shortVersion));
}

QString libraryPath()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(path);
    return path;
}

QString libraryFolder(const QString &name)
{
    const QString path = libraryPath() + u'/' + name;
    if (!QDir().mkpath(path))
        return {};
    // Work folders hold plaintext while a job runs: keep the whole tree private to the user.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

} // namespace platform
