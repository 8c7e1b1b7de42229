#include "engine/files/VLTempCleaner.h"

#include "platform/core/Library.h"
#include "platform/core/Log.h"
#include "platform/core/VLError.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/files/FileOperations.h"

#include <QDir>

VLTempCleaner &VLTempCleaner::sharedInstance()
{
    static VLTempCleaner instance;
    return instance;
}

QString VLTempCleaner::workFolderArea()
{
    return platform::libraryPath() + u"/Temp"_qs;
}

QStringList VLTempCleaner::listArea(bool *listed)
{
    const QDir area(workFolderArea());
    *listed = area.exists();
    if (!*listed)
        return {};
    return area.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void VLTempCleaner::clean()
{
    bool listed = false;
    QStringList names = listArea(&listed);
    if (!listed || names.isEmpty())
        return;
    platform::dispatchAsync(platform::QueuePriority::Background,
                            [names = std::move(names)] { sharedInstance().cleanContent(names); });
}

void VLTempCleaner::sync_clean()
{
    bool listed = false;
    const QStringList names = listArea(&listed);
    if (listed)
        cleanContent(names);
}

void VLTempCleaner::cleanContent(const QStringList &names)
{
    if (names.isEmpty())
        return;
    const QString area = workFolderArea();
    for (const QString &name : names) {
        if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/')) {
            platform::log(u"Error deleting temporary item "_qs + VLError::posix(EINVAL).description() + u" ("_qs
                          + name + u')');
            continue;
        }
        const QString path = area + u'/' + name;
        if (const int error = platform::removeItemAtPath(path)) {
            platform::log(u"Error deleting temporary item "_qs + VLError::posix(error).description() + u" ("_qs
                          + path + u')');
        }
    }
}
