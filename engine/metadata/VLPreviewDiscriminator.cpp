#include "engine/metadata/VLPreviewDiscriminator.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

struct MemoryReader
{
    const png_byte *data;
    png_size_t size;
    png_size_t offset;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto *reader = static_cast<MemoryReader *>(png_get_io_ptr(png));
    if (length > reader->size - reader->offset)
        png_error(png, "end of buffer");
    std::memcpy(out, reader->data + reader->offset, length);
    reader->offset += length;
}

// libpng 1.6 reports a gamma for an sRGB chunk alone, so whether a gAMA chunk itself is present is
// read from the chunk headers libpng has already read (and checked) up to the image data.
bool readGammaChunk(const MemoryReader &reader)
{
    png_size_t position = 8;
    while (position + 8 <= reader.offset) {
        const png_uint_32 length = png_get_uint_32(reader.data + position);
        if (std::memcmp(reader.data + position + 4, "gAMA", 4) == 0)
            return true;
        if (length > reader.offset - position - 8)
            break;
        position += png_size_t(length) + 12;
    }
    return false;
}

// Plain C shapes only between the setjmp and libpng's longjmp: no destructors are skipped.
int discriminate(const png_byte *bytes, png_size_t size)
{
    if (png_sig_cmp(bytes, 0, size) != 0)
        return VLPreviewDiscriminator::Unreadable;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return VLPreviewDiscriminator::Unreadable;
    png_infop info = png_create_info_struct(png);
    png_infop endInfo = info ? png_create_info_struct(png) : nullptr;
    if (!info || !endInfo) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return VLPreviewDiscriminator::Unreadable;
    }

    MemoryReader reader{bytes, size, 0};
    volatile int result = VLPreviewDiscriminator::Unreadable;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &reader, readFromMemory);
        png_read_info(png, info);
        png_charp name = nullptr;
        int compression = 0;
        png_bytep profile = nullptr;
        png_uint_32 profileLength = 0;
        int intent = 0;
        double gamma = 0;
        if (png_get_iCCP(png, info, &name, &compression, &profile, &profileLength))
            result = VLPreviewDiscriminator::Other;
        else if (png_get_sRGB(png, info, &intent) && png_get_gAMA(png, info, &gamma) && readGammaChunk(reader))
            result = VLPreviewDiscriminator::SRGBWithGamma;
        else
            result = VLPreviewDiscriminator::Other;
    }
    png_destroy_read_struct(&png, &info, &endInfo);
    return result;
}

} // namespace

int VLPreviewDiscriminator::discriminatePreviewData(const std::optional<QByteArray> &data)
{
    if (!data || data->isEmpty())
        return Unreadable;
    return discriminate(reinterpret_cast<const png_byte *>(data->constData()), png_size_t(data->size()));
}
