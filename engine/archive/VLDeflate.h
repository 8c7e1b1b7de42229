#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The compression of item data. Every item's data is one zlib stream, made by libdeflate, which is
// much faster than zlib at the same level. A large item is cut into blocks that workers compress
// at once, each on its own and ended on a byte boundary, so that the blocks join into one stream.
// Each thread keeps its own compressor state.
namespace VLDeflate {

// The one-stream form of data: a zlib stream at a level from 0 to 9. False when the library fails.
[[nodiscard]] bool compressWhole(const std::uint8_t *data, std::size_t size, int level, std::vector<std::uint8_t> &out);

enum class InflateResult { Done, Short, TooLong, Damaged };
// Inflates a whole zlib stream into `out` (sized to what the item announces); Short when the stream
// ended early (`*produced` bytes), TooLong when it holds more than `out` takes.
InflateResult inflateWhole(const std::uint8_t *data, std::size_t size, std::vector<std::uint8_t> &out,
                           std::size_t *produced);

// The two bytes a zlib stream at this level starts with.
void appendStreamHeader(std::vector<std::uint8_t> &out, int level);
// A block of a stream in raw deflate form, on its own (no data before it is referred to), ended
// with a sync flush or, for the last block, with the final block.
[[nodiscard]] bool compressBlock(const std::uint8_t *data, std::size_t size, bool last, int level,
                                 std::vector<std::uint8_t> &out);
std::uint32_t adler32(const std::uint8_t *data, std::size_t size);
// The checksum of two pieces joined, from theirs and the second one's length.
std::uint32_t adler32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize);
void appendStreamTrailer(std::vector<std::uint8_t> &out, std::uint32_t adler);

} // namespace VLDeflate
