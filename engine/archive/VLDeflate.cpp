#include "engine/archive/VLDeflate.h"

#include "platform/core/Log.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <climits>

namespace VLDeflate {

namespace {

struct WholeCompressor
{
    libdeflate_compressor *compressor = nullptr;
    int level = -1;
    ~WholeCompressor()
    {
        if (compressor)
            libdeflate_free_compressor(compressor);
    }
};

struct WholeDecompressor
{
    libdeflate_decompressor *decompressor = libdeflate_alloc_decompressor();
    ~WholeDecompressor()
    {
        if (decompressor)
            libdeflate_free_decompressor(decompressor);
    }
};

struct BlockCompressor
{
    z_stream stream{};
    int level = -1;
    ~BlockCompressor()
    {
        if (level >= 0)
            deflateEnd(&stream);
    }
};

} // namespace

bool compressWhole(const std::uint8_t *data, std::size_t size, int level, std::vector<std::uint8_t> &out)
{
    thread_local WholeCompressor state;
    if (state.level != level) {
        if (state.compressor)
            libdeflate_free_compressor(state.compressor);
        state.compressor = libdeflate_alloc_compressor(level);
        state.level = state.compressor ? level : -1;
    }
    if (!state.compressor)
        return false;
    out.resize(libdeflate_zlib_compress_bound(state.compressor, size));
    const std::size_t produced = libdeflate_zlib_compress(state.compressor, data, size, out.data(), out.size());
    out.resize(produced);
    return produced > 0;
}

InflateResult inflateWhole(const std::uint8_t *data, std::size_t size, std::vector<std::uint8_t> &out,
                           std::size_t *produced)
{
    thread_local WholeDecompressor state;
    *produced = 0;
    if (!state.decompressor)
        return InflateResult::Damaged;
    std::size_t consumed = 0;
    const libdeflate_result result = libdeflate_zlib_decompress_ex(state.decompressor, data, size, out.data(),
                                                                   out.size(), &consumed, produced);
    switch (result) {
    case LIBDEFLATE_SUCCESS:
        return *produced == out.size() ? InflateResult::Done : InflateResult::Short;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
        return InflateResult::TooLong;
    default:
        return InflateResult::Damaged;
    }
}

void appendStreamHeader(std::vector<std::uint8_t> &out, int level)
{
    // Method 8 with a 32 KiB window, the level's class in the flags, and the check bits.
    const unsigned levelClass = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned header = (0x78u << 8) | (levelClass << 6);
    header += 31 - header % 31;
    out.push_back(std::uint8_t(header >> 8));
    out.push_back(std::uint8_t(header & 0xff));
}

bool compressBlock(const std::uint8_t *dictionary, std::size_t dictionaryLength, const std::uint8_t *data,
                   std::size_t size, bool last, int level, std::vector<std::uint8_t> &out)
{
    thread_local BlockCompressor state;
    if (state.level != level) {
        if (state.level >= 0)
            deflateEnd(&state.stream);
        state.stream = z_stream{};
        state.level = -1;
        const int result = deflateInit2(&state.stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        if (result != Z_OK) {
            platform::log(QStringLiteral("Warning! deflateInit failed. Error %1").arg(result));
            return false;
        }
        state.level = level;
    } else if (deflateReset(&state.stream) != Z_OK) {
        return false;
    }
    z_stream &stream = state.stream;
    if (dictionaryLength > 0 && deflateSetDictionary(&stream, dictionary, uInt(dictionaryLength)) != Z_OK)
        return false;
    // The bound of the whole stream plus room for the flush marker.
    out.resize(deflateBound(&stream, uLong(size)) + 16);
    stream.next_in = const_cast<Bytef *>(data);
    stream.avail_in = uInt(size);
    std::size_t produced = 0;
    for (;;) {
        stream.next_out = out.data() + produced;
        stream.avail_out = uInt(out.size() - produced);
        const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
        produced = out.size() - stream.avail_out;
        if (result == Z_STREAM_END || (!last && result == Z_OK && stream.avail_out != 0))
            break;
        if (result != Z_OK && result != Z_BUF_ERROR) {
            platform::log(QStringLiteral("Warning! deflate failed. Error %1").arg(result));
            return false;
        }
        out.resize(out.size() * 2);
    }
    out.resize(produced);
    return true;
}

std::uint32_t adler32(const std::uint8_t *data, std::size_t size)
{
    uLong value = ::adler32(0, nullptr, 0);
    while (size > 0) {
        const uInt piece = uInt(std::min<std::size_t>(size, UINT_MAX));
        value = ::adler32(value, data, piece);
        data += piece;
        size -= piece;
    }
    return std::uint32_t(value);
}

std::uint32_t adler32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize)
{
    return std::uint32_t(adler32_combine64(first, second, z_off64_t(secondSize)));
}

void appendStreamTrailer(std::vector<std::uint8_t> &out, std::uint32_t adler)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(std::uint8_t(adler >> shift));
}

} // namespace VLDeflate
