// The start-up splash screens: the fade controller's timing and skip rules, the times read from
// the list, and the engine's start-up with a splash shown, skipped or quit.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/prefs/SystemPrefs.h"
#include "engine/core/prefs/UserData.h"
#include "engine/app/SplashScreens.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/UserInterface.h"
#include "platform/window/Window.h"
#include "tests/app/EngineTestAccess.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;

namespace {

class SplashFadeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ui.CreateRoot());
        container = ui.GetRoot()->CreateEmptyChild(u"SplashScreenContainer");
        movie = HandleEx::ResolveMovie(container);
        ASSERT_NE(movie, nullptr);
        movie->SetExplicitBounds(0, 0, 200, 100);
    }

    // Updates until the listener says it is done (or a limit); returns the update count.
    int RunUntilDone(SplashFadeListener& listener, int limit = 10000)
    {
        int updates = 0;
        while (!done && updates < limit) {
            listener.OnUpdate(container);
            ++updates;
        }
        return updates;
    }

    void Step(SplashFadeListener& listener, int updates)
    {
        for (int i = 0; i < updates; ++i)
            listener.OnUpdate(container);
    }

    UserInterface ui;
    InstanceHandle container;
    Instance_Movie* movie = nullptr;
    bool done = false;
};

TEST_F(SplashFadeTest, AnUntouchedSplashFadesInWaitsAndFadesOutCentred)
{
    SplashFadeListener listener(1.0f, 2.0f, &done);
    Step(listener, 30);
    EXPECT_EQ(listener.GetPhase(), SplashFadeListener::Phase_FadeIn);
    EXPECT_NEAR(movie->GetOpacity(), 0.5f, 0.001f);
    float x = 0, y = 0;
    movie->GetPosition(x, y);
    EXPECT_FLOAT_EQ(x, 300.0f);
    EXPECT_FLOAT_EQ(y, 250.0f);

    Step(listener, 40);
    EXPECT_EQ(listener.GetPhase(), SplashFadeListener::Phase_Wait);
    EXPECT_FLOAT_EQ(movie->GetOpacity(), 1.0f);

    // 60 updates in, 120 waiting, 60 out: four seconds of steps in all (each phase may end one
    // update late, as its clock is summed in floats and the last step crosses the limit).
    const int total = 70 + RunUntilDone(listener);
    EXPECT_NEAR(total, 241, 3);
    EXPECT_TRUE(done);
    EXPECT_FLOAT_EQ(movie->GetOpacity(), 0.0f);
}

TEST_F(SplashFadeTest, PressesSkipAheadOnlyWhenTheyMayAndAreNeverConsumed)
{
    SplashFadeListener listener(1.0f, 2.0f, &done);
    Event_Mouse press(Event_Base::Type_ButtonDown);
    Event_Mouse release(Event_Base::Type_ButtonUp);

    Step(listener, 3); // 0.05 s into the fade-in: too early
    listener.HandleEvent(press);
    EXPECT_EQ(listener.GetPhase(), SplashFadeListener::Phase_FadeIn);

    Step(listener, 27); // 0.5 s: the fade-out starts from half opacity
    listener.HandleEvent(release);
    EXPECT_EQ(listener.GetPhase(), SplashFadeListener::Phase_FadeIn);
    listener.HandleEvent(press);
    EXPECT_EQ(listener.GetPhase(), SplashFadeListener::Phase_FadeOut);
    Step(listener, 1);
    EXPECT_NEAR(movie->GetOpacity(), 29.0f / 60.0f, 0.002f);
    EXPECT_NEAR(RunUntilDone(listener), 30, 1);

    // In the wait a key skips to a full fade-out; in the fade-out presses change nothing.
    bool secondDone = false;
    SplashFadeListener waiting(0.5f, 2.0f, &secondDone);
    for (int i = 0; i < 40; ++i)
        waiting.OnUpdate(container);
    ASSERT_EQ(waiting.GetPhase(), SplashFadeListener::Phase_Wait);
    Event_Key keyUp(Event_Base::Type_KeyUp, 32);
    waiting.HandleEvent(keyUp);
    EXPECT_EQ(waiting.GetPhase(), SplashFadeListener::Phase_FadeOut);
    EXPECT_FLOAT_EQ(waiting.GetTime(), 0.5f);
    waiting.OnUpdate(container);
    const float before = waiting.GetTime();
    Event_Key keyDown(Event_Base::Type_KeyDown, 32);
    waiting.HandleEvent(keyDown);
    EXPECT_FLOAT_EQ(waiting.GetTime(), before);
    int updates = 0;
    while (!secondDone && updates < 1000) {
        waiting.OnUpdate(container);
        ++updates;
    }
    EXPECT_NEAR(updates, 29, 1);
}

TEST_F(SplashFadeTest, AZeroFadeTimeShowsThePictureWithoutFading)
{
    SplashFadeListener listener(0.0f, 0.1f, &done);
    listener.OnUpdate(container);
    EXPECT_FLOAT_EQ(movie->GetOpacity(), 1.0f);
    const int updates = 1 + RunUntilDone(listener);
    EXPECT_LE(updates, 10);
    EXPECT_TRUE(done);
    EXPECT_TRUE(std::isfinite(movie->GetOpacity()));
}

