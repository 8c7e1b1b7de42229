#pragma once

#include "engine/archive/VLArchivePathIndex.h"
#include "engine/archive/VLEncryptedArchiveItem.h"

#include <QHash>
#include <QList>
#include <QString>

#include <mutex>
#include <vector>

// A container's item records: the path table in entry order and the child lists of each folder,
// both looked up without regard to case. May be read from any thread.
class VLArchiveRecordTable final
{
public:
    VLArchiveRecordTable() = default;
    Q_DISABLE_COPY_MOVE(VLArchiveRecordTable)

    QList<VLEncryptedArchiveItemPtr> records() const;
    // The same path entered twice replaces the first record; path is the record's.
    void add(const VLEncryptedArchiveItemPtr &record, const QString &path);
    // Children of a folder path (empty or "/" for the top level), compared without regard to case.
    QList<VLEncryptedArchiveItemPtr> childrenAtPath(const QString &path) const;
    // The record with this path: the exact spelling first, then any case.
    VLEncryptedArchiveItemPtr recordAtPath(const QString &path) const;
    // The bytes of all records' contents.
    quint64 totalSize() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    // Vectors, not lists: a growing vector moves its records instead of copying each.
    std::vector<VLEncryptedArchiveItemPtr> m_records;                  // in entry order
    VLArchivePathIndex m_recordIndex;                                  // exact path -> index in m_records
    QHash<QString, qsizetype> m_foldedIndex;                           // lower-cased path -> first such record
    QHash<QString, std::vector<VLEncryptedArchiveItemPtr>> m_children; // lower-cased parent path -> records
    QString m_lastParent; // the parent path of the last record entered, and its child list, which
                          // stays put while no other parent is entered in m_children
    std::vector<VLEncryptedArchiveItemPtr> *m_lastChildren = nullptr;
};
