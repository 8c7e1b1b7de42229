#include "engine/archive/VLArchiveRecordTable.h"

namespace {

// The folder a path is in, "/" for the top level.
QStringView parentOf(QStringView path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash > 0 ? path.left(slash) : QStringView(u"/");
}

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

QList<VLEncryptedArchiveItemPtr> VLArchiveRecordTable::records() const
{
    std::lock_guard lock(m_mutex);
    return QList<VLEncryptedArchiveItemPtr>(m_records->begin(), m_records->end());
}

std::shared_ptr<const VLRecordList> VLArchiveRecordTable::recordsView() const
{
    std::lock_guard lock(m_mutex);
    return m_records;
}

VLRecordList &VLArchiveRecordTable::ownRecords()
{
    // Views are only handed out under the lock held here, so none can appear meanwhile.
    if (m_records.use_count() > 1)
        m_records = std::make_shared<VLRecordList>(*m_records);
    return *m_records;
}

void VLArchiveRecordTable::add(const VLEncryptedArchiveItemPtr &record, const QString &path)
{
    std::lock_guard lock(m_mutex);
    // Paths that differ only in case are different items on a case-sensitive file system: both
    // are kept.
    const auto [index, entered] = m_recordIndex.insert(path, qsizetype(m_records->size()), m_pathMatches);
    if (!entered) {
        VLRecordList &records = ownRecords();
        if (!m_firstEntries.contains(index))
            m_firstEntries.insert(index, records[std::size_t(index)]);
        m_laterEntries.push_back(LaterEntry{records.size(), record});
        records[std::size_t(index)] = record;
    } else {
        ownRecords().push_back(record); // before the index may ask for its path
        // Most paths are their own lower case: the exact index finds them under that spelling,
        // and only the others get an entry of their own.
        if (!path.isLower()) {
            if (m_recordIndex.find(path.toLower(), m_pathMatches) < 0)
                m_foldedIndex.insert(path, index, m_foldedMatches);
        }
    }
}

QList<VLEncryptedArchiveItemPtr> VLArchiveRecordTable::childrenAtPath(const QString &path) const
{
    const QString folder = path.isEmpty() || path == u"/" ? QStringLiteral("/") : withoutTrailingSlashes(path);
    QList<VLEncryptedArchiveItemPtr> children;
    auto take = [&](const VLEncryptedArchiveItemPtr &record) {
        if (parentOf(record->path()).compare(folder, Qt::CaseInsensitive) == 0)
            children.append(record);
    };
    std::lock_guard lock(m_mutex);
    auto later = m_laterEntries.cbegin();
    const VLRecordList &records = *m_records;
    for (std::size_t position = 0; position <= records.size(); ++position) {
        for (; later != m_laterEntries.cend() && later->after == position; ++later)
            take(later->record);
        if (position == records.size())
            break;
        const auto first = m_firstEntries.constFind(qsizetype(position));
        take(first == m_firstEntries.cend() ? records[position] : first.value());
    }
    return children;
}

VLEncryptedArchiveItemPtr VLArchiveRecordTable::recordAtPath(const QString &path) const
{
    std::lock_guard lock(m_mutex);
    const qsizetype position = positionLocked(path);
    return position >= 0 ? (*m_records)[std::size_t(position)] : nullptr;
}

qsizetype VLArchiveRecordTable::positionAtPath(const QString &path) const
{
    std::lock_guard lock(m_mutex);
    return positionLocked(path);
}

qsizetype VLArchiveRecordTable::positionLocked(const QString &path) const
{
    const qsizetype exact = m_recordIndex.find(path, m_pathMatches);
    if (exact >= 0)
        return exact;
    const qsizetype folded = m_foldedIndex.find(path, m_foldedMatches);
    if (folded >= 0)
        return folded;
    return m_recordIndex.find(path.toLower(), m_pathMatches);
}

quint64 VLArchiveRecordTable::totalSize() const
{
    std::lock_guard lock(m_mutex);
    quint64 total = 0;
    for (const VLEncryptedArchiveItemPtr &record : *m_records)
        total += record->size();
    return total;
}

void VLArchiveRecordTable::clear()
{
    std::lock_guard lock(m_mutex);
    m_records = std::make_shared<VLRecordList>();
    m_recordIndex.clear();
    m_foldedIndex.clear();
    m_laterEntries = {};
    m_firstEntries.clear();
}
