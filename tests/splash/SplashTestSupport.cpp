#include "tests/splash/SplashTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "tests/support/TestEnvironment.h"

namespace SplashTest {

uint32_t SplashWindowTest::WindowPixel(int x, int y) const
{
    SDL_Surface* s = SDL_GetWindowSurface(m_window);
    if (!s || x >= s->w || y >= s->h)
        return 0xDEADBEEF;
    const auto* p = static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    uint32_t value = 0;
    std::memcpy(&value, p, s->format->BytesPerPixel);
    uint8_t r, g, b;
    SDL_GetRGB(value, s->format, &r, &g, &b);
    return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}

std::string SolidBmp(int w, int h, uint32_t rgb)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
    std::vector<char> buf(size_t(w * h * 4 + 1024));
    SDL_RWops* rw = SDL_RWFromMem(buf.data(), int(buf.size()));
    SDL_SaveBMP_RW(s, rw, 0);
    const Sint64 size = SDL_RWtell(rw);
    SDL_RWclose(rw);
    SDL_FreeSurface(s);
    return std::string(buf.data(), size_t(size));
}

std::string SolidPng(int w, int h, uint32_t rgb)
{
    std::vector<uint8_t> pixels(size_t(w * h * 3));
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = uint8_t(rgb >> 16);
        pixels[i + 1] = uint8_t(rgb >> 8);
        pixels[i + 2] = uint8_t(rgb);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::string out(size, '\0');
    png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr);
    out.resize(size);
    return out;
}

std::string SolidJpeg(int w, int h, uint32_t rgb)
{
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &mem, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(size_t(w * 3));
    for (size_t i = 0; i < row.size(); i += 3) {
        row[i] = uint8_t(rgb >> 16);
        row[i + 1] = uint8_t(rgb >> 8);
        row[i + 2] = uint8_t(rgb);
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string out(reinterpret_cast<char*>(mem), size);
    std::free(mem);
    return out;
}

std::string ReadLogText(const std::filesystem::path& path)
{
    const std::string bytes = QuillTest::ReadFile(path);
    std::string out;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out.push_back(unit < 0x80 ? char(unit) : '?');
    }
    return out;
}

} // namespace SplashTest
