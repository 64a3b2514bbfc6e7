#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "engine/graphics/image/ImageDecoders.h"
#include "tests/graphics/image/PictureTestFiles.h"

using namespace QuillEngine;
using namespace PictureTest;

namespace {

constexpr uint32_t kMax = 4096;

bool Decode(bool (*decoder)(const uint8_t*, size_t, uint32_t, Image&), const std::vector<uint8_t>& bytes, Image& out,
            uint32_t max = kMax)
{
    return decoder(bytes.data(), bytes.size(), max, out);
}

std::vector<uint8_t> MakeTga(uint32_t w, uint32_t h, uint32_t depth, uint8_t idLength = 0)
{
    std::vector<uint8_t> t(18 + idLength, 0);
    t[0] = idLength;
    t[2] = 2;
    t[12] = uint8_t(w);
    t[13] = uint8_t(w >> 8);
    t[14] = uint8_t(h);
    t[15] = uint8_t(h >> 8);
    t[16] = uint8_t(depth);
    for (uint8_t i = 0; i < idLength; ++i)
        t[18 + i] = 0xEE;
    for (uint32_t i = 0; i < w * h; ++i) {
        // B, G, R, A of pixel i: a pattern that tells rows and channels apart.
        t.push_back(uint8_t(i));
        t.push_back(uint8_t(i >> 8));
        t.push_back(0x11);
        t.push_back(0x80);
    }
    return t;
}

void SetBe32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = uint8_t(v >> 24);
    b[at + 1] = uint8_t(v >> 16);
    b[at + 2] = uint8_t(v >> 8);
    b[at + 3] = uint8_t(v);
}

// Rewrites the PNG header's size and mends its checksum, so only the size is wrong.
std::vector<uint8_t> ForgePngSize(std::vector<uint8_t> png, uint32_t w, uint32_t h)
{
    SetBe32(png, 16, w);
    SetBe32(png, 20, h);
    SetBe32(png, 29, uint32_t(crc32(crc32(0, nullptr, 0), png.data() + 12, 17)));
    return png;
}

// Rewrites the size in a JPEG's start-of-frame segment.
std::vector<uint8_t> ForgeJpegSize(std::vector<uint8_t> jpeg, uint16_t w, uint16_t h)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(h >> 8);
            jpeg[i + 6] = uint8_t(h);
            jpeg[i + 7] = uint8_t(w >> 8);
            jpeg[i + 8] = uint8_t(w);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

TEST(PictureTgaTest, DecodesOnlyThirtyTwoBitPowerOfTwoFiles)
{
    Image image;
    // The committed 64×32 tile: (0, 0) is a dark check at alpha 64, (8, 0) a light one, opaque.
    ASSERT_TRUE(Decode(DecodeTga, ReadPicture("tile.tga"), image));
    EXPECT_EQ(image.width, 64u);
    EXPECT_EQ(image.height, 32u);
    EXPECT_TRUE(image.hasAlpha);
    EXPECT_EQ(image.Pixel(0, 0), 0x40283C5Au);
    EXPECT_EQ(image.Pixel(8, 0), 0xFFDCD2B4u);
    EXPECT_EQ(image.Pixel(0, 8), 0xFFDCD2B4u);

    // 256×128 behind an ID field: the rows land top first, bytes unchanged.
    ASSERT_TRUE(Decode(DecodeTga, MakeTga(256, 128, 32, 7), image));
    EXPECT_EQ(image.width, 256u);
    EXPECT_EQ(image.height, 128u);
    EXPECT_EQ(image.Pixel(0, 0), 0x80110000u);
    EXPECT_EQ(image.Pixel(5, 1), 0x80110105u) << "pixel 261 is row 1, column 5";

    EXPECT_FALSE(Decode(DecodeTga, ReadPicture("flat24.tga"), image));
    EXPECT_TRUE(image.Empty());
    EXPECT_FALSE(Decode(DecodeTga, ReadPicture("wide300.tga"), image));
    EXPECT_FALSE(Decode(DecodeTga, MakeTga(0, 16, 32), image)) << "zero width";
    EXPECT_FALSE(Decode(DecodeTga, MakeTga(64, 64, 32), image, 32)) << "beyond the device's textures";

    // Sizes the file cannot hold: 8192 is above the TGA limit, 4096² claims 64 MB of a short file.
    std::vector<uint8_t> forged = MakeTga(1, 1, 32);
    forged[12] = 0x00;
    forged[13] = 0x20;
    EXPECT_FALSE(Decode(DecodeTga, forged, image, 1u << 20));
    forged[13] = 0x10;
    forged[14] = 0x00;
    forged[15] = 0x10;
    EXPECT_FALSE(Decode(DecodeTga, forged, image));

    std::vector<uint8_t> shortFile = MakeTga(16, 16, 32);
    shortFile.pop_back();
    EXPECT_FALSE(Decode(DecodeTga, shortFile, image));
    EXPECT_FALSE(DecodeTga(shortFile.data(), 17, kMax, image));
}

