#include "splash/SplashPicture.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace QuillonSplash {

namespace {

SurfacePtr NewSurface(int w, int h)
{
    return SurfacePtr(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888));
}

bool SaneSize(long long w, long long h)
{
    return w > 0 && h > 0 && w <= kMaxPictureSide && h <= kMaxPictureSide;
}

SurfacePtr DecodePng(std::string_view bytes)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return nullptr;
    if (!SaneSize(image.width, image.height)) {
        png_image_free(&image);
        return nullptr;
    }
    // BGRA in memory is ARGB8888 on a little-endian machine.
    image.format = SDL_BYTEORDER == SDL_LIL_ENDIAN ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    SurfacePtr s = NewSurface(static_cast<int>(image.width), static_cast<int>(image.height));
    if (!s) {
        png_image_free(&image);
        return nullptr;
    }
    if (!png_image_finish_read(&image, nullptr, s->pixels, s->pitch, nullptr)) {
        png_image_free(&image);
        return nullptr;
    }
    return s;
}

struct JpegError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void JpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegSilence(j_common_ptr) {}

// Kept free of objects with destructors between setjmp and the end: a longjmp skips them.
bool DecodeJpegInto(std::string_view bytes, SDL_Surface** out)
{
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = &JpegFail;
    error.base.output_message = &JpegSilence;
    SDL_Surface* volatile surface = nullptr;
    unsigned char* volatile row = nullptr;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        SDL_FreeSurface(surface);
        std::free(row);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (!SaneSize(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    surface = SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(info.output_width),
                                             static_cast<int>(info.output_height), 32, SDL_PIXELFORMAT_ARGB8888);
    row = static_cast<unsigned char*>(std::malloc(size_t(info.output_width) * 3));
    if (!surface || !row) {
        jpeg_destroy_decompress(&info);
        SDL_FreeSurface(surface);
        std::free(row);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        const unsigned y = info.output_scanline;
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&info, rows, 1);
        auto* dst = reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(surface->pixels) +
                                                size_t(y) * size_t(surface->pitch));
        for (unsigned x = 0; x < info.output_width; ++x) {
            const unsigned char* p = row + x * 3;
            dst[x] = 0xFF000000u | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::free(row);
    *out = surface;
    return true;
}

uint32_t Le(std::string_view bytes, size_t at, size_t count)
{
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value |= uint32_t(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}

SurfacePtr DecodeBmp(std::string_view bytes)
{
    // The size in the header is checked before SDL sees it: SDL allocates the whole surface
    // from the header alone, before reading a single pixel.
    if (bytes.size() < 26)
        return nullptr;
    long long w = 0, h = 0;
    if (Le(bytes, 14, 4) == 12) { // the old core header: 16-bit sizes
        w = Le(bytes, 18, 2);
        h = Le(bytes, 20, 2);
    } else {
        w = static_cast<int32_t>(Le(bytes, 18, 4));
        h = static_cast<int32_t>(Le(bytes, 22, 4));
        if (h < 0)
            h = -h; // rows stored top-down
    }
    if (!SaneSize(w, h))
        return nullptr;
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    if (!rw)
        return nullptr;
    SurfacePtr loaded(SDL_LoadBMP_RW(rw, 1));
    if (!loaded || !SaneSize(loaded->w, loaded->h))
        return nullptr;
    return SurfacePtr(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
}

} // namespace

SurfacePtr DecodePicture(std::string_view bytes)
{
    if (bytes.size() > kMaxPictureFileBytes)
        return nullptr;
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
        return DecodePng(bytes);
    if (bytes.size() >= 3 && std::memcmp(bytes.data(), "\xFF\xD8\xFF", 3) == 0) {
        SDL_Surface* s = nullptr;
        return DecodeJpegInto(bytes, &s) ? SurfacePtr(s) : nullptr;
    }
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "BM")
        return DecodeBmp(bytes);
    return nullptr;
}

SurfacePtr LoadPictureFile(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return nullptr;
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        if (n == 0)
            break;
        if (bytes.size() + n > kMaxPictureFileBytes)
            return nullptr;
        bytes.append(chunk, n);
    }
    if (std::ferror(file.get()))
        return nullptr;
    return DecodePicture(bytes);
}

SurfacePtr MakeBuiltInPicture()
{
    constexpr int kW = 640, kH = 480;
    SurfacePtr s = NewSurface(kW, kH);
    if (!s)
        return nullptr;
    // A deep violet ground, brightening towards the middle, with a pale ring.
    for (int y = 0; y < kH; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(s->pixels) + size_t(y) * size_t(s->pitch));
        for (int x = 0; x < kW; ++x) {
            const int dx = x - kW / 2, dy = y - kH / 2;
            const int d2 = dx * dx + dy * dy;
            const int glow = 120 - d2 / 900;
            int r = 40 + (glow > 0 ? glow : 0), g = 12 + (glow > 0 ? glow / 3 : 0), b = 70 + (glow > 0 ? glow : 0);
            if (d2 > 140 * 140 && d2 < 150 * 150)
                r = 235, g = 215, b = 240;
            r = r > 255 ? 255 : r;
            b = b > 255 ? 255 : b;
            row[x] = 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
        }
    }
    return s;
}

} // namespace QuillonSplash
