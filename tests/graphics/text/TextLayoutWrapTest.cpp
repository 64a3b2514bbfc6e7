// Line breaking, wrapping at the box width and alignment of the text layout, over the DejaVu faces.

#include <gtest/gtest.h>

#include <memory>

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/text/FreeTypeFont.h"
#include "engine/graphics/text/OpenTypeKerning.h"
#include "engine/graphics/text/TextLayout.h"
#include "platform/linebreak/LineBreaker.h"
#include "tests/graphics/text/FontTestSupport.h"

using namespace QuillEngine;

namespace {

class TextLayoutWrapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resolved = manager->ResolveFont(FontKey(u"DejaVu Sans", 20), true);
        ASSERT_NE(resolved.face, nullptr);
        FT_Set_Char_Size(resolved.face, 0, 20 * 64, 0, 0);
        lineHeight = static_cast<int32_t>(resolved.face->size->metrics.height >> 6);
    }

    struct Placed {
        std::vector<LayoutGlyph> glyphs;
        TextLayout::Bounds bounds;
        size_t lines = 0;
    };
    Placed Lay(StringView text, int32_t width, int32_t height, int32_t flags)
    {
        const TextLayout layout(resolved.face, text.data(), text.size(), width, height, resolved.options, flags);
        Placed p;
        TextLayout::Cursor c;
        while (layout.NextGlyph(c))
            p.glyphs.push_back(layout.GetGlyph(c));
        p.bounds = layout.GetBounds();
        p.lines = layout.Lines().size();
        return p;
    }

    QuillTest::SansAndMonoFonts fonts{"layout"};
    std::unique_ptr<FontManager>& manager = fonts.manager;
    FontManager::Resolved resolved;
    int32_t lineHeight = 0;
};

} // namespace

TEST(LineBreakerTest, BreaksFallAfterSpacesAndHyphens)
{
    std::vector<uint8_t> a;
    const std::u16string text = u"ab cd-ef";
    QuillLineBreak::DefaultLineBreaker().Analyse(text.data(), text.size(), a);
    ASSERT_EQ(a.size(), text.size());
    using QuillLineBreak::BreakAttributes;
    for (size_t i : {0u, 1u, 2u, 4u, 5u, 7u})
        EXPECT_FALSE(a[i] & BreakAttributes::kSoftBreak) << i;
    EXPECT_TRUE(a[3] & BreakAttributes::kSoftBreak);
    EXPECT_TRUE(a[6] & BreakAttributes::kSoftBreak);
    EXPECT_TRUE(a[2] & BreakAttributes::kWhiteSpace);
    EXPECT_FALSE(a[5] & BreakAttributes::kWhiteSpace);
    QuillLineBreak::DefaultLineBreaker().Analyse(nullptr, 0, a);
    EXPECT_TRUE(a.empty());
}

TEST_F(TextLayoutWrapTest, LineFeedsAndCarriageReturnsBreakLines)
{
    for (const char16_t* text : {u"A\r\nB", u"A\nB", u"A\rB"}) {
        const Placed p = Lay(text, 0, 0, 0);
        ASSERT_EQ(p.glyphs.size(), 2u) << ToUtf8(text);
        EXPECT_EQ(p.lines, 2u);
        EXPECT_EQ(p.glyphs[0].y - p.glyphs[1].y, lineHeight);
        EXPECT_EQ(p.glyphs[1].x, 0);
    }
    // An empty line keeps its place and is then dropped.
    const Placed blank = Lay(u"A\n\nB", 0, 0, 0);
    ASSERT_EQ(blank.glyphs.size(), 2u);
    EXPECT_EQ(blank.lines, 2u);
    EXPECT_EQ(blank.glyphs[0].y - blank.glyphs[1].y, 2 * lineHeight);
    // Single-line text drops the line feed.
    const Placed single = Lay(u"A\nB", 0, 0, TextLayout::kSingleLine);
    ASSERT_EQ(single.glyphs.size(), 2u);
    EXPECT_EQ(single.lines, 1u);
    EXPECT_EQ(single.glyphs[0].y, single.glyphs[1].y);
    EXPECT_GT(single.glyphs[1].x, 0);
    // First baseline of a 0×0 measurement.
    const FT_Size_Metrics& m = resolved.face->size->metrics;
    EXPECT_EQ(Lay(u"A", 0, 0, 0).glyphs[0].y, -static_cast<int32_t>((m.height + m.descender) >> 6));
    EXPECT_EQ(Lay(u"", 100, 100, TextLayout::kWrap).lines, 0u);
}

TEST_F(TextLayoutWrapTest, WrapBreaksBetweenWordsAndDropsTheSpace)
{
    const Placed oneLine = Lay(u"AB CD", 0, 0, 0);
    ASSERT_EQ(oneLine.glyphs.size(), 5u);
    // A box that ends inside the second word.
    const int32_t width = oneLine.glyphs[4].x;
    const Placed p = Lay(u"AB CD", width, 100, TextLayout::kWrap);
    ASSERT_EQ(p.glyphs.size(), 4u);
    EXPECT_EQ(p.lines, 2u);
    EXPECT_EQ(p.glyphs[1].character, u'B');
    EXPECT_EQ(p.glyphs[2].character, u'C');
    EXPECT_EQ(p.glyphs[2].x, 0);
    EXPECT_EQ(p.glyphs[3].x, oneLine.glyphs[4].x - oneLine.glyphs[3].x);
    EXPECT_EQ(p.glyphs[0].y - p.glyphs[2].y, lineHeight);
    // Without the wrap flag the same box keeps one line.
    EXPECT_EQ(Lay(u"AB CD", width, 100, 0).lines, 1u);
    // A box wide enough for the whole text keeps it whole, also when the line fills it exactly;
    // one pixel less and the last word moves down.
    EXPECT_EQ(Lay(u"AB CD", oneLine.bounds.right + 1, 100, TextLayout::kWrap).lines, 1u);
    const int32_t exact = oneLine.bounds.right - oneLine.bounds.left;
    EXPECT_EQ(Lay(u"AB CD", exact, 100, TextLayout::kWrap).lines, 1u);
    EXPECT_EQ(Lay(u"AB CD", exact - 1, 100, TextLayout::kWrap).lines, 2u);
}

