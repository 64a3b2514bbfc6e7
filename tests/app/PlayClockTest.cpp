// The main loop on the play harness's fixed step clock, in process with a real (offscreen) window.

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/app/PlayHarness.h"
#include "engine/core/FrameTimer.h"
#include "engine/core/console/Console.h"
#include "engine/graphics/text/TextRenderer.h"
#include "platform/window/Window.h"
#include "tests/app/EngineTestAccess.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;

namespace {

int g_sleeps = 0;
void CountSleep(uint32_t)
{
    ++g_sleeps;
}

bool ConsoleSaid(const Console& console, const std::u16string& text)
{
    for (const String& line : console.Output()) {
        if (line == text)
            return true;
    }
    return false;
}

TEST(PlayFixedClock, EveryPassRunsOneStepAndOneFrameAndCommandsRunAtTheirStep)
{
    const auto dir = QuillTest::MakeTempDir("clock");
    QuillTest::WriteFile(dir / "s.play", "at 0 move 10 10\n"
                                         "at 5 console echo five\n"
                                         "at 5 key m\n"
                                         "at 9 console echo nine\n");
    setenv("QUILL_PLAY_SCRIPT", (dir / "s.play").c_str(), 1);
    QuillPlatform::ClearMessageQueue();
    CountingGame game;
    {
        EngineManager engine;
        GameSettings settings;
        settings.Title = u"Velvet Test";
        settings.Width = 800;
        settings.Height = 600;
        settings.AllowFullscreen = 0;
        const bool started = engine.Init(settings, &game);
        unsetenv("QUILL_PLAY_SCRIPT"); // no later engine in this program may pick it up
        ASSERT_TRUE(started);
        g_sleeps = 0;
        engine.SetSleepFunction(&CountSleep);
        game.frames = 0;

        // The pump's own loop: a waiting message is dispatched, otherwise the loop ticks.
        int harnessPasses = 0;
        int lastUpdates = 0;
        bool sawFive = false, sawNine = false;
        while (game.updates < 12) {
            QuillPlatform::WindowMessage msg;
            if (QuillPlatform::PeekMessage(msg, false)) {
                ASSERT_TRUE(QuillPlatform::GetMessage(msg));
                QuillPlatform::DispatchMessage(msg);
                continue;
            }
            const int framesBefore = game.frames;
            engine.Tick(true);
            const int ran = game.updates - lastUpdates;
            lastUpdates = game.updates;
            // A pass is the harness's (no step, no frame) or exactly one step and one frame.
            ASSERT_TRUE(ran == 0 || ran == 1) << ran;
            EXPECT_EQ(game.frames - framesBefore, ran);
            harnessPasses += ran == 0 ? 1 : 0;
            ASSERT_LT(harnessPasses, 20) << "the clock does not move";
            // Step N is game time N / 60 s exactly.
            EXPECT_FLOAT_EQ(engine.GetFrameTimer()->GetTime(), static_cast<float>(game.updates) / 60.0f);
            const bool five = ConsoleSaid(*engine.GetConsole(), u"five");
            const bool nine = ConsoleSaid(*engine.GetConsole(), u"nine");
            if (five && !sawFive) {
                EXPECT_EQ(game.updates, 5);
            }
            if (nine && !sawNine) {
                EXPECT_EQ(game.updates, 9);
            }
            sawFive = five;
            sawNine = nine;
        }
        EXPECT_TRUE(sawFive);
        EXPECT_TRUE(sawNine);
        // The focus, then one pass per command.
        EXPECT_EQ(harnessPasses, 5);
        EXPECT_EQ(g_sleeps, 0);
        // The rendered-string cache ages by game time as well: 12 steps are 200 ms.
        ASSERT_NE(TextRenderer::Instance(), nullptr);
        EXPECT_EQ(TextRenderer::Instance()->Now(), 200u);
        engine.SaveAndShutdown();
    }
    QuillPlatform::ClearMessageQueue();
}

} // namespace
