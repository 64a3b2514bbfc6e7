// Arbitrary bytes as the splash library's picture file (PNG, JPEG or BMP by content): a picture
// that decodes has a sane size and pixels that can all be read.

#include "splash/SplashPicture.h"

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QuillonSplash::SurfacePtr picture =
        QuillonSplash::DecodePicture(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!picture)
        return 0;
    SDL_Surface* s = picture.get();
    if (s->w <= 0 || s->h <= 0 || s->format->BytesPerPixel != 4 || s->pitch < s->w * 4)
        std::abort();
    uint32_t sum = 0;
    for (int y = 0; y < s->h; ++y) {
        const auto* row = static_cast<const uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch;
        sum += row[0] + row[static_cast<size_t>(s->w) * 4 - 1];
    }
    return static_cast<int>(sum & 0);
}
