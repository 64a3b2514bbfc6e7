// The menus played through the real program: M opens the main menu over the album, the players
// button opens the list, a click on an empty row starts a name, typed keys spell it, Add makes the
// player, who is then the current one in the saved file.

#include <gtest/gtest.h>

#include <string>

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
    for (const char* key : {"C", "L", "A", "R", "A"})
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
    EXPECT_EQ(current, u"clara") << run.Describe();
    int players = 0;
    for (const auto& child : save->Children())
        players += child->GetName() == u"profile" ? 1 : 0;
    EXPECT_EQ(players, 2) << "the first player and the new one";
}

} // namespace
