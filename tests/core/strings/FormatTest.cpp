#include <gtest/gtest.h>

#include "engine/core/strings/Format.h"

#include <cstdio>
#include <string>

using namespace QuillEngine;

namespace {

std::string Narrow(const String& s)
{
    return ToUtf8(s);
}

} // namespace

TEST(FormatIntegers, MatchTheCLibrary)
{
    const char* specs[] = {"%d", "%5d", "%-5d|", "%05d", "%+d",   "% d", "%.3d", "%8.3d", "%-+6d|", "%.0d", "%x",
                           "%X", "%#x", "%#X",   "%08x", "%#08x", "%o",  "%#o",  "%u",    "%i",     "%+.0d"};
    const int values[] = {0, 7, -7, 42, 255, -255, 2147483647, INT32_MIN};
    for (const char* spec : specs) {
        for (int v : values) {
            char expected[64];
            std::snprintf(expected, sizeof(expected), spec, v);
            const String got = Format(Widen(spec), {v});
            EXPECT_EQ(Narrow(got), expected) << spec << " with " << v;
        }
    }
}

TEST(FormatReals, MatchTheCLibrary)
{
    const char* specs[] = {"%f", "%.2f", "%10.3f", "%-10.1f|", "%+f",  "% .1f", "%010.2f", "%.0f",   "%#.0f",
                           "%e", "%.3E", "%g",     "%G",       "%.3g", "%g",    "%12g",    "%-12g|", "%+g"};
    const double values[] = {0.0, 1.0, -1.5, 3.14159265, 12345.678, 1e-5, 0.0001, 1e20, -0.0, 2.5, 123456789.0};
    for (const char* spec : specs) {
        for (double v : values) {
            char expected[128];
            std::snprintf(expected, sizeof(expected), spec, v);
            const String got = Format(Widen(spec), {v});
            EXPECT_EQ(Narrow(got), expected) << spec << " with " << v;
        }
    }
}

TEST(FormatTexts, WidthPrecisionAndKinds)
{
    const String name = u"Jos\u00E9";
    EXPECT_EQ(Format(u"[%s]", {name}), u"[Jos\u00E9]");
    EXPECT_EQ(Format(u"[%6s]", {name}), u"[  Jos\u00E9]");
    EXPECT_EQ(Format(u"[%-6s]", {name}), u"[Jos\u00E9  ]");
    EXPECT_EQ(Format(u"[%.2s]", {u"abcdef"}), u"[ab]");
    EXPECT_EQ(Format(u"[%S]", {"caf\xC3\xA9"}), u"[caf\u00E9]"); // narrow UTF-8 argument
    EXPECT_EQ(Format(u"%ls/%hs", {u"w", "n"}), u"w/n");
    EXPECT_EQ(Format(u"%c%c%c", {u'\u00E9', 'A', 0x1F48D}), u"\u00E9A\U0001F48D");
    EXPECT_EQ(Format(u"%3c|", {u'x'}), u"  x|");
    EXPECT_EQ(Format(u"%*d|%-*d|", {4, 1, 3, 2}), u"   1|2  |");
    EXPECT_EQ(Format(u"%.*f", {1, 2.25}), u"2.2");
}

TEST(FormatRobustness, MissingArgumentsAndOddDirectives)
{
    EXPECT_EQ(Format(u"a %s b %d c", {}), u"a  b  c");
    EXPECT_EQ(Format(u"%d and %d", {1}), u"1 and ");
    EXPECT_EQ(Format(u"%n%s", {u"x"}), u"x"); // %n takes nothing
    EXPECT_EQ(Format(u"100%%", {}), u"100%");
    EXPECT_EQ(Format(u"%y %d", {3}), u"%y 3");
    EXPECT_EQ(Format(u"tail %", {}), u"tail %");
    EXPECT_EQ(Format(u"tail %-5", {1}), u"tail %-5");
    EXPECT_EQ(Format(u"%ld %lld %I64d %zu %hd", {1, 2, 3, 4u, 5}), u"1 2 3 4 5");
    // A huge width from data is capped, not honoured with gigabytes of padding.
    EXPECT_EQ(Format(u"%999999999d", {1}).size(), 4096u);
    EXPECT_EQ(Format(u"%.99999f", {1.0}).size(), 4098u);
}

TEST(FormatRobustness, MismatchedTypesConvert)
{
    EXPECT_EQ(Format(u"%d", {3.9}), u"3");
    EXPECT_EQ(Format(u"%d", {-3.9}), u"-3");
    EXPECT_EQ(Format(u"%d", {1e300}), u"9223372036854775807");
    EXPECT_EQ(Format(u"%f", {2}), u"2.000000");
    EXPECT_EQ(Format(u"%s", {42}), u"42");
    EXPECT_EQ(Format(u"%s", {-42}), u"-42");
    EXPECT_EQ(Format(u"%s", {0.5}), u"0.5");
    EXPECT_EQ(Format(u"%s", {u'z'}), u"z");
    EXPECT_EQ(Format(u"%5d|", {u"ab"}), u"   ab|");
    EXPECT_EQ(Format(u"%c", {65}), u"A");
    EXPECT_EQ(Format(u"%u", {-1}), u"4294967295");
    EXPECT_EQ(Format(u"%x", {-1}), u"ffffffff");
    EXPECT_EQ(Format(u"%x", {-1LL}), u"ffffffffffffffff");
    EXPECT_EQ(Format(u"%d", {4294967295u}), u"4294967295");
    EXPECT_EQ(Format(u"%d", {18446744073709551615ull}), u"18446744073709551615");
    EXPECT_EQ(Format(u"%d", {true}), u"1");
    EXPECT_EQ(Format(u"%f|%F", {1.0 / 0.0, -1.0 / 0.0}), u"inf|-INF");
}

TEST(FormatNarrow, Utf8Variant)
{
    EXPECT_EQ(FormatUtf8("%s=%d (%.1f%%)", {"caf\xC3\xA9", 12, 99.5}), "caf\xC3\xA9=12 (99.5%)");
    EXPECT_EQ(FormatUtf8("%s", {u"\u4E2D"}), "\xE4\xB8\xAD");
}
