// Glyph placement of FreeType fonts: pair kerning from the face's kerning table, line breaks and
// measurement.

#include <gtest/gtest.h>

#include <memory>

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/text/FreeTypeFont.h"
#include "engine/graphics/text/TextLayout.h"
#include "tests/graphics/text/FontTestSupport.h"

using namespace QuillEngine;

namespace {

class FontKerningTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(manager->Faces().size(), 2u);
    }

    // Positions of the glyphs of `text` laid out in a 0×0 box with raw metrics.
    std::vector<LayoutGlyph> Place(const char16_t* family, int size, StringView text, int32_t flags = 0)
    {
        const FontManager::Resolved r = manager->ResolveFont(FontKey(family, size), true);
        EXPECT_NE(r.face, nullptr);
        std::vector<LayoutGlyph> out;
        if (!r.face)
            return out;
        FT_Set_Char_Size(r.face, 0, size * 64, 0, 0);
        advanceA = 0;
        if (FT_Load_Char(r.face, 'A', r.options.loadFlags) == 0)
            advanceA = r.face->glyph->advance.x / 64.0;
        const TextLayout layout(r.face, text.data(), text.size(), 0, 0, r.options, flags);
        TextLayout::Cursor c;
        while (layout.NextGlyph(c))
            out.push_back(layout.GetGlyph(c));
        return out;
    }

    QuillTest::SansAndMonoFonts fonts{"kerning"};
    std::unique_ptr<FontManager>& manager = fonts.manager;
    double advanceA = 0;
};

TEST_F(FontKerningTest, AKernedPairSitsCloserThanTheAdvance)
{
    const auto kerned = Place(u"DejaVu Sans", 40, u"AV");
    ASSERT_EQ(kerned.size(), 2u);
    EXPECT_DOUBLE_EQ(kerned[0].exactX, 0.0);
    EXPECT_LT(kerned[1].exactX, advanceA - 1.0);
    // "A" then "B" is not a kerned pair: the advance alone.
    const auto plain = Place(u"DejaVu Sans", 40, u"AB");
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_DOUBLE_EQ(plain[1].exactX, advanceA);
    // A face without a kerning table places the pair by the advance.
    const auto mono = Place(u"DejaVu Sans Mono", 40, u"AV");
    ASSERT_EQ(mono.size(), 2u);
    EXPECT_DOUBLE_EQ(mono[1].exactX, advanceA);

    // The font's measurement sees the kerning too.
    FreeTypeFont font(FontKey(u"DejaVu Sans", 40), true);
    ASSERT_TRUE(font.IsValid());
    int32_t av = 0, a = 0, v = 0, h = 0;
    font.Measure(u"AV", av, h);
    font.Measure(u"A", a, h);
    font.Measure(u"V", v, h);
    EXPECT_LT(av, a + v - 1);

    // The faces go with their manager: a font outliving it measures nothing rather than reading
    // a released face.
    manager.reset();
    font.Measure(u"AV", av, h);
    EXPECT_EQ(av, 0);
    EXPECT_EQ(h, 0);
}

TEST_F(FontKerningTest, LineFeedsBreakLinesAndSingleLineDropsThem)
{
    auto lines = [](const std::vector<LayoutGlyph>& glyphs) {
        std::vector<int32_t> ys;
        for (const LayoutGlyph& g : glyphs)
            ys.push_back(g.y);
        return ys;
    };
    const auto crlf = Place(u"DejaVu Sans", 20, u"A\r\nB");
    const auto lf = Place(u"DejaVu Sans", 20, u"A\nB");
    ASSERT_EQ(crlf.size(), 2u);
    EXPECT_EQ(lines(crlf), lines(lf));
    EXPECT_EQ(crlf[1].x, 0); // each line starts at its own left
    const int32_t step = crlf[0].y - crlf[1].y;
    EXPECT_GT(step, 15);
    // An empty line keeps its place.
    const auto gap = Place(u"DejaVu Sans", 20, u"A\n\nB");
    ASSERT_EQ(gap.size(), 2u);
    EXPECT_EQ(gap[0].y - gap[1].y, 2 * step);

    const auto single = Place(u"DejaVu Sans", 20, u"A\nB", TextLayout::kSingleLine);
    ASSERT_EQ(single.size(), 2u);
    EXPECT_EQ(single[0].y, single[1].y);
    EXPECT_GT(single[1].x, 0);
    EXPECT_TRUE(Place(u"DejaVu Sans", 20, u"").empty());
}

} // namespace