TEST_F(TextLayoutWrapTest, AWordLongerThanTheBoxIsCutInsideTheBox)
{
    const Placed whole = Lay(u"ABCDEFGH", 0, 0, 0);
    ASSERT_EQ(whole.glyphs.size(), 8u);
    const int32_t width = whole.glyphs[4].x; // 'E' starts exactly at the box edge
    const Placed p = Lay(u"ABCDEFGH", width, 100, TextLayout::kWrap);
    ASSERT_EQ(p.glyphs.size(), 8u);
    EXPECT_EQ(p.glyphs[3].y, p.glyphs[0].y);
    EXPECT_EQ(p.glyphs[4].character, u'E');
    EXPECT_EQ(p.glyphs[4].x, 0);
    EXPECT_LT(p.glyphs[4].y, p.glyphs[0].y);
    for (const LayoutGlyph& g : p.glyphs)
        EXPECT_LE(g.x, width);
}

TEST_F(TextLayoutWrapTest, BoxesNarrowerThanOneGlyphStillEndWrapping)
{
    // No glyph after the first starts inside these boxes: every line keeps one glyph.
    for (int32_t width : {0, 1, -50}) {
        const Placed p = Lay(u"AB CD", width, 100, TextLayout::kWrap);
        ASSERT_EQ(p.glyphs.size(), 5u) << width;
        EXPECT_EQ(p.lines, 5u);
        for (size_t i = 1; i < p.glyphs.size(); ++i)
            EXPECT_EQ(p.glyphs[i - 1].y - p.glyphs[i].y, lineHeight);
    }
    // A long text without any break opportunity in a tiny box.
    const std::u16string longWord(500, u'W');
    const Placed p = Lay(longWord, 3, 1000000, TextLayout::kWrap);
    EXPECT_EQ(p.lines, 500u);
}

TEST_F(TextLayoutWrapTest, LinesAlignInsideTheBox)
{
    const Placed left = Lay(u"AB", 200, 50, TextLayout::kWrap);
    const int32_t width = left.bounds.right - left.bounds.left;
    ASSERT_GT(width, 0);
    EXPECT_EQ(left.glyphs[0].x, 0);
    EXPECT_EQ(Lay(u"AB", 200, 50, 0x11).glyphs[0].x, (200 - width) / 2);
    EXPECT_EQ(Lay(u"AB", 200, 50, 0x12).glyphs[0].x, 200 - width);
    // Each wrapped line is centred on its own.
    const Placed wrapped = Lay(u"AB CDEFG", Lay(u"AB CDEF", 0, 0, 0).glyphs[6].x, 100, 0x11);
    ASSERT_EQ(wrapped.lines, 2u);
    EXPECT_GT(wrapped.glyphs[0].x, wrapped.glyphs[2].x);
    // A single line wider than its box is not aligned.
    EXPECT_EQ(Lay(u"ABCDEF", 10, 50, TextLayout::kSingleLine | TextLayout::kCenter).glyphs[0].x, 0);
    // Vertical placement: bottom alignment moves the block down by the free height.
    const Placed top = Lay(u"A", 200, 100, 0);
    const Placed bottom = Lay(u"A", 200, 100, TextLayout::kBottom);
    EXPECT_EQ(top.glyphs[0].y - bottom.glyphs[0].y, 100 - lineHeight);
}

TEST_F(TextLayoutWrapTest, WrappedMeasurementCountsTheLines)
{
    FreeTypeFont font(FontKey(u"DejaVu Sans", 20), true);
    ASSERT_TRUE(font.IsValid());
    int32_t w = 0, h = 0, ww = 0, wh = 0;
    font.Measure(u"Velvet aisle", w, h);
    EXPECT_EQ(h, lineHeight);
    font.MeasureWrapped(u"Velvet aisle", w - 10, ww, wh);
    EXPECT_EQ(wh, 2 * lineHeight);
    EXPECT_LT(ww, w);
    font.MeasureWrapped(u"Velvet aisle", 0, ww, wh);
    // One glyph per line, the space included: nothing starts inside a box of width 0.
    EXPECT_EQ(wh, 12 * lineHeight);
}

TEST_F(TextLayoutWrapTest, FacesWithKerningTablesOrFixedWidthGetNoGpos)
{
    EXPECT_EQ(GetFaceGpos(resolved.face), nullptr);
    const FontManager::Resolved mono = manager->ResolveFont(FontKey(u"DejaVu Sans Mono", 20), true);
    ASSERT_NE(mono.face, nullptr);
    EXPECT_EQ(GetFaceGpos(mono.face), nullptr);
    EXPECT_EQ(GetFaceGpos(nullptr), nullptr);
}
