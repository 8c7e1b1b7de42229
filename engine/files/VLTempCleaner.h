#pragma once

#include <QString>
#include <QStringList>

#include <mutex>

// Empties the work-folder area (the Library's "Temp/") at launch, after a cancelled job and at
// quit. Owners of running jobs cancel and wait for them first, so nothing is pulled from under a
// worker.
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

    VLTempCleaner(const VLTempCleaner &) = delete;
    VLTempCleaner &operator=(const VLTempCleaner &) = delete;

private:
    VLTempCleaner() = default;
    void removeEntries(const QStringList &names);

    std::mutex m_mutex;
    // The entry names, or nothing when the area cannot be listed.
    static QStringList listArea(bool *listed);
};
