#include <gtest/gtest.h>

#include "engine/core/FrameTimer.h"

using QuillEngine::FrameTimer;

namespace {
uint64_t g_now = 0;
uint64_t FakeCounter() { return g_now; }
constexpr uint64_t kFreq = 600000;   // 10000 ticks per step
} // namespace

class FrameTimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 1000000;
        timer.Init();
    }
    int StepsGrantedByPolling(int maxPolls)
    {
        int steps = 0;
        for (int i = 0; i < maxPolls; ++i) {
            timer.Poll();
            if (!timer.Due())
                break;
            ++steps;
        }
        return steps;
    }
    FrameTimer timer{&FakeCounter, kFreq};
};

TEST_F(FrameTimerTest, GrantsOneStepPerPollOnlyWhenStrictlyPastAStep)
{
    ASSERT_EQ(timer.StepTicks(), 10000u);
    g_now += 10000;   // exactly one step: not yet due
    timer.Poll();
    EXPECT_FALSE(timer.Due());
    g_now += 1;
    timer.Poll();
    EXPECT_TRUE(timer.Due());
    timer.Poll();
    EXPECT_FALSE(timer.Due());
    EXPECT_EQ(timer.GameTicks(), 10000u);
    EXPECT_FLOAT_EQ(timer.GetTime(), 1.0f / 60.0f);
}

TEST_F(FrameTimerTest, CatchesUpAStallOfFiveSecondsStepByStep)
{
    g_now += 5 * kFreq;   // 300 steps behind
    EXPECT_EQ(StepsGrantedByPolling(1000), 299);   // the last step is not strictly past
    EXPECT_EQ(timer.GameTicks(), 299u * 10000u);
}

TEST_F(FrameTimerTest, ForgivesAStallOfMoreThanSixHundredSteps)
{
    g_now += 600 * 10000 + 1;
    timer.Poll();
    EXPECT_FALSE(timer.Due());
    EXPECT_EQ(timer.GameTicks(), 0u);
    g_now += 10001;   // counted from the resync, not from before the stall
    EXPECT_EQ(StepsGrantedByPolling(10), 1);
}

TEST_F(FrameTimerTest, ResyncDropsTheBacklog)
{
    g_now += 100 * 10000;
    timer.Resync();
    timer.Poll();
    EXPECT_FALSE(timer.Due());
}
