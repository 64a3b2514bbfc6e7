// End-to-end runs of the game program under the play harness: start, scripted input, close.

#include <gtest/gtest.h>

#include <string>

#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/image/Image.h"
#include "engine/graphics/image/ImageDecoders.h"
#include "tests/support/PlayRunner.h"
#include "tests/support/TestEnvironment.h"

namespace {

using QuillTest::PlayResult;
using QuillTest::PlayRunner;

TEST(PlayRun, StartsRunsToTheScriptedQuitAndReportsStartAndEnd)
{
    const PlayResult run = PlayRunner("start-quit").Run("at 90 quit\n");
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    // The game's start at game time 0, its close at the step the quit arrived (90 / 60 s), then
    // the teardown call, and nothing else.
    const std::vector<std::string> expected = {
        "game\t0.000\tgame",
        "closed\t1.500\tgame\t0\tGame_Closed",
        "teardown\tui",
    };
    EXPECT_EQ(run.feedback, expected) << run.Describe();
    const auto closed = run.Reports("closed");
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].back(), "Game_Closed");
    // The close went through the normal path, which saves the player file.
    const auto save = run.LoadSave();
    ASSERT_NE(save, nullptr) << run.Describe();
    EXPECT_EQ(save->GetName(), u"root");
    EXPECT_TRUE(save->HasAttribute(u"version"));
}

TEST(PlayRun, SameScriptAndSeedGiveTheSameLogAndPicturesHoweverManyFramesAreDrawn)
{
    const std::string script = "at 3 move 10 10\n"
                               "at 20 shot early.png\n"
                               "at 21 down 400 300\n"
                               "at 22 up 400 300\n"
                               "at 23 key Escape\n"
                               "at 40 shot late.png\n"
                               "at 41 quit\n";
    const PlayResult first = PlayRunner("same-a").Seed(1234).Run(script);
    // Drawing fewer frames changes nothing the game does, nor what a shot shows.
    const PlayResult second = PlayRunner("same-b").Seed(1234).Frames(7).Run(script);
    ASSERT_TRUE(first.ExitedCleanly()) << first.Describe();
    ASSERT_TRUE(second.ExitedCleanly()) << second.Describe();
    ASSERT_FALSE(first.feedback.empty());
    EXPECT_EQ(first.feedback, second.feedback);
    for (const char* shot : {"early.png", "late.png"}) {
        const std::string a = QuillTest::ReadFile(first.Shot(shot));
        ASSERT_FALSE(a.empty()) << shot << "\n" << first.Describe();
        EXPECT_EQ(a, QuillTest::ReadFile(second.Shot(shot))) << shot;
    }
}

TEST(PlayRun, AShotIsTheWholeFrameThePlayerSees)
{
    const PlayResult run = PlayRunner("shot").Run("at 10 shot frame.png\nat 11 quit\n");
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(run.ReadShot("frame.png", width, height, pixels)) << run.Describe();
    EXPECT_EQ(width, 800u);
    EXPECT_EQ(height, 600u);
    // The opening card fills the window: every corner shows the card's own corner.
    const std::string bytes = QuillTest::ReadFile(QuillTest::RenderedDataFolder() / "ui/Pictures/Intro/IntroBackdrop.jpg");
    QuillEngine::Image card;
    ASSERT_TRUE(QuillEngine::DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 4096, card));
    ASSERT_EQ(size_t(card.width) * card.height, pixels.size());
    for (const size_t at : {size_t(0), size_t(width - 1), pixels.size() - width, pixels.size() - 1, pixels.size() / 2})
        EXPECT_EQ(pixels[at], card.Pixels()[at] | 0xFF000000u) << at;
}

TEST(PlayRun, AClickWithoutAMoveBeforeItArrivesWhereItWasAimed)
{
    // The pointer was never moved: the press must still be seen at its own position, by both
    // buttons, and the pointer follows each press.
    const std::string script =
        "at 10 down 400 300\n"
        "at 11 console lua.dostring px = GetMouseX() py = GetMouseY() pl = GetMouseButtonDownL() and 1 or 0\n"
        "at 11 console lua.getglobalnum px\n"
        "at 11 console lua.getglobalnum py\n"
        "at 11 console lua.getglobalnum pl\n"
        "at 12 up 400 300\n"
        "at 13 rdown 123 45\n"
        "at 14 console lua.dostring px = GetMouseX() py = GetMouseY() pr = GetMouseButtonDownR() and 1 or 0\n"
        "at 14 console lua.dostring pl = GetMouseButtonDownL() and 1 or 0\n"
        "at 14 console lua.getglobalnum px\n"
        "at 14 console lua.getglobalnum py\n"
        "at 14 console lua.getglobalnum pr\n"
        "at 14 console lua.getglobalnum pl\n"
        "at 15 rup 123 45\n"
        "at 16 quit\n";
    const PlayResult run = PlayRunner("click").Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    const std::vector<std::string> expected = {"400.000000", "300.000000", "1.000000", "123.000000",
                                               "45.000000",  "1.000000",   "0.000000"};
    EXPECT_EQ(run.console, expected) << run.Describe();
}

TEST(PlayRun, AMalformedScriptLineFailsTheRunAndNamesTheLine)
{
    const PlayResult run = PlayRunner("malformed")
                               .Run("# a comment\n"
                                    "at 5 move 10 10\n"
                                    "at 6 jump 3 4\n"
                                    "at 7 quit\n");
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 1) << run.Describe();
    EXPECT_NE(run.standardError.find("line 3"), std::string::npos) << run.standardError;
    EXPECT_NE(run.standardError.find("at 6 jump 3 4"), std::string::npos) << run.standardError;
    // Refused before the game started: nothing was reported.
    EXPECT_TRUE(run.feedback.empty()) << run.Describe();
}

TEST(PlayRun, AShotThatCannotBeWrittenFailsTheRun)
{
    const PlayResult run = PlayRunner("bad-shot").Run("at 5 shot no/such/folder/x.png\nat 6 quit\n");
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 4) << run.Describe();
    EXPECT_NE(run.standardError.find("line 1"), std::string::npos) << run.standardError;
}

} // namespace