// Run-length encoded pictures decode to the same pixels as plain ones; other kinds of TGA and
// packets that overrun the picture or the file are refused rather than read as raw pixels.
TEST(PictureTgaTest, RunLengthPicturesDecodeAndOtherKindsAreRefused)
{
    const std::vector<uint8_t> plain = MakeTga(4, 2, 32);
    std::vector<uint8_t> rle(plain.begin(), plain.begin() + 18);
    rle[2] = 10;
    // Pixel 0 repeated three times, then five raw pixels.
    const uint8_t first[4] = {plain[18], plain[19], plain[20], plain[21]};
    rle.push_back(0x80 | 2);
    rle.insert(rle.end(), first, first + 4);
    rle.push_back(4);
    rle.insert(rle.end(), plain.begin() + 18 + 12, plain.end());
    Image image;
    ASSERT_TRUE(Decode(DecodeTga, rle, image));
    const auto* p = reinterpret_cast<const uint8_t*>(image.Pixels());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::memcmp(p + i * 4, first, 4), 0) << "pixel " << i;
    EXPECT_EQ(std::memcmp(p + 12, plain.data() + 18 + 12, 20), 0);

    // A last packet one pixel longer than the picture has room for, its bytes all in the file:
    // only the picture's size stops it, whether it is raw or a run.
    std::vector<uint8_t> overrun = rle;
    overrun[23] = 5; // three copies, then six raw pixels: past the picture's eight
    overrun.insert(overrun.end(), first, first + 4);
    EXPECT_FALSE(Decode(DecodeTga, overrun, image));
    std::vector<uint8_t> longRun(rle.begin(), rle.begin() + 23);
    longRun.push_back(0x80 | 5); // six copies after the first three
    longRun.insert(longRun.end(), first, first + 4);
    longRun.insert(longRun.end(), 16, 0xEE); // bytes enough for a raw packet of the same length
    EXPECT_FALSE(Decode(DecodeTga, longRun, image));
    // One pixel fewer fits exactly.
    longRun[23] = 0x80 | 4;
    ASSERT_TRUE(Decode(DecodeTga, longRun, image));
    EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t*>(image.Pixels()) + 28, first, 4), 0)
        << "the run reaches the last pixel";
    std::vector<uint8_t> cut = rle; // the last raw pixel one byte short
    cut.pop_back();
    EXPECT_FALSE(Decode(DecodeTga, cut, image));

    for (uint8_t type : {1, 3, 9, 11}) {
        std::vector<uint8_t> other = plain;
        other[2] = type;
        EXPECT_FALSE(Decode(DecodeTga, other, image)) << "type " << int(type);
    }
    std::vector<uint8_t> mapped = plain;
    mapped[1] = 1;
    EXPECT_FALSE(Decode(DecodeTga, mapped, image)) << "colour-mapped";
}

TEST(PicturePngTest, DecodesEightBitRgbaIncludingInterlaced)
{
    Image image;
    ASSERT_TRUE(Decode(DecodePng, ReadPicture("badge.png"), image));
    EXPECT_EQ(image.width, 96u);
    EXPECT_EQ(image.height, 80u);
    EXPECT_TRUE(image.hasAlpha);
    EXPECT_EQ(image.Pixel(0, 0) >> 24, 0u) << "transparent outside the badge";
    EXPECT_EQ(image.Pixel(47, 2), 0xFFD2AA3Cu) << "opaque ring, R 210 G 170 B 60 in B, G, R, A order";

    Image interlaced;
    ASSERT_TRUE(Decode(DecodePng, ReadPicture("badge_adam7.png"), interlaced));
    ASSERT_EQ(interlaced.width, image.width);
    ASSERT_EQ(interlaced.height, image.height);
    EXPECT_EQ(std::memcmp(interlaced.Pixels(), image.Pixels(), image.RowBytes() * image.height), 0);

    // A texture of 128 sides does not fit a device limited to 64.
    EXPECT_FALSE(Decode(DecodePng, ReadPicture("badge.png"), image, 64));
    EXPECT_TRUE(image.Empty());
}

