#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/system/Clock.h"
#include "platform/system/ProcessSignals.h"
#include "platform/system/SingleInstance.h"

using namespace QuillPlatform;

TEST(SingleInstanceLock, ASecondHolderIsRefusedUntilTheFirstReleases)
{
    SingleInstanceLock a, b;
    ASSERT_EQ(a.Acquire("Quillon_Lock Test_Singleton"), SingleInstanceLock::Result::Acquired);
    EXPECT_EQ(SingleInstanceLock::OwnerPid("Quillon_Lock Test_Singleton"), getpid());
    EXPECT_EQ(b.Acquire("Quillon_Lock Test_Singleton"), SingleInstanceLock::Result::AlreadyRunning);
    a.Release();
    EXPECT_EQ(b.Acquire("Quillon_Lock Test_Singleton"), SingleInstanceLock::Result::Acquired);
}

TEST(SingleInstanceLock, LivesInTheRuntimeFolderUnderASafeName)
{
    const std::string path = SingleInstanceLock::LockPath("Quillon_a/../b c_Singleton");
    EXPECT_EQ(path.rfind(std::string(getenv("XDG_RUNTIME_DIR")) + "/", 0), 0u);
    // No separator survives in the name, so it cannot climb out of the folder.
    EXPECT_EQ(path.find('/', std::string(getenv("XDG_RUNTIME_DIR")).size() + 1), std::string::npos);
    EXPECT_NE(path.find("Quillon_a_.._b_c_Singleton.lock"), std::string::npos);
}

TEST(SingleInstanceLock, TheRunningCopyIsAskedToComeToTheFront)
{
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstallRequestSignals();
        SingleInstanceLock lock;
        if (lock.Acquire("Quillon_Raise Test_Singleton") != SingleInstanceLock::Result::Acquired)
            _exit(2);
        char c = 'r';
        if (write(ready[1], &c, 1) != 1)
            _exit(3);
        for (int i = 0; i < 1000; ++i) {   // up to 10 s
            if (ConsumeRaiseRequest())
                _exit(0);
            SleepMilliseconds(10);
        }
        _exit(4);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    SingleInstanceLock second;
    EXPECT_EQ(second.Acquire("Quillon_Raise Test_Singleton"), SingleInstanceLock::Result::AlreadyRunning);
    EXPECT_TRUE(SingleInstanceLock::SignalOwnerToRaise("Quillon_Raise Test_Singleton"));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    close(ready[0]);
    close(ready[1]);
}
