// Feeds arbitrary bytes to every picture decoder (TGA, PNG, JPEG, and the 8-bit BMP alpha mask)
// with a small texture limit. A decoder must refuse or decode; on success every pixel of the
// result is read, so an image shorter than its stated size shows up under the address sanitiser.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/graphics/image/ImageDecoders.h"

using namespace QuillEngine;

namespace {

constexpr uint32_t kMaxTextureSize = 256;

uint32_t Touch(const Image& image)
{
    if (image.width == 0 || image.height == 0 || image.width > kMaxTextureSize || image.height > kMaxTextureSize)
        std::abort();
    uint32_t sum = 0;
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x)
            sum += image.Pixel(x, y);
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    volatile uint32_t sink = 0;
    Image image;
    if (DecodeTga(data, size, kMaxTextureSize, image))
        sink = sink + Touch(image);
    if (DecodePng(data, size, kMaxTextureSize, image))
        sink = sink + Touch(image);
    if (DecodeJpeg(data, size, kMaxTextureSize, image)) {
        sink = sink + Touch(image);
        if (image.hasAlpha)
            std::abort();
    }

    Bmp8View bmp;
    if (ReadBmp8(data, size, kMaxTextureSize, bmp)) {
        uint32_t sum = 0;
        for (uint32_t y = 0; y < bmp.height; ++y)
            for (uint32_t x = 0; x < bmp.width; ++x)
                sum += bmp.At(x, y);
        sink = sink + sum;
        // As an alpha mask over a picture whose texture has the mask's size.
        if (IsPowerOfTwo(bmp.width) && IsPowerOfTwo(bmp.height) && image.Allocate(bmp.width, bmp.height)) {
            for (uint32_t y = 0; y < image.height; ++y)
                for (uint32_t x = 0; x < image.width; ++x)
                    image.Row(y)[x] = 0xFF000000u;
            if (!ApplyBmpAlpha(data, size, image))
                std::abort();
            sink = sink + Touch(image);
        }
    }
    (void)sink;
    return 0;
}
