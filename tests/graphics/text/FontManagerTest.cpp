// The font manager: fonts.xml options, files, aliases and render rules, and how a request is
// resolved to a face and its options.

#include <gtest/gtest.h>

#include <memory>

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/text/FontManager.h"
#include "tests/graphics/text/FontTestSupport.h"

using namespace QuillEngine;

namespace {

constexpr int32_t kLight = FontRenderOptions::kTargetLight;
constexpr int32_t kMono = FontRenderOptions::kTargetMono;
constexpr int32_t kNoHinting = FontRenderOptions::kNoHinting;

class FontManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = QuillTest::MakeTempDir("fonts");
        files = std::make_unique<FileManager>();
        files->AddSource(std::make_unique<FSLooseFiles>(FromUtf8(folder.string() + "/"), u"System"));
        xml = std::make_unique<XmlCache>(files.get());
    }
    void TearDown() override
    {
        manager.reset();
        xml.reset();
        files.reset();
    }

    FontManager& Load(const std::string& config)
    {
        QuillTest::WriteFontFolder(folder, config);
        manager = std::make_unique<FontManager>();
        manager->LoadConfiguration();
        return *manager;
    }

    FT_Face FaceOf(const char16_t* file) const
    {
        for (const FontFace& f : manager->Faces())
            if (f.fileName == file)
                return f.face;
        return nullptr;
    }

    std::filesystem::path folder;
    std::unique_ptr<FileManager> files;
    std::unique_ptr<XmlCache> xml;
    std::unique_ptr<FontManager> manager;
};

TEST_F(FontManagerTest, BuiltInDefaultsServeAFaceWithoutRules)
{
    FontManager& m = Load("<fonts><file src=\"DejaVuSans.ttf\"/></fonts>");
    ASSERT_TRUE(m.HasLibrary());
    ASSERT_EQ(m.Faces().size(), 1u);
    EXPECT_EQ(m.Faces()[0].familyName, u"DejaVu Sans");
    EXPECT_EQ(m.Faces()[0].bold, 0);
    EXPECT_DOUBLE_EQ(m.GetDefaultAlphaAdjust(), 1.1);

    const auto r = m.ResolveFont(FontKey(u"dejavu sans", 16), false);
    EXPECT_EQ(r.face, FaceOf(u"DejaVuSans.ttf"));
    EXPECT_EQ(r.options.loadFlags, 0);
    EXPECT_DOUBLE_EQ(r.options.heightMultiplier, 1.07);
    EXPECT_EQ(r.options.offsetLeft, std::make_pair(2, -3));
    EXPECT_EQ(r.options.offsetCenter, std::make_pair(0, -2));
    EXPECT_EQ(r.options.offsetRight, std::make_pair(0, -3));

    // Raw metrics: no line spacing factor and no alignment offsets, the rest as usual.
    const auto raw = m.ResolveFont(FontKey(u"DejaVu Sans", 16), true);
    EXPECT_EQ(raw.face, r.face);
    EXPECT_DOUBLE_EQ(raw.options.heightMultiplier, 0.0);
    EXPECT_DOUBLE_EQ(raw.options.alphaAdjust, 1.1);
    EXPECT_EQ(raw.options.offsetLeft, std::make_pair(0, 0));
    EXPECT_EQ(raw.options.offsetCenter, std::make_pair(0, 0));
    EXPECT_EQ(raw.options.offsetRight, std::make_pair(0, 0));
}

