// bench_pictures [data folder]: loads the sample PNG and JPEG pictures through the engine's
// picture loader (file manager, loose folder, the alpha-pair check, our decoders) and, in the same
// run, reads the same files and decodes them with libpng and libjpeg called directly. Rounds of the
// two alternate; the figure is the ratio of the median round times (goal: at most 1.15).

#include <png.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "engine/core/FSLooseFiles.h"
#include "engine/core/FileManager.h"
#include "engine/graphics/PictureLoader.h"

namespace fs = std::filesystem;
using namespace QuillEngine;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> ReadWhole(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// --- the direct decoders: the libraries' plain use, rows into one buffer ---------------------

struct PngCursor {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void PngRead(png_structp png, png_bytep out, size_t count)
{
    auto* c = static_cast<PngCursor*>(png_get_io_ptr(png));
    if (count > c->size - c->pos)
        png_error(png, "eof");
    std::memcpy(out, c->data + c->pos, count);
    c->pos += count;
}

bool DirectPngRows(png_structp png, png_infop info, std::vector<uint8_t>* pixels, std::vector<png_bytep>* rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    pixels->resize(rowBytes * height);
    rows->resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        (*rows)[y] = pixels->data() + y * rowBytes;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    return true;
}

bool DirectPng(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& pixels, std::vector<png_bytep>& rows)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    PngCursor cursor{bytes.data(), bytes.size(), 0};
    png_set_read_fn(png, &cursor, PngRead);
    const bool ok = DirectPngRows(png, info, &pixels, &rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return ok;
}

bool DirectJpeg(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& pixels)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    const size_t rowBytes = size_t(cinfo.output_width) * cinfo.output_components;
    pixels.resize(rowBytes * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.data() + size_t(cinfo.output_scanline) * rowBytes;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path dataDir =
        argc > 1 ? fs::path(argv[1]) : fs::path(__FILE__).parent_path().parent_path() / "data" / "input";
    const std::vector<std::string> names = {"Pictures/Backdrop.jpg", "Pictures/Shelf.jpg", "Pictures/Badge.png",
                                            "Pictures/Coin.png"};
    for (const std::string& name : names) {
        if (!fs::exists(dataDir / name)) {
            std::fprintf(stderr, "bench_pictures: %s not found\n", (dataDir / name).c_str());
            return 1;
        }
    }

    FileManager files;
    files.AddSource(new FSLooseFiles(FromUtf8(dataDir.string() + "/"), u"data"));
    std::vector<String> dataNames;
    for (const std::string& name : names)
        dataNames.push_back(FromUtf8(name));

    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rows;
    Image image;
    const auto ours = [&] {
        for (const String& name : dataNames) {
            if (!LoadPicture(files, name, 4096, image))
                return false;
        }
        return true;
    };
    const auto direct = [&] {
        for (const std::string& name : names) {
            const std::vector<uint8_t> bytes = ReadWhole(dataDir / name);
            const bool png = name.ends_with(".png");
            if (!(png ? DirectPng(bytes, pixels, rows) : DirectJpeg(bytes, pixels)))
                return false;
        }
        return true;
    };

    if (!ours() || !direct()) {
        std::fprintf(stderr, "bench_pictures: a sample picture did not load\n");
        return 1;
    }

    constexpr int kRounds = 15;
    constexpr int kLoadsPerRound = 40;
    std::vector<double> oursMs, directMs;
    for (int round = 0; round < kRounds; ++round) {
        for (int which = 0; which < 2; ++which) {
            const auto start = Clock::now();
            for (int i = 0; i < kLoadsPerRound; ++i)
                which == 0 ? ours() : direct();
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / kLoadsPerRound;
            (which == 0 ? oursMs : directMs).push_back(ms);
        }
    }
    const double oursMedian = Median(oursMs);
    const double directMedian = Median(directMs);
    std::printf("pictures per set: %zu (2 JPEG, 2 PNG, one interlaced)\n", names.size());
    std::printf("our loaders:     %.4f ms per set (median of %d rounds)\n", oursMedian, kRounds);
    std::printf("libpng/libjpeg:  %.4f ms per set\n", directMedian);
    std::printf("RESULT pictures load_ratio=%.3f ours_ms=%.4f direct_ms=%.4f\n", oursMedian / directMedian, oursMedian,
                directMedian);
    return 0;
}
