#include "engine/archive/VLDeflate.h"

#include "platform/core/Log.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <optional>

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

// The thread's libdeflate compressor at a level, for whole items and blocks alike; null when it
// cannot be made.
libdeflate_compressor *compressorAtLevel(int level)
{
    thread_local WholeCompressor state;
    if (state.level != level) {
        if (state.compressor)
            libdeflate_free_compressor(state.compressor);
        state.compressor = libdeflate_alloc_compressor(level);
        state.level = state.compressor ? level : -1;
    }
    return state.compressor;
}

} // namespace

bool compressWhole(const std::uint8_t *data, std::size_t size, int level, std::vector<std::uint8_t> &out)
{
    libdeflate_compressor *compressor = compressorAtLevel(level);
    if (!compressor)
        return false;
    out.resize(libdeflate_zlib_compress_bound(compressor, size));
    const std::size_t produced = libdeflate_zlib_compress(compressor, data, size, out.data(), out.size());
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

namespace {

// A block through zlib: the slower way, taken when libdeflate's cannot be joined.
bool compressBlockWithZlib(const std::uint8_t *data, std::size_t size, bool last, int level,
                           std::vector<std::uint8_t> &out)
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

// Where a raw deflate stream's last block starts and where the stream ends, in bits from its
// first byte, found by inflating it block by block. Nothing when it is not one whole stream of
// `size` bytes of data.
struct StreamBounds
{
    std::size_t lastBlockBit = 0;
    std::size_t endBit = 0;
};

struct BlockInflater
{
    z_stream stream{};
    bool ready = false;
    std::vector<std::uint8_t> scratch;
    ~BlockInflater()
    {
        if (ready)
            inflateEnd(&stream);
    }
};

std::optional<StreamBounds> rawStreamBounds(const std::uint8_t *deflated, std::size_t length, std::size_t size)
{
    thread_local BlockInflater state;
    z_stream &stream = state.stream;
    if (!state.ready) {
        if (inflateInit2(&stream, -15) != Z_OK)
            return std::nullopt;
        state.ready = true;
    } else if (inflateReset(&stream) != Z_OK) {
        return std::nullopt;
    }
    state.scratch.resize(size + 1);
    stream.next_in = const_cast<Bytef *>(deflated);
    stream.avail_in = uInt(length);
    stream.next_out = state.scratch.data();
    stream.avail_out = uInt(state.scratch.size());
    // The bit inflate has reached: the bytes it took, less the bits of the last one it has not used.
    auto bit = [&] { return std::size_t(stream.next_in - deflated) * 8 - std::size_t(stream.data_type & 63); };
    StreamBounds bounds;
    for (;;) {
        if (inflate(&stream, Z_BLOCK) != Z_OK)
            return std::nullopt;
        // Stopped between blocks (bit 7), after the last one (bit 6) or before the next.
        if ((stream.data_type & 128) == 0)
            continue;
        if ((stream.data_type & 64) != 0)
            break;
        bounds.lastBlockBit = bit();
    }
    bounds.endBit = bit();
    const std::size_t produced = state.scratch.size() - stream.avail_out;
    if (produced != size || (bounds.endBit + 7) / 8 != length)
        return std::nullopt;
    return bounds;
}

} // namespace

bool compressBlock(const std::uint8_t *data, std::size_t size, bool last, int level, std::vector<std::uint8_t> &out)
{
    // libdeflate compresses a block in well under half zlib's time, but only as a stream of its
    // own, without the data before it: its last block is made not the last and the stream is
    // ended on a byte boundary with an empty stored block, as zlib's sync flush does, so that the
    // blocks still join into one stream.
    if (libdeflate_compressor *compressor = level > 0 ? compressorAtLevel(level) : nullptr) {
        // Made in the thread's scratch, so that only the bytes it holds are copied out.
        thread_local std::vector<std::uint8_t> scratch;
        scratch.resize(std::max(scratch.size(), libdeflate_deflate_compress_bound(compressor, size)));
        const std::size_t length = libdeflate_deflate_compress(compressor, data, size, scratch.data(), scratch.size());
        if (const std::optional<StreamBounds> bounds = length > 0 ? rawStreamBounds(scratch.data(), length, size)
                                                                  : std::nullopt) {
            out.reserve(length + 5);
            out.assign(scratch.begin(), scratch.begin() + std::ptrdiff_t(length));
            if (last)
                return true;
            out[bounds->lastBlockBit / 8] &= std::uint8_t(~(1u << (bounds->lastBlockBit % 8)));
            // A stored block's header (three zero bits) after the end, then its empty length.
            if (const std::size_t used = bounds->endBit % 8)
                out.back() &= std::uint8_t((1u << used) - 1);
            out.resize((bounds->endBit + 3 + 7) / 8, 0);
            out.insert(out.end(), {0x00, 0x00, 0xff, 0xff});
            return true;
        }
    }
    return compressBlockWithZlib(data, size, last, level, out);
}

std::uint32_t adler32(const std::uint8_t *data, std::size_t size)
{
    // libdeflate's is several times faster than zlib's.
    return libdeflate_adler32(1, data, size);
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
