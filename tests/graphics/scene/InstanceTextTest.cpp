// Text instances made from the text tracks of movie definitions and drawn by the tree on the
// software device: the string in its box, nothing (never the missing-texture box) without a font,
// font changes, colours and localised texts, and the game's own faces each cut short.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/resources/ResourceCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/text/TextRenderer.h"
#include "engine/graphics/scene/UserInterface.h"
#include "tests/graphics/text/FontTestSupport.h"
#include "tests/graphics/render/RenderTestFixture.h"

using namespace QuillEngine;

namespace {

constexpr uint32_t kGrey = 0xFF606060u;
constexpr uint32_t kMagenta = QuadBatcher::kMissingTextureColor;

const char* const kFonts = "<fonts><file src=\"DejaVuSans.ttf\"/><file src=\"DejaVuSans-Bold.ttf\"/>"
                           "<file src=\"DejaVuSansMono.ttf\"/></fonts>";

// Two captions, each a 200 x 40 box placed at (100, 100) (text keys are authored 2 px off).
const char* const kLibrary = R"(<Library>
  <Definition type="movie" name="Caption" length="10" fps="60">
    <Instance type="text" instancename="caption" depth="1" create="0" death="10" regx="0" regy="0"
              text="|String|greeting|WWWW|" face="DejaVu Sans Mono" size="24" color="0xFF0000" align="left"
              width="199" height="39">
      <Frame alpha="100" transform="1 0 0 1 102 102"/>
    </Instance>
  </Definition>
  <Definition type="movie" name="Faceless" length="10" fps="60">
    <Instance type="text" instancename="caption" depth="1" create="0" death="10" regx="0" regy="0"
              text="WWWW" face="Nobody" size="24" color="0xFF0000" align="center" width="199" height="39">
      <Frame alpha="100" transform="1 0 0 1 102 102"/>
    </Instance>
  </Definition>
</Library>)";

class InstanceTextTest : public QuillTest::RendererTest {
protected:
    // The font files and "fonts\fonts.xml" the test reads.
    virtual void WriteFonts() { QuillTest::WriteFontFolder(folder, kFonts); }

    void SetUp() override
    {
        RendererTest::SetUp();
        WriteFonts();
        cache = std::make_unique<ResourceCache>();
        ui = std::make_unique<UserInterface>();
        ASSERT_TRUE(ui->CreateRoot());
        ui->SetScreenSize(800, 600);
        root = ui->GetRoot();
        auto doc = XmlNode::ParseDocument(kLibrary, false);
        ASSERT_TRUE(doc);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(ui->GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
        CRenderManager& r = MakeRenderer();
        r.SetDevicePreferences(true, false);
        r.SetClearColor(kGrey);
        ASSERT_TRUE(r.Init(nullptr, false));
        ASSERT_NE(TextRenderer::Instance(), nullptr);
        TextRenderer::Instance()->GetFontManager()->LoadConfiguration();
    }
    void TearDown() override
    {
        ui.reset(); // texts give their fonts back to the text renderer
        cache.reset();
        RendererTest::TearDown();
    }

    uint32_t Pixel(int x, int y) const { return screen.empty() ? 0 : screen[size_t(y) * 800 + size_t(x)]; }
    // Draws a frame and keeps the picture it presented.
    void Frame()
    {
        renderer->RenderFrame(true);
        screen.clear();
        QuillD3D::IDevice* device = renderer->GetDevice();
        QuillD3D::ISurface* copy = nullptr;
        if (QuillD3D::Failed(
                device->CreateOffscreenPlainSurface(800, 600, QuillD3D::FmtX8R8G8B8, QuillD3D::PoolSystemMem, &copy)))
            return;
        QuillD3D::LockedRect locked{};
        if (QuillD3D::Succeeded(device->GetFrontBufferData(0, copy)) &&
            QuillD3D::Succeeded(copy->LockRect(&locked, nullptr, QuillD3D::LockReadOnly))) {
            screen.resize(size_t(800) * 600);
            for (size_t y = 0; y < 600; ++y)
                for (size_t x = 0; x < 800; ++x)
                    screen[y * 800 + x] =
                        static_cast<const uint32_t*>(locked.bits)[y * size_t(locked.pitch / 4) + x] | 0xFF000000u;
            copy->UnlockRect();
        }
        copy->Release();
    }

    // The text child of a new movie made from `definition`.
    Instance_Text* Caption(const String& definition, const String& name)
    {
        Instance_Movie* movie = HandleEx::ResolveMovie(root->CreateChild(definition, name));
        EXPECT_NE(movie, nullptr);
        if (!movie || movie->GetChildCount() != 1)
            return nullptr;
        return HandleEx::ResolveText(movie->GetChild(0));
    }

    struct Census {
        int red = 0, green = 0, magenta = 0, other = 0;
    };
    // Sorts the pixels of a rectangle by what covers them.
    Census Count(int left, int top, int right, int bottom)
    {
        Census c;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                const uint32_t p = Pixel(x, y);
                const int r = int((p >> 16) & 0xFF), g = int((p >> 8) & 0xFF), b = int(p & 0xFF);
                if (p == kMagenta)
                    ++c.magenta;
                else if (r > 200 && g < 40 && b < 40)
                    ++c.red;
                else if (g > 200 && r < 40 && b < 40)
                    ++c.green;
                else if (p != kGrey)
                    ++c.other;
            }
        return c;
    }