TEST_F(FontManagerTest, OptionsAndRenderRulesDecideTheRasterisation)
{
    FontManager& m = Load("<fonts>"
                          "<options antialias=\"LIGHT\" alphaAdjust=\"1.5\" offsetLeftAlign=\"4;-6\"/>"
                          "<options antialias=\"none\"/>" // only the first counts
                          "<file src=\"DejaVuSans.ttf\"/><file src=\"DejaVuSans-Bold.ttf\"/>"
                          "<render name=\"DejaVu Sans\" size=\"12\" disableHinting=\"yes\"/>"
                          "<render name=\"DejaVu Sans\" size=\"0\" bold=\"1\" antialias=\"none\" "
                          "heightMultiplier=\"1.5\" offsetCenterAlign=\"bad\"/>"
                          "<render name=\"DejaVu Sans\" size=\"13\" antialias=\"sharp\"/>"
                          "</fonts>");
    EXPECT_EQ(m.GetDefaultOptions().loadFlags, kLight);
    EXPECT_DOUBLE_EQ(m.GetDefaultAlphaAdjust(), 1.5);
    EXPECT_EQ(m.GetDefaultOptions().offsetLeft, std::make_pair(4, -6));
    EXPECT_DOUBLE_EQ(m.GetDefaultOptions().heightMultiplier, 1.07); // not given: built-in
    ASSERT_EQ(m.RenderRules().size(), 3u);

    // The size-12 rule keeps the light target from the options and adds its own bit.
    const auto at12 = m.ResolveFont(FontKey(u"DejaVu Sans", 12), false);
    EXPECT_EQ(at12.options.loadFlags, kLight | kNoHinting);
    EXPECT_DOUBLE_EQ(at12.options.alphaAdjust, 1.5);
    // No rule for 14: the defaults, light too.
    const auto at14 = m.ResolveFont(FontKey(u"DejaVu Sans", 14), false);
    EXPECT_EQ(at14.options.loadFlags, kLight);
    // An unknown antialias word counts as normal.
    EXPECT_EQ(m.ResolveFont(FontKey(u"DejaVu Sans", 13), false).options.loadFlags, 0);

    // Size 0 matches every size of its style; a malformed pair keeps the default pair.
    for (int size : {9, 40}) {
        const auto bold = m.ResolveFont(FontKey(u"DejaVu Sans", size, true), true);
        EXPECT_EQ(bold.face, FaceOf(u"DejaVuSans-Bold.ttf"));
        EXPECT_EQ(bold.options.loadFlags, kMono);
        EXPECT_DOUBLE_EQ(bold.options.heightMultiplier, 1.5);
        EXPECT_EQ(bold.options.offsetCenter, std::make_pair(0, -2));
        // A rule applies whole, raw metrics or not.
        EXPECT_EQ(bold.options.offsetLeft, std::make_pair(4, -6));
    }

    FontKey rule(u"X", 12), other(u"x", 13);
    EXPECT_FALSE(rule.Matches(other, true));
    other.size = 0;
    EXPECT_TRUE(rule.Matches(other, true));
    EXPECT_FALSE(rule.Matches(other, false));
    other.size = 12;
    other.style3 = 1;
    EXPECT_FALSE(rule.Matches(other, true));
}

TEST_F(FontManagerTest, AliasesReplaceNameAndStyleOnceAndOnlyWhenComplete)
{
    FontManager& m = Load("<fonts>"
                          "<file src=\"DejaVuSans.ttf\"/><file src=\"DejaVuSans-Bold.ttf\"/>"
                          "<alias><from name=\"Headline\"/><to name=\"DejaVu Sans\" bold=\"true\"/></alias>"
                          "<alias><from name=\"Chain\"/><to name=\"Headline\"/></alias>"
                          "<alias><from name=\"Half\"/></alias>"
                          "<alias><from name=\"\"/><to name=\"DejaVu Sans\"/></alias>"
                          "<render name=\"DejaVu Sans\" bold=\"true\" alphaAdjust=\"2\"/>"
                          "</fonts>");
    ASSERT_EQ(m.Aliases().size(), 2u);
    const auto headline = m.ResolveFont(FontKey(u"HEADLINE", 18), false);
    EXPECT_EQ(headline.face, FaceOf(u"DejaVuSans-Bold.ttf"));
    EXPECT_DOUBLE_EQ(headline.options.alphaAdjust, 2.0); // the bold family's rule
    // The alias is for the regular style only.
    EXPECT_EQ(m.ResolveFont(FontKey(u"Headline", 18, true), false).face, nullptr);
    // Aliases do not chain: "Chain" becomes "Headline", which no file provides.
    EXPECT_EQ(m.ResolveFont(FontKey(u"Chain", 18), false).face, nullptr);
}

TEST_F(FontManagerTest, FilesLoadOnceAndMissingStylesAreNotSubstituted)
{
    FontManager& m = Load("<fonts>"
                          "<file src=\"DejaVuSansMono.ttf\"/><file src=\"dejavusansmono.TTF\"/>"
                          "<file src=\"DejaVuSans.ttf\" system=\"true\"/>"
                          "<file src=\"NoSuchFont.ttf\"/><file/>"
                          "</fonts>");
    ASSERT_EQ(m.Faces().size(), 1u);
    EXPECT_EQ(m.Faces()[0].familyName, u"DejaVu Sans Mono");
    EXPECT_EQ(m.LoadFaceFile(u"DEJAVUSANSMONO.ttf"), m.Faces()[0].face);
    EXPECT_EQ(m.ResolveFont(FontKey(u"DejaVu Sans Mono", 12, true), false).face, nullptr);
    EXPECT_EQ(m.ResolveFont(FontKey(u"DejaVu Sans", 12), false).face, nullptr); // listed as system
    // A face loaded later serves requests from then on.
    ASSERT_NE(m.LoadFaceFile(u"DejaVuSans.ttf"), nullptr);
    EXPECT_NE(m.ResolveFont(FontKey(u"DejaVu Sans", 12), false).face, nullptr);
}

