#include "game/feedback/FeedbackReporter.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/FrameTimer.h"
#include "game/app/SimpleGame.h"
#include "platform/system/DynamicLibrary.h"
#include "platform/system/Process.h"
#include "tests/core/FeedbackTestSupport.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
namespace fs = std::filesystem;

namespace {

// One call that reached the entry table, with whatever arguments that entry takes.
struct Call {
    int ordinal = 0;
    double clock = -1;
    String wide1, wide2;
    std::string event;
    double value = -1;
    int32_t end = 0;
    std::vector<String> keys, values;
    int32_t count = -1;
};

std::vector<Call> g_calls;

String Text(const char16_t* s)
{
    return s ? String(s) : String(u"<null>");
}

Call& Record(int ordinal, double clock = -1)
{
    Call& c = g_calls.emplace_back();
    c.ordinal = ordinal;
    c.clock = clock;
    return c;
}

void RecTeardown(const char16_t* name)
{
    Record(4).wide1 = Text(name);
}
void RecGameEvent(double clock, const char16_t* name)
{
    Record(5, clock).wide1 = Text(name);
}
void RecGameClosed(double clock, const char16_t* name, double value, const char* event)
{
    Call& c = Record(6, clock);
    c.wide1 = Text(name);
    c.value = value;
    c.event = event;
}
void RecSetLevel(double clock, const char16_t* level, const char16_t* kind)
{
    Call& c = Record(7, clock);
    c.wide1 = Text(level);
    c.wide2 = Text(kind);
}
void RecLevelEvent(double clock, const char16_t* level, const char16_t* name, double value, const char* event)
{
    Call& c = Record(8, clock);
    c.wide1 = Text(level);
    c.wide2 = Text(name);
    c.value = value;
    c.event = event;
}
void RecScreen(double clock, const char16_t* screen)
{
    Record(9, clock).wide1 = Text(screen);
}
template <int N> void RecItem(double clock, const char16_t* key, const char* event, const char16_t* value, int32_t end)
{
    Call& c = Record(N, clock);
    c.wide1 = Text(key);
    c.wide2 = Text(value);
    c.event = event;
    c.end = end;
}
void RecParameters(const char16_t* const* keys, const char16_t* const* values, int32_t count)
{
    Call& c = Record(22);
    c.count = count;
    for (int32_t i = 0; i < count; ++i) {
        c.keys.push_back(Text(keys[i]));
        c.values.push_back(Text(values[i]));
    }
}

FeedbackTable RecordingTable()
{
    FeedbackClient::ResetToDefaults();
    FeedbackTable t = FeedbackClient::Entries();
    t.e4 = RecTeardown;
    t.e5 = RecGameEvent;
    t.e6 = RecGameClosed;
    t.e7 = RecSetLevel;
    t.e8 = RecLevelEvent;
    t.e9 = RecScreen;
    t.e13 = RecItem<13>;
    t.e14 = RecItem<14>;
    t.e16 = RecItem<16>;
    t.e22 = RecParameters;
    return t;
}

// A frame timer whose counter the test moves: 120 ticks a second, two ticks a step.
uint64_t g_now = 0;
uint64_t FakeCounter()
{
    return g_now;
}
void RunSteps(FrameTimer& timer, int steps)
{
    for (int i = 0; i < steps; ++i) {
        g_now += 3;
        timer.Poll();
    }
}

// One call of every report, in a level of the hidden-object game.
void ReportOneOfEach()
{
    const String keys[] = {u"Item"};
    const String values[] = {u"lamp"};
    FeedbackReporter::ReportGameEvent();
    FeedbackReporter::SetLevel(u"Level1", u"ispy");
    FeedbackReporter::ReportLevelEvent("user");
    FeedbackReporter::ReportScreenOpened(u"MainMenu");
    FeedbackReporter::ReportItemEvent("itemfound", u"vase");
    FeedbackReporter::ReportItemEventAlt("itembadclick", u"lamp");
    FeedbackReporter::ReportCountEvent("tilehint", u"2");
    FeedbackReporter::SetEventParameters(keys, values, 1);
}

class FeedbackReporterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        table_ = RecordingTable();
        FeedbackReporter::UseEntries(&table_);
        FeedbackReporter::ResetSession();
    }
    void TearDown() override
    {
        FeedbackReporter::UseEntries(nullptr);
        FeedbackReporter::ResetSession();
        FeedbackClient::ResetToDefaults();
    }

    FeedbackTable table_{};
};

} // namespace

TEST(FeedbackStartRecord, CarriesTheFlagsAndTheBuildNumberAndNothingElse)
{
    const FeedbackReporter::StartRecord record = FeedbackReporter::MakeStartRecord(0x00071234);
    FeedbackReporter::StartRecord expected{};
    expected[0x0C] = 0x0a; // flags 0x1000a, little-endian
    expected[0x0E] = 0x01;
    expected[0x20] = 0x34; // build number: the low 16 bits only
    expected[0x21] = 0x12;
    for (size_t i = 0; i < record.size(); ++i)
        EXPECT_EQ(record[i], expected[i]) << "byte " << i;
    // A program without version information gives build number 0.
    const FeedbackReporter::StartRecord bare = FeedbackReporter::MakeStartRecord(0);
    EXPECT_EQ(bare[0x20], 0);
    EXPECT_EQ(bare[0x21], 0);
    EXPECT_EQ(bare[0x0C], 0x0a);
}

