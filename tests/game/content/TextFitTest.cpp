// Every text of every panel and dialog fits: each screen is opened from the shipped interface
// package and its script run with what the game can publish into it (find-list names and plurals
// with their counts, crisis questions and choices, profile names at the name limit, every variant
// of each dialog's body); then each shown text is laid out with its own font in its own box. A
// text fails when its lines need more room than the box gives, or when its ink meets another
// text or comes within a few pixels of a picture of the same screen that does not lie wholly under
// it (a card, a button face). A button's label keeps off its face's round ends, and a caption on a
// photo lies on the photo's plain white border, not across the picture in it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/strings/StringTable.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/image/PictureLoader.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Definition_Image.h"
#include "engine/graphics/scene/Definition_Movie.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "engine/graphics/text/TextLayout.h"
#include "engine/graphics/text/TextRenderer.h"
#include "game/book/Tableaux.h"
#include "game/profile/LevelRecord.h"
#include "game/profile/Profile.h"
#include "game/screens/UIScreen.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/UIMenuProfileDialog.h"
#include "game/story/StoryMiniGame.h"
#include "tests/game/screens/UIScreenTestSupport.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;

namespace {

struct Rect {
    float left = 0, top = 0, right = 0, bottom = 0;
    // Edges that touch, to within a pixel, do not meet.
    bool Meets(const Rect& o) const
    {
        return left + 1 < o.right && o.left + 1 < right && top + 1 < o.bottom && o.top + 1 < bottom;
    }
    bool Holds(const Rect& o) const
    {
        return left <= o.left + 0.5f && top <= o.top + 0.5f && right >= o.right - 0.5f && bottom >= o.bottom - 0.5f;
    }
    std::string Describe() const
    {
        std::ostringstream out;
        out << "(" << left << "," << top << ")-(" << right << "," << bottom << ")";
        return out.str();
    }
};

struct Shown {
    std::string path;
    Rect rect;
    String definition; // a picture's image definition
};

// A text keeps this far from a button it does not lie on (a dialog's last line above its button).
constexpr float kButtonClearance = 3.0f;

// The faces of the pill buttons.
bool IsPill(const String& definition)
{
    const std::string name = ToUtf8(definition);
    return name.rfind("UI_ButtonRose", 0) == 0 || name.rfind("UI_ButtonSage", 0) == 0;
}

std::string Parent(const std::string& path)
{
    return path.substr(0, path.rfind('/'));
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class TextFitTest : public ScreenTesting::SceneFixture {
protected:
    void SetUp() override
    {
        const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        for (const char* archive : {"data.dat", "ui.dat"})
            if (!std::filesystem::exists(bin / archive))
                GTEST_SKIP() << "the data archives are not built (target quill_data)";
        // The interface package first: both have a "libraries.xml", and the screens are the interface's.
        ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "ui.dat").string()), u"ui")));
        ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "data.dat").string()), u"data")));
        cache = std::make_unique<XmlCache>(&files);
        strings = std::make_unique<StringTable>(cache.get());
        ASSERT_TRUE(strings->Load());
        text = std::make_unique<TextRenderer>(); // reads fonts\fonts.xml: the texts get real fonts
        const XmlNode* libraries = cache->Get(u"libraries.xml");
        ASSERT_NE(libraries, nullptr);
        ASSERT_TRUE(ui->GetDefinitionLibrary()->ImportLibraries(*cache, *libraries, nullptr));
        lua.RegisterGlobals();
        Run("alerts = '' function _ALERT(message) alerts = alerts .. tostring(message) .. '\\n' end");
        mgr = std::make_unique<UIScreenMgr>(nullptr, nullptr);
        ui->Update();
    }
    void TearDown() override { mgr.reset(); }

    // Opens a screen, then for each variant sets its table's fields (Lua assignments to `d`), runs
    // its Init (and its Refresh, for the panels) again and checks every text it shows.
    void Check(const std::string& name, const std::vector<std::string>& variants, bool modal = true)
    {
        SCOPED_TRACE(name);
        const String wide = FromUtf8(name);
        ASSERT_TRUE(mgr->Show(wide, modal)) << "no definition";
        ui->Update();
        UIScreen* screen = mgr->FindScreen(wide);
        ASSERT_NE(screen, nullptr);
        for (const std::string& variant : variants.empty() ? std::vector<std::string>{""} : variants) {
            SCOPED_TRACE(variant);
            Run("local d = root.dialogs." + name + " " + variant + " d:Init() if d.Refresh then d:Refresh() end");
            ASSERT_EQ(std::string(lua.GetGlobalString("alerts")), "");
            ui->Update();
            CheckScreen(screen->GetInstance(), modal);
            ++checked;
        }
        mgr->Close(wide, false);
        mgr->Update();
        ui->Update();
    }

    static bool Shows(Instance_Base* instance)
    {
        for (Instance_Base* at = instance; at; at = HandleEx::ResolveInstance(at->GetParent()))
            if (!at->GetVisible() || at->GetOpacity() <= 0.0f)
                return false;
        return true;
    }

    Rect Global(Instance_Base* instance, float width, float height)
    {
        Rect r{1e9f, 1e9f, -1e9f, -1e9f};
        for (auto [x, y] : {std::pair{0.0f, 0.0f}, {width, 0.0f}, {0.0f, height}, {width, height}}) {
            instance->LocalToGlobal(x, y);
            r.left = std::min(r.left, x);
            r.right = std::max(r.right, x);
            r.top = std::min(r.top, y);
            r.bottom = std::max(r.bottom, y);
        }
        return r;
    }

    // The picture's size, read once per source.
    std::pair<uint32_t, uint32_t> PictureSize(const String& definitionName)
    {
        const auto* image =
            dynamic_cast<const Definition_Image*>(ui->GetDefinitionLibrary()->GetDefinition(definitionName, -1));
        if (!image)
            return {0, 0};
        auto found = sizes.find(image->GetSource());
        if (found == sizes.end()) {
            Image picture;
            EXPECT_TRUE(LoadPicture(files, image->GetSource(), 4096, picture)) << ToUtf8(image->GetSource());
            found = sizes.emplace(image->GetSource(), std::pair{picture.width, picture.height}).first;
        }
        return found->second;
    }

    // Whether the picture's pixels under `rect` (screen space) are all plain white paper.
    bool PlainUnder(const Shown& picture, const Rect& rect)
    {
        const auto* image =
            dynamic_cast<const Definition_Image*>(ui->GetDefinitionLibrary()->GetDefinition(picture.definition, -1));
        Image pixels;
        if (!image || !LoadPicture(files, image->GetSource(), 4096, pixels))
            return false;
        const float sx = float(pixels.width) / (picture.rect.right - picture.rect.left);
        const float sy = float(pixels.height) / (picture.rect.bottom - picture.rect.top);
        for (float y = rect.top; y < rect.bottom; y += 1.0f)
            for (float x = rect.left; x < rect.right; x += 1.0f) {
                const uint32_t px = uint32_t(std::clamp((x - picture.rect.left) * sx, 0.0f, float(pixels.width - 1)));
                const uint32_t py = uint32_t(std::clamp((y - picture.rect.top) * sy, 0.0f, float(pixels.height - 1)));
                const uint32_t argb = pixels.Pixel(px, py);
                for (int shift : {0, 8, 16})
                    if (((argb >> shift) & 0xff) < 0xf0)
                        return false;
            }
        return true;
    }

    void Collect(Instance_Base* instance, const std::string& path, std::vector<Shown>& texts,
                 std::vector<Shown>& pictures)
    {
        if (!instance || !Shows(instance))
            return;
        const std::string here = path + "/" + ToUtf8(instance->GetName());
        if (auto* movie = dynamic_cast<Instance_Movie*>(instance)) {
            for (int32_t i = 0; i < movie->GetChildCount(); ++i)
                Collect(HandleEx::ResolveInstance(movie->GetChild(i)), here, texts, pictures);
        } else if (auto* label = dynamic_cast<Instance_Text*>(instance)) {
            CheckText(*label, here, texts);
        } else if (dynamic_cast<Instance_Image*>(instance)) {
            const auto [w, h] = PictureSize(instance->GetDefinitionName());
            if (w && h)
                pictures.push_back(Shown{here, Global(instance, float(w), float(h)), instance->GetDefinitionName()});
        }
    }

    void CheckText(Instance_Text& label, const std::string& path, std::vector<Shown>& texts)
    {
        const String shown = label.GetText();
        if (shown.empty())
            return;
        SCOPED_TRACE(path + " \"" + ToUtf8(shown) + "\"");
        ASSERT_GE(label.GetFontIndex(), 0) << "no font";
        const int32_t boxWidth = label.GetBoxWidth(), boxHeight = label.GetBoxHeight();
        int32_t width = 0, height = 0;
        text->MeasureTextWrapped(label.GetFontIndex(), shown, boxWidth, width, height);
        // Lines wrap by advance; the last glyph's ink may overhang that by a pixel or two.
        EXPECT_LE(width, boxWidth + 2) << "a word is wider than its box";
        EXPECT_LE(height, boxHeight) << "the lines need " << height << " px of a " << boxHeight << " px box";
        // The ink: the lines' block at the top of the box, placed by the alignment.
        const int32_t align = label.GetAlignment();
        float left = 0;
        if ((align & TextLayout::kRight) && !(align & TextLayout::kCenter))
            left = float(boxWidth - width);
        else if ((align & TextLayout::kCenter) && !(align & TextLayout::kRight))
            left = float(boxWidth - width) / 2;
        Rect ink = Global(&label, float(width), float(std::min(height, boxHeight)));
        const float dx = ink.left;
        ink = Global(&label, left + float(width), float(std::min(height, boxHeight)));
        ink.left = dx + left;
        texts.push_back(Shown{path, ink, String()});
    }

    // A dialog's card holds no empty band, between what it shows, taller than its tallest text.
    static void CheckNoEmptyMiddle(const std::vector<Shown>& texts, const std::vector<Shown>& pictures)
    {
        const auto card = std::find_if(pictures.begin(), pictures.end(), [](const Shown& p) {
            return p.path.size() > 5 && p.path.compare(p.path.size() - 5, 5, "/card") == 0;
        });
        if (card == pictures.end())
            return;
        std::vector<std::pair<float, float>> bands;
        float tallest = 0;
        for (const Shown& t : texts) {
            bands.emplace_back(t.rect.top, t.rect.bottom);
            tallest = std::max(tallest, t.rect.bottom - t.rect.top);
        }
        for (const Shown& p : pictures)
            if (&p != &*card && card->rect.Holds(p.rect))
                bands.emplace_back(p.rect.top, p.rect.bottom);
        std::sort(bands.begin(), bands.end());
        float reached = bands.empty() ? card->rect.top : bands.front().second;
        for (const auto& [top, bottom] : bands) {
            EXPECT_LE(top - reached, tallest)
                << "an empty band from y " << reached << " to " << top << " in the card " << card->rect.Describe();
            reached = std::max(reached, bottom);
        }
    }

    void CheckScreen(const InstanceHandle& handle, bool dialog)
    {
        std::vector<Shown> texts, pictures;
        Collect(HandleEx::ResolveInstance(handle), "", texts, pictures);
        if (dialog)
            CheckNoEmptyMiddle(texts, pictures);
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_TRUE((Rect{0, 0, 800, 600}.Holds(texts[i].rect))) << texts[i].path << " leaves the window";
            for (size_t j = i + 1; j < texts.size(); ++j)
                EXPECT_FALSE(texts[i].rect.Meets(texts[j].rect))
                    << texts[i].path << " " << texts[i].rect.Describe() << " meets " << texts[j].path << " "
                    << texts[j].rect.Describe();
            const Rect& ink = texts[i].rect;
            const Rect near{ink.left - kButtonClearance, ink.top - kButtonClearance, ink.right + kButtonClearance,
                            ink.bottom + kButtonClearance};
            for (const Shown& picture : pictures) {
                EXPECT_TRUE(!picture.rect.Meets(IsPill(picture.definition) ? near : ink) || picture.rect.Holds(ink))
                    << texts[i].path << " " << ink.Describe() << " runs into (or touches) the picture " << picture.path
                    << " " << picture.rect.Describe();
                if (!picture.rect.Holds(ink))
                    continue;
                // A button's label: the face is a pill whose ends are half circles; the label keeps
                // a fifth of the face's height clear of each end.
                if (IsPill(picture.definition) && Parent(picture.path) == Parent(texts[i].path)) {
                    const float inset = (picture.rect.bottom - picture.rect.top) / 5;
                    EXPECT_TRUE(ink.left >= picture.rect.left + inset && ink.right <= picture.rect.right - inset)
                        << texts[i].path << " " << ink.Describe() << " runs over the ends of its button "
                        << picture.rect.Describe();
                }
                // A caption on a photo: on its white border, off the picture in it.
                if (EndsWith(picture.path, "/picture") && ToUtf8(picture.definition).rfind("Book_Photo", 0) == 0) {
                    EXPECT_TRUE(PlainUnder(picture, ink))
                        << texts[i].path << " " << ink.Describe() << " is drawn across the photo " << picture.path;
                }
            }
        }
    }

    static std::string Quote(const std::string& value) { return "'" + value + "'"; }

    FileManager files;
    std::unique_ptr<XmlCache> cache;
    std::unique_ptr<StringTable> strings;
    std::unique_ptr<TextRenderer> text;
    std::unique_ptr<UIScreenMgr> mgr;
    std::map<String, std::pair<uint32_t, uint32_t>> sizes;
    int checked = 0;
};

