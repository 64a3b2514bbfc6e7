// The menus played through the real program: M opens the main menu over the album, the players
// button opens the list, a click on an empty row starts a name, typed keys spell it, Add makes the
// player, who is then the current one in the saved file. A player added while a scene is open
// leaves the scene for the album first.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/strings/StringUtil.h"

#include "tests/game/play/PlayData.h"
#include "tests/support/PlayRunner.h"

using namespace PlayData;
using QuillTest::PlayResult;
using QuillTest::PlayRunner;

namespace {

std::string Press(int step, const Placement& button, int dx = 20, int dy = 12)
{
    return ClickAt(step, static_cast<int>(button.x) + dx, static_cast<int>(button.y) + dy);
}

TEST(PlayMenu, APlayerTypedIntoTheListBecomesTheCurrentOneAndIsSaved)
{
    const auto menus = ReadSourceXml("data/ui/Definitions/MenuScreens.xml");
    ASSERT_TRUE(menus);
    const auto main = ChildPlacements(*menus, u"MainMenuDialog");
    const auto list = ChildPlacements(*menus, u"Menu_ProfileDialog");
    ASSERT_TRUE(main.count("profileButton") && list.count("profile2") && list.count("addButton"));

    std::string script = "at " + std::to_string(kAlbumReady) + " key M\n";
    script += Press(kAlbumReady + 40, main.at("profileButton"));
    script += Press(kAlbumReady + 80, list.at("profile2"));
    int step = kAlbumReady + 120;
    // Space and Escape go to the name (no pause); function keys type nothing.
    for (const char* key : {"c", "l", "a", "r", "a", "Space", "b", "Escape", "F2", "F5"})
        script += "at " + std::to_string(step++) + " key " + key + "\n";
    script += Press(step + 20, list.at("addButton"));
    script += "at " + std::to_string(step + 80) + " quit\n";
    const PlayResult run = PlayRunner("menu-new-player").Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();

    bool mainMenu = false, playerList = false;
    for (const auto& report : run.Reports("screen")) {
        mainMenu = mainMenu || report.back() == "MainMenuDialog";
        playerList = playerList || report.back() == "Menu_ProfileDialog";
    }
    EXPECT_TRUE(mainMenu && playerList) << run.Describe();

    const auto save = run.LoadSave();
    ASSERT_NE(save, nullptr) << run.Describe();
    String current;
    ASSERT_TRUE(save->GetAttribute(u"currentprofile", current)) << run.Describe();
    EXPECT_EQ(current, u"clara b") << run.Describe();
    int players = 0;
    for (const auto& child : save->Children())
        players += child->GetName() == u"profile" ? 1 : 0;
    EXPECT_EQ(players, 2) << "the first player and the new one";
}

// The saved profile called `name`, and its record `element` numbered `number`.
const XmlNode* SavedRecord(const XmlNode& save, const String& name, const char16_t* element, int number)
{
    for (const auto& profile : save.Children()) {
        if (profile->GetName() != u"profile" || profile->GetStringAttribute(u"name", String()) != name)
            continue;
        for (const auto& record : profile->Children())
            if (record->GetName() == element && record->GetIntAttribute(u"number", -1) == number)
                return record.get();
    }
    return nullptr;
}

int FindListEntries(const XmlNode* scene)
{
    int entries = 0;
    if (scene)
        for (const auto& entry : scene->Children())
            entries += entry->GetName() == u"findlist" ? 1 : 0;
    return entries;
}

TEST(PlayMenu, APlayerAddedDuringASceneFindsTheAlbumAndTheSceneStaysWithItsPlayer)
{
    const auto menus = ReadSourceXml("data/ui/Definitions/MenuScreens.xml");
    const auto boards = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    ASSERT_TRUE(menus && boards);
    const auto main = ChildPlacements(*menus, u"MainMenuDialog");
    const auto list = ChildPlacements(*menus, u"Menu_ProfileDialog");
    const Placement tutorialOk = ChildPlacements(*boards, u"Game_RegistryIntroDialog")["okButton"];

    std::string script = AlbumToFirstScene() + Press(kFirstSceneOpen, tutorialOk);
    int step = kFirstSceneOpen + 40;
    script += "at " + std::to_string(step) + " key M\n";
    script += Press(step + 40, main.at("profileButton"));
    script += Press(step + 80, list.at("profile2"));
    step += 120;
    for (const char* key : {"a", "n", "n"})
        script += "at " + std::to_string(step++) + " key " + key + "\n";
    script += Press(step + 20, list.at("addButton"));
    script += Press(step + 50, list.at("playButton"));
    // The new player meets the album at its letter, and the letter opens.
    const Point letter = LetterPlayButton();
    script += ClickAt(step + 80, letter.x, letter.y);
    script += "at " + std::to_string(step + 200) + " quit\n";
    const PlayResult run = PlayRunner("menu-player-during-scene").Seed(5).Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    const std::vector<std::string> shown = run.Screens();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Book_TutorialIntroDialog"), 2) << run.Describe();

    const auto save = run.LoadSave();
    ASSERT_NE(save, nullptr) << run.Describe();
    EXPECT_EQ(save->GetStringAttribute(u"currentprofile", String()), u"ann") << run.Describe();
    const XmlNode* level = SavedRecord(*save, u"ann", u"level", 1);
    ASSERT_NE(level, nullptr) << run.Describe();
    EXPECT_EQ(level->GetIntAttribute(u"hints", -1), level->GetIntAttribute(u"maxhints", -2)) << run.Describe();
    EXPECT_EQ(ToDouble(level->GetStringAttribute(u"timeleft", String())),
              ToDouble(level->GetStringAttribute(u"maxtime", String())))
        << "the new player's clock has not run";

    // The first player's scene keeps the list it was dealt; the new player's has none yet.
    int kept = 0, dealtToNew = 0;
    for (const auto& profile : save->Children()) {
        const String name = profile->GetStringAttribute(u"name", String());
        const XmlNode* scene = profile->GetName() == u"profile" ? SavedRecord(*save, name, u"scene", 1) : nullptr;
        (name == u"ann" ? dealtToNew : kept) += FindListEntries(scene);
    }
    EXPECT_GT(kept, 0) << run.Describe();
    EXPECT_EQ(dealtToNew, 0) << run.Describe();
}

// The main menu over a scene holds its clock: a run that keeps M's menu open for seven seconds of
// steps saves the same time left as one that ends as the menu opens.
TEST(PlayMenu, TheMainMenuOverASceneStopsItsClock)
{
    const auto boards = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    ASSERT_TRUE(boards);
    const Placement tutorialOk = ChildPlacements(*boards, u"Game_RegistryIntroDialog")["okButton"];
    const int menu = kFirstSceneOpen + 60;
    const std::string opened =
        AlbumToFirstScene() + Press(kFirstSceneOpen, tutorialOk) + "at " + std::to_string(menu) + " key M\n";
    const auto timeLeft = [](const PlayResult& run) {
        const auto save = run.LoadSave();
        const XmlNode* level =
            save ? SavedRecord(*save, save->GetStringAttribute(u"currentprofile", String()), u"level", 1) : nullptr;
        return level ? ToDouble(level->GetStringAttribute(u"timeleft", String())) : -1.0;
    };
    const PlayResult atOnce =
        PlayRunner("menu-clock-at-once").Seed(5).Run(opened + "at " + std::to_string(menu + 2) + " quit\n");
    ASSERT_TRUE(atOnce.ExitedCleanly()) << atOnce.Describe();
    const PlayResult held =
        PlayRunner("menu-clock-held").Seed(5).Run(opened + "at " + std::to_string(menu + 420) + " quit\n");
    ASSERT_TRUE(held.ExitedCleanly()) << held.Describe();
    const std::vector<std::string> shown = held.Screens();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "MainMenuDialog"), 1) << held.Describe();
    const double before = timeLeft(atOnce), after = timeLeft(held);
    ASSERT_GT(before, 0.0) << atOnce.Describe();
    EXPECT_NEAR(after, before, 0.02) << "the clock ran under the menu";
}

