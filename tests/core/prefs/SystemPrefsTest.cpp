#include "engine/core/prefs/SystemPrefs.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "engine/core/prefs/UserData.h"
#include "engine/core/xml/XmlNode.h"
#include "platform/system/SafeFile.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<XmlNode> Parse(const char* text)
{
    return XmlNode::ParseDocument(text, false);
}

bool Same(const SystemPrefs& a, const SystemPrefs& b)
{
    return a.Fullscreen == b.Fullscreen && a.AudioEnabled == b.AudioEnabled && a.SoftwareDevice == b.SoftwareDevice &&
           a.AutoDetectSoftware == b.AutoDetectSoftware;
}

} // namespace

TEST(SystemPrefs, ParseRequiresVersionTwoAndTheThreeFlags)
{
    SystemPrefs prefs;
    ASSERT_TRUE(ParsePrefs(prefs, Parse("<Settings><Version>0x2</Version><Fullscreen>5</Fullscreen>"
                                        "<AudioEnabled>0</AudioEnabled><SoftwareDevice>1</SoftwareDevice>"
                                        "</Settings>")
                                      .get()));
    EXPECT_EQ(prefs.Fullscreen, 1);
    EXPECT_EQ(prefs.AudioEnabled, 0);
    EXPECT_EQ(prefs.SoftwareDevice, 1);
    EXPECT_EQ(prefs.AutoDetectSoftware, 0);

    const SystemPrefs before = prefs;
    const char* rejected[] = {
        "<Settings><Version>3</Version><Fullscreen>1</Fullscreen><AudioEnabled>1</AudioEnabled>"
        "<SoftwareDevice>0</SoftwareDevice></Settings>",
        "<Settings><Fullscreen>1</Fullscreen><AudioEnabled>1</AudioEnabled><SoftwareDevice>0</SoftwareDevice>"
        "</Settings>",
        "<Settings><Version>2</Version><AudioEnabled>1</AudioEnabled><SoftwareDevice>0</SoftwareDevice></Settings>",
        "<Settings><Version>2</Version><Fullscreen>1</Fullscreen><AudioEnabled></AudioEnabled>"
        "<SoftwareDevice>0</SoftwareDevice></Settings>",
        "<Settings><Version>2</Version><Fullscreen>0</Fullscreen><AudioEnabled>1</AudioEnabled></Settings>",
        "<Settings><Version>2</Version><Fullscreen>0</Fullscreen><AudioEnabled>1</AudioEnabled>"
        "<SoftwareDevice/></Settings>",
    };
    for (const char* text : rejected) {
        EXPECT_FALSE(ParsePrefs(prefs, Parse(text).get())) << text;
        EXPECT_TRUE(Same(prefs, before));
    }
    EXPECT_FALSE(ParsePrefs(prefs, nullptr));
}

TEST(SystemPrefs, BuildWritesTheFiveValuesInOrderAndParsesBack)
{
    SystemPrefs prefs;
    prefs.Fullscreen = 1;
    prefs.AudioEnabled = 0;
    prefs.SoftwareDevice = 1;
    prefs.AutoDetectSoftware = 1;
    const auto doc = BuildPrefs(prefs);
    EXPECT_EQ(doc->GetName(), u"Settings");
    ASSERT_EQ(doc->GetChildCount(), 5u);
    const char16_t* names[] = {u"Version", u"Fullscreen", u"AudioEnabled", u"SoftwareDevice", u"AutoDetectSoftware"};
    const char16_t* texts[] = {u"2", u"1", u"0", u"1", u"1"};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(doc->GetChild(i)->GetName(), names[i]);
        EXPECT_EQ(doc->GetChild(i)->GetText(), texts[i]);
    }
    SystemPrefs back;
    ASSERT_TRUE(ParsePrefs(back, doc.get()));
    EXPECT_TRUE(Same(back, prefs));
}