TEST(PicturePngTest, RefusesOtherKindsDamageAndForgedSizes)
{
    Image image;
    EXPECT_FALSE(Decode(DecodePng, ReadPicture("opaque24.png"), image)) << "RGB without alpha";
    EXPECT_FALSE(Decode(DecodePng, ReadPicture("deep16.png"), image)) << "16 bits per channel";
    EXPECT_FALSE(Decode(DecodePng, ReadPicture("corrupt.png"), image)) << "damaged image data";
    EXPECT_TRUE(image.Empty());

    const std::vector<uint8_t> badge = ReadPicture("badge.png");
    EXPECT_FALSE(Decode(DecodePng, ForgePngSize(badge, 100000, 80), image)) << "width over the limit";
    EXPECT_FALSE(Decode(DecodePng, ForgePngSize(badge, 96, 0x7FFFFFFF), image)) << "height over the limit";
    EXPECT_FALSE(Decode(DecodePng, ForgePngSize(badge, 0, 80), image)) << "zero width";
    // A size within the limit but larger than the data: the rows run out.
    EXPECT_FALSE(Decode(DecodePng, ForgePngSize(badge, 96, 2000), image));

    for (size_t cut : {size_t(8), size_t(30), badge.size() / 2, badge.size() - 13})
        EXPECT_FALSE(DecodePng(badge.data(), cut, kMax, image)) << "cut at " << cut;
    EXPECT_FALSE(Decode(DecodePng, ReadPicture("plain.jpg"), image));
    EXPECT_FALSE(DecodePng(nullptr, 0, kMax, image));
}

TEST(PictureJpegTest, DecodesColourPicturesOpaque)
{
    Image image;
    ASSERT_TRUE(Decode(DecodeJpeg, ReadPicture("pair300.jpg"), image));
    EXPECT_EQ(image.width, 300u);
    EXPECT_EQ(image.height, 200u);
    EXPECT_FALSE(image.hasAlpha);
    // Sky at (2, 50) is about R 90, G 52, B 112; the first shelf box about R 200, G 60, B 50.
    EXPECT_TRUE(Near(Split(image.Pixel(2, 50)), 90, 52, 112, 8));
    EXPECT_TRUE(Near(Split(image.Pixel(62, 32)), 200, 60, 50, 12));
    bool allOpaque = true;
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x)
            allOpaque = allOpaque && (image.Pixel(x, y) >> 24) == 0xFF;
    EXPECT_TRUE(allOpaque);

    EXPECT_FALSE(Decode(DecodeJpeg, ReadPicture("pair300.jpg"), image, 256)) << "texture 512 wide";
}

TEST(PictureJpegTest, BadFilesFailAndTheProcessCarriesOn)
{
    Image image;
    EXPECT_FALSE(Decode(DecodeJpeg, ReadPicture("grey.jpg"), image)) << "one component";
    EXPECT_FALSE(Decode(DecodeJpeg, ReadPicture("truncated.jpg"), image));
    EXPECT_TRUE(image.Empty());

    // Every cut of a good file is refused, and none of them hangs in the data source.
    const std::vector<uint8_t> good = ReadPicture("plain.jpg");
    for (size_t cut = 0; cut < good.size() - 2; cut += 61)
        EXPECT_FALSE(DecodeJpeg(good.data(), cut, kMax, image)) << "cut at " << cut;
    ASSERT_TRUE(Decode(DecodeJpeg, good, image));

    // Garbage after a start-of-image marker: libjpeg's fatal error comes back as a failure.
    std::vector<uint8_t> junk = {0xFF, 0xD8, 0xFF, 0x12, 0x00, 0x02, 0x99, 0x98, 0x97};
    EXPECT_FALSE(Decode(DecodeJpeg, junk, image));
    // A corrupt frame header (zero precision).
    std::vector<uint8_t> badFrame = good;
    for (size_t i = 2; i + 4 < badFrame.size(); ++i) {
        if (badFrame[i] == 0xFF && badFrame[i + 1] == 0xC0) {
            badFrame[i + 4] = 0;
            break;
        }
    }
    EXPECT_FALSE(Decode(DecodeJpeg, badFrame, image));

    // Forged sizes are refused from the header, before anything is allocated for them.
    EXPECT_FALSE(Decode(DecodeJpeg, ForgeJpegSize(good, 65000, 65000), image));
    EXPECT_FALSE(Decode(DecodeJpeg, ForgeJpegSize(good, 0, 48), image));
    EXPECT_FALSE(Decode(DecodeJpeg, ForgeJpegSize(good, 2048, 2048), image)) << "the scan ends early";
}

