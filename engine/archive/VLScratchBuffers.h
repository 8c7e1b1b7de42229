#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Scratch buffers that a worker thread keeps from one item to the next. They stay while they are
// small; a buffer grown for one large item is released when that item is done, so that a pool's
// memory does not settle at the size of its largest items.
class VLScratchTrim final
{
public:
    static constexpr std::size_t keptSize = 256 * 1024;

    VLScratchTrim(std::vector<std::uint8_t> &first, std::vector<std::uint8_t> &second)
        : m_first(first)
        , m_second(second)
    {
    }
    ~VLScratchTrim()
    {
        release(m_first);
        release(m_second);
    }
    VLScratchTrim(const VLScratchTrim &) = delete;
    VLScratchTrim &operator=(const VLScratchTrim &) = delete;

private:
    static void release(std::vector<std::uint8_t> &buffer)
    {
        if (buffer.capacity() > keptSize)
            std::vector<std::uint8_t>().swap(buffer);
    }

    std::vector<std::uint8_t> &m_first;
    std::vector<std::uint8_t> &m_second;
};
