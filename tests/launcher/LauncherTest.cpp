#include "launcher/Launcher.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/process/ProcessList.h"
#include "platform/system/Process.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using namespace Kickoff;

namespace {

// When this variable is set, a copy of this test program started by the launcher acts as the
// launched game: it stays alive for the given milliseconds and ends before any test runs.
constexpr const char* kChildVariable = "QUILL_KICKOFF_CHILD_MS";

const bool g_childMode = [] {
    if (const char* ms = std::getenv(kChildVariable)) {
        usleep(static_cast<useconds_t>(std::atoi(ms)) * 1000u);
        _exit(0);
    }
    return false;
}();

// The test program copied into a fresh folder under a name no other process has.
fs::path MakeChildProgram(const fs::path& folder, const std::string& name)
{
    const fs::path target = folder / name;
    fs::copy_file(QuillPlatform::ProgramPath(), target);
    fs::permissions(target, fs::perms::owner_all);
    return target;
}

std::string FolderOf(const fs::path& dir)
{
    return dir.string() + "/";
}

// Real services with a short pause; counts the ticks.
LauncherServices FastServices(int* ticks)
{
    LauncherServices s = LauncherServices::System();
    s.pollInterval = std::chrono::milliseconds(20);
    s.closeRequested = nullptr;
    s.pause = [ticks](std::chrono::milliseconds ms) {
        ++*ticks;
        usleep(static_cast<useconds_t>(ms.count()) * 1000u);
    };
    return s;
}

using QuillTest::ScopedEnv;

} // namespace

TEST(Launcher, RunValueComesFromSectionRunKeyRun)
{
    const fs::path dir = QuillTest::MakeTempDir("kickoff-ini");
    EXPECT_EQ(ReadRunValue(FolderOf(dir)), ""); // no run.ini
    QuillTest::WriteFile(dir / "run.ini", "[Other]\nrun=wrong\n[RUN]\nRun = game.bin\n");
    EXPECT_EQ(ReadRunValue(FolderOf(dir)), "game.bin");
    const std::string longName(3000, 'g'); // longer than any fixed buffer would hold
    QuillTest::WriteFile(dir / "run.ini", "[Run]\nrun=" + longName + "\n");
    EXPECT_EQ(ReadRunValue(FolderOf(dir)), longName);
    EXPECT_EQ(ProgramPath("/opt/g/", "bin\\game.exe"), "/opt/g/bin/game.exe");
}

TEST(Launcher, ProcessNamesMatchTheRunValueExactly)
{
    const std::vector<std::string> names = {"init", "game.exe", "bash"};
    EXPECT_TRUE(IsChildRunning(names, "game.exe"));
    EXPECT_FALSE(IsChildRunning(names, "Game.exe"));      // case counts
    EXPECT_FALSE(IsChildRunning(names, "bin\\game.exe")); // the run value is not cut to a file name
    EXPECT_FALSE(IsChildRunning(names, "game"));          // whole string
    EXPECT_FALSE(IsChildRunning(names, ""));
    EXPECT_FALSE(IsChildRunning({}, "game.exe"));
}

TEST(Launcher, WatchesTheProcessListUntilTheNameIsGone)
{
    const fs::path dir = QuillTest::MakeTempDir("kickoff-fake");
    QuillTest::WriteFile(dir / "run.ini", "[Run]\nrun=game\n");
    std::string started;
    int listed = 0;
    LauncherServices s;
    s.spawn = [&](const std::string& path, int*) {
        started = path;
        return pid_t(4242);
    };
    s.reap = [](pid_t) {};
    s.pause = [](std::chrono::milliseconds) {};
    // The game runs for three ticks; another process named "Game" runs throughout.
    s.listProcessNames = [&] {
        ++listed;
        return listed <= 3 ? std::vector<std::string>{"Game", "game"} : std::vector<std::string>{"Game"};
    };
    EXPECT_EQ(RunLauncher(FolderOf(dir), s), LaunchResult::ChildEnded);
    EXPECT_EQ(started, FolderOf(dir) + "game");
    EXPECT_EQ(listed, 4);

    listed = 0;
    s.closeRequested = [&] { return listed == 2; };
    EXPECT_EQ(RunLauncher(FolderOf(dir), s), LaunchResult::Closed);
}

TEST(Launcher, EndsAtOnceWhenNothingCanBeStarted)
{
    const fs::path dir = QuillTest::MakeTempDir("kickoff-fail");
    int ticks = 0;
    LauncherServices s = FastServices(&ticks);
    // Even with a process of that name running (this one), a failed start must not keep the
    // launcher alive.
    const std::string self = QuillPlatform::ExecutableFileName(QuillPlatform::ProgramPath());
    QuillTest::WriteFile(dir / "run.ini", "[Run]\nrun=" + self + "\n");
    std::string message;
    EXPECT_EQ(RunLauncher(FolderOf(dir), s, &message), LaunchResult::StartFailed);
    EXPECT_NE(message.find(self), std::string::npos);
    EXPECT_EQ(ticks, 0);

    QuillTest::WriteFile(dir / "run.ini", "[Run]\n");
    EXPECT_EQ(RunLauncher(FolderOf(dir), s), LaunchResult::StartFailed);
    EXPECT_EQ(ticks, 0);
}

