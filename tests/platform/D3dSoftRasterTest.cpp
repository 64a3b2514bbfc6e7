// Pictures drawn by the soft back end: hand-computed pixels of each scene, then the whole
// picture against its golden PNG.

#include <gtest/gtest.h>

#include "platform/d3d/soft/SoftRaster.h"
#include "tests/platform/D3dTestSupport.h"

using namespace QuillD3D;
using namespace QuillTest;

namespace {

uint32_t Channel(uint32_t argb, int shift)
{
    return (argb >> shift) & 255;
}

// Rounded a·b/255 and the source-over blend, as the device defines them.
uint32_t Mul(uint32_t a, uint32_t b)
{
    return (a * b + 127) / 255;
}

uint32_t Over(uint32_t src, uint32_t dst)
{
    const uint32_t a = src >> 24;
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) {
        out |= ((Channel(src, s) * a + Channel(dst, s) * (255 - a) + 127) / 255) << s;
    }
    return out;
}

uint32_t Add(uint32_t src, uint32_t dst)
{
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) {
        out |= std::min(255u, Channel(dst, s) + Mul(Channel(src, s), src >> 24)) << s;
    }
    return out;
}

uint32_t Rgb(uint32_t argb)
{
    return argb & 0xFFFFFF;
}

Picture DrawSoft(const std::string& scene)
{
    int w = 0, h = 0;
    SceneSize(scene, &w, &h);
    D3dPainter painter;
    EXPECT_TRUE(painter.Open(Backend::Soft, w, h));
    DrawScene(scene, painter);
    return painter.Read();
}

class D3dSoftRasterTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFaults(); }
};

TEST_F(D3dSoftRasterTest, BlendModesFollowTheirFormulas)
{
    const Picture pic = DrawSoft("blend_modes");
    const uint32_t bg = 0x336699;
    // No blending: texel (1, 2) as it is, alpha ignored. 32 pixels over 8 texels: 4 per texel.
    EXPECT_EQ(Rgb(pic.At(5, 9)), 0xFF2028u);
    // Alpha blending: texel 7 (alpha 252) over the background; texel 0 (alpha 0) leaves it.
    EXPECT_EQ(Rgb(pic.At(32 + 29, 1)), Over(Argb(252, 255, 224, 0), bg));
    EXPECT_EQ(Rgb(pic.At(32, 0)), bg);
    // Additive: dst + src·alpha.
    EXPECT_EQ(Rgb(pic.At(64 + 17, 0)), Add(Argb(144, 255, 128, 0), bg));
    // Texture factor only: half-transparent orange.
    EXPECT_EQ(Rgb(pic.At(40, 40)), Over(0x80FF8000u, bg));
    // Texture × coloured diffuse, then blended: texel (1, 2) = (36; 255, 32, 40) × (C0; FF, 80, 40).
    const uint32_t modulated = Argb(Mul(36, 0xC0), 255, Mul(32, 0x80), Mul(40, 0x40));
    EXPECT_EQ(Rgb(pic.At(64 + 5, 32 + 9)), Over(modulated, bg));
    // Gouraud: the top-left vertex is white (half a pixel away); colours interpolate towards blue.
    EXPECT_GT(Channel(pic.At(0, 32), 16), 0xF0u);
    EXPECT_GT(Channel(pic.At(0, 32), 8), 0xF0u);
    EXPECT_GT(Channel(pic.At(0, 62), 0), 0xF0u);
    EXPECT_LT(Channel(pic.At(0, 62), 16), 0x10u);
    ExpectGolden(pic, "blend_modes");
}

