#include "engine/jobs/VLJobServices.h"

#include "platform/core/Library.h"
#include "platform/files/PhysicalWalk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace VLJobServices {

QString createUniqueDirectoryAtTempPath()
{
    const QString temp = platform::libraryFolder(QStringLiteral("Temp"));
    if (temp.isEmpty())
        return {};
    const QString path = temp + u'/' + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (!QDir().mkpath(path))
        return {};
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

QString rootPathForURLs(const QList<QUrl> &urls)
{
    if (urls.isEmpty())
        return QString();
    const auto under = [](const QString &path, const QString &candidate) {
        return candidate == u"/" || path == candidate || path.startsWith(candidate + u'/');
    };
    QStringList paths;
    for (const QUrl &url : urls)
        paths << QDir::cleanPath(url.toLocalFile());
    const QString first = paths.first();
    const QStringList components = first.split(u'/', Qt::SkipEmptyParts);
    QString candidate = QStringLiteral("/");
    for (const QString &component : components) {
        const QString previous = candidate;
        candidate = candidate == u"/" ? QString(candidate + component) : QString(candidate + u'/' + component);
        for (const QString &path : std::as_const(paths)) {
            if (!under(path, candidate))
                return previous;
        }
    }
    const qsizetype slash = first.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : first.left(slash);
}

bool walkAtPath(const QString &path, const WalkHandler &handler)
{
    using Kind = platform::PhysicalWalk::Kind;
    platform::PhysicalWalk walk(path, platform::PhysicalWalk::Options{true});
    if (!walk.isOpen())
        return false;
    while (walk.next()) {
        const Kind kind = walk.kind();
        if (kind == Kind::DirectoryPostOrder)
            continue;
        if (kind == Kind::Error)
            return false;
        if (!handler)
            continue;
        bool stop = false;
        handler(walk.path(), walk.level() == 0, walk.logicalSize(), stop);
        if (stop)
            return true;
    }
    return true;
}

bool checkSourceReadability(const QUrl &url, QString *failedFile, const std::function<bool()> &shouldStop)
{
    QString failed;
    walkAtPath(url.toLocalFile(), [&failed, &shouldStop](const QString &path, bool, qint64, bool &stop) {
        if (shouldStop && shouldStop()) {
            stop = true;
            return;
        }
        const QFileInfo info(path);
        if (info.isSymLink())
            return;
        if (!info.isReadable() || (info.isDir() && !info.isExecutable())) {
            failed = path;
            stop = true;
        }
    });
    if (failedFile)
        *failedFile = failed;
    return failed.isEmpty();
}

} // namespace VLJobServices
