#include <gtest/gtest.h>

#include "engine/core/strings/EngineString.h"

using namespace QuillEngine;

TEST(EngineStringConversion, Utf8RoundTripsAcrossPlanes)
{
    const std::string utf8 = "Jos\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x92\x8D";   // José 中 💍
    const String wide = FromUtf8(utf8);
    ASSERT_EQ(wide.size(), 9u);   // ring is a surrogate pair
    EXPECT_EQ(wide[3], u'\u00E9');
    EXPECT_EQ(wide[5], u'\u4E2D');
    EXPECT_EQ(wide[7], 0xD83D);
    EXPECT_EQ(ToUtf8(wide), utf8);
}

TEST(EngineStringConversion, IllFormedUtf8BecomesReplacement)
{
    EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");          // overlong
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    EXPECT_EQ(FromUtf8("\xE4\xB8"), u"\uFFFD");                 // cut short: one maximal subpart
    EXPECT_EQ(FromUtf8("\xE4" "A"), u"\uFFFDA");               // the next byte starts afresh
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));              // above U+10FFFF
    EXPECT_TRUE(IsValidUtf8("Jos\xC3\xA9"));
    EXPECT_EQ(ToUtf8(String(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(EngineStringConversion, Cp1252UsesTheFixedTable)
{
    EXPECT_EQ(FromCp1252("\x80\xE9\x9F"), u"\u20AC\u00E9\u0178");
    EXPECT_EQ(FromCp1252("\x81"), u"\uFFFD");
    EXPECT_EQ(ToCp1252(u"\u20AC\u00E9\u4E2D"), "\x80\xE9?");
}
