#include "platform/view/VLNibName.h"

#include "platform/core/AppKitVersion.h"

#include <QHash>
#include <QMetaObject>
#include <QMutex>

namespace platform {

namespace {

struct InterfaceFiles
{
    QMutex mutex;
    QHash<QString, InterfaceFileSetup> setups;
};

InterfaceFiles &interfaceFiles()
{
    static InterfaceFiles files;
    return files;
}

} // namespace

void registerInterfaceFile(const QString &name, InterfaceFileSetup setup)
{
    InterfaceFiles &files = interfaceFiles();
    const QMutexLocker locker(&files.mutex);
    files.setups.insert(name, std::move(setup));
}

void unregisterInterfaceFile(const QString &name)
{
    InterfaceFiles &files = interfaceFiles();
    const QMutexLocker locker(&files.mutex);
    files.setups.remove(name);
}

bool hasInterfaceFile(const QString &name)
{
    InterfaceFiles &files = interfaceFiles();
    const QMutexLocker locker(&files.mutex);
    return files.setups.contains(name);
}

InterfaceFileSetup interfaceFileSetup(const QString &name)
{
    InterfaceFiles &files = interfaceFiles();
    const QMutexLocker locker(&files.mutex);
    return files.setups.value(name);
}

} // namespace platform

QString VLNibNameForClass(const QString &className)
{
    if (platform::isModernAppKit())
        return className;
    const QString legacy = className + u"-Legacy";
    return platform::hasInterfaceFile(legacy) ? legacy : className;
}

QString VLNibNameForClass(const QMetaObject &metaObject)
{
    return VLNibNameForClass(QString::fromLatin1(metaObject.className()));
}
