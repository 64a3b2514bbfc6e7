// Start-up and shutdown of the engine object with a real (offscreen) window.

#include <gtest/gtest.h>

#include "engine/core/app/RenderWindow.h"
#include "platform/system/ProcessSignals.h"
#include "platform/system/SingleInstance.h"
#include "tests/core/EngineTestAccess.h"

using namespace QuillEngine;
using namespace QuillPlatform;

namespace {

GameSettings TestSettings()
{
    GameSettings s;
    s.Title = u"Velvet Test";
    s.Width = 800;
    s.Height = 600;
    s.AllowFullscreen = 1;
    return s;
}

class EngineStartupTest : public ::testing::Test {
protected:
    void SetUp() override { ClearMessageQueue(); }
    void TearDown() override { ClearMessageQueue(); }
    CountingGame game;
};

TEST_F(EngineStartupTest, StartsWithAWindowAndShutsDownInOrder)
{
    EngineManager engine;
    ASSERT_TRUE(engine.Init(TestSettings(), &game));
    EXPECT_TRUE(engine.Started());
    EXPECT_EQ(game.inits, 1);
    ASSERT_NE(engine.Window(), nullptr);
    EXPECT_TRUE(engine.Window()->IsLive());
    int32_t w = 0, h = 0;
    engine.Window()->Native().GetClientSize(w, h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(engine.WindowName(), u"Velvet Test");
    EXPECT_GE(engine.Renderer()->FramesPresented(), 1u);

    engine.SaveAndShutdown();
    EXPECT_EQ(game.shutdowns, 1);
    EXPECT_EQ(game.teardowns, 1);
    EXPECT_EQ(engine.Window(), nullptr);
    EXPECT_EQ(engine.Renderer(), nullptr);
    engine.Shutdown();   // idempotent
    EXPECT_EQ(game.teardowns, 1);
}

TEST_F(EngineStartupTest, AltEnterTogglesFullScreen)
{
    EngineManager engine;
    ASSERT_TRUE(engine.Init(TestSettings(), &game));
    int64_t result = 0;
    RenderWindow& win = *engine.Window();
    win.HandleMessage({0, WM_SYSCOMMAND, SC_KEYMENU, 13}, result);
    EXPECT_TRUE(engine.IsFullscreen());
    win.HandleMessage({0, WM_SYSCOMMAND, SC_KEYMENU, 'a'}, result);   // Alt+letter does nothing
    EXPECT_TRUE(engine.IsFullscreen());
    win.HandleMessage({0, WM_SYSCOMMAND, SC_KEYMENU, 13}, result);
    EXPECT_FALSE(engine.IsFullscreen());
    engine.SaveAndShutdown();
}

TEST_F(EngineStartupTest, AFailedGameInitStillTakesEverythingDown)
{
    game.initResult = false;
    EngineManager engine;
    EXPECT_FALSE(engine.Init(TestSettings(), &game));
    EXPECT_EQ(game.teardowns, 1);
    EXPECT_EQ(engine.Window(), nullptr);
    EXPECT_EQ(engine.Renderer(), nullptr);
    EXPECT_EQ(game.shutdowns, 0);   // the game never started
}

TEST_F(EngineStartupTest, ASecondCopyIsRefusedBeforeTheGameStarts)
{
    SingleInstanceLock first;
    ASSERT_EQ(first.Acquire("Quillon_Velvet Test_Singleton"), SingleInstanceLock::Result::Acquired);
    EngineManager engine;
    EXPECT_EQ(engine.Run(TestSettings(), &game), EngineManager::RunResult::SecondCopy);
    EXPECT_EQ(game.inits, 0);
}

TEST_F(EngineStartupTest, ACloseRequestFromASignalEndsTheLoopThroughQueryClose)
{
    EngineManager engine;
    RequestClose();   // as SIGTERM would
    EXPECT_EQ(engine.Run(TestSettings(), &game), EngineManager::RunResult::QuitNormally);
    EXPECT_EQ(game.closeQueries, 1);
    EXPECT_EQ(game.shutdowns, 1);
    EXPECT_EQ(game.teardowns, 1);
}

TEST_F(EngineStartupTest, TheLockIsFreeAgainAfterShutdown)
{
    {
        EngineManager engine;
        ASSERT_TRUE(engine.Init(TestSettings(), &game));
        engine.SaveAndShutdown();
    }
    SingleInstanceLock again;
    EXPECT_EQ(again.Acquire("Quillon_Velvet Test_Singleton"), SingleInstanceLock::Result::Acquired);
}

} // namespace
