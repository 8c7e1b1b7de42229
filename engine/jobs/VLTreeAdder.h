#pragma once

#include <QString>

#include <functional>

class VLEncryptedArchive;

// Adds a source tree's entries to a container in the order the walk gives them (a folder before
// its contents), the walk on the calling thread and the records built on the container's workers
// meanwhile, so that a tree of many small files does not hold up saving by one core's pace.
// The records and their order are those of adding each entry in turn with addItemFromRoot.
class VLTreeAdder final
{
public:
    enum class Outcome {
        Added,          // every entry of the tree
        EntryFailed,    // an entry could not be added (failedEntry()); the entries before it were
        WalkIncomplete, // the walk met an error entry; what it gave before was added
        Stopped,        // shouldStop answered true; the tree is partly added
    };

    explicit VLTreeAdder(VLEncryptedArchive &archive);
    Q_DISABLE_COPY_MOVE(VLTreeAdder)

    // Adds source and everything under it, each record's path cut from root as addItemFromRoot
    // does. shouldStop is asked for each entry, on the calling thread.
    [[nodiscard]] Outcome addTree(const QString &source, const QString &root,
                                  const std::function<bool()> &shouldStop = {});
    // The entry that could not be added, after EntryFailed.
    QString failedEntry() const { return m_failedEntry; }

private:
    VLEncryptedArchive &m_archive;
    QString m_failedEntry;
};
