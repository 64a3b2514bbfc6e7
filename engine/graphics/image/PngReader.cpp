#include <png.h>

#include <climits>
#include <csetjmp>
#include <cstring>

#include "engine/graphics/image/ImageDecoders.h"

// libpng reports fatal errors by a long jump back to the setjmp of the call in progress. The
// functions holding a setjmp keep only plain pointers and integers, and every C++ object lives in
// the caller, so the jump skips no destructor.

namespace QuillEngine {

namespace {

struct PngMemory {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count)
{
    auto* source = static_cast<PngMemory*>(png_get_io_ptr(png));
    if (count > source->size - source->pos)
        png_error(png, "truncated");
    std::memcpy(out, source->data + source->pos, count);
    source->pos += count;
}

void SilentError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void SilentWarning(png_structp, png_const_charp) {}

struct PngHeader {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colorType;
};

bool ReadHeader(png_structp png, png_infop info, PngHeader* header)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bitDepth = png_get_bit_depth(png, info);
    header->colorType = png_get_color_type(png, info);
    return true;
}

bool ReadRows(png_structp png, png_infop info, uint8_t* pixels, size_t rowBytes, png_uint_32 height)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != rowBytes)
        return false;
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, pixels + size_t(y) * rowBytes, nullptr);
    }
    return true;
}

} // namespace

bool DecodePng(const uint8_t* data, size_t size, uint32_t maxTextureSize, Image& out)
{
    out.Clear();
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    PngMemory source{data, size, 0};
    png_set_read_fn(png, &source, ReadFromMemory);
    // Sizes beyond the device's textures are refused while the header is read.
    const png_uint_32 limit = png_uint_32(maxTextureSize > 0x7FFFFFFFu ? 0x7FFFFFFFu : maxTextureSize);
    png_set_user_limits(png, limit, limit);

    bool ok = false;
    PngHeader header{};
    if (ReadHeader(png, info, &header) && header.colorType == PNG_COLOR_TYPE_RGBA && header.bitDepth == 8 &&
        FitsTexture(header.width, header.height, maxTextureSize) && out.Allocate(header.width, header.height)) {
        ok = ReadRows(png, info, reinterpret_cast<uint8_t*>(out.Pixels()), out.RowBytes(), header.height);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        out.Clear();
        return false;
    }
    out.hasAlpha = true;
    return true;
}

} // namespace QuillEngine
