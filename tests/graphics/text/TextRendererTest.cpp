// The text renderer on the software device: font slots, strings rendered into textures, the
// string cache and its eviction by an injected clock, and device conditions.

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/text/FreeTypeFont.h"
#include "engine/graphics/text/TextRenderer.h"
#include "tests/graphics/text/FontTestSupport.h"
#include "tests/graphics/render/TextureTestSupport.h"

using namespace QuillEngine;
using namespace QuillD3D;

namespace {

const char* const kConfig = "<fonts><file src=\"DejaVuSans.ttf\"/><file src=\"DejaVuSans-Bold.ttf\"/>"
                            "<file src=\"DejaVuSansMono.ttf\"/>"
                            "<render name=\"DejaVu Sans\" bold=\"true\" antialias=\"none\"/></fonts>";

class TextRendererTest : public QuillTest::TextureRendererTest {
protected:
    void SetUp() override
    {
        QuillTest::TextureRendererTest::SetUp();
        QuillTest::WriteFontFolder(folder, kConfig);
        // The renderer made its text renderer before the fonts existed: read them now.
        text().GetFontManager()->LoadConfiguration();
        text().SetTickSource([this] { return now; });
    }

    TextRenderer& text() { return *renderer->GetTextRenderer(); }

    struct Texels {
        uint32_t width = 0, height = 0;
        std::vector<uint32_t> argb;
        uint32_t At(uint32_t x, uint32_t y) const { return argb[size_t(y) * width + x]; }
        uint8_t Alpha(uint32_t x, uint32_t y) const { return static_cast<uint8_t>(At(x, y) >> 24); }
    };
    Texels Read(uint32_t handle)
    {
        Texels t;
        auto* resource = static_cast<ResourceTexture*>(cache->Acquire(handle, true));
        ITexture* texture = resource ? resource->GetTexture() : nullptr;
        LockedRect locked{};
        if (!texture || Failed(texture->LockRect(0, &locked, nullptr, LockReadOnly)))
            return t;
        resource->GetTextureSize(t.width, t.height);
        t.argb.resize(size_t(t.width) * t.height);
        for (uint32_t y = 0; y < t.height; ++y)
            std::memcpy(&t.argb[size_t(y) * t.width], static_cast<uint8_t*>(locked.bits) + y * locked.pitch,
                        size_t(t.width) * 4);
        texture->UnlockRect(0);
        return t;
    }

    uint32_t now = 1000;
};

TEST_F(TextRendererTest, FontsAreSharedByKeyAndDeletedWithTheirLastUse)
{
    TextRenderer& t = text();
    EXPECT_EQ(t.AcquireFont(FontKey(u"DejaVu Sans", 3)), -1);
    EXPECT_EQ(t.AcquireFont(FontKey(u"", 20)), -1);
    EXPECT_EQ(t.AcquireFont(FontKey(u"Nobody", 20)), -1);
    const int32_t small = t.AcquireFont(FontKey(u"DejaVu Sans", 4));
    EXPECT_EQ(small, 0);

    const int32_t a = t.AcquireFont(FontKey(u"DejaVu Sans", 20));
    const int32_t b = t.AcquireFont(FontKey(u"DEJAVU SANS", 20));
    const int32_t bold = t.AcquireFont(FontKey(u"DejaVu Sans", 20, true));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, a);
    EXPECT_EQ(bold, 2);
    ASSERT_NE(t.GetFont(bold), nullptr);
    EXPECT_EQ(static_cast<FreeTypeFont*>(t.GetFont(bold))->Options().loadFlags, FontRenderOptions::kTargetMono);

    t.ReleaseFont(a);
    EXPECT_NE(t.GetFont(a), nullptr);
    t.ReleaseFont(a);
    EXPECT_EQ(t.GetFont(a), nullptr);
    EXPECT_EQ(t.SlotCount(), 3u); // an earlier hole stays
    // The hole is reused by the next new font.
    EXPECT_EQ(t.AcquireFont(FontKey(u"DejaVu Sans Mono", 12)), a);
    t.ReleaseFont(bold);
    EXPECT_EQ(t.SlotCount(), 2u); // the last slot goes
    t.ReleaseFont(-1);
    t.ReleaseFont(99);

