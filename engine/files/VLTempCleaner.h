#pragma once

#include "platform/files/FolderLock.h"

#include <QString>
#include <QStringList>

#include <map>
#include <mutex>

// Empties the work-folder area (the Library's "Temp/") at launch, after a cancelled job and at
// quit. Owners of running jobs cancel and wait for them first, so nothing is pulled from under a
// worker. A work folder is held by the instance that made it for as long as it exists (an
// advisory lock on the folder), and every clean passes over folders another instance holds: a
// second launch, or the quit of one of two instances, leaves the other's work alone.
class VLTempCleaner final
{
public:
    static VLTempCleaner &sharedInstance();

    // Lists the area here and removes the entries on the background queue.
    void clean();
    // Lists and removes before it returns (at quit).
    void sync_clean();
    // Removes each named entry of the area; a failure is logged and the next name tried.
    // Names that would reach outside the area ("..", "a/b") are refused. Folders of ours that
    // deny us access (restored with their own modes) are opened up so their content goes too.
    void cleanContent(const QStringList &names);

    // The area's path (which need not exist); empty without a Library.
    static QString workFolderArea();

    // Holds a work folder this instance has just made. False when it cannot be held, or when
    // it was gone before it was held (another instance's clean took it while it was new).
    bool holdWorkFolder(const QString &path);

    VLTempCleaner(const VLTempCleaner &) = delete;
    VLTempCleaner &operator=(const VLTempCleaner &) = delete;

private:
    VLTempCleaner() = default;
    void removeEntries(const QStringList &names);

    // The held lock of a folder of ours, taken out to remove it; empty for any other path.
    platform::FolderLock takeHold(const QString &path);

    std::mutex m_mutex;
    std::mutex m_holdsMutex;
    std::map<QString, platform::FolderLock> m_holds; // path -> lock, for the folders of ours
    // The entry names, or nothing when the area cannot be listed.
    static QStringList listArea(bool *listed);
};
