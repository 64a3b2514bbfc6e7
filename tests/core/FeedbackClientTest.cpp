#include "engine/core/FeedbackClient.h"

#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "engine/core/strings/EngineString.h"
#include "platform/system/DynamicLibrary.h"
#include "platform/system/Process.h"
#include "tests/core/FeedbackTestSupport.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
namespace fs = std::filesystem;

namespace {

struct StartRecord {
    uint8_t bytes[56] = {};
    explicit StartRecord(uint32_t flags) { std::memcpy(bytes + 0x0C, &flags, 4); }
};

fs::path StubLibrary()
{
    return fs::path(QuillPlatform::ProgramFolder()) / "libquill_feedback_stub.so";
}

class FeedbackClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FeedbackClient::ResetToDefaults();
        defaults = FeedbackClient::Entries();
        ASSERT_TRUE(fs::exists(StubLibrary())) << StubLibrary();
    }
    int BoundCount() const { return QuillTest::BoundFeedbackEntries(defaults); }
    void TearDown() override { FeedbackClient::ResetToDefaults(); }

    FeedbackTable defaults{};
};

template <class Fn> Fn StubQuery(QuillPlatform::DynamicLibrary& library, const char* name)
{
    return reinterpret_cast<Fn>(library.Symbol(name));
}

} // namespace

TEST_F(FeedbackClientTest, WithoutTheLibraryEveryEntryIsAHarmlessDefault)
{
    const StartRecord record(0x1000a);
    // The program folder holds no client: the normal case.
    EXPECT_FALSE(FeedbackClient::Load(record.bytes));
    EXPECT_FALSE(FeedbackClient::LoadFromFolder(record.bytes, QuillTest::MakeTempDir("fb-empty").string() + "/"));
    EXPECT_EQ(BoundCount(), 0);

    const FeedbackTable& t = FeedbackClient::Entries();
    EXPECT_EQ(t.e1(record.bytes), 0);
    EXPECT_EQ(t.e2(), 0);
    EXPECT_EQ(t.e24(), 0);
    EXPECT_EQ(t.e26(), 0);
    t.e4(u"ui");
    t.e5(1.0, u"game");
    t.e6(2.0, u"game", 0.0, "Game_Closed");
    t.e7(3.0, u"level1", u"ispy");
    t.e8(3.0, u"level1", u"game", 0.0, "user");
    t.e9(3.0, u"MainMenu");
    t.e13(4.0, u"p0", "itemfound", u"vase", -1);
    const char16_t* keys[] = {u"Item"};
    const char16_t* values[] = {u"lamp"};
    t.e22(keys, values, 1);
    t.e18(1, 2, 3, 4, 5, 6, 7, 8, 9);
    t.e27();
}

TEST_F(FeedbackClientTest, BindsTheExportsItFindsAndAsksEntryOne)
{
    const fs::path folder = QuillTest::MakeTempDir("fb-client");
    fs::copy_file(StubLibrary(), folder / "libQGFBClient.so");

    EXPECT_TRUE(FeedbackClient::LoadFromFolder(StartRecord(0x1000a).bytes, folder.string() + "/"));
    EXPECT_EQ(BoundCount(), 3);

    auto library = QuillPlatform::DynamicLibrary::Open((folder / "libQGFBClient.so").string());
    ASSERT_TRUE(library);
    auto calls = StubQuery<int (*)(int)>(*library, "QGFBStub_Calls");
    auto lastClock = StubQuery<double (*)()>(*library, "QGFBStub_LastClock");
    auto lastName = StubQuery<const char16_t* (*)()>(*library, "QGFBStub_LastName");
    auto lastCount = StubQuery<int32_t (*)()>(*library, "QGFBStub_LastCount");
    ASSERT_TRUE(calls && lastClock && lastName && lastCount);
    EXPECT_EQ(calls(1), 1);

    const FeedbackTable& t = FeedbackClient::Entries();
    t.e5(12.5, u"game");
    EXPECT_EQ(calls(5), 1);
    EXPECT_EQ(lastClock(), 12.5);
    EXPECT_EQ(String(lastName()), u"game");
    const char16_t* keys[] = {u"itemnotfound", u"replay"};
    const char16_t* values[] = {u"3", u"0"};
    t.e22(keys, values, 2);
    EXPECT_EQ(lastCount(), 2);
    EXPECT_EQ(String(lastName()), u"itemnotfound");
    // Entries the client lacks keep their defaults.
    EXPECT_EQ(t.e2(), 0);
    t.e13(1.0, u"p0", "itemfound", u"vase", -1);

    // A start record the client refuses: the binding stays, the answer is false.
    FeedbackClient::ResetToDefaults();
    EXPECT_FALSE(FeedbackClient::LoadFromFolder(StartRecord(0).bytes, folder.string() + "/"));
    EXPECT_EQ(calls(1), 2);
}

TEST_F(FeedbackClientTest, PrefersTheDebugClientAndFallsBackToTheReleaseOne)
{
    const StartRecord record(0x1000a);
    const fs::path debugFirst = QuillTest::MakeTempDir("fb-debug");
    fs::copy_file(StubLibrary(), debugFirst / "libQGFBClientD.so");
    QuillTest::WriteFile(debugFirst / "libQGFBClient.so", "not a library");
    EXPECT_TRUE(FeedbackClient::LoadFromFolder(record.bytes, debugFirst.string() + "/"));

    FeedbackClient::ResetToDefaults();
    const fs::path fallback = QuillTest::MakeTempDir("fb-fallback");
    QuillTest::WriteFile(fallback / "libQGFBClientD.so", "not a library");
    fs::copy_file(StubLibrary(), fallback / "libQGFBClient.so");
    EXPECT_TRUE(FeedbackClient::LoadFromFolder(record.bytes, fallback.string() + "/"));
    EXPECT_EQ(BoundCount(), 3);
}

TEST(DynamicLibrary, RefusesRelativeNamesAndMissingFiles)
{
    std::string error;
    EXPECT_FALSE(QuillPlatform::DynamicLibrary::Open("libQGFBClient.so", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(QuillPlatform::DynamicLibrary::Open("/nonexistent/libx.so"));
    auto stub = QuillPlatform::DynamicLibrary::Open(StubLibrary().string());
    ASSERT_TRUE(stub);
    EXPECT_NE(stub->Symbol("QGFBClient_1"), nullptr);
    EXPECT_EQ(stub->Symbol("QGFBClient_2"), nullptr);
}