// The mean brightness of a shot, 0 to 255.
double Brightness(const std::vector<uint32_t>& argb)
{
    double sum = 0;
    for (uint32_t pixel : argb)
        sum += (((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF)) / 3.0;
    return argb.empty() ? 0 : sum / static_cast<double>(argb.size());
}

TEST(PlayMenu, EscapeInTheAlbumShowsThePauseAndAClickGoesOn)
{
    const Point letter = LetterPlayButton();
    std::string script = "at " + std::to_string(kAlbumReady) + " shot album.png\n";
    script += "at " + std::to_string(kAlbumReady + 1) + " key Escape\n";
    script += "at " + std::to_string(kAlbumReady + 10) + " shot paused.png\n";
    script += ClickAt(kAlbumReady + 20, 400, 300);
    script += ClickAt(kAlbumReady + 40, letter.x, letter.y);
    script += "at " + std::to_string(kAlbumReady + 160) + " quit\n";
    const PlayResult run = PlayRunner("menu-pause-album").Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    uint32_t w = 0, h = 0;
    std::vector<uint32_t> album, paused;
    ASSERT_TRUE(run.ReadShot("album.png", w, h, album) && run.ReadShot("paused.png", w, h, paused));
    EXPECT_LT(Brightness(paused), 0.8 * Brightness(album)) << "the pause covers the album";
    const std::vector<std::string> shown = run.Screens();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Book_TutorialIntroDialog"), 1) << run.Describe();
}

} // namespace