TEST_F(FeedbackReporterTest, EachReportCallsItsEntryWithTheGameClockAndItsArguments)
{
    g_now = 1000;
    FrameTimer timer(&FakeCounter, 120);
    ASSERT_TRUE(timer.Init());
    RunSteps(timer, 30);
    ASSERT_DOUBLE_EQ(FeedbackReporter::Clock(), 0.5);

    ReportOneOfEach();
    ASSERT_EQ(g_calls.size(), 8u);
    for (const Call& c : g_calls) {
        if (c.ordinal != 22) {
            EXPECT_DOUBLE_EQ(c.clock, 0.5) << "ordinal " << c.ordinal;
        }
    }
    EXPECT_EQ(g_calls[0].ordinal, 5);
    EXPECT_EQ(g_calls[0].wide1, u"game");

    EXPECT_EQ(g_calls[1].ordinal, 7);
    EXPECT_EQ(g_calls[1].wide1, u"Level1");
    EXPECT_EQ(g_calls[1].wide2, u"ispy");
    EXPECT_EQ(FeedbackReporter::CurrentLevel(), u"Level1");

    EXPECT_EQ(g_calls[2].ordinal, 8);
    EXPECT_EQ(g_calls[2].wide1, u"Level1");
    EXPECT_EQ(g_calls[2].wide2, u"game");
    EXPECT_EQ(g_calls[2].value, 0.0);
    EXPECT_EQ(g_calls[2].event, "user");

    EXPECT_EQ(g_calls[3].ordinal, 9);
    EXPECT_EQ(g_calls[3].wide1, u"MainMenu");

    const struct {
        int ordinal;
        const char* event;
        const char16_t* value;
    } items[] = {{13, "itemfound", u"vase"}, {14, "itembadclick", u"lamp"}, {16, "tilehint", u"2"}};
    for (size_t i = 0; i < 3; ++i) {
        const Call& c = g_calls[4 + i];
        EXPECT_EQ(c.ordinal, items[i].ordinal);
        EXPECT_EQ(c.wide1, u"p0");
        EXPECT_EQ(c.event, items[i].event);
        EXPECT_EQ(c.wide2, items[i].value);
        EXPECT_EQ(c.end, -1);
    }

    EXPECT_EQ(g_calls[7].ordinal, 22);
    EXPECT_EQ(g_calls[7].count, 1);
    EXPECT_EQ(g_calls[7].keys, std::vector<String>{u"Item"});
    EXPECT_EQ(g_calls[7].values, std::vector<String>{u"lamp"});

    // Time moves on between reports; a level event names the most recent level.
    RunSteps(timer, 30);
    FeedbackReporter::SetLevel(u"Board", u"concentration");
    FeedbackReporter::ReportLevelEvent("lose");
    ASSERT_EQ(g_calls.size(), 10u);
    EXPECT_DOUBLE_EQ(g_calls[9].clock, 1.0);
    EXPECT_EQ(g_calls[9].wide1, u"Board");
}

TEST_F(FeedbackReporterTest, ClockIsZeroWithoutAFrameTimerAndTextsPassUntouched)
{
    ASSERT_EQ(FrameTimer::Instance(), nullptr);
    EXPECT_EQ(FeedbackReporter::Clock(), 0.0);
    // Texts that look like formats reach the client as they are; a null event name goes out empty.
    FeedbackReporter::SetLevel(u"100%s %n", u"ispy");
    FeedbackReporter::ReportLevelEvent("%s%n%x");
    FeedbackReporter::ReportItemEvent(nullptr, u"%d");
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].clock, 0.0);
    EXPECT_EQ(g_calls[1].wide1, u"100%s %n");
    EXPECT_EQ(g_calls[1].event, "%s%n%x");
    EXPECT_EQ(g_calls[2].event, "");
    EXPECT_EQ(g_calls[2].wide2, u"%d");
}

TEST_F(FeedbackReporterTest, ParameterListsAreSentWholeAndUnsafeOnesNotAtAll)
{
    const String keys[] = {u"itemnotfound", u"replay"};
    const String values[] = {u"3", u"0"};
    FeedbackReporter::SetEventParameters(keys, values, 2);
    FeedbackReporter::SetEventParameters(keys, values, 0);
    FeedbackReporter::SetEventParameters(keys, values, -1);
    FeedbackReporter::SetEventParameters(nullptr, values, 1);
    FeedbackReporter::SetEventParameters(keys, nullptr, 1);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].count, 2);
    EXPECT_EQ(g_calls[0].keys, (std::vector<String>{u"itemnotfound", u"replay"}));
    EXPECT_EQ(g_calls[0].values, (std::vector<String>{u"3", u"0"}));
    EXPECT_EQ(g_calls[1].count, 0);
}

