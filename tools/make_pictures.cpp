// make_pictures <repository root>: draws the sample pictures and writes them to
//   data/input/Pictures/     pictures the game can load, and a few it must refuse
//   tests/graphics/image/pictures/ the picture set of the decoder tests
//   fuzz/corpus/pictures/    tiny seeds for the picture fuzz target
// Everything is drawn here from formulas, so each run writes the same bytes.

#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace fs = std::filesystem;

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

struct Canvas {
    uint32_t width;
    uint32_t height;
    std::vector<Rgba> pixels;

    Canvas(uint32_t w, uint32_t h, Rgba fill = {0, 0, 0, 255}) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    Rgba& At(uint32_t x, uint32_t y) { return pixels[size_t(y) * width + x]; }
    const Rgba& At(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
};

using Bytes = std::vector<uint8_t>;

uint8_t Clamp(double v)
{
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : std::lround(v));
}

double Mix(double a, double b, double t)
{
    return a + (b - a) * t;
}

// --- drawing -------------------------------------------------------------------------------

// A shop aisle at dusk: a vertical sky gradient, a floor, shelves of coloured boxes.
Canvas DrawAisle(uint32_t w, uint32_t h)
{
    Canvas c(w, h);
    const uint32_t floorY = h * 3 / 4;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const double t = double(y) / h;
            Rgba p;
            if (y < floorY)
                p = {Clamp(Mix(70, 150, t)), Clamp(Mix(40, 90, t)), Clamp(Mix(110, 120, t)), 255};
            else
                p = {Clamp(90 - (y - floorY) * 0.4), 60, 40, 255};
            c.At(x, y) = p;
        }
    }
    // Shelves: three rows of boxes whose colours cycle.
    static const Rgba boxColours[] = {{200, 60, 50, 255}, {60, 160, 80, 255}, {230, 200, 70, 255}, {70, 90, 190, 255}};
    for (uint32_t row = 0; row < 3; ++row) {
        const uint32_t top = h / 10 + row * (h / 5);
        const uint32_t bottom = top + h / 8;
        for (uint32_t x0 = w / 6, i = row; x0 + w / 12 < w * 5 / 6; x0 += w / 10, ++i) {
            const Rgba colour = boxColours[i % 4];
            for (uint32_t y = top; y < bottom && y < h; ++y)
                for (uint32_t x = x0; x < x0 + w / 12; ++x)
                    c.At(x, y) = colour;
        }
    }
    return c;
}

// A round badge: a ring and a star-like pattern, transparent outside with a soft edge.
Canvas DrawBadge(uint32_t w, uint32_t h)
{
    Canvas c(w, h, {0, 0, 0, 0});
    const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
    const double radius = std::min(w, h) / 2.0 - 1;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const double dx = x - cx, dy = y - cy;
            const double d = std::sqrt(dx * dx + dy * dy);
            const double angle = std::atan2(dy, dx);
            const double edge = radius - d;
            const uint8_t a = Clamp(edge >= 1 ? 255 : edge <= 0 ? 0 : edge * 255);
            const bool ring = d > radius * 0.78;
            const bool spoke = std::cos(angle * 5) > 0.6 && d < radius * 0.7;
            Rgba p = ring ? Rgba{210, 170, 60, a} : spoke ? Rgba{250, 240, 200, a} : Rgba{150, 40, 70, a};
            c.At(x, y) = p;
        }
    }
    return c;
}

// Checks with a see-through diagonal: the tile picture of the TGA samples.
Canvas DrawTile(uint32_t w, uint32_t h)
{
    Canvas c(w, h);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const bool dark = ((x / 8) + (y / 8)) % 2 == 0;
            const uint8_t a = (x + y) % 16 < 4 ? 64 : 255;
            c.At(x, y) = dark ? Rgba{40, 60, 90, a} : Rgba{220, 210, 180, a};
        }
    }
    return c;
}

// --- writers -------------------------------------------------------------------------------

void Put16(Bytes& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// True-colour TGA, top row first (descriptor bit 5), with an ID field; run-length encoded (type
// 10) when asked, uncompressed otherwise.
Bytes EncodeTga(const Canvas& c, uint32_t depth, bool runLength = false)
{
    Bytes out;
    const std::string id = "Velvet Aisle";
    out.push_back(uint8_t(id.size()));
    out.push_back(0);
    out.push_back(runLength ? 10 : 2);
    for (int i = 0; i < 5; ++i)
        out.push_back(0);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, c.width);
    Put16(out, c.height);
    out.push_back(uint8_t(depth));
    out.push_back(uint8_t(0x20 | (depth == 32 ? 8 : 0)));
    out.insert(out.end(), id.begin(), id.end());
    auto put = [&](const Rgba& p) {
        out.push_back(p.b);
        out.push_back(p.g);
        out.push_back(p.r);
        if (depth == 32)
            out.push_back(p.a);
    };
    auto same = [](const Rgba& a, const Rgba& b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; };
    const size_t count = c.pixels.size();
    for (size_t i = 0; i < count;) {
        if (!runLength) {
            put(c.pixels[i++]);
            continue;
        }
        // A run of two or more equal pixels is one packet; other pixels go out raw, up to the next run.
        size_t run = 1;
        while (i + run < count && run < 128 && same(c.pixels[i + run], c.pixels[i]))
            ++run;
        if (run > 1) {
            out.push_back(uint8_t(0x80 | (run - 1)));
            put(c.pixels[i]);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(c.pixels[i + raw], c.pixels[i + raw + 1])))
            ++raw;
        out.push_back(uint8_t(raw - 1));
        for (size_t k = 0; k < raw; ++k)
            put(c.pixels[i + k]);
        i += raw;
    }
    return out;
}