    std::unique_ptr<ResourceCache> cache;
    std::unique_ptr<UserInterface> ui;
    Instance_Movie* root = nullptr;
    std::vector<uint32_t> screen;
};

} // namespace

TEST_F(InstanceTextTest, ATextTrackMakesATextThatDrawsItsLocalisedStringInItsBox)
{
    Instance_Text* text = Caption(u"Caption", u"m");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetName(), u"caption");
    EXPECT_EQ(text->GetTimelineIndex(), 0);
    EXPECT_EQ(text->GetText(), u"WWWW");
    EXPECT_EQ(text->GetColor(), 0xFF0000u);
    EXPECT_EQ(text->GetAlignment(), 0x10);
    EXPECT_EQ(text->GetBoxWidth(), 200);
    EXPECT_EQ(text->GetBoxHeight(), 40);
    ASSERT_NE(text->GetFontIndex(), -1);
    const FontKey* key = TextRenderer::Instance()->GetFontKey(text->GetFontIndex());
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->size, 24);
    EXPECT_EQ(key->bold, 0);
    EXPECT_FLOAT_EQ(text->GetX(), 100);
    EXPECT_NEAR(text->GetWidth(), 200, 0.01);
    EXPECT_NEAR(text->GetHeight(), 40, 0.01);

    Frame();
    const Census inside = Count(100, 100, 300, 140);
    EXPECT_GT(inside.red, 40) << "the glyphs are drawn in the text's colour";
    EXPECT_EQ(inside.magenta, 0);
    // Left aligned: the four letters sit in the left part of the box.
    EXPECT_GT(Count(100, 100, 200, 140).red, 0);
    EXPECT_EQ(Count(200, 100, 300, 140).red, 0);
    // Nothing outside the box.
    const Census outside = Count(60, 60, 340, 100);
    EXPECT_EQ(outside.red + outside.magenta + outside.other, 0);

    // The box is what hit tests find; a hit names the text's movie.
    const InstanceHandle movie = root->FindChild(u"m");
    EXPECT_EQ(root->HitTestGlobal(290, 135, false, true, nullptr), movie);
    EXPECT_TRUE(root->HitTestGlobal(302, 135, false, true, nullptr).IsEmpty());
}

// Unfiltered text at a fractional position draws exactly as at the nearest whole pixel.
TEST_F(InstanceTextTest, UnfilteredTextSitsOnWholePixels)
{
    Instance_Text* text = Caption(u"Caption", u"m");
    ASSERT_NE(text, nullptr);
    Instance_Base* movie = root->FindChild(u"m").Resolve();
    ASSERT_NE(movie, nullptr);
    auto pictureAt = [&](float x, float y) {
        movie->SetPosition(x, y);
        Frame();
        return screen;
    };
    const auto whole = pictureAt(0, 0);
    const auto right = pictureAt(1, 1);
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(pictureAt(0.3f, 0.2f), whole);
    EXPECT_EQ(pictureAt(0.5f, 0.5f), right) << "halves round up, both ways alike";
    EXPECT_EQ(pictureAt(0.7f, 0.9f), right);
}

TEST_F(InstanceTextTest, WithoutAFontTheBoxDrawsNothingUntilOneIsSet)
{
    Instance_Text* text = Caption(u"Faceless", u"m");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetFontIndex(), -1);
    EXPECT_EQ(text->GetText(), u"WWWW");
    Frame();
    // Not the missing-texture block: a box of magenta reads as nothing but damage.
    const Census none = Count(90, 90, 310, 150);
    EXPECT_EQ(none.red + none.magenta + none.other, 0);

    EXPECT_FALSE(text->SetFont(u"Still Nobody", 24, false, false));
    EXPECT_EQ(text->GetFontIndex(), -1);
    EXPECT_TRUE(text->SetFont(u"DejaVu Sans", 24, true, false));
    const int32_t bold = text->GetFontIndex();
    ASSERT_NE(bold, -1);
    EXPECT_EQ(TextRenderer::Instance()->GetFontKey(bold)->bold, 1);
    Frame();
    Census c = Count(100, 100, 300, 140);
    EXPECT_EQ(c.magenta, 0);
    EXPECT_GT(c.red, 40);
    // Centred: glyphs on both halves of the box.
    EXPECT_GT(Count(100, 100, 200, 140).red, 0);
    EXPECT_GT(Count(200, 100, 300, 140).red, 0);

    // An unknown face keeps the font that was there, which still draws.
    EXPECT_FALSE(text->SetFont(u"Nobody", 24, false, false));
    EXPECT_EQ(text->GetFontIndex(), bold);
    Frame();
    c = Count(100, 100, 300, 140);
    EXPECT_EQ(c.magenta, 0);
    EXPECT_GT(c.red, 40);
}

