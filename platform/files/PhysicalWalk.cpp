#include "platform/files/PhysicalWalk.h"

#include <QFile>

#include <cerrno>

#include <fts.h>
#include <sys/stat.h>

namespace platform {

struct PhysicalWalk::Private
{
    FTS *fts = nullptr;
    FTSENT *entry = nullptr;
    // The walk frees its root parent when it ends, so its number is kept here.
    qint64 rootParentNumber = 0;
    bool started = false;
    QByteArray root;
};

PhysicalWalk::PhysicalWalk(const QString &path, Options options) : d(std::make_unique<Private>())
{
    d->root = QFile::encodeName(path);
    char *roots[] = {d->root.data(), nullptr};
    int flags = FTS_PHYSICAL | FTS_NOCHDIR;
    if (options.sameVolume)
        flags |= FTS_XDEV;
    errno = 0;
    d->fts = path.isEmpty() ? nullptr : fts_open(roots, flags, nullptr);
    if (!d->fts)
        m_openError = path.isEmpty() ? ENOENT : errno;
}

PhysicalWalk::~PhysicalWalk()
{
    close();
}

bool PhysicalWalk::isOpen() const
{
    return d->fts != nullptr;
}

bool PhysicalWalk::next()
{
    if (!d->fts)
        return false;
    d->started = true;
    for (;;) {
        d->entry = fts_read(d->fts);
        if (!d->entry)
            return false;
        if (d->entry->fts_info == FTS_DOT)
            continue;
        return true;
    }
}

void PhysicalWalk::skipChildren()
{
    if (d->fts && d->entry)
        fts_set(d->fts, d->entry, FTS_SKIP);
}

PhysicalWalk::Kind PhysicalWalk::kind() const
{
    switch (d->entry->fts_info) {
    case FTS_D:
        return Kind::Directory;
    case FTS_DP:
        return Kind::DirectoryPostOrder;
    case FTS_DC:
        return Kind::DirectoryCycle;
    case FTS_DNR:
        return Kind::UnreadableDirectory;
    case FTS_ERR:
        return Kind::Error;
    case FTS_NS:
    case FTS_NSOK:
        return Kind::NoStatus;
    case FTS_F:
        return Kind::File;
    case FTS_SL:
    case FTS_SLNONE:
        return Kind::SymbolicLink;
    default:
        return Kind::Other;
    }
}

QString PhysicalWalk::path() const
{
    return QFile::decodeName(QByteArray(d->entry->fts_path, int(d->entry->fts_pathlen)));
}

int PhysicalWalk::level() const
{
    return d->entry->fts_level;
}

int PhysicalWalk::error() const
{
    return d->entry->fts_errno;
}

bool PhysicalWalk::hasStatus() const
{
    const int info = d->entry->fts_info;
    return d->entry->fts_statp && info != FTS_NS && info != FTS_NSOK && info != FTS_ERR;
}

qint64 PhysicalWalk::logicalSize() const
{
    return hasStatus() ? qint64(d->entry->fts_statp->st_size) : 0;
}

qint64 PhysicalWalk::allocatedBlocks() const
{
    return hasStatus() ? qint64(d->entry->fts_statp->st_blocks) : 0;
}

qint64 PhysicalWalk::preferredBlockSize() const
{
    return hasStatus() ? qint64(d->entry->fts_statp->st_blksize) : 0;
}

qint64 PhysicalWalk::linkCount() const
{
    return hasStatus() ? qint64(d->entry->fts_statp->st_nlink) : 0;
}

qint64 PhysicalWalk::number() const
{
    return d->entry->fts_number;
}

void PhysicalWalk::setNumber(qint64 value)
{
    d->entry->fts_number = long(value);
}

qint64 PhysicalWalk::parentNumber() const
{
    return d->entry->fts_parent ? qint64(d->entry->fts_parent->fts_number) : 0;
}

void PhysicalWalk::setParentNumber(qint64 value)
{
    if (d->entry->fts_parent)
        d->entry->fts_parent->fts_number = long(value);
    if (d->entry->fts_level == FTS_ROOTLEVEL)
        d->rootParentNumber = value;
}

qint64 PhysicalWalk::rootParentNumber() const
{
    return d->rootParentNumber;
}

int PhysicalWalk::close()
{
    if (!d->fts)
        return 0;
    // glibc's fts_close leaks the root entries of a walk that never read one.
    if (!d->started)
        fts_read(d->fts);
    const int result = fts_close(d->fts);
    d->fts = nullptr;
    d->entry = nullptr;
    return result == 0 ? 0 : errno;
}

} // namespace platform
