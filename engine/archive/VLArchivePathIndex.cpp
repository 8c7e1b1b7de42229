#include "engine/archive/VLArchivePathIndex.h"

#include <QHashFunctions>

quint32 VLArchivePathIndex::hashOf(QStringView path) const
{
    if (m_sensitivity == Qt::CaseSensitive) {
        const std::size_t hash = qHash(path);
        return quint32(hash ^ (quint64(hash) >> 32));
    }
    // Of the case-folded characters, which is what a comparison without regard to case compares.
    quint32 hash = 2166136261u; // FNV-1a
    for (qsizetype i = 0; i < path.size(); ++i) {
        char32_t character = path.at(i).unicode();
        if (QChar::isHighSurrogate(character) && i + 1 < path.size() && path.at(i + 1).isLowSurrogate())
            character = QChar::surrogateToUcs4(char16_t(character), path.at(++i).unicode());
        hash = (hash ^ quint32(QChar::toCaseFolded(character))) * 16777619u;
    }
    return hash;
}

std::size_t VLArchivePathIndex::slotOf(QStringView path, quint32 hash, const Matches &matches) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot &at = m_slots[slot];
        if (at.entry == 0 || (at.hash == hash && matches(qsizetype(at.entry) - 1, path)))
            return slot;
    }
}

qsizetype VLArchivePathIndex::find(QStringView path, const Matches &matches) const
{
    if (m_slots.empty())
        return -1;
    const Slot &at = m_slots[slotOf(path, hashOf(path), matches)];
    return at.entry == 0 ? -1 : qsizetype(at.entry) - 1;
}

std::pair<qsizetype, bool> VLArchivePathIndex::insert(QStringView path, qsizetype position, const Matches &matches)
{
    if ((m_count + 1) * 2 > m_slots.size())
        grow();
    const quint32 hash = hashOf(path);
    Slot &at = m_slots[slotOf(path, hash, matches)];
    if (at.entry != 0)
        return {qsizetype(at.entry) - 1, false};
    at = Slot{hash, quint32(position + 1)};
    ++m_count;
    return {position, true};
}

void VLArchivePathIndex::grow()
{
    std::vector<Slot> old(std::max<std::size_t>(64, m_slots.size() * 2));
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot &slot : old) {
        if (slot.entry == 0)
            continue;
        std::size_t at = slot.hash & mask;
        while (m_slots[at].entry != 0)
            at = (at + 1) & mask;
        m_slots[at] = slot;
    }
}

void VLArchivePathIndex::clear()
{
    m_slots = {};
    m_count = 0;
}
