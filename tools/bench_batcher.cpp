// bench_batcher [data folder]: two figures of the picture path.
//
// (1) The quad batcher drawing a board-like frame on the software device (800x600): one 800x600
//     background, 150 alpha-blended items of 40 to 120 pixels (30 pictures in mixed order, one in
//     five turned a little), 200 additive particle quads and 20 text quads. The figure is the
//     median time of a whole frame (scene, batching, rasterising, present into memory).
// (2) Picture loading through the engine's loaders (file manager, loose folder, the alpha-pair
//     check, our decoders) against reading the same PNG and JPEG files and decoding them with
//     libpng and libjpeg called directly, in the same run. Rounds of the two alternate; the figure
//     is the ratio of the median round times.
//
// Goals: board_ms at most 4 (one core), load_ratio at most 1.15.

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

#include "engine/core/EngineRand.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/render/Geometry2D.h"
#include "engine/graphics/image/PictureLoader.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/render/RenderManagerContext.h"
#include "engine/graphics/render/TextureFactory.h"

namespace fs = std::filesystem;
using namespace QuillEngine;
using namespace QuillD3D;

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<uint8_t> ReadWhole(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

float RandRange(float lo, float hi)
{
    return lo + (hi - lo) * float(Rand()) / float(kRandMax);
}

// The unit quad placed on the rectangle at (x, y) of w x h pixels.
Transform2D RectQuad(float x, float y, float w, float h)
{
    Transform2D m = Transform2D::Scale(w, h);
    m.m31 = x + w / 2;
    m.m32 = y + h / 2;
    return m;
}

// --- (1) the board frame -----------------------------------------------------------------------

struct BoardQuad {
    Transform2D transform;
    QuadTexRect rect;
    uint32_t texture;
    uint32_t color;
    uint32_t mode;
    bool filter;
};

// A run-time texture filled by `texel(x, y)` over the picture's size (the rest transparent).
template <class Texel> uint32_t MakeTexture(ResourceCache& cache, uint32_t width, uint32_t height, Texel texel)
{
    uint32_t tw = 0, th = 0;
    ITexture* t = TextureFactory::CreateTexture(width, height, tw, th);
    LockedRect locked{};
    if (!t || Failed(t->LockRect(0, &locked, nullptr, 0))) {
        if (t)
            t->Release();
        return 0;
    }
    for (uint32_t y = 0; y < th; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) + y * locked.pitch);
        for (uint32_t x = 0; x < tw; ++x)
            row[x] = x < width && y < height ? texel(x, y) : 0;
    }
    t->UnlockRect(0);
    return TextureFactory::CreateDynamicTexture(t, tw, th, cache);
}

// An item picture: an opaque blob with a soft edge on a transparent ground.
uint32_t MakeItem(ResourceCache& cache, uint32_t width, uint32_t height, uint32_t seed)
{
    return MakeTexture(cache, width, height, [=](uint32_t x, uint32_t y) {
        const float dx = (float(x) + 0.5f) / float(width) - 0.5f, dy = (float(y) + 0.5f) / float(height) - 0.5f;
        const float d = 1.0f - 4.0f * (dx * dx + dy * dy);
        const uint32_t a = d <= 0 ? 0 : d >= 0.25f ? 255 : uint32_t(d * 4 * 255);
        return a << 24 | ((x * 7 + seed * 40) & 0xFF) << 16 | ((y * 5 + seed * 90) & 0xFF) << 8 | (seed * 23 & 0xFF);
    });
}

struct BoardTextures {
    uint32_t background = 0;
    uint32_t particle = 0;
    uint32_t text = 0;
    std::vector<uint32_t> items;
    std::vector<std::pair<float, float>> itemSizes;
};

// Drawn the way the scene draws them: pictures at their own size on whole pixels are sampled
// without filtering; scaled or turned ones, and particles, are filtered.
std::vector<BoardQuad> MakeBoard(const BoardTextures& t)
{
    Srand(1234);
    std::vector<BoardQuad> board;
    board.push_back({RectQuad(0, 0, 800, 600),
                     {0, 0, 800.0f / 1024, 600.0f / 1024},
                     t.background,
                     0xFFFFFFFFu,
                     QuadBatcher::kNoBlend,
                     false});
    for (int i = 0; i < 150; ++i) {
        const size_t which = size_t(Rand()) % t.items.size();
        const auto [w, h] = t.itemSizes[which];
        const float x = float(int(RandRange(0, 800 - w))), y = float(int(RandRange(0, 600 - h)));
        const QuadTexRect rect{0, 0, w / float(NextPowerOfTwo(uint32_t(w))), h / float(NextPowerOfTwo(uint32_t(h)))};
        if (i % 5 == 0) {
            // One in five lies turned a little.
            Transform2D m = Transform2D::Scale(w, h);
            MultiplyTransform(m, m, Transform2D::Rotation(RandRange(-0.3f, 0.3f)));
            MultiplyTransform(m, m, Transform2D::Translation(x + w / 2, y + h / 2));
            board.push_back({m, rect, t.items[which], 0xFFFFFFFFu, QuadBatcher::kAlpha, true});
        } else {
            board.push_back({RectQuad(x, y, w, h), rect, t.items[which], 0xFFFFFFFFu, QuadBatcher::kAlpha, false});
        }
    }
    for (int i = 0; i < 200; ++i) {
        const float side = RandRange(8, 24);
        Transform2D m = Transform2D::Scale(side, side);
        MultiplyTransform(m, m, Transform2D::Translation(RandRange(100, 700), RandRange(100, 500)));
        const auto alpha = static_cast<uint32_t>(RandRange(64, 255));
        board.push_back({m, {0, 0, 1, 1}, t.particle, alpha << 24 | 0xFFE0A0u, QuadBatcher::kAdditive, true});
    }
    for (int i = 0; i < 20; ++i) {
        board.push_back({RectQuad(float(20 + (i % 2) * 400), float(20 + (i / 2) * 34), 256, 32),
                         {0, 0, 1, 1},
                         t.text,
                         0xFF202020u,
                         QuadBatcher::kAlpha,
                         false});
    }
    return board;
}