void PngWrite(png_structp png, png_bytep data, size_t size)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void PngFlush(png_structp) {}

// colourType: PNG_COLOR_TYPE_RGBA or PNG_COLOR_TYPE_RGB; depth 8 or 16.
Bytes EncodePng(const Canvas& c, int colourType, int depth = 8, bool interlaced = false)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "make_pictures: PNG encoding failed\n");
        std::exit(1);
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, c.width, c.height, depth, colourType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    const int channels = colourType == PNG_COLOR_TYPE_RGBA ? 4 : 3;
    const int bytesPerSample = depth / 8;
    std::vector<uint8_t> rows(size_t(c.width) * channels * bytesPerSample * c.height);
    std::vector<png_bytep> pointers(c.height);
    for (uint32_t y = 0; y < c.height; ++y) {
        uint8_t* row = rows.data() + size_t(y) * c.width * channels * bytesPerSample;
        pointers[y] = row;
        for (uint32_t x = 0; x < c.width; ++x) {
            const Rgba& p = c.At(x, y);
            const uint8_t samples[4] = {p.r, p.g, p.b, p.a};
            for (int s = 0; s < channels; ++s)
                for (int b = 0; b < bytesPerSample; ++b)
                    *row++ = samples[s];
        }
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Colour (3 components) or grey-scale (1) baseline JPEG.
Bytes EncodeJpeg(const Canvas& c, int components, int quality = 85)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = c.width;
    cinfo.image_height = c.height;
    cinfo.input_components = components;
    cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(c.width) * components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (uint32_t x = 0; x < c.width; ++x) {
            const Rgba& p = c.At(x, cinfo.next_scanline);
            if (components == 3) {
                row[x * 3] = p.r;
                row[x * 3 + 1] = p.g;
                row[x * 3 + 2] = p.b;
            } else {
                row[x] = uint8_t((p.r * 3 + p.g * 6 + p.b) / 10);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    jpeg_destroy_compress(&cinfo);
    return out;
}

// 8-bit BMP with a grey palette; `value(x, y)` (y from the top) is stored bottom-up.
template <class Fn> Bytes EncodeBmp8(uint32_t w, uint32_t h, Fn value)
{
    const uint32_t stride = (w + 3) & ~3u;
    const uint32_t offset = 14 + 40 + 256 * 4;
    Bytes out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + stride * h);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, w);
    Put32(out, h);
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 0);
    Put32(out, stride * h);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 256);
    Put32(out, 0);
    for (uint32_t i = 0; i < 256; ++i)
        Put32(out, i * 0x010101u);
    for (uint32_t row = 0; row < h; ++row) {
        const uint32_t y = h - 1 - row;
        for (uint32_t x = 0; x < stride; ++x)
            out.push_back(x < w ? value(x, y) : 0);
    }
    return out;
}

// Flips bits inside the first IDAT chunk's data, keeping its CRC: the file is damaged.
Bytes CorruptIdat(Bytes png)
{
    for (size_t pos = 8; pos + 12 <= png.size();) {
        const uint32_t length = uint32_t(png[pos]) << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3];
        if (std::string(png.begin() + pos + 4, png.begin() + pos + 8) == "IDAT") {
            for (uint32_t i = length / 3; i < length && i < length / 3 + 8; ++i)
                png[pos + 8 + i] ^= 0x5A;
            return png;
        }
        pos += 12 + length;
    }
    return png;
}

int failures = 0;

void Write(const fs::path& path, const Bytes& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!file) {
        std::fprintf(stderr, "make_pictures: cannot write %s\n", path.c_str());
        ++failures;
        return;
    }
    std::printf("%8zu  %s\n", bytes.size(), path.c_str());
}

// The 8-bit alpha of an alpha pair: an opaque disc around (cx, cy), a half-transparent strip
// along the top, transparent elsewhere.
auto PairMask(uint32_t cx, uint32_t cy, uint32_t radius)
{
    return [=](uint32_t x, uint32_t y) -> uint8_t {
        if (y < 10)
            return 128;
        const double dx = double(x) - cx, dy = double(y) - cy;
        return dx * dx + dy * dy <= double(radius) * radius ? 255 : 0;
    };
}