TEST_F(InstanceTextTest, FontUsesAreTakenBeforeTheOldOneGoesAndGivenBackWithTheText)
{
    Instance_Text* text = Caption(u"Faceless", u"m");
    ASSERT_NE(text, nullptr);
    TextRenderer& renderer = *TextRenderer::Instance();
    ASSERT_TRUE(text->SetFont(u"DejaVu Sans", 30, false, false));
    const int32_t index = text->GetFontIndex();
    Font* font = renderer.GetFont(index);
    ASSERT_NE(font, nullptr);
    // The text holds the only use: setting the same font again must not delete it in between.
    ASSERT_TRUE(text->SetFont(u"DejaVu Sans", 30, false, false));
    EXPECT_EQ(text->GetFontIndex(), index);
    EXPECT_EQ(renderer.GetFont(index), font);
    Frame();
    EXPECT_EQ(Count(100, 100, 300, 140).magenta, 0);

    // Moving to another font gives the old one back.
    ASSERT_TRUE(text->SetFont(u"DejaVu Sans Mono", 30, false, false));
    EXPECT_EQ(renderer.GetFont(index), nullptr);
    const int32_t mono = text->GetFontIndex();
    ASSERT_NE(renderer.GetFont(mono), nullptr);

    // Destroying the text gives back its last font.
    root->RemoveChild(u"m");
    ui->Update();
    EXPECT_FALSE(root->FindChild(u"m").Resolve());
    EXPECT_EQ(renderer.GetFont(mono), nullptr);
}

TEST_F(InstanceTextTest, ColourKeepsItsLowBitsAndOpacityAloneFades)
{
    Instance_Text* text = Caption(u"Caption", u"m");
    ASSERT_NE(text, nullptr);
    // A top byte of 0 in the colour must not make the text invisible, nor 0xAB leak into it.
    text->SetColor(0x0000FF00u);
    EXPECT_EQ(text->GetColor(), 0x00FF00u);
    Frame();
    Census c = Count(100, 100, 300, 140);
    EXPECT_GT(c.green, 40);
    EXPECT_EQ(c.red, 0);
    text->SetColor(0xAB123456u);
    EXPECT_EQ(text->GetColor(), 0x123456u);

    text->SetColor(0xFF0000u);
    text->SetOpacity(0);
    Frame();
    c = Count(100, 100, 300, 140);
    EXPECT_EQ(c.red + c.magenta + c.other, 0);
    // The movie's opacity fades its text too.
    text->SetOpacity(1);
    root->FindChild(u"m").Resolve()->SetOpacity(0);
    Frame();
    c = Count(100, 100, 300, 140);
    EXPECT_EQ(c.red + c.magenta + c.other, 0);
}

TEST_F(InstanceTextTest, SetTextLocalisesChangedTextsAndTheDrawingFollows)
{
    Instance_Text* text = Caption(u"Caption", u"m");
    ASSERT_NE(text, nullptr);
    Frame();
    const int before = Count(100, 100, 300, 140).red;
    EXPECT_GT(before, 0);

    text->SetText(u"|String|short|W|");
    EXPECT_EQ(text->GetText(), u"W");
    text->SetText(u"W"); // the stored text already: nothing changes
    EXPECT_EQ(text->GetText(), u"W");
    Frame();
    const int after = Count(100, 100, 300, 140).red;
    EXPECT_GT(after, 0);
    EXPECT_LT(after, before) << "one letter covers less than four";

    // An empty text draws nothing at all (no missing-texture box either).
    text->SetText(u"");
    EXPECT_EQ(text->GetText(), u"");
    Frame();
    const Census c = Count(100, 100, 300, 140);
    EXPECT_EQ(c.red + c.magenta, 0);
}

