#include <algorithm>
#include <cstring>

#include "engine/graphics/image/ImageDecoders.h"

namespace QuillEngine {

namespace {
constexpr size_t kTgaHeaderSize = 18;

constexpr uint8_t kTypeTrueColour = 2;
constexpr uint8_t kTypeTrueColourRle = 10;

uint16_t Le16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

// Run-length packets: a header byte whose low seven bits are the count less one, and whose top
// bit says whether one pixel repeats (a run) or that many pixels follow (raw). A packet may not
// reach past the picture or the file.
bool DecodeRle(const uint8_t* src, size_t available, uint8_t* dst, size_t pixels)
{
    size_t done = 0;
    while (done < pixels) {
        if (available < 1)
            return false;
        const uint8_t header = *src++;
        --available;
        const size_t count = size_t(header & 0x7F) + 1;
        if (count > pixels - done)
            return false;
        const bool run = (header & 0x80) != 0;
        const size_t need = run ? 4 : count * 4;
        if (available < need)
            return false;
        if (run) {
            for (size_t i = 0; i < count; ++i)
                std::memcpy(dst + (done + i) * 4, src, 4);
        } else {
            std::memcpy(dst + done * 4, src, need);
        }
        src += need;
        available -= need;
        done += count;
    }
    return true;
}
} // namespace

bool DecodeTga(const uint8_t* data, size_t size, uint32_t maxTextureSize, Image& out)
{
    out.Clear();
    if (!data || size < kTgaHeaderSize)
        return false;
    const size_t idLength = data[0];
    const uint8_t colourMapType = data[1];
    const uint8_t imageType = data[2];
    // Only true-colour pictures without a colour map, stored plainly or run-length encoded.
    if (colourMapType != 0 || (imageType != kTypeTrueColour && imageType != kTypeTrueColourRle))
        return false;
    const uint32_t width = Le16(data + 12);
    const uint32_t height = Le16(data + 14);
    const uint32_t depth = data[16];
    const uint32_t maxSide = std::min(maxTextureSize, kMaxTgaSide);
    if (!IsPowerOfTwo(width) || !IsPowerOfTwo(height) || width > maxSide || height > maxSide || depth != 32)
        return false;

    const size_t offset = kTgaHeaderSize + idLength;
    const size_t bytes = size_t(width) * height * 4;
    if (offset > size)
        return false;
    if (imageType == kTypeTrueColour && size - offset < bytes)
        return false;
    if (!out.Allocate(width, height))
        return false;
    // The file's B, G, R, A bytes are the image's own order.
    if (imageType == kTypeTrueColour) {
        std::memcpy(out.Pixels(), data + offset, bytes);
    } else if (!DecodeRle(data + offset, size - offset, reinterpret_cast<uint8_t*>(out.Pixels()), size_t(width) * height)) {
        out.Clear();
        return false;
    }
    out.hasAlpha = true;
    return true;
}

} // namespace QuillEngine