// A run.ini naming the launcher (by any spelling that reaches its file) would start copies of
// it without end: nothing is started.
TEST(Launcher, RefusesToStartItself)
{
    const fs::path dir = QuillTest::MakeTempDir("kickoff-self");
    const fs::path launcher = MakeChildProgram(dir, "kickoff");
    fs::create_directories(dir / "sub");
    fs::create_symlink(launcher, dir / "alias");
    int ticks = 0;
    LauncherServices s = FastServices(&ticks);
    int spawned = 0;
    s.spawn = [&](const std::string&, int*) {
        ++spawned;
        return pid_t(-1);
    };
    s.selfPath = [&] { return launcher.string(); };
    for (const char* run : {"kickoff", "sub\\..\\kickoff", "./kickoff", "alias"}) {
        QuillTest::WriteFile(dir / "run.ini", std::string("[Run]\nrun=") + run + "\n");
        std::string message;
        EXPECT_EQ(RunLauncher(FolderOf(dir), s, &message), LaunchResult::StartFailed) << run;
        EXPECT_NE(message.find("launcher itself"), std::string::npos) << run;
    }
    EXPECT_EQ(spawned, 0);
    // Another program in the same folder still starts.
    QuillTest::WriteFile(dir / "run.ini", "[Run]\nrun=game\n");
    EXPECT_EQ(RunLauncher(FolderOf(dir), s), LaunchResult::StartFailed);
    EXPECT_EQ(spawned, 1);
}

TEST(Launcher, StartsTheProgramAndEndsAfterItExits)
{
    const fs::path dir = QuillTest::MakeTempDir("kickoff-real");
    const std::string name = "kickoff-child-" + std::to_string(getpid());
    MakeChildProgram(dir, name);
    QuillTest::WriteFile(dir / "run.ini", "[Run]\nrun=" + name + "\n");

    ScopedEnv child(kChildVariable, "400");
    int ticks = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunLauncher(FolderOf(dir), FastServices(&ticks)), LaunchResult::ChildEnded);
    const auto took = std::chrono::steady_clock::now() - start;
    // The child lived 400 ms: the launcher saw it on a tick and ended on a later one, after it.
    // How many 20 ms ticks fit in between depends on the machine's load.
    EXPECT_GE(took, std::chrono::milliseconds(400));
    EXPECT_GE(ticks, 2);
    // The ended child was reaped, not left as a zombie.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

// The moment a busy machine opens now and then: the child has left the process list (its program
// released while it ends) but cannot be collected yet. Here the list drops it while it still
// runs for another 300 ms; the launcher must still collect it before it returns.
TEST(Launcher, AChildThatLeftTheListIsCollectedOnceItEnds)
{
    const fs::path dir = QuillTest::MakeTempDir("kickoff-ending");
    const std::string name = "kickoff-ending-" + std::to_string(getpid());
    MakeChildProgram(dir, name);
    QuillTest::WriteFile(dir / "run.ini", "[Run]\nrun=" + name + "\n");

    ScopedEnv child(kChildVariable, "400");
    int ticks = 0;
    LauncherServices s = FastServices(&ticks);
    int listings = 0;
    s.listProcessNames = [&] {
        ++listings;
        return listings <= 2 ? std::vector<std::string>{name} : std::vector<std::string>{};
    };
    EXPECT_EQ(RunLauncher(FolderOf(dir), s), LaunchResult::ChildEnded);
    EXPECT_EQ(listings, 3);
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the child outlived the launcher's watch";
}

TEST(Launcher, AProgramInASubfolderIsStartedButNotMatched)
{
    const fs::path dir = QuillTest::MakeTempDir("kickoff-sub");
    const std::string name = "kickoff-sub-" + std::to_string(getpid());
    fs::create_directories(dir / "bin");
    MakeChildProgram(dir / "bin", name);
    QuillTest::WriteFile(dir / "run.ini", "[Run]\nrun=bin\\" + name + "\n");

    // The program outlives any delay a loaded machine puts between the launcher's end and the
    // look at the process list; it is ended here once seen.
    ScopedEnv child(kChildVariable, "60000");
    int ticks = 0;
    EXPECT_EQ(RunLauncher(FolderOf(dir), FastServices(&ticks)), LaunchResult::ChildEnded);
    EXPECT_EQ(ticks, 1); // ended at the first tick while the program still runs
    pid_t running = 0;
    for (const QuillPlatform::ProcessEntry& e : QuillPlatform::ListProcesses())
        running = e.exeName == name ? e.pid : running;
    ASSERT_GT(running, 0);
    kill(running, SIGKILL);
    int status = 0;
    EXPECT_EQ(waitpid(running, &status, 0), running);
}