void WriteGameSet(const fs::path& dir)
{
    Write(dir / "Backdrop.jpg", EncodeJpeg(DrawAisle(300, 200), 3, 80));
    Write(dir / "Badge.png", EncodePng(DrawBadge(96, 80), PNG_COLOR_TYPE_RGBA));
    Write(dir / "Tile.tga", EncodeTga(DrawTile(64, 64), 32));
    Write(dir / "Chip.tga", EncodeTga(DrawBadge(32, 16), 32));
    Write(dir / "Coin.png", EncodePng(DrawBadge(40, 40), PNG_COLOR_TYPE_RGBA, 8, true));
    Write(dir / "Shelf.jpg", EncodeJpeg(DrawAisle(128, 64), 3, 80));
    // Alpha pair: a 120×90 picture lives in a 128×128 texture, so its mask is 128×128.
    Write(dir / "Lantern.jpg", EncodeJpeg(DrawAisle(120, 90), 3, 80));
    Write(dir / "Lantern.bmp", EncodeBmp8(128, 128, PairMask(60, 45, 40)));
    // Refused ones.
    Write(dir / "Refused" / "Shouty.TGA", EncodeTga(DrawTile(32, 32), 32));
    Write(dir / "Refused" / "Flat24.tga", EncodeTga(DrawTile(32, 32), 24));
    Write(dir / "Refused" / "Wide48.tga", EncodeTga(DrawTile(48, 32), 32));
    Write(dir / "Refused" / "Grey.jpg", EncodeJpeg(DrawAisle(64, 64), 1));
    Write(dir / "Refused" / "Opaque24.png", EncodePng(DrawBadge(48, 40), PNG_COLOR_TYPE_RGB));
    Bytes cut = EncodeJpeg(DrawAisle(160, 120), 3, 80);
    cut.resize(cut.size() / 2);
    Write(dir / "Refused" / "Truncated.jpg", cut);
    Write(dir / "Refused" / "Corrupt.png", CorruptIdat(EncodePng(DrawBadge(48, 40), PNG_COLOR_TYPE_RGBA)));
}

void WriteTestSet(const fs::path& dir)
{
    // A 300×200 JPEG gets a 512×256 texture, so its alpha mask is 512×256.
    Write(dir / "pair300.jpg", EncodeJpeg(DrawAisle(300, 200), 3, 90));
    Write(dir / "pair300.bmp", EncodeBmp8(512, 256, PairMask(150, 100, 60)));
    // Same base name as the pair: a ".png" request must load the pair, never this file.
    Write(dir / "pair300.png", EncodePng(Canvas(16, 16, {255, 0, 0, 255}), PNG_COLOR_TYPE_RGBA));
    Write(dir / "badge.png", EncodePng(DrawBadge(96, 80), PNG_COLOR_TYPE_RGBA));
    Write(dir / "badge_adam7.png", EncodePng(DrawBadge(96, 80), PNG_COLOR_TYPE_RGBA, 8, true));
    Write(dir / "tile.tga", EncodeTga(DrawTile(64, 32), 32));
    Write(dir / "plain.jpg", EncodeJpeg(DrawAisle(64, 48), 3, 95));
    // Refused ones.
    Write(dir / "shouty.TGA", EncodeTga(DrawTile(64, 32), 32));
    Write(dir / "flat24.tga", EncodeTga(DrawTile(32, 32), 24));
    Write(dir / "wide300.tga", EncodeTga(DrawTile(300, 4), 32));
    Write(dir / "grey.jpg", EncodeJpeg(DrawAisle(64, 48), 1));
    Write(dir / "opaque24.png", EncodePng(DrawBadge(48, 40), PNG_COLOR_TYPE_RGB));
    Write(dir / "deep16.png", EncodePng(DrawBadge(24, 20), PNG_COLOR_TYPE_RGBA, 16));
    Bytes cut = EncodeJpeg(DrawAisle(160, 120), 3, 80);
    cut.resize(cut.size() / 2);
    Write(dir / "truncated.jpg", cut);
    Write(dir / "corrupt.png", CorruptIdat(EncodePng(DrawBadge(48, 40), PNG_COLOR_TYPE_RGBA)));
}

void WriteFuzzSeeds(const fs::path& dir)
{
    Write(dir / "seed.tga", EncodeTga(DrawTile(4, 4), 32));
    // Runs and raw packets, the last a run that ends on the picture's last pixel.
    Write(dir / "seed_rle.tga", EncodeTga(DrawTile(16, 8), 32, true));
    Write(dir / "seed.png", EncodePng(DrawBadge(6, 5), PNG_COLOR_TYPE_RGBA));
    Write(dir / "seed_adam7.png", EncodePng(DrawBadge(9, 9), PNG_COLOR_TYPE_RGBA, 8, true));
    Write(dir / "seed.jpg", EncodeJpeg(DrawAisle(16, 8), 3, 50));
    Write(dir / "seed.bmp", EncodeBmp8(4, 4, PairMask(2, 2, 1)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_pictures <repository root>\n");
        return 2;
    }
    const fs::path root = argv[1];
    WriteGameSet(root / "data" / "input" / "Pictures");
    WriteTestSet(root / "tests" / "graphics" / "image" / "pictures");
    WriteFuzzSeeds(root / "fuzz" / "corpus" / "pictures");
    return failures == 0 ? 0 : 1;
}
