#pragma once

#include <QString>

#include <functional>

namespace platform {

// A walk of a tree, folders before their contents and each folder's entries in the order it lists
// them, that never follows a symbolic link. It reads every entry's whole status itself (relative to
// its folder, birth time included) and leaves it for attributesOfItemAtPath on the same thread, so
// that a caller examining each entry as it comes reads its status once.
class StatusWalk final
{
public:
    enum class Kind {
        Directory,
        File,
        SymbolicLink,
        Other,
        NoStatus,
        DirectoryPostOrder,  // a folder again, after its content (with Options::postOrder)
        UnreadableDirectory, // a folder again, when it cannot be listed (with Options::reportUnreadable)
    };
    struct Entry
    {
        QString path;
        int level = 0; // 0 for the root
        Kind kind = Kind::NoStatus;
        qint64 size = 0;
        qint64 allocatedBlocks = 0; // 512-byte units
        qint64 blockSize = 0;       // the preferred block size for writing
        qint64 linkCount = 0;
        int error = 0; // why a NoStatus entry has no status, or an unreadable folder was not listed
    };
    struct Options
    {
        bool sameVolume = false;       // a folder on another file system is given but not entered
        bool postOrder = false;        // every folder given is given again once its content was
        bool reportUnreadable = false; // a folder that cannot be listed is given again as unreadable
    };
    // Return false to end the walk.
    using Visitor = std::function<bool(const Entry &entry)>;

    // Walks from root (its status read without following a final link). A folder that cannot be
    // listed is given and not entered. 0, or the system error that stopped the walk (the root
    // missing, a listing that failed part way).
    static int walk(const QString &root, Options options, const Visitor &visit);
    static int walk(const QString &root, bool sameVolume, const Visitor &visit)
    {
        return walk(root, Options{sameVolume}, visit);
    }
};

} // namespace platform
