// The game program as a whole: settings, the command line, and the process's own life cycle.

#include <gtest/gtest.h>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "game/app/SimpleGame.h"
#include "platform/system/Clock.h"
#include "platform/system/Process.h"
#include "platform/system/SingleInstance.h"

extern char** environ;

using namespace QuillEngine;

namespace {

TEST(GameEntry, SettingsAreTheGamesOwn)
{
    const char* argv[] = {"VelvetAisle", "-software"};
    const GameSettings s = VelvetAisle::MakeSettings(2, argv);
    EXPECT_EQ(s.Title, u"Velvet Aisle");
    EXPECT_EQ(s.Width, 800);
    EXPECT_EQ(s.Height, 600);
    EXPECT_EQ(s.AllowFullscreen, 1);
    EXPECT_EQ(s.IconId, 101);
    EXPECT_EQ(s.HostWindow, 0u);
    EXPECT_EQ(s.CommandLine, u"-software");
}

TEST(GameEntry, CommandLineIsRebuiltSoPiecesReadBack)
{
    const char* plain[] = {"x", "-startscript", "intro.lua"};
    EXPECT_EQ(VelvetAisle::BuildCommandLine(3, plain), u"-startscript intro.lua");
    const char* blanks[] = {"x", "-startscript", "my intro.lua", ""};
    EXPECT_EQ(VelvetAisle::BuildCommandLine(4, blanks), u"-startscript \"my intro.lua\" \"\"");
    const char* utf8[] = {"x", "Jos\xC3\xA9"};
    EXPECT_EQ(VelvetAisle::BuildCommandLine(2, utf8), u"Jos\u00E9");
    const char* none[] = {"x"};
    EXPECT_EQ(VelvetAisle::BuildCommandLine(1, none), u"");
}

// Starts the built program with the test's (headless, sandboxed) environment.
pid_t StartGame()
{
    const std::string exe = QuillPlatform::ProgramFolder() + "/VelvetAisle";
    char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ) != 0)
        return -1;
    return pid;
}

// Waits up to `ms` for the child; returns its wait status, or -1 on time-out.
int WaitFor(pid_t pid, int ms)
{
    for (int waited = 0; waited < ms; waited += 10) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        QuillPlatform::SleepMilliseconds(10);
    }
    return -1;
}

bool WaitUntilRunning(pid_t pid, int ms)
{
    for (int waited = 0; waited < ms; waited += 10) {
        if (QuillPlatform::SingleInstanceLock::OwnerPid("Quillon_Velvet Aisle_Singleton") == pid)
            return true;
        QuillPlatform::SleepMilliseconds(10);
    }
    return false;
}

TEST(GameProcess, SigtermEndsThroughTheNormalShutdownWithStatusZero)
{
    const pid_t game = StartGame();
    ASSERT_GT(game, 0);
    ASSERT_TRUE(WaitUntilRunning(game, 60000));

    // A second copy is refused (and asks the first to come forward) without disturbing it.
    const pid_t second = StartGame();
    ASSERT_GT(second, 0);
    const int secondStatus = WaitFor(second, 60000);
    ASSERT_NE(secondStatus, -1);
    EXPECT_TRUE(WIFEXITED(secondStatus));
    EXPECT_EQ(WEXITSTATUS(secondStatus), 0);
    EXPECT_EQ(WaitFor(game, 200), -1);   // still running

    ASSERT_EQ(kill(game, SIGTERM), 0);
    const int status = WaitFor(game, 60000);
    if (status == -1)
        kill(game, SIGKILL);
    ASSERT_NE(status, -1);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(GameProcess, StartedAsTheCrashHelperItOnlyShowsTheMessage)
{
    // Headless, the message box falls back to stderr.
    const std::string cmd = QuillPlatform::ProgramFolder() +
                            "/VelvetAisle --quill-crash-message 'It broke.' 'Critical Error' 2>&1";
    FILE* out = popen(cmd.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string text;
    char buf[256];
    while (size_t n = fread(buf, 1, sizeof buf, out))
        text.append(buf, n);
    const int status = pclose(out);
    EXPECT_NE(text.find("Critical Error: It broke."), std::string::npos) << text;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // It never got as far as starting the game.
    EXPECT_EQ(QuillPlatform::SingleInstanceLock::OwnerPid("Quillon_Velvet Aisle_Singleton"), 0);
}

} // namespace