TEST(SplashTimesTest, EmptyNegativeOrNonNumericTimesKeepTheDefaults)
{
    SplashTimes t = ParseSplashTimes(u"", u"");
    EXPECT_FLOAT_EQ(t.fadeTime, 0.5f);
    EXPECT_FLOAT_EQ(t.waitTime, 2.0f);
    t = ParseSplashTimes(u"1.25", u"0");
    EXPECT_FLOAT_EQ(t.fadeTime, 1.25f);
    EXPECT_FLOAT_EQ(t.waitTime, 0.0f);
    // A NaN wait would keep the splash up for ever; a negative one is meaningless.
    t = ParseSplashTimes(u"-1", u"nan");
    EXPECT_FLOAT_EQ(t.fadeTime, 0.5f);
    EXPECT_FLOAT_EQ(t.waitTime, 2.0f);
    t = ParseSplashTimes(u"soon", u"inf");
    EXPECT_FLOAT_EQ(t.fadeTime, 0.5f);
    EXPECT_FLOAT_EQ(t.waitTime, 2.0f);
}

GameSettings SplashSettings()
{
    GameSettings s;
    s.Title = u"Velvet Test";
    s.Width = 800;
    s.Height = 600;
    s.AllowFullscreen = 1;
    return s;
}

bool StoredPrefsExist()
{
    UserDataFolders store(u"Velvet Test", u"Velvet Test");
    SystemPrefs prefs{};
    return LoadSystemPrefs(
               store, [] { return static_cast<const XmlNode*>(nullptr); }, prefs) == PrefsSource::UserFile;
}

// Starts engines whose splash list is a file of the test's own, in a folder mounted beside the
// sample data when the splash screens begin.
class EngineSplashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QuillPlatform::ClearMessageQueue();
        UserDataFolders store(u"Velvet Test", u"Velvet Test");
        store.DeleteFile(kSystemPrefsName, true);
        folder = QuillTest::MakeTempDir("splash");
    }
    void TearDown() override
    {
        SetSplashListOverride(nullptr);
        QuillPlatform::ClearMessageQueue();
        std::filesystem::remove_all(folder);
    }

    void UseList(const std::string& xml, bool postQuit)
    {
        QuillTest::WriteFile(folder / "SplashTest.xml", xml);
        SetSplashListOverride([this, postQuit](EngineManager& engine) -> String {
            ++hookRuns;
            engine.GetFileManager()->AddSource(
                std::make_unique<FSLooseFiles>(FromUtf8(folder.string() + "/"), u"System"));
            if (postQuit)
                QuillPlatform::PostQuitMessage(0);
            return u"SplashTest.xml";
        });
    }

    std::filesystem::path folder;
    CountingGame game;
    int hookRuns = 0;
};

TEST_F(EngineSplashTest, QuitDuringASplashEndsStartUpBeforeTheGameAndShutsDownOnce)
{
    UseList("<SplashScreens>"
            "<Splash src=\"Pictures\\Splash.png\" fadetime=\"1\" waittime=\"30\"/>"
            "<Splash src=\"Pictures\\Splash.png\" fadetime=\"1\" waittime=\"30\"/>"
            "</SplashScreens>",
            true);
    EngineManager engine;
    EXPECT_EQ(engine.Run(SplashSettings(), &game), EngineManager::RunResult::StartFailed);
    EXPECT_EQ(hookRuns, 1);
    EXPECT_EQ(game.inits, 0);
    EXPECT_EQ(game.updates, 0);
    EXPECT_EQ(game.shutdowns, 0);
    EXPECT_EQ(game.teardowns, 1);
    EXPECT_EQ(engine.Renderer(), nullptr);
    EXPECT_EQ(engine.Window(), nullptr);
    EXPECT_FALSE(StoredPrefsExist());
    engine.Shutdown(); // idempotent
    EXPECT_EQ(game.teardowns, 1);
}

TEST_F(EngineSplashTest, ShownSplashesRunTheEngineWithoutGameUpdatesAndLeaveNothingBehind)
{
    // The entry without a source and the one whose picture is missing are skipped.
    UseList("<SplashScreens>"
            "<Splash fadetime=\"0\" waittime=\"0\"/>"
            "<Splash src=\"Pictures\\Missing.png\" fadetime=\"0\" waittime=\"60\"/>"
            "<Ignored src=\"Pictures\\Splash.png\" waittime=\"60\"/>"
            "<Splash src=\"Pictures\\Splash.png\" fadetime=\"0.05\" waittime=\"0.05\"/>"
            "</SplashScreens>",
            false);
    EngineManager engine;
    ASSERT_TRUE(engine.Init(SplashSettings(), &game));
    EXPECT_EQ(game.inits, 1);
    EXPECT_EQ(game.updates, 0);
    UserInterface* ui = engine.GetUserInterface();
    ASSERT_NE(ui, nullptr);
    EXPECT_GE(ui->Updates(), 5u); // the splash ran on engine steps
    EXPECT_EQ(ui->GetDefinitionLibrary()->GetDefinition(u"SplashScreen", -1), nullptr);
    ui->Update(); // the deleted container goes at the root's next update
    EXPECT_FALSE(ui->GetRoot()->HasChild(u"SplashScreenContainer"));
    engine.SaveAndShutdown();
    EXPECT_TRUE(StoredPrefsExist());
}

TEST_F(EngineSplashTest, AMissingListShowsNothing)
{
    SetSplashListOverride([this](EngineManager&) -> String {
        ++hookRuns;
        return u"NoSuchSplashList.xml";
    });
    EngineManager engine;
    ASSERT_TRUE(engine.Init(SplashSettings(), &game));
    EXPECT_EQ(hookRuns, 1);
    EXPECT_EQ(engine.GetUserInterface()->Updates(), 0u);
    engine.SaveAndShutdown();
}

} // namespace
