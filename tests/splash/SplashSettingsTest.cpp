#include "splash/SplashSettings.h"

#include <gtest/gtest.h>

#include "splash/SplashLog.h"
#include "splash/SplashPaths.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillonSplash;

namespace {

struct Parsed {
    SplashSettingsArray array;
    std::string folder;
};

void ParseText(Parsed& p, const std::string& stem, const std::string* text)
{
    const auto dir = QuillTest::MakeTempDir(stem);
    p.folder = dir.string() + "/";
    if (text)
        QuillTest::WriteFile(dir / "Splash.ini", *text);
    SplashLog log((dir / "test.log").string());
    p.array.ParseIni(p.folder, log);
}

} // namespace

TEST(SplashSettings, KeysFillTheRecordsAndBadValuesKeepTheDefaults)
{
    const std::string text = "[First]\n"
                             "FadeTime=250ms\n"
                             "FadeInColor=FF0000\n"
                             "FadeOutColor=F00\n"
                             "FlashVideoPath=movies\\v.flv\n"
                             "UseFlash=0\n"
                             "VideoWidth=abc\n"
                             "VideoBackground=00ff80\n"
                             "VideoTime=-40\n"
                             "StaticPath=pics\\" +
                             std::string(3000, 'p') +
                             ".png\n"
                             "StaticTime=99999999999\n"
                             "[Second]\n"
                             "FlashVideoPath=v.flv\n"
                             "UseFlash=no\n"
                             "FadeTime=\n"
                             "[Quillon]\n"
                             "StaticPath=x.jpg\n"
                             "FlashVideoPath=y.flv\n";
    Parsed p;
    ParseText(p, "splash-keys", &text);
    ASSERT_EQ(p.array.Count(), 3u);

    const SplashSettings& a = p.array[0];
    EXPECT_EQ(a.name, "First");
    EXPECT_EQ(a.FadeTime, 250);
    EXPECT_EQ(a.FadeInColor, 0x0000FFu); // red as a colour value
    EXPECT_EQ(a.FadeOutColor, 0u);       // three digits are ignored
    EXPECT_EQ(a.FlashVideoPath, p.folder + "movies/v.flv");
    EXPECT_FALSE(a.UseFlash); // switched off again after the video path
    EXPECT_EQ(a.VideoWidth, 0);
    EXPECT_EQ(a.VideoHeight, 600);
    EXPECT_EQ(a.VideoBackground, 0x80FF00u);
    EXPECT_EQ(a.VideoTime, 0); // a negative length counts as none
    EXPECT_EQ(a.StaticPath, p.folder + "pics/" + std::string(3000, 'p') + ".png");
    EXPECT_EQ(a.StaticTime, 2147483647);
    EXPECT_FALSE(a.IsQuillon);

    const SplashSettings& b = p.array[1];
    EXPECT_TRUE(b.UseFlash); // only a leading '0' switches it off
    EXPECT_EQ(b.FadeTime, 1000);

    const SplashSettings& q = p.array[2];
    EXPECT_TRUE(q.IsQuillon);
    EXPECT_TRUE(q.UseFlash);
    EXPECT_EQ(q.StaticPath, "");
    EXPECT_EQ(q.FlashVideoPath, "");

    // Only the exact name "Quillon" is the built-in section.
    const std::string lower = "[quillon]\nStaticPath=x.jpg\n";
    Parsed l;
    ParseText(l, "splash-lower", &lower);
    ASSERT_EQ(l.array.Count(), 1u);
    EXPECT_FALSE(l.array[0].IsQuillon);
    EXPECT_FALSE(l.array[0].UseFlash);
    EXPECT_EQ(l.array[0].StaticPath, l.folder + "x.jpg");
}

TEST(SplashSettings, MissingOrEmptyFilesMakeNoRecordAndOnlyTenSectionsAreKept)
{
    Parsed missing;
    ParseText(missing, "splash-missing", nullptr);
    EXPECT_EQ(missing.array.Count(), 0u);
    EXPECT_EQ(missing.array.First(), nullptr);

    const std::string empty = "; nothing here\n";
    Parsed none;
    ParseText(none, "splash-empty", &empty);
    EXPECT_EQ(none.array.Count(), 0u);

    std::string eleven;
    for (int i = 0; i < 11; ++i)
        eleven += "[S" + std::to_string(i) + "]\nStaticTime=" + std::to_string(i) + "\n";
    Parsed many;
    ParseText(many, "splash-eleven", &eleven);
    int seen = 0;
    for (const SplashSettings* s = many.array.First(); s; s = many.array.Next()) {
        EXPECT_EQ(s->StaticTime, seen);
        ++seen;
    }
    EXPECT_EQ(seen, 10);
}

TEST(SplashSettings, NumbersAndColoursParseTheirLeadingText)
{
    EXPECT_EQ(ParseSplashInt("  42px"), 42);
    EXPECT_EQ(ParseSplashInt("-7"), -7);
    EXPECT_EQ(ParseSplashInt("x1"), 0);
    EXPECT_EQ(ParseSplashInt("-99999999999"), -2147483647 - 1);
    SplashColor c = 7;
    EXPECT_FALSE(ParseSplashColor("GG0000", c));
    EXPECT_FALSE(ParseSplashColor("FF00001", c));
    EXPECT_EQ(c, 7u);
    EXPECT_TRUE(ParseSplashColor("123456", c));
    EXPECT_EQ(c, 0x563412u);
}

TEST(SplashPaths, FileAndDirectoryParts)
{
    EXPECT_EQ(FindFileNamePart("/opt/game/libX.so"), "libX.so");
    EXPECT_EQ(FindFileNamePart("C\\dir/mixed\\name.ini"), "name.ini");
    EXPECT_EQ(FindFileNamePart("//server/share"), "share");
    EXPECT_EQ(FindFileNamePart("//server"), "");
    EXPECT_EQ(FindFileNamePart("/a/.."), "");
    EXPECT_EQ(FindFileNamePart("plain"), "plain");
    EXPECT_EQ(GetDirectoryPart("/opt/game/libX.so"), "/opt/game/");
    EXPECT_EQ(GetDirectoryPart("plain"), "");
    EXPECT_EQ(GetDirectoryPart("/a/.."), "/a/..");
    EXPECT_EQ(JoinSettingsPath("/x\\y/", "a\\b.png"), "/x\\y/a/b.png");
    // The test program holds the library's code, so its folder is the program's.
    const std::string folder = GetModuleDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(GetModuleDirectory("Splash.ini"), folder + "Splash.ini");
}