bool BenchBoard(const fs::path& dataDir, double& medianMs, double& drawsPerFrame)
{
    FileManager files;
    files.AddSource(new FSLooseFiles(FromUtf8(dataDir.string() + "/"), u"data"));
    ResourceCache cache;
    CRenderManager renderer(nullptr);
    cache.SetFrameSource([&] { return renderer.FramesPresented(); });
    renderer.SetBackends(Backend::Soft, Backend::Soft);
    renderer.SetDevicePreferences(true, false);
    renderer.SetMessageBoxFunction([](const String&, const String&) {});
    if (!renderer.Init(nullptr, false)) {
        std::fprintf(stderr, "bench_batcher: no software device\n");
        return false;
    }
    // The particle is a sample picture; the background (drawn pixel for pixel), the items and the
    // text line are made here.
    BoardTextures textures;
    textures.particle = TextureFactory::AcquireFileTexture(u"Pictures\\Coin.png", cache);
    if (!cache.Acquire(textures.particle)->IsLoaded()) {
        std::fprintf(stderr, "bench_batcher: a sample picture did not load\n");
        return false;
    }
    textures.background = MakeTexture(cache, 800, 600, [](uint32_t x, uint32_t y) {
        return 0xFF000000u | ((x / 3) & 0xFF) << 16 | ((y / 3) & 0xFF) << 8 | ((x + y) & 0xFF);
    });
    textures.text = MakeTexture(cache, 256, 32, [](uint32_t x, uint32_t y) {
        const bool ink = y > 6 && y < 26 && (x % 14) < 9 && ((x / 14 + y / 3) % 3) != 0;
        return ink ? 0xFFFFFFFFu : 0x00FFFFFFu;
    });
    Srand(99);
    for (uint32_t i = 0; i < 30; ++i) {
        const auto w = uint32_t(RandRange(40, 120)), h = uint32_t(RandRange(40, 120));
        textures.items.push_back(MakeItem(cache, w, h, i));
        textures.itemSizes.emplace_back(float(w), float(h));
    }
    const std::vector<BoardQuad> board = MakeBoard(textures);

    IDevice* device = renderer.GetDevice();
    QuadBatcher& batcher = *renderer.GetBatcher();
    CRenderManagerContext& context = *renderer.GetContext();
    const auto frame = [&] {
        device->BeginScene();
        batcher.BeginScene();
        context.Clear(0, nullptr, ClearTarget | ClearZBuffer, 0xFF000000u, 1.0f, 0);
        for (const BoardQuad& q : board)
            batcher.DrawQuad(q.transform, q.rect, q.texture, q.color, q.mode, q.filter, true);
        batcher.Flush();
        device->EndScene();
        cache.UnloadIdle();
        device->Present();
    };

    constexpr int kWarmUp = 10;
    constexpr int kFrames = 200;
    for (int i = 0; i < kWarmUp; ++i)
        frame();
    const uint64_t drawsBefore = batcher.DrawCallCount();
    std::vector<double> ms;
    ms.reserve(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        const auto start = Clock::now();
        frame();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    medianMs = Median(ms);
    drawsPerFrame = double(batcher.DrawCallCount() - drawsBefore) / kFrames;
    return true;
}

// --- (2) picture loading -----------------------------------------------------------------------

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

bool BenchLoading(const fs::path& dataDir, double& oursMedian, double& directMedian)
{
    const std::vector<std::string> names = {"Pictures/Backdrop.jpg", "Pictures/Shelf.jpg", "Pictures/Badge.png",
                                            "Pictures/Coin.png"};
    for (const std::string& name : names) {
        if (!fs::exists(dataDir / name)) {
            std::fprintf(stderr, "bench_batcher: %s not found\n", (dataDir / name).c_str());
            return false;
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
        std::fprintf(stderr, "bench_batcher: a sample picture did not load\n");
        return false;
    }

    constexpr int kRounds = 41; // enough that a blip of other work on the machine moves the median little
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
    oursMedian = Median(oursMs);
    directMedian = Median(directMs);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path dataDir =
        argc > 1 ? fs::path(argv[1]) : fs::path(QUILL_SOURCE_ROOT) / "data" / "input";

    // Loading is measured first, in a fresh heap: the speed of the JPEG path depends on where the
    // heap places the decode buffer (cache aliasing with the library's own buffers), and the
    // renderer's large frees change that placement for the rest of the process.
    double oursMs = 0, directMs = 0;
    if (!BenchLoading(dataDir, oursMs, directMs))
        return 1;
    double boardMs = 0, draws = 0;
    if (!BenchBoard(dataDir, boardMs, draws))
        return 1;
    std::printf("picture loading (2 JPEG, 2 PNG, one interlaced):\n");
    std::printf("  our loaders:    %.4f ms per set (median of 41 rounds)\n", oursMs);
    std::printf("  libpng/libjpeg: %.4f ms per set\n", directMs);
    std::printf("board frame (800x600 soft; background, 150 items, 200 particles, 20 text quads):\n");
    std::printf("  %.3f ms per frame (median of 200), %.1f draw calls per frame\n", boardMs, draws);
    std::printf("RESULT batcher board_ms=%.3f load_ratio=%.3f draws=%.1f ours_ms=%.4f direct_ms=%.4f\n", boardMs,
                oursMs / directMs, draws, oursMs, directMs);
    return 0;
}
