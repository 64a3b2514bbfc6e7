#include "platform/process/ProcessList.h"

#include <cerrno>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/system/Process.h"

using namespace QuillPlatform;

namespace {
bool Listed(pid_t pid, std::string* name = nullptr)
{
    for (const ProcessEntry& e : ListProcesses()) {
        if (e.pid == pid) {
            if (name)
                *name = e.exeName;
            return true;
        }
    }
    return false;
}
} // namespace

TEST(ProcessList, ListsThisProgramByItsExecutableFileName)
{
    std::string name;
    ASSERT_TRUE(Listed(getpid(), &name));
    EXPECT_EQ(name, ExecutableFileName(ProgramPath()));
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_EQ(ExecutableFileName("/a/b/c.exe"), "c.exe");
    EXPECT_EQ(ExecutableFileName("plain"), "plain");
    EXPECT_EQ(ExecutableFileName("dir/"), "");
}

TEST(ProcessList, SpawnedChildIsListedUntilItEndsAndZombiesAreNot)
{
    int error = 0;
    const pid_t child = SpawnProgram("/bin/sleep", &error, {"30"});
    ASSERT_GT(child, 0) << error;
    std::string name;
    EXPECT_TRUE(Listed(child, &name));
    EXPECT_EQ(name, "sleep");
    EXPECT_FALSE(ReapIfEnded(child));

    ASSERT_EQ(kill(child, SIGKILL), 0);
    // Ended but not reaped: a zombie, which the list leaves out.
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(Listed(child));
    EXPECT_TRUE(ReapIfEnded(child));
    EXPECT_EQ(waitpid(child, nullptr, WNOHANG), -1);
}

TEST(ProcessList, SpawnReportsWhyAProgramCannotStart)
{
    int error = 0;
    EXPECT_EQ(SpawnProgram("/nonexistent/program", &error), -1);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(SpawnProgram("", &error), -1);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(SpawnProgram("/", &error), -1); // a folder
    EXPECT_NE(error, 0);
}