    int32_t w = -1, h = -1;
    t.MeasureText(-1, u"x", w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(t.GetString(-1, u"x", 64, 16, 0).texture, 0u);
}

TEST_F(TextRendererTest, AStringRendersWhiteInsideItsBoxOnly)
{
    const int32_t font = text().AcquireFont(FontKey(u"DejaVu Sans", 16));
    ASSERT_GE(font, 0);
    int32_t mw = 0, mh = 0;
    text().MeasureText(font, u"Hello", mw, mh);
    EXPECT_GT(mw, 30);
    EXPECT_LT(mw, 60);
    EXPECT_GT(mh, 14);

    const TextQuad q = text().GetString(font, u"Hello", 100, 20, 0);
    ASSERT_NE(q.texture, 0u);
    const Texels t = Read(q.texture);
    ASSERT_EQ(t.width, 128u);
    ASSERT_EQ(t.height, 32u);
    EXPECT_FLOAT_EQ(q.leftU, 0.5f / 128);
    EXPECT_FLOAT_EQ(q.rightU, 100.5f / 128);
    EXPECT_FLOAT_EQ(q.topV, 19.5f / 32);
    EXPECT_FLOAT_EQ(q.bottomV, -0.5f / 32);

    uint32_t inked = 0, minX = 999, maxX = 0, minY = 999, maxY = 0;
    for (uint32_t y = 0; y < t.height; ++y) {
        for (uint32_t x = 0; x < t.width; ++x) {
            if (x >= 100 || y >= 20) {
                EXPECT_EQ(t.At(x, y), 0u) << x << "," << y;
            }
            if (t.Alpha(x, y) == 0)
                continue;
            EXPECT_EQ(t.At(x, y) & 0xFFFFFFu, 0xFFFFFFu);
            ++inked;
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    }
    EXPECT_GT(inked, 60u);
    // Left aligned after the offset of 2 pixels; about as wide as measured; rows hold layout y
    // upwards, so the letters sit in the upper rows of the box and never below row 0.
    EXPECT_GE(minX, 2u);
    EXPECT_LE(minX, 4u);
    EXPECT_LE(maxX, 2u + static_cast<uint32_t>(mw));
    EXPECT_GT(maxX, 30u);
    EXPECT_LT(maxY, 20u);
    EXPECT_GT(maxY, 10u);
    EXPECT_LE(maxY - minY, 14u);
    // Full coverage with alpha adjust 1.1 reaches 255.
    uint8_t peak = 0;
    for (uint32_t v : t.argb)
        peak = std::max<uint8_t>(peak, static_cast<uint8_t>(v >> 24));
    EXPECT_EQ(peak, 255);
}

TEST_F(TextRendererTest, GlyphsCrossingTheBoxAreClippedAndMonochromeIsExpanded)
{
    // Big letters in a narrow box, the descender of "g" below its bottom edge: every pixel
    // outside the box stays clear.
    const int32_t big = text().AcquireFont(FontKey(u"DejaVu Sans", 60));
    const TextQuad q = text().GetString(big, u"WgM", 20, 60, 0);
    ASSERT_NE(q.texture, 0u);
    Texels t = Read(q.texture);
    ASSERT_EQ(t.width, 32u);
    ASSERT_EQ(t.height, 64u);
    uint32_t inside = 0;
    for (uint32_t y = 0; y < t.height; ++y)
        for (uint32_t x = 0; x < t.width; ++x) {
            if (x >= 20 || y >= 60)
                EXPECT_EQ(t.At(x, y), 0u) << x << "," << y;
            else if (t.Alpha(x, y))
                ++inside;
        }
    EXPECT_GT(inside, 0u);
    // A one-pixel box is rendered two wide: the second column lies outside the texture.
    EXPECT_NE(text().GetString(big, u"W", 1, 1, 0).texture, 0u);

    // The bold face renders without anti-aliasing: only clear and full texels.
    const int32_t mono = text().AcquireFont(FontKey(u"DejaVu Sans", 18, true));
    t = Read(text().GetString(mono, u"Mono 42", 100, 24, 0).texture);
    ASSERT_FALSE(t.argb.empty());
    uint32_t full = 0;
    for (uint32_t v : t.argb) {
        const uint32_t a = v >> 24;
        EXPECT_TRUE(a == 0 || a == 255) << a;
        full += a == 255;
    }
    EXPECT_GT(full, 50u);
}

TEST_F(TextRendererTest, TheCacheKeysOnTextBoxAndFlags)
{
    const int32_t font = text().AcquireFont(FontKey(u"DejaVu Sans", 14));
    TextRenderer& t = text();
    const uint32_t first = t.GetString(font, u"Score", 80, 20, 0x10).texture;
    ASSERT_NE(first, 0u);
    EXPECT_EQ(t.GetString(font, u"Score", 80, 20, 0x10).texture, first);
    const uint32_t wider = t.GetString(font, u"Score", 96, 20, 0x10).texture;
    const uint32_t centred = t.GetString(font, u"Score", 80, 20, 0x11).texture;
    EXPECT_NE(wider, first);
    EXPECT_NE(centred, first);
    EXPECT_NE(centred, wider);
    // Contradictory pairs cancel: centre + right is plain left, and wrap + single line neither.
    EXPECT_EQ(t.GetString(font, u"Score", 80, 20, 0x33).texture, t.GetString(font, u"Score", 80, 20, 0).texture);
    t.GetString(font, u"Apple", 80, 20, 0);
    t.GetString(font, u"Zebra", 80, 20, 0);

    const Font& f = *t.GetFont(font);
    ASSERT_EQ(f.CachedStringCount(), 6u);
    for (size_t i = 1; i < f.Cache().size(); ++i)
        EXPECT_LE(f.Cache()[i - 1].text, f.Cache()[i].text);
    EXPECT_EQ(t.GetString(font, u"Score", 96, 20, 0x10).texture, wider);

    // An odd box is rendered one pixel wider but cached under its own width.
    const TextQuad odd = t.GetString(font, u"Odd", 301, 20, 0x02);
    ASSERT_NE(odd.texture, 0u);
    EXPECT_FLOAT_EQ(odd.rightU, 301.5f / 512);
    EXPECT_EQ(t.GetString(font, u"Odd", 301, 20, 0x02).texture, odd.texture);

    t.FlushFont(font);
    EXPECT_EQ(f.CachedStringCount(), 0u);
    EXPECT_EQ(cache->Acquire(first, true), nullptr); // its texture went with it
}

TEST_F(TextRendererTest, StringsUnusedForFiveSecondsAreDroppedAsLookupsPass)
{
    TextRenderer& t = text();
    const int32_t font = t.AcquireFont(FontKey(u"DejaVu Sans", 14));
    const int32_t other = t.AcquireFont(FontKey(u"DejaVu Sans Mono", 14));
    now = 0xFFFFF000u; // the tick wraps around in between
    const uint32_t old = t.GetString(font, u"Old", 64, 16, 0).texture;
    const uint32_t idle = t.GetString(other, u"Idle", 64, 16, 0).texture;
    ASSERT_NE(old, 0u);
    ASSERT_NE(idle, 0u);

    now += 5000;
    for (int i = 0; i < 6; ++i)
        t.GetString(font, u"Fresh", 64, 16, 0);
    EXPECT_EQ(t.GetFont(font)->CachedStringCount(), 2u);
    EXPECT_EQ(t.GetFont(other)->CachedStringCount(), 1u);

    now += 1; // 5001 ms since "Old" and "Idle" were drawn
    for (int i = 0; i < 6; ++i)
        t.GetString(font, u"Fresh", 64, 16, 0);
    ASSERT_EQ(t.GetFont(font)->CachedStringCount(), 1u);
    EXPECT_EQ(t.GetFont(font)->Cache()[0].text, u"Fresh");
    EXPECT_EQ(cache->Acquire(old, true), nullptr);
    // The other font was not drawn at all, and its string went too.
    EXPECT_EQ(t.GetFont(other)->CachedStringCount(), 0u);
    EXPECT_EQ(cache->Acquire(idle, true), nullptr);
}

TEST_F(TextRendererTest, NothingIsCachedWhileTheDeviceCannotMakeTheTexture)
{
    TextRenderer& t = text();
    const int32_t font = t.AcquireFont(FontKey(u"DejaVu Sans", 14));
    renderer->SetDeviceState(CRenderManager::kStateDeviceLost);
    EXPECT_EQ(t.GetString(font, u"Later", 64, 16, 0).texture, 0u);
    renderer->SetDeviceState(CRenderManager::kStateReady);

    Faults(Backend::Soft).textureFailures = 1;
    Faults(Backend::Soft).textureFailure = kErrInvalidCall;
    EXPECT_EQ(t.GetString(font, u"Later", 64, 16, 0).texture, 0u);
    EXPECT_EQ(t.GetFont(font)->CachedStringCount(), 0u);
    EXPECT_NE(t.GetString(font, u"Later", 64, 16, 0).texture, 0u);
    EXPECT_EQ(t.GetString(font, u"Empty box", 0, 16, 0).texture, 0u);

    // Releasing the device objects empties every cache.
    t.FlushAll();
    EXPECT_EQ(t.GetFont(font)->CachedStringCount(), 0u);
}

TEST_F(TextRendererTest, SquareOnlyDevicesGetSquareStringTextures)
{
    renderer.reset();
    auto square = QuillTest::MakeAdapter(0, 0x5151, 1);
    square.caps.textureCaps = TextureCapsSquareOnly;
    Faults(Backend::Soft).adapters = std::vector{square};
    CRenderManager& r = MakeRenderer();
    r.SetDevicePreferences(true, false);
    ASSERT_TRUE(r.Init(nullptr, false));
    r.GetTextRenderer()->SetTickSource([this] { return now; });

    const int32_t font = r.GetTextRenderer()->AcquireFont(FontKey(u"DejaVu Sans", 14));
    const TextQuad q = r.GetTextRenderer()->GetString(font, u"Square", 300, 20, 0);
    ASSERT_NE(q.texture, 0u);
    const Texels t = Read(q.texture);
    EXPECT_EQ(t.width, 512u);
    EXPECT_EQ(t.height, 512u);
    EXPECT_FLOAT_EQ(q.rightU, 300.5f / 512);
    EXPECT_FLOAT_EQ(q.topV, 19.5f / 512);
}

} // namespace