// An 8-bit BMP with a 16-entry palette: the pixels start after it, where the file header says.
std::vector<uint8_t> MakeBmp8(int32_t w, int32_t h, uint32_t paletteEntries)
{
    const uint32_t stride = (uint32_t(w) + 3) & ~3u;
    const uint32_t offset = 54 + paletteEntries * 4;
    const uint32_t rows = uint32_t(h < 0 ? -h : h);
    std::vector<uint8_t> b(offset + stride * rows, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, uint32_t(b.size()));
    put32(10, offset);
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(h));
    b[26] = 1;
    b[28] = 8;
    put32(46, paletteEntries);
    for (uint32_t i = 0; i < paletteEntries * 4; ++i)
        b[54 + i] = 0xAB;
    for (uint32_t row = 0; row < rows; ++row)
        for (uint32_t x = 0; x < uint32_t(w); ++x)
            b[offset + row * stride + x] = uint8_t(row * 16 + x); // stored bottom-up
    return b;
}

TEST(PictureBmpTest, ReadsEightBitRowsAtTheirOffset)
{
    const std::vector<uint8_t> pair = ReadPicture("pair300.bmp");
    Bmp8View bmp;
    ASSERT_TRUE(ReadBmp8(pair.data(), pair.size(), kMax, bmp));
    EXPECT_EQ(bmp.width, 512u);
    EXPECT_EQ(bmp.height, 256u);
    EXPECT_EQ(bmp.At(150, 100), 255) << "the disc";
    EXPECT_EQ(bmp.At(2, 2), 128) << "the strip along the top";
    EXPECT_EQ(bmp.At(2, 150), 0);

    const std::vector<uint8_t> small = MakeBmp8(3, 2, 16);
    ASSERT_TRUE(ReadBmp8(small.data(), small.size(), kMax, bmp));
    EXPECT_EQ(bmp.stride, 4u);
    EXPECT_EQ(bmp.At(0, 1), 0x00) << "bottom row first in the file";
    EXPECT_EQ(bmp.At(2, 0), 0x12);
}

TEST(PictureBmpTest, RefusesMalformedFiles)
{
    Bmp8View bmp;
    const std::vector<uint8_t> good = MakeBmp8(8, 4, 256);
    ASSERT_TRUE(ReadBmp8(good.data(), good.size(), kMax, bmp));

    std::vector<uint8_t> b = good;
    b.pop_back();
    EXPECT_FALSE(ReadBmp8(b.data(), b.size(), kMax, bmp)) << "last padded row cut short";
    b = good;
    b[10] = 0xF0; // offset past the end of the file
    b[11] = 0xFF;
    EXPECT_FALSE(ReadBmp8(b.data(), b.size(), kMax, bmp));
    b = good;
    b[28] = 24;
    EXPECT_FALSE(ReadBmp8(b.data(), b.size(), kMax, bmp)) << "24-bit";
    b = good;
    b[30] = 1;
    EXPECT_FALSE(ReadBmp8(b.data(), b.size(), kMax, bmp)) << "run-length compressed";
    b = good;
    b[0] = 'X';
    EXPECT_FALSE(ReadBmp8(b.data(), b.size(), kMax, bmp));
    b = good;
    b[21] = 0x7F; // width 0x7F000008: its rows cannot fit, and the arithmetic must not wrap
    EXPECT_FALSE(ReadBmp8(b.data(), b.size(), 0xFFFFFFFFu, bmp));
    const std::vector<uint8_t> topDown = MakeBmp8(8, -4, 256);
    EXPECT_FALSE(ReadBmp8(topDown.data(), topDown.size(), kMax, bmp));
    EXPECT_FALSE(ReadBmp8(good.data(), 53, kMax, bmp));
    EXPECT_FALSE(ReadBmp8(good.data(), good.size(), 4, bmp)) << "wider than allowed";
}