// A face the configuration names that no file provides (here its file is cut short: FreeType
// opens it without its name) is served by a face that loaded: the same style first, proportional
// before fixed-width. A face nobody names is not made up.
TEST_F(FontManagerTest, AFaceNamedButUnreadIsServedByAnotherOfItsStyle)
{
    const std::string sans = QuillTest::ReadFile(QuillTest::SystemFontDir() / "DejaVuSans.ttf");
    QuillTest::WriteFile(folder / "fonts" / "cut.ttf", sans.substr(0, sans.size() * 9 / 10));
    FontManager& m = Load("<fonts>"
                          "<file src=\"DejaVuSansMono.ttf\"/><file src=\"cut.ttf\"/>"
                          "<file src=\"DejaVuSans.ttf\"/><file src=\"DejaVuSans-Bold.ttf\"/>"
                          "<alias><from name=\"Body\"/><to name=\"Gone Serif\" bold=\"true\"/></alias>"
                          "<render name=\"Gone Serif\" size=\"0\"/>"
                          "<render name=\"DejaVu Sans\" bold=\"true\" alphaAdjust=\"2\"/>"
                          "</fonts>");
    EXPECT_EQ(m.UnreadFiles(), std::vector<String>{u"cut.ttf"});
    ASSERT_EQ(m.Faces().size(), 3u);
    ASSERT_EQ(m.Replacements().size(), 2u);
    EXPECT_EQ(m.Replacements()[0].wanted.name, u"Gone Serif");
    EXPECT_EQ(m.Replacements()[0].face, FaceOf(u"DejaVuSans-Bold.ttf"));
    EXPECT_EQ(m.Replacements()[1].face, FaceOf(u"DejaVuSans.ttf")) << "not the fixed-width face listed first";
    const auto body = m.ResolveFont(FontKey(u"Body", 18), false);
    EXPECT_EQ(body.face, FaceOf(u"DejaVuSans-Bold.ttf"));
    EXPECT_DOUBLE_EQ(body.options.alphaAdjust, 2.0) << "the stand-in's own rule";
    EXPECT_EQ(m.ResolveFont(FontKey(u"Gone Serif", 18), false).face, FaceOf(u"DejaVuSans.ttf"));
    EXPECT_EQ(m.ResolveFont(FontKey(u"Never Named", 18), false).face, nullptr);
}

TEST_F(FontManagerTest, UnreadableFontFilesAndConfigurationAreHarmless)
{
    QuillTest::WriteFile(folder / "fonts" / "empty.ttf", "");
    QuillTest::WriteFile(folder / "fonts" / "junk.ttf", std::string(4096, '\x5A'));
    // A font cut short: FreeType must refuse it rather than read beyond the bytes.
    const std::string sans = QuillTest::ReadFile(QuillTest::SystemFontDir() / "DejaVuSans.ttf");
    QuillTest::WriteFile(folder / "fonts" / "cut.ttf", sans.substr(0, 64));
    FontManager& m = Load("<fonts><file src=\"empty.ttf\"/><file src=\"junk.ttf\"/><file src=\"cut.ttf\"/>"
                          "<file src=\"../DejaVuSans.ttf\"/></fonts>");
    EXPECT_TRUE(m.Faces().empty());
    EXPECT_EQ(m.LoadFaceFile(u"junk.ttf"), nullptr);

    // A malformed configuration keeps the built-in defaults and serves nothing.
    QuillTest::WriteFile(folder / "fonts" / "fonts.xml", "<fonts><file src=");
    xml->Clear();
    FontManager broken;
    broken.LoadConfiguration();
    EXPECT_TRUE(broken.Faces().empty());
    EXPECT_DOUBLE_EQ(broken.GetDefaultOptions().heightMultiplier, 1.07);
    EXPECT_EQ(broken.ResolveFont(FontKey(u"DejaVu Sans", 12), false).face, nullptr);
}

} // namespace