TEST_F(D3dSoftRasterTest, AlphaTestComparesTexelAlphaWithTheReference)
{
    const Picture pic = DrawSoft("alpha_test");
    // Texel t has alpha 17·t: GREATEREQUAL 0x80 passes from t = 8 (x = 32) on.
    EXPECT_EQ(Rgb(pic.At(31, 5)), 0u);
    EXPECT_EQ(Rgb(pic.At(32, 5)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(pic.At(63, 15)), 0xFFFFFFu);
    // LESS 0x80: the other side, in the diffuse colour.
    EXPECT_EQ(Rgb(pic.At(31, 20)), 0x00FF00u);
    EXPECT_EQ(Rgb(pic.At(32, 20)), 0u);
    // GREATEREQUAL 1 under additive blending: texel 0 adds nothing, texel 1 adds the diffuse.
    EXPECT_EQ(Rgb(pic.At(2, 40)), 0u);
    EXPECT_EQ(Rgb(pic.At(6, 40)), 0x204060u);
    ExpectGolden(pic, "alpha_test");
}

TEST_F(D3dSoftRasterTest, DepthMasksShowQuadsInsideOrOutsideTheMask)
{
    const Picture pic = DrawSoft("z_masks");
    EXPECT_EQ(Rgb(pic.At(16, 32)), 0xFF0000u) << "masked in, inside the disc";
    EXPECT_EQ(Rgb(pic.At(2, 2)), 0x202020u) << "masked in, outside the disc";
    EXPECT_EQ(Rgb(pic.At(48, 32)), 0x202020u) << "masked out, inside the disc";
    EXPECT_EQ(Rgb(pic.At(61, 2)), 0x00FF00u) << "masked out, outside the disc";
    EXPECT_EQ(Rgb(pic.At(16, 45)), 0xFF0000u) << "after the depth clear masked-in quads show nowhere";
    EXPECT_EQ(Rgb(pic.At(5, 45)), 0x202020u);
    EXPECT_EQ(Rgb(pic.At(32, 55)), 0x0000FFu) << "a sprite mask writes depth where its disc shows";
    EXPECT_NE(Rgb(pic.At(1, 55)), 0x0000FFu) << "and not where its texels are transparent";
    ExpectGolden(pic, "z_masks");
}

TEST_F(D3dSoftRasterTest, QuadEdgesFollowTheTopLeftRule)
{
    const Picture pic = DrawSoft("half_pixel_edges");
    // Corners at -0.5 and 99.5 cover exactly pixels 0..99.
    EXPECT_EQ(Rgb(pic.At(0, 0)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(pic.At(99, 99)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(pic.At(100, 50)), 0u);
    EXPECT_EQ(Rgb(pic.At(50, 100)), 0u);
    // Edges through pixel centres: (102, 10)-(110, 20) covers x 102..109 and y 10..19.
    EXPECT_EQ(Rgb(pic.At(102, 10)), 0xFF0000u);
    EXPECT_EQ(Rgb(pic.At(109, 19)), 0xFF0000u);
    EXPECT_EQ(Rgb(pic.At(101, 15)), 0u);
    EXPECT_EQ(Rgb(pic.At(105, 9)), 0u);
    EXPECT_EQ(Rgb(pic.At(105, 20)), 0u);
    // The neighbour sharing the corner (110, 20) starts exactly there.
    EXPECT_EQ(Rgb(pic.At(110, 20)), 0x00FF00u);
    EXPECT_EQ(Rgb(pic.At(110, 19)), 0u);
    // The diamond: inside, and its right corner (not a top-left edge) excluded.
    EXPECT_EQ(Rgb(pic.At(110, 48)), 0x0000FFu);
    EXPECT_EQ(Rgb(pic.At(117, 48)), 0x0000FFu);
    EXPECT_EQ(Rgb(pic.At(118, 48)), 0u);
    ExpectGolden(pic, "half_pixel_edges");
}

TEST_F(D3dSoftRasterTest, LineListsDrawTheFirstPixelButNotTheLast)
{
    const Picture pic = DrawSoft("line_list");
    EXPECT_EQ(Rgb(pic.At(2, 2)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(pic.At(59, 2)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(pic.At(60, 2)), 0u);
    EXPECT_EQ(Rgb(pic.At(2, 6)), 0xFF0000u);
    EXPECT_EQ(Rgb(pic.At(2, 60)), 0u);
    const uint32_t mid = pic.At(2, 33); // half-way from red to blue
    EXPECT_NEAR(static_cast<int>(Channel(mid, 16)), 128, 3);
    EXPECT_NEAR(static_cast<int>(Channel(mid, 0)), 128, 3);
    // The x-major diagonal from (6, 6) to (58, 30): one pixel per column.
    int lit = 0;
    for (int y = 0; y < 64; ++y) {
        lit += Rgb(pic.At(30, y)) == 0x00FF00u;
    }
    EXPECT_EQ(lit, 1);
    ExpectGolden(pic, "line_list");
}

TEST_F(D3dSoftRasterTest, RotatedBilinearQuadMatchesItsGolden)
{
    const Picture pic = DrawSoft("rotated_bilinear");
    EXPECT_EQ(Rgb(pic.At(0, 0)), 0x103010u);
    EXPECT_NE(Rgb(pic.At(32, 32)), 0x103010u);
    ExpectGolden(pic, "rotated_bilinear");
}

TEST_F(D3dSoftRasterTest, AMagnifiedFilteredTextureIsClampedAtEveryEdge)
{
    // Red over blue (4 x 2), and red beside blue (2 x 4), magnified about nine times and filtered:
    // along the texture's uniform direction every pixel must match, edges included. A sample that
    // read past an edge would take in a neighbour in memory (the next row's first texel, or what
    // lies beyond the texture) instead of the edge's own texel.
    for (const bool across : {false, true}) {
        const int w = across ? 2 : 4, h = across ? 4 : 2;
        std::vector<uint32_t> texels(static_cast<size_t>(w * h));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                texels[static_cast<size_t>(y * w + x)] =
                    (across ? x : y) == 0 ? Argb(255, 255, 0, 0) : Argb(255, 0, 0, 255);
            }
        }
        D3dPainter painter;
        ASSERT_TRUE(painter.Open(Backend::Soft, 48, 48));
        ITexture* t = painter.MakeTexture(w, h, texels);
        IDevice* d = painter.Device();
        d->Clear(0, nullptr, ClearTarget, 0xFF000000u, 1.0f, 0);
        d->BeginScene();
        painter.SpriteStates();
        for (uint32_t s : {SampMagFilter, SampMinFilter}) {
            d->SetSamplerState(0, s, FilterLinear);
        }
        d->SetTexture(0, t);
        painter.Rect(0.0f, 0.0f, static_cast<float>(w * 9 + 1), static_cast<float>(h * 9 + 1), 0xFFFFFFFF);
        d->SetTexture(0, nullptr);
        d->EndScene();
        const Picture pic = painter.Read();
        const int along = (across ? h : w) * 9 + 1, lines = (across ? w : h) * 9 + 1;
        for (int line = 0; line < lines; ++line) {
            const auto at = [&](int i) { return Rgb(across ? pic.At(line, i) : pic.At(i, line)); };
            for (int i = 1; i < along; ++i) {
                ASSERT_EQ(at(i), at(0)) << (across ? "column " : "row ") << line << ", pixel " << i;
            }
        }
        EXPECT_EQ(Rgb(pic.At(0, 0)), 0xFF0000u);
        EXPECT_EQ(Rgb(pic.At(w * 9, h * 9)), 0x0000FFu);
    }
}

TEST_F(D3dSoftRasterTest, CullModesDropOneWindingAndStripsAndFansDraw)
{
    const Picture pic = DrawSoft("culling_strips");
    // CULL_CCW keeps the clockwise (red) triangle and drops the counter-clockwise one; CULL_CW the
    // reverse, drawn two pixels lower in grey.
    EXPECT_EQ(Rgb(pic.At(8, 6)), 0xFF0000u);
    EXPECT_EQ(Rgb(pic.At(40, 16)), 0x808080u);
    EXPECT_EQ(Rgb(pic.At(40, 5)), 0u) << "the green triangle was culled";
    EXPECT_EQ(Rgb(pic.At(8, 40)) & 0xFF, 0xFFu) << "strip";
    EXPECT_NE(Rgb(pic.At(56, 44)), 0u) << "fan";
    ExpectGolden(pic, "culling_strips");
}

TEST_F(D3dSoftRasterTest, VectorBlendAndSamplingPathsComputeTheScalarValues)
{
    // Translucent, opaque and clear texels in runs of every length, blended by each path; then the
    // same texture magnified, turned and bilinearly filtered, sampled by each path.
    std::vector<Picture> pictures;
    for (int level = 0; level <= 2; ++level) {
        Detail::SetSoftSimdLimit(level);
        D3dPainter painter;
        ASSERT_TRUE(painter.Open(Backend::Soft, 61, 37));
        std::vector<uint32_t> texels(13 * 7);
        for (size_t i = 0; i < texels.size(); ++i) {
            const uint32_t a = (i % 5 == 0) ? 0 : (i % 3 == 0 ? 255 : static_cast<uint32_t>(i * 37 % 256));
            texels[i] = Argb(a, static_cast<uint32_t>(i * 91 % 256), static_cast<uint32_t>(i * 53 % 256), 200);
        }
        ITexture* t = painter.MakeTexture(13, 7, texels);
        IDevice* d = painter.Device();
        d->Clear(0, nullptr, ClearTarget, 0xFF8090A0u, 1.0f, 0);
        d->BeginScene();
        painter.SpriteStates();
        d->SetTexture(0, t);
        for (int k = 0; k < 6; ++k) {
            const float x = static_cast<float>(k * 7) - 3.5f, y = static_cast<float>(k * 4) - 0.5f;
            painter.Rect(x, y, x + 13.0f + k, y + 7.0f + k, 0xFFFFFFFF);
        }
        for (uint32_t s : {SampMagFilter, SampMinFilter}) {
            d->SetSamplerState(0, s, FilterLinear);
        }
        // Inset texture coordinates keep most spans inside the texture, where the vector sampler works.
        const D3dVertex turned[4] = {{4.3f, 9.1f, 0.5f, 0.5f, 0xFFFFFFFF, 0.1f, 0.15f},
                                     {52.6f, 1.7f, 0.5f, 0.5f, 0xFFFFFFFF, 0.9f, 0.15f},
                                     {57.2f, 29.4f, 0.5f, 0.5f, 0xFFFFFFFF, 0.9f, 0.85f},
                                     {8.9f, 35.8f, 0.5f, 0.5f, 0xFFFFFFFF, 0.1f, 0.85f}};
        painter.Quad(turned);
        d->SetTexture(0, nullptr);
        d->EndScene();
        pictures.push_back(painter.Read());
    }
    Detail::SetSoftSimdLimit(2);
    EXPECT_EQ(MaxDifference(pictures[0], pictures[1], true), 0);
    EXPECT_EQ(MaxDifference(pictures[0], pictures[2], true), 0);
}

} // namespace