TEST_F(InstanceTextTest, SettingWhatATextAlreadyShowsDrawsNothingNew)
{
    Instance_Text* text = Caption(u"Caption", u"m");
    ASSERT_NE(text, nullptr);
    ASSERT_TRUE(text->SetFont(u"DejaVu Sans", 24, false, false));
    Frame();
    ASSERT_FALSE(renderer->WantsFrame());
    // The same string-table key again: its localised text is what is shown already.
    text->SetText(u"|String|greeting|WWWW|");
    text->SetText(u"WWWW");
    text->SetColor(0xAB000000u | text->GetColor());
    text->SetAlignment(text->GetAlignment());
    text->SetBox(text->GetBoxWidth(), text->GetBoxHeight());
    EXPECT_TRUE(text->SetFont(u"DejaVu Sans", 24, false, false));
    EXPECT_FALSE(renderer->WantsFrame());

    text->SetText(u"|String|greeting|VVVV|"); // a key read again with another text
    EXPECT_TRUE(renderer->WantsFrame());
    Frame();
    text->SetBox(text->GetBoxWidth() + 1, text->GetBoxHeight());
    EXPECT_TRUE(renderer->WantsFrame());
    Frame();
    text->SetAlignment(0);
    EXPECT_TRUE(renderer->WantsFrame());
}

namespace {

// The game's own faces and configuration, with one face cut short to nine tenths of its bytes:
// FreeType refuses some such files and opens others without their names or outlines. Every face
// the configuration names still draws its text, in another face where need be.
class ShippedFaceCutShort : public InstanceTextTest, public ::testing::WithParamInterface<const char*> {
protected:
    void WriteFonts() override
    {
        const std::filesystem::path fonts = folder / "fonts";
        std::filesystem::create_directories(fonts);
        const std::filesystem::path texGyre = "/usr/share/texmf/fonts/opentype/public/tex-gyre";
        for (const char* name : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSansMono.ttf"})
            std::filesystem::copy_file(QuillTest::SystemFontDir() / name, fonts / name);
        for (const char* name : {"texgyrepagella-regular.otf", "texgyrepagella-bold.otf", "texgyrepagella-italic.otf",
                                 "texgyrechorus-mediumitalic.otf"})
            std::filesystem::copy_file(texGyre / name, fonts / name);
        std::filesystem::copy_file(QuillTest::SourceRoot() / "data/input/fonts/fonts.xml", fonts / "fonts.xml");
        const std::filesystem::path cut = fonts / GetParam();
        std::filesystem::resize_file(cut, std::filesystem::file_size(cut) * 9 / 10);
    }
};

TEST_P(ShippedFaceCutShort, EveryNamedFaceStillDrawsReadableText)
{
    FontManager& fonts = *TextRenderer::Instance()->GetFontManager();
    struct Wanted {
        const char16_t* face;
        bool bold, italic;
    };
    const Wanted wanted[] = {{u"Velvet Body", false, false},    {u"Velvet Body", true, false},
                             {u"Velvet Body", false, true},     {u"Velvet Title", false, false},
                             {u"Lucida Console", false, false}, {u"DejaVu Sans", false, false},
                             {u"DejaVu Sans", true, false}};
    int row = 0;
    for (const Wanted& w : wanted) {
        const String name = u"t" + FromUtf8(std::to_string(row));
        Instance_Text* text = Caption(u"Faceless", name);
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(text->SetFont(w.face, 24, w.bold, w.italic)) << ToUtf8(w.face);
        root->FindChild(name).Resolve()->SetPosition(0, float(row * 60) - 100);
        ++row;
    }
    Frame();
    for (int r = 0; r < row; ++r) {
        const Census c = Count(100, r * 60, 300, r * 60 + 40);
        EXPECT_EQ(c.magenta, 0) << ToUtf8(wanted[r].face) << " bold " << wanted[r].bold;
        EXPECT_GT(c.red, 40) << ToUtf8(wanted[r].face) << " bold " << wanted[r].bold << " italic " << wanted[r].italic;
    }
    // The file counts as unread when no face of it serves, and each face it should have served
    // has its stand-in.
    const bool unread = !fonts.UnreadFiles().empty();
    if (unread) {
        EXPECT_EQ(fonts.UnreadFiles(), std::vector<String>{FromUtf8(GetParam())});
    }
    for (const FontReplacement& r : fonts.Replacements())
        EXPECT_NE(r.face, nullptr) << ToUtf8(r.wanted.name);
    EXPECT_EQ(fonts.Replacements().empty(), !unread);
}

INSTANTIATE_TEST_SUITE_P(GameFaces, ShippedFaceCutShort,
                         ::testing::Values("DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSansMono.ttf",
                                           "texgyrepagella-regular.otf", "texgyrepagella-bold.otf",
                                           "texgyrepagella-italic.otf", "texgyrechorus-mediumitalic.otf"));

} // namespace
