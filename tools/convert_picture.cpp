// Turns a picture rendered as PNG into the form the engine loads:
// - out.png: 8-bit RGBA, the one PNG layout the engine accepts (the renderer drops the alpha
//   channel of a fully opaque picture, which would then be refused);
// - out.jpg: a baseline JPEG, for the large opaque backgrounds. Any alpha is composited over
//   ivory, so a stray transparent pixel never turns black.
// Usage: convert_picture <in.png> <out.png|out.jpg> [JPEG quality 1..100]

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace {

bool ReadPng(const char* path, bool alpha, std::vector<unsigned char>& pixels, unsigned& width, unsigned& height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) {
        std::fprintf(stderr, "convert_picture: %s: %s\n", path, image.message);
        return false;
    }
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    width = image.width;
    height = image.height;
    pixels.resize(PNG_IMAGE_SIZE(image));
    const png_color ivory{0xff, 0xfa, 0xf3};
    if (!png_image_finish_read(&image, alpha ? nullptr : &ivory, pixels.data(), 0, nullptr)) {
        std::fprintf(stderr, "convert_picture: %s: %s\n", path, image.message);
        return false;
    }
    return true;
}

bool WritePng(const char* path, const std::vector<unsigned char>& rgba, unsigned width, unsigned height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path, 0, rgba.data(), 0, nullptr)) {
        std::fprintf(stderr, "convert_picture: %s: %s\n", path, image.message);
        return false;
    }
    return true;
}

bool WriteJpeg(const char* path, const std::vector<unsigned char>& rgb, unsigned width, unsigned height, int quality)
{
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::perror(path);
        return false;
    }
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height) {
        JSAMPROW row = const_cast<unsigned char*>(&rgb[size_t(info.next_scanline) * width * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const bool ok = std::fclose(file) == 0;
    if (!ok)
        std::perror(path);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: convert_picture <in.png> <out.png|out.jpg> [quality]\n");
        return 2;
    }
    const int quality = argc > 3 ? std::atoi(argv[3]) : 90;
    if (quality < 1 || quality > 100) {
        std::fprintf(stderr, "convert_picture: quality must be 1..100\n");
        return 2;
    }
    const std::string out = argv[2];
    const bool jpeg = out.size() > 4 && (out.ends_with(".jpg") || out.ends_with(".jpeg"));
    std::vector<unsigned char> pixels;
    unsigned width = 0, height = 0;
    if (!ReadPng(argv[1], !jpeg, pixels, width, height))
        return 1;
    if (jpeg)
        return WriteJpeg(argv[2], pixels, width, height, quality) ? 0 : 1;
    return WritePng(argv[2], pixels, width, height) ? 0 : 1;
}
