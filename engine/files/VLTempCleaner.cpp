#include "engine/files/VLTempCleaner.h"

#include "engine/files/KXAdditions.h"
#include "platform/core/Log.h"
#include "platform/core/VLError.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/files/FileOperations.h"

#include <QDir>

#include <cerrno>

VLTempCleaner &VLTempCleaner::sharedInstance()
{
    static VLTempCleaner instance;
    return instance;
}

QString VLTempCleaner::workFolderArea()
{
    const QUrl temp = KXAdditions::vl_tempDirectory();
    return temp.isEmpty() ? QString() : QDir::cleanPath(temp.toLocalFile());
}

QStringList VLTempCleaner::listArea(bool *listed)
{
    const QString path = workFolderArea();
    const QDir area(path);
    // Without a Library there is no area; never list a folder of another name instead.
    *listed = !path.isEmpty() && area.exists();
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

bool VLTempCleaner::holdWorkFolder(const QString &path)
{
    platform::FolderLock hold = platform::FolderLock::tryHold(path);
    if (!hold.isHeld() || !hold.isFolderAt(path))
        return false;
    const std::lock_guard lock(m_holdsMutex);
    m_holds[QDir::cleanPath(path)] = std::move(hold);
    return true;
}

platform::FolderLock VLTempCleaner::takeHold(const QString &path)
{
    const std::lock_guard lock(m_holdsMutex);
    const auto found = m_holds.find(QDir::cleanPath(path));
    if (found == m_holds.end())
        return {};
    platform::FolderLock hold = std::move(found->second);
    m_holds.erase(found);
    return hold;
}

void VLTempCleaner::sync_clean()
{
    // Waits for a clean still under way (the one from launch), then takes what is left.
    const std::lock_guard lock(m_mutex);
    bool listed = false;
    const QStringList names = listArea(&listed);
    if (listed)
        removeEntries(names);
}

void VLTempCleaner::cleanContent(const QStringList &names)
{
    // One clean at a time, so two never trip over each other's half-removed trees.
    const std::lock_guard lock(m_mutex);
    removeEntries(names);
}

void VLTempCleaner::removeEntries(const QStringList &names)
{
    const QString area = workFolderArea();
    if (names.isEmpty() || area.isEmpty())
        return;
    for (const QString &name : names) {
        if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/')) {
            platform::log(u"Error deleting temporary item "_qs + VLError::posix(EINVAL).description() + u" ("_qs + name
                          + u')');
            continue;
        }
        const QString path = area + u'/' + name;
        // Listed before another clean took it: gone, as wished.
        const platform::FileKind kind = platform::fileKindAtPath(path);
        if (kind == platform::FileKind::Missing)
            continue;
        // Ours goes, held until it is gone; one that another running instance holds stays.
        platform::FolderLock hold = takeHold(path);
        if (!hold.isHeld() && kind == platform::FileKind::Folder) {
            int lockError = 0;
            hold = platform::FolderLock::tryHold(path, &lockError);
            if (lockError == EWOULDBLOCK)
                continue;
        }
        if (const int error = platform::removeItemAtPath(path, platform::RemovalAccess::GrantOwner)) {
            platform::log(u"Error deleting temporary item "_qs + VLError::posix(error).description() + u" ("_qs + path
                          + u')');
        }
    }
}
