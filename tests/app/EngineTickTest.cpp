// The main loop's tick against a fake clock: fixed steps, the catch-up limit, pauses.

#include <gtest/gtest.h>

#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Instance_Movie.h"

#include "tests/app/EngineTestAccess.h"

using namespace QuillEngine;

namespace {

uint64_t g_now = 0;
uint64_t FakeCounter() { return g_now; }
constexpr uint64_t kFreq = 600000;
constexpr uint64_t kStep = kFreq / 60;
int g_sleeps = 0;
uint32_t g_sleptMs = 0;
void FakeSleep(uint32_t ms)
{
    ++g_sleeps;
    g_sleptMs = ms;
}

class EngineTickTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 5000000;
        g_sleeps = 0;
        engine.SetSleepFunction(&FakeSleep);
        EngineManagerTestAccess::Wire(engine, &game, &FakeCounter, kFreq);
        game.frames = 0;   // the renderer presents once when it starts
    }
    CountingGame game;
    EngineManager engine;
};

TEST_F(EngineTickTest, AStallOfFiveSecondsRunsTenStepsAndDrawsOneFrame)
{
    g_now += 5 * kFreq;
    engine.Tick(true);
    EXPECT_EQ(game.updates, 10);
    EXPECT_EQ(game.frames, 1);
    EXPECT_EQ(g_sleeps, 0);
    EXPECT_EQ(engine.GetUserInterface()->Updates(), 10u);

    // The following ticks keep catching up, ten steps at most each, and draw when something on
    // screen changed; a scene at rest is not drawn again.
    ASSERT_TRUE(engine.GetUserInterface()->CreateRoot());
    engine.GetUserInterface()->GetRoot()->SetPosition(1.0f, 0.0f);
    engine.Tick(true);
    EXPECT_EQ(game.updates, 20);
    EXPECT_EQ(game.frames, 2);
    engine.Tick(true);
    EXPECT_EQ(game.updates, 30);
    EXPECT_EQ(game.frames, 2);
}

TEST_F(EngineTickTest, EveryStepAdvancesTheSceneAlikeWhetherItIsDrawnOrNot)
{
    // A timer: a timeline whose frames change nothing on screen, so it never asks for a frame.
    UserInterface& ui = *engine.GetUserInterface();
    ASSERT_TRUE(ui.CreateRoot());
    const auto library =
        XmlNode::ParseDocument(R"(<Library><Definition type="movie" name="Timer" length="1000" fps="60"/></Library>)", false);
    int32_t added = 0, existing = 0;
    ASSERT_TRUE(library && ui.GetDefinitionLibrary()->ImportLibrary(*library, nullptr, added, existing));
    Instance_Movie* timer = HandleEx::ResolveMovie(ui.GetRoot()->CreateChild(u"Timer", u"timer"));
    ASSERT_NE(timer, nullptr);
    timer->SetPlaying(true);
    const auto steps = [&](int count, bool change) {
        const int32_t first = timer->GetFrame();
        for (int i = 0; i < count; ++i) {
            if (change)
                ui.GetRoot()->SetPosition(static_cast<float>((i + 1) % 2), 0.0f); // something else moves
            g_now += kStep + 1;
            engine.Tick(true);
        }
        return timer->GetFrame() - first;
    };
    steps(3, false); // the new scene's first frame
    const int framesBefore = game.frames;
    const int32_t atRest = steps(5, false);
    EXPECT_EQ(game.frames, framesBefore) << "a scene at rest is not drawn";
    const int32_t drawn = steps(5, true);
    EXPECT_EQ(game.frames, framesBefore + 5);
    // Two updates a step, drawn or not.
    EXPECT_EQ(atRest, 10);
    EXPECT_EQ(drawn, 10);
}

TEST_F(EngineTickTest, NoStepDueSleepsUntilTheNextStepAndDrawsNothing)
{
    g_now += kStep / 2;
    engine.Tick(true);
    EXPECT_EQ(game.updates, 0);
    EXPECT_EQ(game.frames, 0);
    EXPECT_EQ(g_sleeps, 1);
    EXPECT_EQ(g_sleptMs, 8u); // 8.3 ms are left of the step

    // Under a millisecond before the step: the shortest sleep, never none (no busy wait).
    g_now += kStep / 2 - kFreq / 2000;
    engine.Tick(true);
    EXPECT_EQ(game.updates, 0);
    EXPECT_EQ(g_sleptMs, 1u);
}

TEST_F(EngineTickTest, AStallPastSixHundredStepsResyncsWithoutCatchUp)
{
    g_now += 601 * kStep;
    engine.Tick(true);
    EXPECT_EQ(game.updates, 0);
    EXPECT_EQ(game.frames, 0);
    g_now += kStep + 1;
    engine.Tick(true);
    EXPECT_EQ(game.updates, 1);
}

TEST_F(EngineTickTest, GameUpdateIsSkippedWhenNotAllowed)
{
    g_now += 3 * kStep + 1;
    engine.Tick(false);
    EXPECT_EQ(game.updates, 0);
    EXPECT_EQ(engine.GetUserInterface()->Updates(), 3u);
    EXPECT_EQ(game.frames, 1);
}

TEST_F(EngineTickTest, PausedEngineOnlySleeps)
{
    engine.SetPaused(true);
    g_now += kFreq;
    engine.Tick(true);
    EXPECT_EQ(game.updates, 0);
    EXPECT_EQ(g_sleeps, 1);
}

TEST_F(EngineTickTest, LostFocusMutesAndStopsTheClockThenResumesWithoutBurst)
{
    EngineManagerTestAccess::SetPauseOnLostFocus(engine, true);
    engine.OnDeactivate();
    g_now += 2 * kFreq;
    engine.Tick(true);
    EXPECT_TRUE(engine.GetAudio()->IsMuted());
    EXPECT_EQ(game.updates, 0);

    engine.OnActivate();   // resynchronises the timer
    EXPECT_EQ(game.activations, 1);
    g_now += kStep + 1;
    engine.Tick(true);
    EXPECT_FALSE(engine.GetAudio()->IsMuted());
    EXPECT_EQ(game.updates, 1);
}

TEST_F(EngineTickTest, LostDeviceStopsSteps)
{
    engine.Renderer()->SetDeviceState(CRenderManager::kStateReady | CRenderManager::kStateLost);
    g_now += 5 * kStep;
    engine.Tick(true);
    EXPECT_EQ(game.updates, 0);
}

} // namespace