TEST(SystemPrefs, StartUpPrefersTheUserFileAndDeletesABadOne)
{
    UserDataFolders store(u"Prefs Game", u"Prefs Game");
    const auto defaults = Parse("<Settings><Version>2</Version><Fullscreen>1</Fullscreen>"
                                "<AudioEnabled>1</AudioEnabled><SoftwareDevice>0</SoftwareDevice>"
                                "<AutoDetectSoftware>1</AutoDetectSoftware></Settings>");
    int asked = 0;
    const auto defaultDocument = [&]() -> const XmlNode* {
        ++asked;
        return defaults.get();
    };

    // First run: the defaults document.
    SystemPrefs prefs;
    EXPECT_EQ(LoadSystemPrefs(store, defaultDocument, prefs), PrefsSource::DefaultsFile);
    EXPECT_EQ(prefs.Fullscreen, 1);
    EXPECT_EQ(prefs.AutoDetectSoftware, 1);
    EXPECT_EQ(asked, 1);

    // Exit writes the file; the next start reads it and never asks for the defaults.
    prefs.Fullscreen = 0;
    prefs.AudioEnabled = 0;
    prefs.AutoDetectSoftware = 0;
    ASSERT_TRUE(SaveSystemPrefs(store, prefs));
    SystemPrefs next;
    EXPECT_EQ(LoadSystemPrefs(store, defaultDocument, next), PrefsSource::UserFile);
    EXPECT_TRUE(Same(next, prefs));
    EXPECT_EQ(asked, 1);

    // A file of the wrong version is deleted and the built-in defaults apply.
    const auto old = Parse("<Settings><Version>1</Version><Fullscreen>1</Fullscreen>"
                           "<AudioEnabled>0</AudioEnabled><SoftwareDevice>1</SoftwareDevice></Settings>");
    ASSERT_TRUE(store.SaveXml(kSystemPrefsName, true, old.get()));
    SystemPrefs rejected;
    rejected.Fullscreen = 1;
    EXPECT_EQ(LoadSystemPrefs(store, defaultDocument, rejected), PrefsSource::UserFileBad);
    EXPECT_TRUE(Same(rejected, SystemPrefs{}));
    EXPECT_FALSE(fs::exists(fs::path(ToUtf8(store.LocalDataFolder())) / "System.prefs"));

    // Neither file: the caller's values stay.
    SystemPrefs untouched;
    untouched.SoftwareDevice = 1;
    EXPECT_EQ(LoadSystemPrefs(store, nullptr, untouched), PrefsSource::None);
    EXPECT_EQ(untouched.SoftwareDevice, 1);
}

TEST(SystemPrefs, WindowPositionRoundTrips)
{
    UserDataFolders store(u"Window Game", u"Window Game");
    int32_t x = 99, y = 99;
    EXPECT_FALSE(LoadWindowPosition(store, x, y));
    ASSERT_TRUE(SaveWindowPosition(store, -120, 45));
    ASSERT_TRUE(LoadWindowPosition(store, x, y));
    EXPECT_EQ(x, -120);
    EXPECT_EQ(y, 45);

    const auto partial = Parse("<Root><WindowY>7</WindowY></Root>");
    ASSERT_TRUE(store.SaveXml(kWindowPrefsName, true, partial.get()));
    ASSERT_TRUE(LoadWindowPosition(store, x, y));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 7);
}

TEST(SystemPrefs, SampleDefaultsFileIsValid)
{
    // The sample file in the source tree that this test file belongs to.
    const fs::path source = QuillTest::SourceRoot() / "data" / "input" /
                            "DefaultSystemPreferences.xml";
    if (!fs::exists(source))
        GTEST_SKIP() << "sample data not found at " << source;
    const std::string bytes = QuillTest::ReadFile(source);
    const auto doc = XmlNode::ParseFileBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false);
    SystemPrefs prefs;
    ASSERT_TRUE(ParsePrefs(prefs, doc.get()));
    EXPECT_EQ(prefs.Fullscreen, 0);
    EXPECT_EQ(prefs.AudioEnabled, 1);
}