TEST(PictureBmpTest, AlphaMaskCoversTheWholeTexture)
{
    Image image;
    ASSERT_TRUE(Decode(DecodeJpeg, ReadPicture("pair300.jpg"), image));
    const uint32_t colour = image.Pixel(150, 100) & 0x00FFFFFF;
    const std::vector<uint8_t> mask = ReadPicture("pair300.bmp");
    ASSERT_TRUE(ApplyBmpAlpha(mask.data(), mask.size(), image));
    EXPECT_TRUE(image.hasAlpha);
    EXPECT_EQ(image.Pixel(150, 100), 0xFF000000u | colour) << "colour kept, alpha from the mask";
    EXPECT_EQ(image.Pixel(2, 2) >> 24, 128u);
    EXPECT_EQ(image.Pixel(2, 150) >> 24, 0u);
    EXPECT_EQ(image.Pixel(299, 199) >> 24, 0u);

    // A mask of the picture's own size is not the texture's size: refused, image unchanged.
    Image plain;
    ASSERT_TRUE(Decode(DecodeJpeg, ReadPicture("plain.jpg"), plain));
    const uint32_t before = plain.Pixel(0, 0);
    const std::vector<uint8_t> sameSize = MakeBmp8(64, 48, 256);
    EXPECT_FALSE(ApplyBmpAlpha(sameSize.data(), sameSize.size(), plain));
    EXPECT_EQ(plain.Pixel(0, 0), before);
    EXPECT_FALSE(plain.hasAlpha);
    const std::vector<uint8_t> textureSize = MakeBmp8(64, 64, 256);
    EXPECT_TRUE(ApplyBmpAlpha(textureSize.data(), textureSize.size(), plain));
    EXPECT_EQ(plain.Pixel(1, 45) >> 24, uint32_t(uint8_t((63 - 45) * 16 + 1))) << "y 45 is row 18 of the file";
}

TEST(PictureImageTest, TextureSizes)
{
    EXPECT_EQ(NextPowerOfTwo(0), 1u);
    EXPECT_EQ(NextPowerOfTwo(300), 512u);
    EXPECT_EQ(NextPowerOfTwo(512), 512u);
    EXPECT_EQ(NextPowerOfTwo(0x80000001u), 0u);
    EXPECT_TRUE(FitsTexture(300, 200, 512));
    EXPECT_FALSE(FitsTexture(300, 200, 500)) << "the texture is 512 wide";
    EXPECT_FALSE(FitsTexture(0, 200, 4096));
    EXPECT_FALSE(FitsTexture(0x80000001u, 1, 0xFFFFFFFFu));
}

TEST(PictureImageTest, DecodingAgainReusesTheBuffer)
{
    Image image;
    EXPECT_FALSE(image.Allocate(0, 10));
    EXPECT_TRUE(image.Empty());
    ASSERT_TRUE(Decode(DecodeJpeg, ReadPicture("pair300.jpg"), image));
    const uint32_t* first = image.Pixels();
    ASSERT_TRUE(Decode(DecodePng, ReadPicture("badge.png"), image));
    EXPECT_EQ(image.Pixels(), first) << "a smaller picture fits the earlier buffer";
    EXPECT_TRUE(image.hasAlpha);
    EXPECT_FALSE(Decode(DecodePng, ReadPicture("corrupt.png"), image));
    EXPECT_TRUE(image.Empty());
    EXPECT_FALSE(image.hasAlpha);
    ASSERT_TRUE(image.Allocate(1024, 1024));
    EXPECT_NE(image.Pixels(), nullptr);
    image.Reset();
    EXPECT_EQ(image.Pixels(), nullptr);
}

} // namespace
