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
    return QList<VLEncryptedArchiveItemPtr>(m_records.begin(), m_records.end());
}

void VLArchiveRecordTable::add(const VLEncryptedArchiveItemPtr &record, const QString &path)
{
    std::lock_guard lock(m_mutex);
    // Paths that differ only in case are different items on a case-sensitive file system: both
    // are kept.
    const auto [index, entered] = m_recordIndex.insert(path);
    if (!entered) {
        m_records[std::size_t(index)] = record;
    } else {
        // Most paths are their own lower case: the exact index finds them under that spelling,
        // and only the others get an entry of their own.
        if (!path.isLower()) {
            const QString folded = path.toLower();
            if (!m_foldedIndex.contains(folded) && m_recordIndex.find(folded) < 0)
                m_foldedIndex.insert(folded, index);
        }
        m_records.push_back(record);
    }
    // Items come folder by folder: the last folder's list serves its next items without a look-up.
    const qsizetype slash = path.lastIndexOf(u'/');
    const QStringView parent = QStringView(path).left(std::max<qsizetype>(slash, 0));
    if (!m_lastChildren || parent != m_lastParent) {
        m_lastParent = parent.toString();
        m_lastChildren = &m_children[parentKey(path)];
    }
    m_lastChildren->push_back(record);
}

QList<VLEncryptedArchiveItemPtr> VLArchiveRecordTable::childrenAtPath(const QString &path) const
{
    const QString key = path.isEmpty() || path == u"/" ? QStringLiteral("/") : withoutTrailingSlashes(path).toLower();
    std::lock_guard lock(m_mutex);
    const auto children = m_children.constFind(key);
    if (children == m_children.constEnd())
        return {};
    return QList<VLEncryptedArchiveItemPtr>(children->begin(), children->end());
}

VLEncryptedArchiveItemPtr VLArchiveRecordTable::recordAtPath(const QString &path) const
{
    std::lock_guard lock(m_mutex);
    const qsizetype exact = m_recordIndex.find(path);
    if (exact >= 0)
        return m_records[std::size_t(exact)];
    const QString lower = path.toLower();
    const auto folded = m_foldedIndex.constFind(lower);
    if (folded != m_foldedIndex.constEnd())
        return m_records[std::size_t(folded.value())];
    const qsizetype own = m_recordIndex.find(lower);
    return own >= 0 ? m_records[std::size_t(own)] : nullptr;
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
    m_records = {};
    m_recordIndex.clear();
    m_foldedIndex.clear();
    m_children.clear();
    m_lastParent.clear();
    m_lastChildren = nullptr;
}