// The longest name a player can type, of the widest letters.
const std::string kLongName(UIMenuProfileDialog::kMaxNameLength, 'W');

TEST_F(TextFitTest, EveryDialogFitsEveryTextTheGameCanPutInIt)
{
    const std::string profile = "d.profile = " + Quote(kLongName) + " ";
    Check("Game_BluebirdDialog", {"d.bluebirds = 1", "d.bluebirds = 5", "d.bluebirds = 10", "d.bluebirds = 25"});
    Check("Game_SecretBluebirdDialog", {});
    std::vector<std::string> won;
    for (const auto& scene : std::filesystem::directory_iterator(QuillTest::SourceRoot() / "data" / "scenes"))
        for (const char* complete : {"d.complete = 0 d.totalTime = nil", "d.complete = 1 d.totalTime = nil",
                                     "d.complete = 1 d.totalTime = 3600 * 23 + 60 * 59"})
            won.push_back(profile + complete +
                          " d.sceneTime = 5999 d.scene = " + Quote(scene.path().filename().string()));
    Check("Game_WinDialog", won);
    Check("Game_LoseDialog", {"d.crisis = -1", "d.crisis = 0"});
    Check("Game_OverDialog", {profile + "d.totalTime = 3600 * 23 + 60 * 59"});
    std::vector<std::string> tilesets;
    for (int tileset = 0; tileset < 4; ++tileset)
        tilesets.push_back("d.tileset = " + std::to_string(tileset));
    Check("Book_CrisisWonDialog", tilesets);
    // Every dialog of the card games, each of its texts.
    Check("Con_WinDialog", {"d.lastLevel = 0", "d.lastLevel = 1"});
    Check("Con_LoseDialog", {});
    Check("Con_TutorialDialog", {});
    Check("Menu_ConfirmDeleteDialog", {"d.profileName = " + Quote(kLongName)});
    std::string rows;
    for (int i = 1; i <= 6; ++i)
        rows += "d.text" + std::to_string(i) + " = " + Quote(kLongName) + " ";
    Check("Menu_ProfileDialog", {rows});
    std::string scores;
    for (int i = 1; i <= 10; ++i)
        scores += "d.entry" + std::to_string(i) + " = " + Quote(std::to_string(i) + " - " + kLongName) +
                  " d.entryTime" + std::to_string(i) + " = '23hrs 59mins' ";
    Check("Menu_HighScoresDialog", {"", scores});
    for (const char* plain :
         {"GameMenuDialog", "Menu_ConfirmInGameQuitDialog", "Game_RegistryIntroDialog", "Game_BadClickDialog",
          "Game_TutorialBluebirdDialog", "Book_TutorialCrisisDialog", "Book_TutorialIntroDialog", "Book_TutorialDialog",
          "Story_TutorialDialog", "MainMenuDialog", "Menu_ConfirmQuitDialog", "HelpDialog", "CreditsDialog",
          "Menu_RefuseDeleteDialog", "OptionsDialog"})
        Check(plain, {});
    EXPECT_GE(checked, 35);
}