TEST_F(FeedbackReporterTest, AfterGameClosedOnlyTheTeardownFollowsAndOnlyOnce)
{
    FeedbackReporter::SetLevel(u"Level2", u"ispy");
    FeedbackReporter::ReportGameClosed();
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].ordinal, 6);
    EXPECT_EQ(g_calls[1].wide1, u"game");
    EXPECT_EQ(g_calls[1].value, 0.0);
    EXPECT_EQ(g_calls[1].event, "Game_Closed");
    EXPECT_TRUE(FeedbackReporter::IsClosed());

    // Whatever the game does while it is being deleted no longer reaches the client.
    ReportOneOfEach();
    FeedbackReporter::ReportGameClosed();
    EXPECT_EQ(g_calls.size(), 2u);

    FeedbackReporter::ReportTeardown();
    FeedbackReporter::ReportTeardown();
    ReportOneOfEach();
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[2].ordinal, 4);
    EXPECT_EQ(g_calls[2].wide1, u"ui");

    // Starting again opens a new session with no level.
    EXPECT_FALSE(FeedbackReporter::StartFromFolder(QuillTest::MakeTempDir("fb-none").string() + "/"));
    EXPECT_FALSE(FeedbackReporter::IsClosed());
    EXPECT_TRUE(FeedbackReporter::CurrentLevel().empty());
}

TEST_F(FeedbackReporterTest, TheGameObjectReportsItsCloseAndTeardown)
{
    SimpleGame game(nullptr);
    game.Shutdown();
    game.OnTeardown();
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].ordinal, 6);
    EXPECT_EQ(g_calls[0].event, "Game_Closed");
    EXPECT_EQ(g_calls[1].ordinal, 4);
    EXPECT_EQ(g_calls[1].wide1, u"ui");
}

TEST(FeedbackWithoutClient, EveryReportDoesNothingAndStartingAnswersFalse)
{
    FeedbackClient::ResetToDefaults();
    const FeedbackTable defaults = FeedbackClient::Entries();
    FeedbackReporter::UseEntries(nullptr);
    // The program folder holds no client library: the normal case.
    SimpleGame game(nullptr);
    EXPECT_FALSE(game.InitErrorReporting());
    EXPECT_EQ(QuillTest::BoundFeedbackEntries(defaults), 0);
    ReportOneOfEach();
    game.Shutdown();
    game.OnTeardown();
    EXPECT_EQ(QuillTest::BoundFeedbackEntries(defaults), 0);
    FeedbackReporter::ResetSession();
}

TEST(FeedbackWithClient, ReportsReachTheLoadedClientUntilTheGameCloses)
{
    const fs::path stub = fs::path(QuillPlatform::ProgramFolder()) / "libquill_feedback_stub.so";
    ASSERT_TRUE(fs::exists(stub)) << stub << " (build quill_feedback_stub)";
    const fs::path folder = QuillTest::MakeTempDir("fb-reporter");
    fs::copy_file(stub, folder / "libQGFBClient.so");

    FeedbackClient::ResetToDefaults();
    FeedbackReporter::UseEntries(nullptr);
    // The stand-in client accepts only a start record with the right flags.
    EXPECT_TRUE(FeedbackReporter::StartFromFolder(folder.string() + "/"));

    auto library = QuillPlatform::DynamicLibrary::Open((folder / "libQGFBClient.so").string());
    ASSERT_TRUE(library);
    auto calls = reinterpret_cast<int (*)(int)>(library->Symbol("QGFBStub_Calls"));
    auto lastName = reinterpret_cast<const char16_t* (*)()>(library->Symbol("QGFBStub_LastName"));
    auto lastCount = reinterpret_cast<int32_t (*)()>(library->Symbol("QGFBStub_LastCount"));
    auto lastClock = reinterpret_cast<double (*)()>(library->Symbol("QGFBStub_LastClock"));
    ASSERT_TRUE(calls && lastName && lastCount && lastClock);
    EXPECT_EQ(calls(1), 1);

    g_now = 50;
    FrameTimer timer(&FakeCounter, 120);
    ASSERT_TRUE(timer.Init());
    RunSteps(timer, 15);
    FeedbackReporter::ReportGameEvent();
    EXPECT_EQ(calls(5), 1);
    EXPECT_DOUBLE_EQ(lastClock(), 0.25);
    EXPECT_EQ(String(lastName()), u"game");

    const String keys[] = {u"replay"};
    const String values[] = {u"1"};
    FeedbackReporter::SetEventParameters(keys, values, 1);
    EXPECT_EQ(calls(22), 1);
    EXPECT_EQ(lastCount(), 1);
    EXPECT_EQ(String(lastName()), u"replay");

    // Entries the client lacks keep their defaults.
    FeedbackReporter::ReportItemEvent("itemfound", u"vase");

    FeedbackReporter::ReportGameClosed();
    FeedbackReporter::ReportGameEvent();
    FeedbackReporter::SetEventParameters(keys, values, 1);
    EXPECT_EQ(calls(5), 1);
    EXPECT_EQ(calls(22), 1);

    FeedbackClient::ResetToDefaults();
    FeedbackReporter::ResetSession();
}
