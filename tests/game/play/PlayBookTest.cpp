// The album played through the real program: a new player reads the letter, turns to the first
// chapter and clicks its photo into the scene; the save file keeps what the album changed.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/core/xml/XmlNode.h"
#include "tests/game/play/PlayData.h"
#include "tests/support/PlayRunner.h"

using namespace QuillEngine;
using QuillTest::PlayResult;
using QuillTest::PlayRunner;

namespace {

const XmlNode* SavedProfile(const XmlNode& save)
{
    const XmlNode* profiles = save.FindChild(u"profiles");
    for (const auto& profile : (profiles ? *profiles : save).Children()) {
        if (profile->GetName() == u"profile")
            return profile.get();
    }
    return nullptr;
}

TEST(PlayBook, ANewPlayerReadsTheLetterTurnsThePageAndEntersTheFirstScene)
{
    const std::string album = PlayData::AlbumToFirstScene();
    ASSERT_FALSE(album.empty());

    // Without the clicks the album waits on its letter: no tutorial, no scene.
    const PlayResult idle =
        PlayRunner("book-idle").Seed(3).Run("at " + std::to_string(PlayData::kFirstSceneOpen) + " quit\n");
    ASSERT_TRUE(idle.ExitedCleanly()) << idle.Describe();
    EXPECT_TRUE(idle.Screens().empty()) << idle.Describe();

    const PlayResult run = PlayRunner("book-open")
                               .Seed(3)
                               .Run(album + "at " + std::to_string(PlayData::kFirstSceneOpen) + " shot scene.png\n" +
                                    "at " + std::to_string(PlayData::kFirstSceneOpen + 1) + " quit\n");
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    // The letter's tutorial, the page tutorial, then the scene's panel and first tutorial, in order.
    const std::vector<std::string> expected{"Book_TutorialIntroDialog", "Book_TutorialDialog", "ISpyPanel",
                                            "Game_RegistryIntroDialog"};
    EXPECT_EQ(run.Screens(), expected) << run.Describe();
    // The photo named its scene to the feedback service as the level played.
    const auto levels = run.Reports("level");
    ASSERT_EQ(levels.size(), 1u) << run.Describe();
    EXPECT_EQ(levels[0][1], "1");
    EXPECT_EQ(levels[0][2], "ispy");
    // Just before it: whether the scene is played again.
    const auto level = std::find_if(run.feedback.begin(), run.feedback.end(),
                                    [](const std::string& line) { return line.rfind("level\t", 0) == 0; });
    ASSERT_NE(level, run.feedback.begin());
    EXPECT_EQ(*(level - 1), "params\treplay=0") << run.Describe();

    const auto save = run.LoadSave();
    ASSERT_NE(save, nullptr) << run.Describe();
    const XmlNode* profile = SavedProfile(*save);
    ASSERT_NE(profile, nullptr) << run.Describe();
    EXPECT_EQ(profile->GetIntAttribute(u"introSeen", -1), 1);
    EXPECT_EQ(profile->GetIntAttribute(u"page", -1), 2);
    for (const auto& scene : profile->Children()) {
        if (scene->GetName() == u"scene" && scene->GetIntAttribute(u"number", -1) == 1) {
            EXPECT_EQ(scene->GetIntAttribute(u"status", -1), 1) << "the entered scene is in progress";
        }
    }
}

TEST(PlayBook, APhotoWhoseItemFileNamesNothingToFindStaysShutAndTheAlbumGoesOn)
{
    // The first chapter's scene with an item file that lists nothing: its photo is clicked twice,
    // then the page is turned back to the letter.
    const std::string album = PlayData::AlbumToFirstScene();
    ASSERT_FALSE(album.empty());
    const PlayData::Point photo = PlayData::FirstScenePhoto();
    const PlayData::Point back = PlayData::PageCorner(false);
    constexpr int kAgain = PlayData::kFirstSceneOpen + 20;
    constexpr int kTurn = kAgain + 100;
    const PlayResult run =
        PlayRunner("book-nothing-to-find")
            .Seed(3)
            .DataFile("Boutique", "Levels/Boutique.xml", "<Items>\n</Items>\n")
            .Run(album + PlayData::ClickAt(kAgain, photo.x, photo.y) + PlayData::ClickAt(kTurn, back.x, back.y) +
                 "at " + std::to_string(kTurn + 140) + " quit\n");
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    // Told once, naming the scene and its file; no board opened.
    const std::string told = "The scene \"Boutique\" cannot be played: its list of items \"Levels\\Boutique.xml\"";
    const size_t first = run.standardError.find(told);
    EXPECT_NE(first, std::string::npos) << run.Describe();
    EXPECT_EQ(run.standardError.find(told, first + 1), std::string::npos) << run.Describe();
    const std::vector<std::string> screens = run.Screens();
    EXPECT_EQ(std::count(screens.begin(), screens.end(), "ISpyPanel"), 0) << run.Describe();

    // The album took the page turn; the scene is as the player left it, not in progress.
    const auto save = run.LoadSave();
    ASSERT_NE(save, nullptr) << run.Describe();
    const XmlNode* profile = SavedProfile(*save);
    ASSERT_NE(profile, nullptr) << run.Describe();
    EXPECT_EQ(profile->GetIntAttribute(u"page", -1), 0);
    const XmlNode* scene = PlayData::ChildWith(*profile, u"scene", u"number", "1");
    ASSERT_NE(scene, nullptr) << run.Describe();
    EXPECT_EQ(scene->GetIntAttribute(u"status", -1), 0) << "the refused scene is not in progress";
}

} // namespace