// Every entry a scene's find list can hold: each name, and each group's plural with every count
// from 2 up to the group's size ("2 Champagne Glasses").
std::set<std::string> FindListEntries()
{
    std::set<std::string> entries;
    const auto scenes = QuillTest::SourceRoot() / "data" / "scenes";
    for (const auto& dir : std::filesystem::directory_iterator(scenes)) {
        const auto file = dir.path() / "Levels" / (dir.path().filename().string() + ".xml");
        if (!std::filesystem::exists(file))
            continue;
        std::ostringstream bytes;
        bytes << std::ifstream(file).rdbuf();
        auto doc = XmlNode::ParseDocument(bytes.str(), false);
        EXPECT_TRUE(doc) << file;
        if (!doc)
            continue;
        std::map<std::string, std::pair<int, std::string>> groups;
        for (const auto& item : doc->Children()) {
            String name, group, plural;
            item->GetAttribute(u"name", name);
            entries.insert(ToUtf8(name));
            if (item->GetAttribute(u"group", group) && item->GetAttribute(u"plural", plural)) {
                auto& entry = groups[ToUtf8(group)];
                ++entry.first;
                entry.second = ToUtf8(plural);
            }
        }
        for (const auto& [group, counted] : groups)
            for (int n = 2; n <= counted.first; ++n)
                entries.insert(std::to_string(n) + " " + counted.second);
    }
    return entries;
}

