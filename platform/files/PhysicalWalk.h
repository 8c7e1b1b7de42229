#pragma once

#include <QString>

#include <memory>

namespace platform {

// A walk of a file tree that sees symbolic links as entries (never following them) and leaves
// the working folder alone. Folders are visited before and after their content. Each entry and
// the walk's root parent carry a number that the caller may use as a running sum.
class PhysicalWalk final
{
public:
    enum class Kind {
        Directory,          // pre-order visit
        DirectoryPostOrder, // after its content
        DirectoryCycle,
        UnreadableDirectory,
        Error,
        NoStatus,
        File,
        SymbolicLink,
        Other,
    };

    struct Options
    {
        bool sameVolume = false; // do not cross into other file systems
    };

    explicit PhysicalWalk(const QString &path) : PhysicalWalk(path, Options{}) {}
    PhysicalWalk(const QString &path, Options options);
    ~PhysicalWalk();
    PhysicalWalk(const PhysicalWalk &) = delete;
    PhysicalWalk &operator=(const PhysicalWalk &) = delete;

    bool isOpen() const;
    int openError() const { return m_openError; }

    // Moves to the next entry; false at the end of the walk.
    bool next();
    // Leaves out the content of the current folder (pre-order visit only).
    void skipChildren();

    Kind kind() const;
    QString path() const;
    int level() const;
    int error() const; // errno of an error, unreadable or status-less entry
    bool hasStatus() const;
    qint64 logicalSize() const;     // st_size
    qint64 allocatedBlocks() const; // st_blocks, 512-byte units
    qint64 preferredBlockSize() const;
    qint64 linkCount() const;

    qint64 number() const;
    void setNumber(qint64 value);
    qint64 parentNumber() const;
    void setParentNumber(qint64 value);
    qint64 rootParentNumber() const;

    // Closes the walk early; an error while closing is returned as its errno (0 on success).
    int close();

private:
    struct Private;
    std::unique_ptr<Private> d;
    int m_openError = 0;
};

} // namespace platform
