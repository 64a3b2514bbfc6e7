#pragma once
// A decoded picture in plain memory, laid out the way a 32-bit A8R8G8B8 texture is: rows top
// first, each row `width` words with no padding, each word 0xAARRGGBB (bytes B, G, R, A in
// memory). Uploading it is one row copy per row into the locked texture at its pitch:
//
//     for (uint32_t y = 0; y < image.height; ++y)
//         memcpy(bits + y * pitch, image.Row(y), image.RowBytes());
//
// The texture itself is image size raised to powers of two (TextureSize); the texels outside
// the picture are not covered by the image.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace QuillEngine {

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    // False when every pixel is opaque by construction (a plain JPEG).
    bool hasAlpha = false;

    // Room for width × height words (left uninitialised). The buffer of an earlier picture is reused when it is large
    // enough, so one image decoded into again and again allocates only for its largest picture. False (and empty) when
    // a side is 0 or the memory cannot be had.
    bool Allocate(uint32_t w, uint32_t h);
    // No picture; the memory is kept for the next Allocate.
    void Clear();
    // No picture and no memory.
    void Reset();
    bool Empty() const { return width == 0; }

    size_t RowBytes() const { return size_t(width) * 4; }
    uint32_t* Pixels() { return buffer_.get(); }
    const uint32_t* Pixels() const { return buffer_.get(); }
    uint32_t* Row(uint32_t y) { return buffer_.get() + size_t(y) * width; }
    const uint32_t* Row(uint32_t y) const { return buffer_.get() + size_t(y) * width; }
    uint32_t Pixel(uint32_t x, uint32_t y) const { return Row(y)[x]; }

private:
    std::unique_ptr<uint32_t[]> buffer_;
    size_t capacity_ = 0; // in words
};

// The smallest power of two at or above `v` (1 for 0); 0 when it does not fit in 32 bits.
constexpr uint32_t NextPowerOfTwo(uint32_t v)
{
    if (v <= 1)
        return 1;
    if (v > 0x80000000u)
        return 0;
    --v;
    v |= v >> 1;
    v |= v >> 2;
    v |= v >> 4;
    v |= v >> 8;
    v |= v >> 16;
    return v + 1;
}

constexpr bool IsPowerOfTwo(uint32_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}

// Whether a picture of this size has a texture on a device whose textures are at most
// `maxTextureSize` texels on a side: neither side 0, each side's power of two within the limit.
constexpr bool FitsTexture(uint32_t width, uint32_t height, uint32_t maxTextureSize)
{
    if (width == 0 || height == 0)
        return false;
    const uint32_t tw = NextPowerOfTwo(width);
    const uint32_t th = NextPowerOfTwo(height);
    return tw != 0 && th != 0 && tw <= maxTextureSize && th <= maxTextureSize;
}

} // namespace QuillEngine
