#pragma once
// Picture decoders working on bytes in memory. Each takes the device's largest texture side and
// refuses a picture whose texture would not fit before it allocates anything for the pixels.
// On failure `out` is left empty; no decoder writes to stderr or ends the process.

#include <cstddef>
#include <cstdint>

#include "engine/graphics/image/Image.h"

namespace QuillEngine {

// Largest side a TGA picture may have, whatever the device allows.
constexpr uint32_t kMaxTgaSide = 4096;

// 32-bit TGA written for the engine: 18-byte header (ID length at 0, 16-bit little-endian width
// at 12 and height at 14, pixel depth at 16), the ID field, then B, G, R, A bytes, top row
// first. Both sides must be powers of two. Nothing else of the header is examined.
bool DecodeTga(const uint8_t* data, size_t size, uint32_t maxTextureSize, Image& out);

// 8-bit RGBA PNG (any other colour type or depth is refused); interlaced files are fine.
bool DecodePng(const uint8_t* data, size_t size, uint32_t maxTextureSize, Image& out);

// Three-component (colour) JPEG, opaque. A file that ends before its end-of-image marker is
// refused, as is a grey-scale or CMYK file.
bool DecodeJpeg(const uint8_t* data, size_t size, uint32_t maxTextureSize, Image& out);

// An uncompressed 8-bit BMP, bottom-up rows, as laid out in the file.
struct Bmp8View {
    uint32_t width = 0;
    uint32_t height = 0;
    size_t stride = 0;             // bytes per stored row (padded to 4)
    const uint8_t* bits = nullptr; // first stored row (the bottom one)

    // Byte of the pixel at (x, y), y counted from the top.
    uint8_t At(uint32_t x, uint32_t y) const { return bits[size_t(height - 1 - y) * stride + x]; }
};

// Validates the headers and that every padded row lies inside the file; pixel data starts at the
// file header's offset field (the palette sits in between). At most `maxSide` on a side.
bool ReadBmp8(const uint8_t* data, size_t size, uint32_t maxSide, Bmp8View& out);

// Puts an 8-bit BMP in as the alpha of `image`. The BMP covers the whole texture (image sides
// raised to powers of two) and must have exactly that size; each pixel byte is the alpha itself,
// not looked up in the palette. On failure `image` is unchanged.
bool ApplyBmpAlpha(const uint8_t* data, size_t size, Image& image);

} // namespace QuillEngine
