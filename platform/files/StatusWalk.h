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
    enum class Kind { Directory, File, SymbolicLink, Other, NoStatus };
    struct Entry
    {
        QString path;
        int level = 0; // 0 for the root
        Kind kind = Kind::NoStatus;
        qint64 size = 0;
    };
    // Return false to end the walk.
    using Visitor = std::function<bool(const Entry &entry)>;

    // Walks from root (its status read without following a final link). With sameVolume, a folder
    // on another file system is given but not entered; a folder that cannot be listed is given and
    // not entered. 0, or the system error that stopped the walk (the root missing, a listing that
    // failed part way).
    static int walk(const QString &root, bool sameVolume, const Visitor &visit);
};

} // namespace platform
