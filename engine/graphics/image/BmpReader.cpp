#include <cstring>

#include "engine/graphics/image/ImageDecoders.h"

namespace QuillEngine {

namespace {
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;

uint16_t Le16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
} // namespace

bool ReadBmp8(const uint8_t* data, size_t size, uint32_t maxSide, Bmp8View& out)
{
    out = Bmp8View{};
    if (!data || size < kFileHeaderSize + kInfoHeaderSize)
        return false;
    if (data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t pixelOffset = Le32(data + 10);   // bfOffBits
    const uint32_t infoSize = Le32(data + 14);      // biSize
    const int32_t width = int32_t(Le32(data + 18)); // biWidth
    // biHeight: positive for the usual bottom-up rows; a top-down file (negative) is not taken.
    const int32_t height = int32_t(Le32(data + 22));
    const uint16_t bitCount = Le16(data + 28);
    const uint32_t compression = Le32(data + 30);
    if (infoSize < kInfoHeaderSize || bitCount != 8 || compression != 0)
        return false;
    if (width <= 0 || height <= 0 || uint32_t(width) > maxSide || uint32_t(height) > maxSide)
        return false;
    if (pixelOffset < kFileHeaderSize + infoSize || pixelOffset > size)
        return false;

    const size_t stride = (size_t(width) + 3) & ~size_t(3);
    const size_t available = size - pixelOffset;
    if (available / stride < size_t(height))
        return false;
    out.width = uint32_t(width);
    out.height = uint32_t(height);
    out.stride = stride;
    out.bits = data + pixelOffset;
    return true;
}

bool ApplyBmpAlpha(const uint8_t* data, size_t size, Image& image)
{
    if (image.Empty())
        return false;
    const uint32_t textureWidth = NextPowerOfTwo(image.width);
    const uint32_t textureHeight = NextPowerOfTwo(image.height);
    Bmp8View bmp;
    if (!ReadBmp8(data, size, 0x80000000u, bmp))
        return false;
    if (bmp.width != textureWidth || bmp.height != textureHeight)
        return false;
    for (uint32_t y = 0; y < image.height; ++y) {
        uint32_t* row = image.Row(y);
        const uint8_t* alpha = bmp.bits + size_t(bmp.height - 1 - y) * bmp.stride;
        for (uint32_t x = 0; x < image.width; ++x)
            row[x] = (row[x] & 0x00FFFFFFu) | (uint32_t(alpha[x]) << 24);
    }
    image.hasAlpha = true;
    return true;
}

} // namespace QuillEngine
