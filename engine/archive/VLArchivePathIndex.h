#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

// Paths and the positions they were entered with, looked up by path, exactly or without regard to
// case: an open-addressed table of positions, so that entering one of a large tree's paths
// allocates nothing of its own. The paths themselves stay with the caller, who tells whether the
// path entered at a position is a given one (asked only when the hashes agree), comparing them
// as the index does.
class VLArchivePathIndex final
{
public:
    using Matches = std::function<bool(qsizetype position, QStringView path)>;

    explicit VLArchivePathIndex(Qt::CaseSensitivity sensitivity = Qt::CaseSensitive) : m_sensitivity(sensitivity) {}
    Q_DISABLE_COPY_MOVE(VLArchivePathIndex)

    // The position path was entered with, or -1.
    qsizetype find(QStringView path, const Matches &matches) const;
    // Enters path with position, unless it was entered before: the position it has and whether
    // it was entered now.
    std::pair<qsizetype, bool> insert(QStringView path, qsizetype position, const Matches &matches);
    void clear();

private:
    struct Slot
    {
        quint32 hash = 0;
        quint32 entry = 0; // 1 + the position, 0 for a free slot
    };
    quint32 hashOf(QStringView path) const;
    // The slot that holds path, or the free one where it would go.
    std::size_t slotOf(QStringView path, quint32 hash, const Matches &matches) const;
    void grow();

    const Qt::CaseSensitivity m_sensitivity;
    std::vector<Slot> m_slots; // a power of two, at most half full
    std::size_t m_count = 0;
};
