#include "engine/archive/VLArchiveRecordTable.h"

namespace {

QString parentKey(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString parent = slash > 0 ? path.left(slash) : QString();
    return parent.isEmpty() ? QStringLiteral("/") : parent.toLower();
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
    return m_records;
}

void VLArchiveRecordTable::add(const VLEncryptedArchiveItemPtr &record, const QString &path)
{
    std::lock_guard lock(m_mutex);
    // Paths that differ only in case are different items on a case-sensitive file system: both
    // are kept.
    const qsizetype known = m_recordIndex.size();
    qsizetype &index = m_recordIndex[path];
    if (m_recordIndex.size() == known) {
        m_records[index] = record;
    } else {
        index = m_records.size();
        // Most paths are their own lower case: the exact index finds them under that spelling,
        // and only the others get an entry of their own.
        if (!path.isLower()) {
            const QString folded = path.toLower();
            if (!m_foldedIndex.contains(folded) && !m_recordIndex.contains(folded))
                m_foldedIndex.insert(folded, m_records.size());
        }
        m_records.append(record);
    }
    // Items come folder by folder: the last folder's list serves its next items without a look-up.
    const qsizetype slash = path.lastIndexOf(u'/');
    const QStringView parent = QStringView(path).left(std::max<qsizetype>(slash, 0));
    if (!m_lastChildren || parent != m_lastParent) {
        m_lastParent = parent.toString();
        m_lastChildren = &m_children[parentKey(path)];
    }
    m_lastChildren->append(record);
}

QList<VLEncryptedArchiveItemPtr> VLArchiveRecordTable::childrenAtPath(const QString &path) const
{
    const QString key = path.isEmpty() || path == u"/" ? QStringLiteral("/") : withoutTrailingSlashes(path).toLower();
    std::lock_guard lock(m_mutex);
    return m_children.value(key);
}

VLEncryptedArchiveItemPtr VLArchiveRecordTable::recordAtPath(const QString &path) const
{
    std::lock_guard lock(m_mutex);
    const auto exact = m_recordIndex.constFind(path);
    if (exact != m_recordIndex.constEnd())
        return m_records.at(exact.value());
    const QString lower = path.toLower();
    const auto folded = m_foldedIndex.constFind(lower);
    if (folded != m_foldedIndex.constEnd())
        return m_records.at(folded.value());
    const auto own = m_recordIndex.constFind(lower);
    return own != m_recordIndex.constEnd() ? m_records.at(own.value()) : nullptr;
}

quint64 VLArchiveRecordTable::totalSize() const
{
    std::lock_guard lock(m_mutex);
    quint64 total = 0;
    for (const VLEncryptedArchiveItemPtr &record : m_records)
        total += record->size();
    return total;
}

void VLArchiveRecordTable::clear()
{
    std::lock_guard lock(m_mutex);
    m_records.clear();
    m_recordIndex.clear();
    m_foldedIndex.clear();
    m_children.clear();
    m_lastParent.clear();
    m_lastChildren = nullptr;
}
