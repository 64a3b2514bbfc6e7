#include <algorithm>
#include <cstring>

#include "engine/graphics/image/ImageDecoders.h"

namespace QuillEngine {

namespace {
constexpr size_t kTgaHeaderSize = 18;

uint16_t Le16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}
} // namespace

bool DecodeTga(const uint8_t* data, size_t size, uint32_t maxTextureSize, Image& out)
{
    out.Clear();
    if (!data || size < kTgaHeaderSize)
        return false;
    const size_t idLength = data[0];
    const uint32_t width = Le16(data + 12);
    const uint32_t height = Le16(data + 14);
    const uint32_t depth = data[16];
    const uint32_t maxSide = std::min(maxTextureSize, kMaxTgaSide);
    if (!IsPowerOfTwo(width) || !IsPowerOfTwo(height) || width > maxSide || height > maxSide || depth != 32)
        return false;

    const size_t offset = kTgaHeaderSize + idLength;
    const size_t bytes = size_t(width) * height * 4;
    if (offset > size || size - offset < bytes)
        return false;
    if (!out.Allocate(width, height))
        return false;
    // The file's B, G, R, A bytes are the image's own order.
    std::memcpy(out.Pixels(), data + offset, bytes);
    out.hasAlpha = true;
    return true;
}

} // namespace QuillEngine
