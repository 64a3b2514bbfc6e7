#include <gtest/gtest.h>

#include "engine/core/EngineRand.h"
#include "engine/core/strings/StringUtil.h"

#include <climits>

using namespace QuillEngine;

TEST(StringUtilNumbers, UnsignedParserFollowsThe32BitRules)
{
    EXPECT_EQ(ToUInt(u"010"), 8u);
    EXPECT_EQ(ToUInt(u"0x1F"), 31u);
    EXPECT_EQ(ToUInt(u"0X1f"), 31u);
    EXPECT_EQ(ToUInt(u"  +12abc"), 12u);
    EXPECT_EQ(ToUInt(u"\t\u3000 7"), 7u);
    EXPECT_EQ(ToUInt(u"08"), 0u); // octal stops at the 8
    EXPECT_EQ(ToUInt(u"-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ToUInt(u"-4294967295"), 1u);
    EXPECT_EQ(ToUInt(u"4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(ToUInt(u"4294967296"), 0xFFFFFFFFu);
    EXPECT_EQ(ToUInt(u"0x1FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ToUInt(u"-0x1FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ToUInt(u"99999999999999999999999999"), 0xFFFFFFFFu);
    EXPECT_EQ(ToUInt(u""), 0u);
    EXPECT_EQ(ToUInt(u"x"), 0u);
}

TEST(StringUtilNumbers, SignedParserSaturatesAt32Bits)
{
    EXPECT_EQ(ToInt(u"-2147483648"), INT32_MIN);
    EXPECT_EQ(ToInt(u"-2147483649"), INT32_MIN);
    EXPECT_EQ(ToInt(u"2147483647"), INT32_MAX);
    EXPECT_EQ(ToInt(u"2147483648"), INT32_MAX);
    EXPECT_EQ(ToInt(u"0xFFFFFFFF"), INT32_MAX);
    EXPECT_EQ(ToInt(u"0x1FFFFFFFF"), INT32_MAX);
    EXPECT_EQ(ToInt(u"-0x10"), -16);
    EXPECT_EQ(ToInt(u" -017"), -15);
}

TEST(StringUtilNumbers, EndIndexReportsWhatWasConsumed)
{
    size_t end = 99;
    EXPECT_EQ(ParseInt32(u"  42,7", 10, &end), 42);
    EXPECT_EQ(end, 4u);
    EXPECT_EQ(ParseUInt32(u"0x", 0, &end), 0u);
    EXPECT_EQ(end, 1u); // the "0" alone
    EXPECT_EQ(ParseUInt32(u" - ", 0, &end), 0u);
    EXPECT_EQ(end, 0u);
    EXPECT_EQ(ParseUInt32(u"zz", 36, &end), 35u * 36 + 35);
    EXPECT_EQ(ParseUInt32(u"10", 1, &end), 0u); // invalid base
    EXPECT_EQ(end, 0u);
    EXPECT_EQ(ParseInt32(u"010", 10), 10); // an explicit base has no octal prefix
}

TEST(StringUtilNumbers, RealsUseTheCLocale)
{
    EXPECT_DOUBLE_EQ(ToDouble(u"1.5"), 1.5);
    size_t end = 0;
    EXPECT_DOUBLE_EQ(ToDouble(u" -2.5e3x", &end), -2500.0);
    EXPECT_EQ(end, 7u);
    EXPECT_DOUBLE_EQ(ToDouble(u"3,5"), 3.0);
    EXPECT_DOUBLE_EQ(ToDouble(u"0x1p4"), 16.0);
    EXPECT_DOUBLE_EQ(ToDouble(u"abc", &end), 0.0);
    EXPECT_EQ(end, 0u);
    EXPECT_DOUBLE_EQ(ToDouble(u"2\u00E95"), 2.0); // non-ASCII ends the number
    EXPECT_FLOAT_EQ(ToFloat(u"0.25"), 0.25f);
}

TEST(StringUtilCompare, ExactAndCaseInsensitive)
{
    EXPECT_TRUE(Equals(u"abc", u"abc"));
    EXPECT_FALSE(Equals(u"abc", u"ab"));
    EXPECT_FALSE(Equals(u"abc", u"ABC"));
    EXPECT_TRUE(Equals(u"Entry", "Entry"));
    EXPECT_FALSE(Equals(u"Entry", "Entr"));
    EXPECT_FALSE(Equals(u"\u00E9", "\xC3"));
    EXPECT_TRUE(EqualsNoCase(u"JOS\u00C9", u"jos\u00E9"));
    EXPECT_FALSE(EqualsNoCase(u"\u00D7", u"\u00F7")); // × and ÷ are not a case pair
    EXPECT_TRUE(StartsWith(u"|String|x", u"|String|"));
    EXPECT_FALSE(StartsWith(u"|Str", u"|String|"));
    EXPECT_EQ(ReverseFind(u"a/b/c", u'/'), 3);
    EXPECT_EQ(ReverseFind(u"abc", u'/'), -1);
}

TEST(StringUtilEscapes, UnescapeKnownAndUnknown)
{
    EXPECT_EQ(UnescapeString(u"a\\qb"), u"ab");
    EXPECT_EQ(UnescapeString(u"x\\\\y\\n\\t\\r"), u"x\\y\n\t\r");
    EXPECT_EQ(UnescapeString(u"end\\"), u"end");
    EXPECT_EQ(UnescapeString(u"\\\\\\"), u"\\");
}

TEST(StringUtilTokenize, EmptyPieces)
{
    std::vector<String> out;
    EXPECT_EQ(Tokenize(u"a,,b", out, u',', false, -1), 3);
    EXPECT_EQ(out, (std::vector<String>{u"a", u"", u"b"}));

    out.clear();
    EXPECT_EQ(Tokenize(u",,a,b,", out, u',', false, -1), 3);
    EXPECT_EQ(out, (std::vector<String>{u"a", u"b", u""}));

    out = {u"kept"};
    EXPECT_EQ(Tokenize(u"", out, u',', false, -1), 0);
    EXPECT_EQ(out.size(), 1u); // appends, never clears
}

TEST(StringUtilTokenize, Limits)
{
    std::vector<String> out;
    EXPECT_EQ(Tokenize(u"a b c", out, u' ', false, 2), 2);
    EXPECT_EQ(out, (std::vector<String>{u"a", u"b c"}));

    out.clear();
    EXPECT_EQ(Tokenize(u"a b c", out, u' ', false, 0), 0);
    EXPECT_TRUE(out.empty());

    out.clear();
    EXPECT_EQ(Tokenize(u"a b", out, 0, false, -1), 1);
    EXPECT_EQ(out, (std::vector<String>{u"a b"}));

    out.clear();
    EXPECT_EQ(Tokenize(u" a , b , c ", out, u',', true, 2), 2);
    EXPECT_EQ(out, (std::vector<String>{u"a", u"b , c "}));

    out.clear();
    EXPECT_EQ(Tokenize(u"a,b", out, u',', false, 5), 2);
}

TEST(StringUtilTokenize, Trimming)
{
    std::vector<String> out;
    EXPECT_EQ(Tokenize(u"  x  ", out, u' ', true, 1), 1);
    EXPECT_EQ(out, (std::vector<String>{u"x"}));

    out.clear();
    EXPECT_EQ(Tokenize(u" a \t, b\u00A0,\n", out, u',', true, -1), 3);
    EXPECT_EQ(out, (std::vector<String>{u"a", u"b", u""}));

    out.clear();
    EXPECT_EQ(Tokenize(u"-startscript  go.lua", out, u' ', false, -1), 3);
    EXPECT_EQ(out, (std::vector<String>{u"-startscript", u"", u"go.lua"}));
}

TEST(StringUtilPaths, FileNamePart)
{
    EXPECT_EQ(FindFileNamePart(u"C:\\Games\\x.exe"), 9u);
    EXPECT_EQ(FindFileNamePart(u"x.exe"), 0u);
    EXPECT_EQ(FindFileNamePart(u"C:x.exe"), 2u);
    EXPECT_EQ(FindFileNamePart(u"data/ui/a.png"), 8u);
    EXPECT_EQ(FindFileNamePart(u"C:\\Games\\"), String::npos);
    EXPECT_EQ(FindFileNamePart(u"C:\\Games\\.."), String::npos);
    EXPECT_EQ(FindFileNamePart(u"."), String::npos);
    EXPECT_EQ(FindFileNamePart(u""), String::npos);
    EXPECT_EQ(FindFileNamePart(u"\\\\server\\share"), String::npos);
    EXPECT_EQ(FindFileNamePart(u"\\\\server\\share\\f.txt"), 15u);
    EXPECT_EQ(GetFileNamePart(u"C:\\Games\\\\x.exe", false), 8u);
    EXPECT_EQ(GetFileNamePart(u"C:\\Games\\\\x.exe", true), 10u);
}

TEST(StringUtilPaths, StripFileNameForms)
{
    EXPECT_EQ(StripFileName(u"C:\\Games\\x.exe", false), u"C:\\Games");
    EXPECT_EQ(StripFileName(u"C:\\Games\\x.exe", true), u"C:\\Games\\");
    EXPECT_EQ(StripFileName(u"C:\\Games\\", false), u"C:\\Games");
    EXPECT_EQ(StripFileName(u"C:\\Games\\", true), u"C:\\Games\\");
    EXPECT_EQ(StripFileName(u"/opt/velvet/game", false), u"/opt/velvet");
    EXPECT_EQ(StripFileName(u"x.exe", false), u"");
    EXPECT_EQ(StripFileName(u"\\\\server\\share\\f.txt", false), u"\\\\server\\share");
    EXPECT_EQ(AddDefaultExtension(u"ui"), u"ui.dat");
    EXPECT_EQ(AddDefaultExtension(u"data.pak"), u"data.pak");
}

TEST(StringUtilUser, NameChoice)
{
    EXPECT_EQ(PickUserName("Ada Lovelace,Room 1,,", "ada", "x"), u"Ada Lovelace");
    EXPECT_EQ(PickUserName(",Room 1", "ada", "x"), u"ada");
    EXPECT_EQ(PickUserName("", "", "env"), u"env");
    EXPECT_EQ(PickUserName(nullptr, nullptr, nullptr), u"Player");
    EXPECT_EQ(PickUserName("Jos\xC3\xA9", "j", nullptr), u"Jos\u00E9");
    EXPECT_FALSE(GetCurrentUserName().empty());
}

TEST(EngineRand, ClassicSequenceFromAFixedSeed)
{
    Srand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int e : expected)
        EXPECT_EQ(Rand(), e);

    Srand(12345);
    const int a = Rand(), b = Rand();
    Srand(12345);
    EXPECT_EQ(Rand(), a);
    EXPECT_EQ(Rand(), b);
}

TEST(EngineRand, RandomStaysInRange)
{
    Srand(1);
    EXPECT_EQ(Random(10), 0); // 41
    EXPECT_EQ(Random(10), 5); // 18467
    EXPECT_EQ(Random(10), 1); // 6334
    Srand(7);
    for (int i = 0; i < 2000; ++i) {
        const int r = Random(3);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 3);
    }
    EXPECT_EQ(Random(1), 0);
    EXPECT_EQ(Random(0), 0);
}