TEST_F(TextFitTest, ThePanelsFitEveryFindListEntryAndTheirOwnTexts)
{
    const std::set<std::string> entries = FindListEntries();
    ASSERT_GT(entries.size(), 100u);
    ASSERT_TRUE(entries.count("2 Champagne Glasses"));
    std::vector<std::string> variants;
    for (const std::string& entry : entries) {
        std::string fill = "d.Time = 5999 d.hintcount = 99 ";
        for (int row = 0; row < 12; ++row)
            fill += "d.findItemName" + std::to_string(row) + " = " + Quote(entry) + " d.findItemStatus" +
                    std::to_string(row) + " = false ";
        variants.push_back(fill);
    }
    Check("ISpyPanel", variants, false);
    Check("ConPanel", {"d.Time = 5999 d.hintcount = 99 d.honeymoonitems = 5"}, false);
}

// The album's pages and the story page are movies the game fills itself: each page of the album
// with the longest numbers it can show and the player's name at the limit, the story page with
// every segment's text, the teasers of its three choices and every closing line.
TEST_F(TextFitTest, TheAlbumPagesAndTheStoryPageFitTheirTexts)
{
    ASSERT_NE(Root(), nullptr);
    const auto setText = [](Instance_Movie* movie, const char16_t* path, const String& value) {
        auto* label = dynamic_cast<Instance_Text*>(HandleEx::ResolveInstance(movie->FindChild(path)));
        if (label)
            label->SetText(value);
        return label != nullptr;
    };

    Instance_Movie* page = HandleEx::ResolveMovie(Root()->CreateChild(u"BookPage", u"page"));
    ASSERT_NE(page, nullptr);
    const auto* definition =
        dynamic_cast<const Definition_Movie*>(ui->GetDefinitionLibrary()->GetDefinition(u"BookPage", -1));
    ASSERT_NE(definition, nullptr);
    const String dear = FromUtf8("Dear " + kLongName + ",");
    int32_t numbers = 0;
    for (int32_t frame = 0; frame < int32_t(definition->GetLength()); ++frame) {
        SCOPED_TRACE("album page " + std::to_string(frame));
        page->SetFrame(frame);
        ui->Update();
        setText(page, u"textPlayerName", dear);
        if (setText(page, u"introLetter.textPlayerName", dear)) {
            // The unread letter's paper covers the page and the hint to turn on under it; once
            // read, the game hides the letter and its button and the hint shows.
            Instance_Base* hint = HandleEx::ResolveInstance(page->FindChild(u"turnHint"));
            ASSERT_NE(hint, nullptr);
            hint->SetVisible(false);
            CheckScreen(page->GetHandle(), false);
            hint->SetVisible(true);
            for (const char16_t* read : {u"introLetter", u"introPlayButton"})
                HandleEx::ResolveInstance(page->FindChild(read))->SetVisible(false);
        }
        numbers += setText(page, u"textItemsLevel", u"24");
        setText(page, u"textTimeLevel", u"18:00");
        setText(page, u"textBluebirds", u"99");
        for (int32_t i = 0; i < page->GetChildCount(); ++i) {
            Instance_Base* child = HandleEx::ResolveInstance(page->GetChild(i));
            const String name = child ? child->GetName() : String();
            if (name.size() > 5 && name.compare(name.size() - 5, 5, u"Count") == 0)
                setText(page, name.c_str(), u"24");
        }
        CheckScreen(page->GetHandle(), false);
    }
    EXPECT_GE(numbers, 19) << "every chapter's left page shows its numbers";
    page->Delete(true);

    // The closing display, with each result line at its longest: crisis times of 59:59 and a
    // bluebird count of two digits. Its text mask is a stencil, not a picture.
    Instance_Movie* display = HandleEx::ResolveMovie(Root()->CreateChild(u"WeddingDisplay", u"display"));
    ASSERT_NE(display, nullptr);
    ui->Update();
    HandleEx::ResolveInstance(display->FindChild(u"textMask"))->SetVisible(false);
    Profile player(FromUtf8(kLongName));
    for (int32_t level = Tableaux::kFirstStep; level < Tableaux::kLastStep; level += Tableaux::kStepIncrement) {
        auto record = std::make_unique<LevelRecord>(u"crisis", 3599.0f, 0.0f, 12, level, true);
        record->timeLeft = 0.0f;
        ASSERT_TRUE(player.AddLevelRecord(std::move(record)));
    }
    player.bluebirds = 99;
    for (int32_t step = Tableaux::kFirstStep; step <= Tableaux::kLastStep; step += Tableaux::kStepIncrement) {
        const String line = Tableaux::ResultText(player, step);
        SCOPED_TRACE(ToUtf8(line));
        ASSERT_FALSE(line.empty());
        ASSERT_TRUE(setText(display, u"resultText.text", line));
        CheckScreen(display->GetHandle(), false);
    }
    display->Delete(true);
    for (const char16_t* fixed : {u"BookCrisisSplash", u"Pause_Overlay"}) {
        SCOPED_TRACE(ToUtf8(fixed));
        Instance_Movie* movie = HandleEx::ResolveMovie(Root()->CreateChild(fixed, u"fixed"));
        ASSERT_NE(movie, nullptr);
        ui->Update();
        CheckScreen(movie->GetHandle(), false);
        movie->Delete(true);
    }

    Instance_Movie* story = HandleEx::ResolveMovie(Root()->CreateChild(u"StoryLayout", u"story"));
    ASSERT_NE(story, nullptr);
    ui->Update();
    // The two buttons share a place: the game shows the one for the next choice while the story
    // runs and the one back to the album at its end.
    const auto showButton = [&](bool end) {
        for (const char16_t* name : {u"showChoicesButton", u"endGameButton"})
            if (Instance_Base* button = HandleEx::ResolveInstance(story->FindChild(name)))
                button->SetVisible((name == std::u16string_view(u"endGameButton")) == end);
    };
    showButton(false);
    const XmlNode* segments = cache->Get(u"Story\\story.xml");
    ASSERT_NE(segments, nullptr);
    std::map<String, String> teasers;
    for (const auto& segment : segments->Children()) {
        String id, teaser;
        if (segment->GetName() == u"SEGMENT" && segment->GetAttribute(u"ID", id) &&
            segment->GetAttribute(u"TEASER", teaser))
            teasers[id] = teaser;
    }
    int32_t shown = 0;
    for (const auto& segment : segments->Children()) {
        String id, text;
        if (segment->GetName() != u"SEGMENT" || !segment->GetAttribute(u"TEXT", text))
            continue;
        segment->GetAttribute(u"ID", id);
        SCOPED_TRACE("story segment " + ToUtf8(id));
        ASSERT_TRUE(setText(story, u"storyText", text));
        int32_t choice = 0;
        for (const auto& option : segment->Children()) {
            String target;
            if (option->GetName() == u"CHOICE" && option->GetAttribute(u"ID", target) && choice < 3) {
                ++choice;
                ASSERT_TRUE(teasers.count(target)) << ToUtf8(target);
                const std::u16string path = u"text" + std::u16string(1, char16_t(u'0' + choice));
                ASSERT_TRUE(setText(story, path.c_str(), teasers[target]));
            }
        }
        for (int32_t i = choice + 1; i <= 3; ++i) {
            const std::u16string path = u"text" + std::u16string(1, char16_t(u'0' + i));
            setText(story, path.c_str(), String());
        }
        CheckScreen(story->GetHandle(), false);
        ++shown;
    }
    EXPECT_GT(shown, 10);
    // The conclusion: the choices and the lace hearts go, the closing line shows.
    showButton(true);
    for (const char16_t* name : {u"option1", u"option2", u"option3", u"text1", u"text2", u"text3", u"heart1", u"heart2",
                                 u"heart3", u"pic1", u"pic2", u"pic3", u"laceHeart1", u"laceHeart3"})
        if (Instance_Base* gone = HandleEx::ResolveInstance(story->FindChild(name)))
            gone->SetVisible(false);
    for (int32_t level : {8, 14, 20}) {
        SCOPED_TRACE("closing line of chapter " + std::to_string(level));
        ASSERT_TRUE(setText(story, u"endText", StoryMiniGame::ClosingText(level)));
        CheckScreen(story->GetHandle(), false);
    }
}

} // namespace
