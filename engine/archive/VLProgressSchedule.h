#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstddef>

// The points at which one item's progress is reported: after each piece of it, once at least
// `step` bytes have passed since the last report. Items are made on workers in pieces of other
// sizes, or whole; the points stay those of the item's bytes, whoever made them.
class VLProgressSchedule final
{
public:
    VLProgressSchedule(quint64 size, quint64 step) : m_size(size), m_step(step) {}

    quint64 done() const { return m_done; }

    // Calls report(done) for each point up to `to` bytes; false as soon as a report says stop.
    template <typename Report>
    bool advance(quint64 to, Report report)
    {
        to = std::min(to, m_size);
        while (m_done < to) {
            const quint64 piece = std::min<quint64>(pieceSize, to - m_done);
            m_done += piece;
            m_since += piece;
            if (m_since >= m_step) {
                m_since = 0;
                if (!report(m_done))
                    return false;
            }
        }
        return true;
    }

    static constexpr std::size_t pieceSize = 16384;

private:
    quint64 m_size;
    quint64 m_step;
    quint64 m_done = 0;
    quint64 m_since = 0;
};
