#pragma once

#include "engine/archive/VLArchivePathIndex.h"
#include "engine/archive/VLEncryptedArchiveItem.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <mutex>
#include <vector>

using VLRecordList = std::vector<VLEncryptedArchiveItemPtr>;

// A container's item records: the path table in entry order, looked up by path with or without
// regard to case. May be read from any thread.
class VLArchiveRecordTable final
{
public:
    VLArchiveRecordTable() = default;
    Q_DISABLE_COPY_MOVE(VLArchiveRecordTable)

    QList<VLEncryptedArchiveItemPtr> records() const;
    // The records as they are now, without a copy: an operation over a large tree reads them
    // while the table stays free to change (it then changes a copy of its own).
    std::shared_ptr<const VLRecordList> recordsView() const;
    // The same path entered twice replaces the first record; path is the record's.
    void add(const VLEncryptedArchiveItemPtr &record, const QString &path);
    // Children of a folder path (empty or "/" for the top level), compared without regard to case,
    // in entry order. Found by a pass over the table: its callers ask for a folder or two, and
    // child lists kept for every folder would cost a large tree as much as its path index.
    QList<VLEncryptedArchiveItemPtr> childrenAtPath(const QString &path) const;
    // The record with this path: the exact spelling first, then any case.
    VLEncryptedArchiveItemPtr recordAtPath(const QString &path) const;
    // Its position in records(), or -1.
    qsizetype positionAtPath(const QString &path) const;
    // The bytes of all records' contents.
    quint64 totalSize() const;
    void clear();

private:
    qsizetype positionLocked(const QString &path) const;
    // The records to change: m_records itself, or a copy of it while views of it are held.
    VLRecordList &ownRecords();

    mutable std::mutex m_mutex;
    // Vectors, not lists: a growing vector moves its records instead of copying each.
    std::shared_ptr<VLRecordList> m_records = std::make_shared<VLRecordList>(); // in entry order
    VLArchivePathIndex m_recordIndex;                                           // exact path -> index in m_records
    // The index asks the records for their paths, which it does not keep a second time.
    const VLArchivePathIndex::Matches m_pathMatches = [this](qsizetype position, QStringView path) {
        return (*m_records)[std::size_t(position)]->path() == path;
    };
    // Without regard to case: the first of the paths that are not their own lower case, among those
    // whose lower case was not entered before them.
    VLArchivePathIndex m_foldedIndex{Qt::CaseInsensitive};
    const VLArchivePathIndex::Matches m_foldedMatches = [this](qsizetype position, QStringView path) {
        return QStringView((*m_records)[std::size_t(position)]->path()).compare(path, Qt::CaseInsensitive) == 0;
    };
    // A path entered again replaces its record in m_records, but a folder's children still list
    // each record entered, in entry order: the first one at its place, each later one where it
    // came (after the records m_records held then). Rare, so kept apart.
    struct LaterEntry
    {
        std::size_t after = 0; // m_records' size when it was entered
        VLEncryptedArchiveItemPtr record;
    };
    std::vector<LaterEntry> m_laterEntries;                     // in entry order
    QHash<qsizetype, VLEncryptedArchiveItemPtr> m_firstEntries; // position -> the record first entered there
};
