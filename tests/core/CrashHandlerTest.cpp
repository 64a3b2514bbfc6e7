#include "engine/core/CrashHandler.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <stdexcept>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/system/CrashSignals.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
namespace fs = std::filesystem;

namespace {

// A helper that reports how it was called on stderr, where the death test reads it.
std::string WriteHelper(const std::string& body)
{
    const fs::path path = QuillTest::MakeTempDir("crash-helper") / "helper.sh";
    QuillTest::WriteFile(path, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, fs::perms::owner_all);
    return path.string();
}

const char* const kEchoHelper = R"(printf 'helper:%s|%s|%s\n' "$1" "$2" "$3" >&2)";

void Say(const char* text)
{
    ssize_t ignored = write(STDERR_FILENO, text, strlen(text));
    (void)ignored;
}

void Cleanup(int)
{
    Say("cleanup-ran\n");
}

void FaultingCleanup(int)
{
    Say("cleanup-ran\n");
    QuillPlatform::RaiseAccessFault();
}

[[noreturn]] void Segfault()
{
    QuillPlatform::RaiseAccessFault();
}

int Recurse(int depth)
{
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth < (1 << 30))
        return Recurse(depth + 1) + frame[0];
    return 0;
}

void Throw()
{
    throw std::runtime_error("nobody catches this");
}

void Prepare(const std::string& helper, CrashHandler::CleanupCallback cleanup, int waitMs = 10000)
{
    CrashHandler::SetHelperProgram(helper);
    CrashHandler::SetHelperWaitLimit(waitMs);
    CrashHandler::Install(cleanup);
    CrashHandler::SetWindowName(u"Velvet Test");
}

} // namespace

TEST(CrashHandler, MessageNamesTheGameWithoutUsingItAsAFormat)
{
    CrashHandler::SetWindowName(u"Velvet Aisle");
    EXPECT_EQ(CrashHandler::MessageText(),
              "We're sorry, but Velvet Aisle has encountered a critical error and must be shut down. If this "
              "persists, please contact technical support. We apologize for the inconvenience this has caused.");
    CrashHandler::SetWindowName(u"50%s %n %d");
    EXPECT_THAT(CrashHandler::MessageText(), ::testing::HasSubstr("but 50%s %n %d has"));
    CrashHandler::SetWindowName(String(2000, u'x'));
    EXPECT_EQ(FromUtf8(CrashHandler::MessageText()).size(), 1023u);
    EXPECT_STREQ(CrashHandler::TextById(CrashHandler::kCaptionTextId), "Critical Error");
    EXPECT_EQ(CrashHandler::TextById(1), nullptr);
    CrashHandler::SetWindowName(u"");
}

TEST(CrashHandler, HelperModeShowsTheMessageItWasGiven)
{
    char program[] = "prog";
    char flag[] = "--quill-crash-message";
    char text[] = "Something broke";
    char caption[] = "Critical Error";
    char* helperArgs[] = {program, flag, text, caption, nullptr};
    static std::string shownCaption, shownText;
    const auto presenter = [](const std::string& c, const std::string& t) {
        shownCaption = c;
        shownText = t;
    };
    EXPECT_TRUE(CrashHandler::RunHelperIfRequested(4, helperArgs, presenter));
    EXPECT_EQ(shownCaption, "Critical Error");
    EXPECT_EQ(shownText, "Something broke");

    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(CrashHandler::RunHelperIfRequested(4, helperArgs));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Critical Error: Something broke\n");

    char other[] = "-software";
    char* normalArgs[] = {program, other, nullptr};
    EXPECT_FALSE(CrashHandler::RunHelperIfRequested(2, normalArgs, presenter));
    EXPECT_FALSE(CrashHandler::RunHelperIfRequested(1, normalArgs, presenter));
}

TEST(CrashHandlerDeathTest, FaultRunsCleanupThenShowsTheMessageAndDiesBySignal)
{
    const std::string helper = WriteHelper(kEchoHelper);
    EXPECT_EXIT(
        {
            Prepare(helper, &Cleanup);
            Segfault();
        },
        ::testing::KilledBySignal(SIGSEGV),
        "cleanup-ran\nhelper:--quill-crash-message\\|We're sorry, but Velvet Test has encountered a critical "
        "error.*\\|Critical Error\n");
}

TEST(CrashHandlerDeathTest, StackOverflowIsReportedFromTheAlternateStack)
{
    const std::string helper = WriteHelper(kEchoHelper);
    EXPECT_EXIT(
        {
            Prepare(helper, &Cleanup);
            Recurse(0);
        },
        ::testing::KilledBySignal(SIGSEGV), "cleanup-ran\nhelper:--quill-crash-message");
}

TEST(CrashHandlerDeathTest, UnhandledExceptionEndsBySigabrtAfterTheMessage)
{
    const std::string helper = WriteHelper(kEchoHelper);
    EXPECT_EXIT(
        {
            Prepare(helper, &Cleanup);
            void (*volatile thrower)() = &Throw;
            [&]() noexcept { thrower(); }();
        },
        ::testing::KilledBySignal(SIGABRT), "cleanup-ran\nhelper:.*Critical Error");
}

TEST(CrashHandlerDeathTest, FaultInsideTheHandlerDoesNotReenterIt)
{
    const std::string helper = WriteHelper(kEchoHelper);
    EXPECT_EXIT(
        {
            Prepare(helper, &FaultingCleanup);
            Segfault();
        },
        ::testing::KilledBySignal(SIGSEGV),
        ::testing::AllOf(::testing::HasSubstr("cleanup-ran\n"),
                         ::testing::Not(::testing::ContainsRegex("cleanup-ran.*cleanup-ran")),
                         ::testing::Not(::testing::HasSubstr("helper:"))));
}

TEST(CrashHandlerDeathTest, AHelperThatHangsIsNotWaitedForWithoutBound)
{
    // The helper outlives the crash by half a minute; it lets go of stderr so the test can finish.
    // The bound below leaves a loaded machine room to start and end the crashing child.
    const std::string helper = WriteHelper("exec >/dev/null 2>&1\nsleep 30");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
            Prepare(helper, &Cleanup, 100);
            Segfault();
        },
        ::testing::KilledBySignal(SIGSEGV), "cleanup-ran");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

// A program whose main never answers the helper argument is not started again as its own helper
// (it would run in full, crash again and start another copy without end): the message goes to
// standard error instead.
TEST(CrashHandlerDeathTest, AProgramThatCannotBeItsOwnHelperWritesTheMessageInstead)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CrashHandler::Install(&Cleanup);
            CrashHandler::SetWindowName(u"Velvet Test");
            Segfault();
        },
        ::testing::KilledBySignal(SIGSEGV), "cleanup-ran\nWe're sorry, but Velvet Test has encountered a critical");
}
