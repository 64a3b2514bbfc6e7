// The play harness's own pieces: the script reader, the feedback log and the environment.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/app/PlayFeedbackSink.h"
#include "engine/app/PlayHarness.h"
#include "engine/app/PlayScript.h"
#include "engine/core/EngineRand.h"
#include "engine/core/FeedbackClient.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;

namespace {

using Kind = PlayCommand::Kind;

TEST(PlayScript, ReadsEveryCommandWithItsStepAndLine)
{
    PlayScript script;
    std::string error;
    ASSERT_TRUE(script.Parse("# start\n"
                             "\n"
                             "at 0 move 400 300\r\n"
                             "at 1 down -5 12\n"
                             "at 1 up 7 8\n"
                             "  at 2\trdown 1 2  \n"
                             "at 3 rup 1 2\n"
                             "at 4 key Escape\n"
                             "at 5 console  lua.dostring a = 1  b = 2 \n"
                             "at 6 shot shots/my frame.png\n"
                             "at 900 quit\n"
                             "at 901 terminate\n"
                             "at 902 wait book.ready\n",
                             "s.play", error))
        << error;
    const auto& c = script.Commands();
    ASSERT_EQ(c.size(), 11u);
    EXPECT_EQ(c[0].kind, Kind::Move);
    EXPECT_EQ(c[0].line, 3);
    EXPECT_EQ(c[0].x, 400);
    EXPECT_EQ(c[0].y, 300);
    EXPECT_EQ(c[1].kind, Kind::Down);
    EXPECT_EQ(c[1].x, -5);
    EXPECT_EQ(c[2].kind, Kind::Up);
    EXPECT_EQ(c[3].kind, Kind::RightDown);
    EXPECT_EQ(c[3].step, 2u);
    EXPECT_EQ(c[4].kind, Kind::RightUp);
    EXPECT_EQ(c[5].kind, Kind::Key);
    EXPECT_EQ(c[5].text, "Escape");
    EXPECT_EQ(c[6].kind, Kind::Console);
    EXPECT_EQ(c[6].text, "lua.dostring a = 1  b = 2"); // inner blanks kept
    EXPECT_EQ(c[7].kind, Kind::Shot);
    EXPECT_EQ(c[7].text, "shots/my frame.png");
    EXPECT_EQ(c[8].kind, Kind::Quit);
    EXPECT_EQ(c[8].step, 900u);
    EXPECT_EQ(c[8].line, 11);
    EXPECT_EQ(c[9].kind, Kind::Terminate);
    EXPECT_EQ(c[10].kind, Kind::Wait);
    EXPECT_EQ(c[10].text, "book.ready");
}

TEST(PlayScript, RefusesABadLineNamingItsNumberAndText)
{
    const char* const bad[] = {
        "move 1 2",            // no "at"
        "at x move 1 2",       // step not a number
        "at -1 move 1 2",      // negative step
        "at 1234567890 quit",  // too many digits
        "at 5",                // no command
        "at 5 jump",           // unknown command
        "at 5 move 1",         // one coordinate
        "at 5 down 1 2 3",     // one too many
        "at 5 up 1 y",         // not a number
        "at 5 move 100001 0",  // beyond any screen
        "at 5 key",            // no key
        "at 5 key NoSuchKey",  // unknown key
        "at 5 key a b",        // two keys
        "at 5 console",        // no console line
        "at 5 shot frame.bmp", // not a PNG
        "at 5 shown frame",    // nor this
        "at 5 quit now",       // quit takes nothing
        "at 5 terminate 9",    // nor does terminate
        "at 5 wait",           // wait needs a file
        "at 5 live now",       // live takes nothing
    };
    for (const char* line : bad) {
        PlayScript script;
        std::string error;
        const std::string text = std::string("at 1 move 0 0\n") + line + "\nat 9 quit\n";
        EXPECT_FALSE(script.Parse(text, "s.play", error)) << line;
        EXPECT_NE(error.find("s.play, line 2:"), std::string::npos) << error;
        EXPECT_NE(error.find(std::string("\"") + line + "\""), std::string::npos) << error;
        EXPECT_TRUE(script.Commands().empty()) << line;
    }
    // Steps never go back.
    PlayScript script;
    std::string error;
    EXPECT_FALSE(script.Parse("at 5 quit\nat 4 quit\n", "s.play", error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_TRUE(script.Parse("at 5 move 1 1\nat 5 quit\n", "s.play", error)) << error;
    // A live run takes no more commands: "live" is the last line.
    EXPECT_FALSE(script.Parse("at 5 live\nat 6 quit\n", "s.play", error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    ASSERT_TRUE(script.Parse("at 5 move 1 1\nat 7 live\n", "s.play", error)) << error;
    EXPECT_EQ(script.Commands().back().kind, PlayCommand::Kind::Live);
    EXPECT_EQ(script.Commands().back().step, 7u);
}

TEST(PlayFeedbackSink, WritesOneLinePerReportAndStepsAsideWhenClosed)
{
    const auto dir = QuillTest::MakeTempDir("sink");
    const std::string path = (dir / "feedback.log").string();
    ASSERT_TRUE(PlayFeedbackSink::Open(path));
    const FeedbackTable& t = FeedbackClient::Entries();
    t.e5(0.0, u"game");
    t.e9(1.25, u"Main\u00e9");
    t.e7(2.0, u"Chapel", u"ispy");
    t.e8(2.5, u"Chapel", u"game", 0.0, "user");
    const char16_t* keys[] = {u"Item", u"replay"};
    const char16_t* values[] = {u"Ring", u"0"};
    t.e22(keys, values, 2);
    t.e14(3.0, u"p0", "itembadclick", u"Ring", -1);
    t.e13(3.5, u"p0", "itemfound", nullptr, -1);
    t.e16(4.0, u"p0", "tilehint", u"1", -1);
    t.e6(5.0, u"game", 0.0, "Game_Closed");
    t.e4(u"ui");
    t.e27();
    PlayFeedbackSink::Close();
    // Closed: reports go back to the client's table and the file is left alone.
    FeedbackClient::Entries().e5(9.0, u"game");
    EXPECT_FALSE(PlayFeedbackSink::IsOpen());

    EXPECT_EQ(QuillTest::ReadFile(path), "game\t0.000\tgame\n"
                                         "screen\t1.250\tMain\xC3\xA9\n"
                                         "level\t2.000\tChapel\tispy\n"
                                         "levelevent\t2.500\tChapel\tgame\t0\tuser\n"
                                         "params\tItem=Ring\treplay=0\n"
                                         "itemalt\t3.000\tp0\titembadclick\tRing\t-1\n"
                                         "item\t3.500\tp0\titemfound\t\t-1\n"
                                         "count\t4.000\tp0\ttilehint\t1\t-1\n"
                                         "closed\t5.000\tgame\t0\tGame_Closed\n"
                                         "teardown\tui\n"
                                         "entry27\n");
}

class PlayEnvironment : public ::testing::Test {
protected:
    void TearDown() override
    {
        unsetenv("QUILL_PLAY_SCRIPT");
        unsetenv("QUILL_PLAY_SEED");
        unsetenv("QUILL_FEEDBACK_LOG");
        unsetenv("QUILL_PLAY_FRAMES");
        unsetenv("QUILL_PLAY_LOOP_FRAMES");
    }
};

TEST_F(PlayEnvironment, InertWithoutVariablesAndRefusesBadOnes)
{
    std::string error;
    EXPECT_EQ(PlayHarness::FromEnvironment(error), nullptr);
    EXPECT_TRUE(error.empty());

    setenv("QUILL_PLAY_SEED", "12x", 1);
    EXPECT_EQ(PlayHarness::FromEnvironment(error), nullptr);
    EXPECT_NE(error.find("QUILL_PLAY_SEED"), std::string::npos) << error;
    setenv("QUILL_PLAY_SEED", "4294967296", 1);
    EXPECT_EQ(PlayHarness::FromEnvironment(error), nullptr);
    setenv("QUILL_PLAY_SEED", "7", 1);
    for (const char* frames : {"0", "1001", "-3"}) {
        setenv("QUILL_PLAY_FRAMES", frames, 1);
        EXPECT_EQ(PlayHarness::FromEnvironment(error), nullptr) << frames;
        EXPECT_NE(error.find("QUILL_PLAY_FRAMES"), std::string::npos) << error;
    }
    setenv("QUILL_PLAY_FRAMES", "1000", 1);
    EXPECT_NE(PlayHarness::FromEnvironment(error), nullptr) << error;
    // Leaving the frames to the main loop cannot go with a rhythm of the harness's own.
    setenv("QUILL_PLAY_LOOP_FRAMES", "1", 1);
    EXPECT_EQ(PlayHarness::FromEnvironment(error), nullptr);
    EXPECT_NE(error.find("QUILL_PLAY_LOOP_FRAMES"), std::string::npos) << error;
    unsetenv("QUILL_PLAY_FRAMES");
    setenv("QUILL_PLAY_LOOP_FRAMES", "yes", 1);
    EXPECT_EQ(PlayHarness::FromEnvironment(error), nullptr);
    EXPECT_NE(error.find("QUILL_PLAY_LOOP_FRAMES"), std::string::npos) << error;
    unsetenv("QUILL_PLAY_LOOP_FRAMES");
    unsetenv("QUILL_PLAY_SEED");

    setenv("QUILL_PLAY_SCRIPT", "/no/such/script.play", 1);
    EXPECT_EQ(PlayHarness::FromEnvironment(error), nullptr);
    EXPECT_NE(error.find("/no/such/script.play"), std::string::npos) << error;
    unsetenv("QUILL_PLAY_SCRIPT");

    setenv("QUILL_FEEDBACK_LOG", "/no/such/folder/feedback.log", 1);
    EXPECT_EQ(PlayHarness::FromEnvironment(error), nullptr);
    EXPECT_NE(error.find("QUILL_FEEDBACK_LOG"), std::string::npos) << error;
    EXPECT_FALSE(PlayFeedbackSink::IsOpen());
}

TEST_F(PlayEnvironment, TheSeedOverridesEverySeedingUntilTheHarnessGoes)
{
    Srand(1);
    const int first = Rand(), second = Rand(); // the classic sequence of seed 1

    setenv("QUILL_PLAY_SEED", "1", 1);
    std::string error;
    auto harness = PlayHarness::FromEnvironment(error);
    ASSERT_NE(harness, nullptr) << error;
    EXPECT_FALSE(harness->FixedClock()); // no script: the clock stays the wall clock
    Srand(987654);                       // the game seeding from the time
    EXPECT_EQ(Rand(), first);
    EXPECT_EQ(Rand(), second);

    harness.reset();
    Srand(987654);
    const int free = Rand();
    Srand(1);
    EXPECT_NE(free, Rand());
}

TEST_F(PlayEnvironment, AScriptTurnsTheFixedClockOnAndRelativeNamesFollowTheStartFolder)
{
    const auto dir = QuillTest::MakeTempDir("env");
    QuillTest::WriteFile(dir / "s.play", "at 1 quit\n");
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    setenv("QUILL_PLAY_SCRIPT", "s.play", 1);
    setenv("QUILL_FEEDBACK_LOG", "out.log", 1);
    std::string error;
    auto harness = PlayHarness::FromEnvironment(error);
    std::filesystem::current_path(before);
    ASSERT_NE(harness, nullptr) << error;
    EXPECT_TRUE(harness->FixedClock());
    ASSERT_EQ(harness->Script().Commands().size(), 1u);
    FeedbackClient::Entries().e4(u"ui");
    harness.reset();
    EXPECT_EQ(QuillTest::ReadFile(dir / "out.log"), "teardown\tui\n");
}

} // namespace
