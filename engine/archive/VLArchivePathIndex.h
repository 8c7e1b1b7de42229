#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

// Exact paths and the order they were entered in, looked up by path: an open-addressed table of
// positions, so that entering one of a large tree's paths allocates nothing of its own. The paths
// themselves stay with the caller, who tells whether the path entered at a position is a given one
// (asked only when the hashes agree).
class VLArchivePathIndex final
{
public:
    using Matches = std::function<bool(qsizetype position, QStringView path)>;

    VLArchivePathIndex() = default;
    Q_DISABLE_COPY_MOVE(VLArchivePathIndex)

    // The position path was entered at, or -1.
    qsizetype find(QStringView path, const Matches &matches) const;
    // The position of path and whether it was entered now, at the end.
    std::pair<qsizetype, bool> insert(QStringView path, const Matches &matches);
    void clear();

private:
    struct Slot
    {
        quint32 hash = 0;
        quint32 entry = 0; // 1 + the position, 0 for a free slot
    };
    static quint32 hashOf(QStringView path);
    // The slot that holds path, or the free one where it would go.
    std::size_t slotOf(QStringView path, quint32 hash, const Matches &matches) const;
    void grow();

    std::vector<Slot> m_slots; // a power of two, at most half full
    std::size_t m_count = 0;
};
