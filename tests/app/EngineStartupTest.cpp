// Start-up and shutdown of the engine object with a real (offscreen) window.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/console/Console.h"
#include "engine/core/prefs/SystemPrefs.h"
#include "engine/core/prefs/UserData.h"
#include "engine/app/RenderWindow.h"
#include "platform/system/ProcessSignals.h"
#include "platform/system/SingleInstance.h"
#include "engine/core/files/FileManager.h"
#include "tests/app/EngineTestAccess.h"
#include "tests/support/TestEnvironment.h"

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
    EXPECT_FALSE(engine.UseSystemCursor()); // the sample engine.xml asks for the game's own pointers
    // Mounting a package imports the definitions its "libraries.xml" lists.
    const DefinitionLibrary* definitions = engine.GetUserInterface()->GetDefinitionLibrary();
    ASSERT_NE(definitions, nullptr);
    EXPECT_EQ(definitions->GetDefinition(u"CoinSpin", -1), nullptr);
    EXPECT_TRUE(engine.MountDataPackage(u"data", u"input"));
    EXPECT_NE(definitions->GetDefinition(u"CoinSpin", -1), nullptr);
    EXPECT_EQ(engine.AudioChannelCount(), 32u);

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

// Writes "System.prefs" as a previous run of the test game would have.
void StorePrefs(const SystemPrefs& prefs)
{
    UserDataFolders store(u"Velvet Test", u"Velvet Test");
    ASSERT_TRUE(SaveSystemPrefs(store, prefs));
}

SystemPrefs LoadStoredPrefs(bool& found)
{
    UserDataFolders store(u"Velvet Test", u"Velvet Test");
    SystemPrefs prefs{9, 9, 9, 9};
    found = LoadSystemPrefs(store, [] { return static_cast<const XmlNode*>(nullptr); }, prefs) == PrefsSource::UserFile;
    return prefs;
}

class EnginePrefsTest : public EngineStartupTest {
protected:
    void SetUp() override
    {
        EngineStartupTest::SetUp();
        UserDataFolders store(u"Velvet Test", u"Velvet Test");
        store.DeleteFile(kSystemPrefsName, true);
        store.DeleteFile(kWindowPrefsName, true);
    }
};

TEST_F(EnginePrefsTest, AllowFullscreenZeroBeatsStoredFullScreen)
{
    StorePrefs({1, 1, 0, 0});
    {
        EngineManager engine;
        GameSettings s = TestSettings();
        s.AllowFullscreen = 0;
        ASSERT_TRUE(engine.Init(s, &game));
        EXPECT_FALSE(engine.IsFullscreen());
        engine.SaveAndShutdown();
    }
    StorePrefs({1, 1, 0, 0});
    {
        EngineManager engine;
        ASSERT_TRUE(engine.Init(TestSettings(), &game));
        EXPECT_TRUE(engine.IsFullscreen());
        engine.SaveAndShutdown();
    }
}

TEST_F(EnginePrefsTest, DefaultsComeFromTheDataAndAreWrittenBackAtExit)
{
    bool softwareInUse = false;
    {
        EngineManager engine;
        ASSERT_TRUE(engine.Init(TestSettings(), &game));
        // The sample defaults ask for the automatic software check until the first save.
        EXPECT_EQ(engine.Prefs().AutoDetectSoftware, 1);
        EXPECT_EQ(engine.Prefs().AudioEnabled, 1);
        softwareInUse = engine.Renderer()->IsSoftwareDevice();
        engine.SaveAndShutdown();
    }
    bool found = false;
    const SystemPrefs saved = LoadStoredPrefs(found);
    ASSERT_TRUE(found);
    // What is written back is the live state, not what was read.
    EXPECT_EQ(saved.Fullscreen, 0);
    EXPECT_EQ(saved.AudioEnabled, 1);
    EXPECT_EQ(saved.SoftwareDevice, softwareInUse ? 1 : 0);
    EXPECT_EQ(saved.AutoDetectSoftware, 0);
}

TEST_F(EnginePrefsTest, NoPrefsAreWrittenWhenStartUpFails)
{
    game.initResult = false;
    EngineManager engine;
    ASSERT_FALSE(engine.Init(TestSettings(), &game));
    bool found = true;
    LoadStoredPrefs(found);
    EXPECT_FALSE(found);
}

TEST_F(EnginePrefsTest, AnAgreedCloseKeepsTheWindowPositionForTheNextStart)
{
    {
        EngineManager engine;
        ASSERT_TRUE(engine.Init(TestSettings(), &game));
        engine.Window()->Native().SetPosition(40, 30);
        int64_t result = 0;
        engine.Window()->HandleMessage({0, WM_CLOSE, 0, 0}, result);
        engine.SaveAndShutdown();
    }
    UserDataFolders store(u"Velvet Test", u"Velvet Test");
    int32_t x = -1, y = -1;
    ASSERT_TRUE(LoadWindowPosition(store, x, y));
    int32_t expectX = 0, expectY = 0;
    {
        // Where the window system actually put it is what must come back.
        EngineManager engine;
        ASSERT_TRUE(engine.Init(TestSettings(), &game));
        engine.Window()->Native().GetPosition(expectX, expectY);
        engine.SaveAndShutdown();
    }
    EXPECT_EQ(x, expectX);
    EXPECT_EQ(y, expectY);
}

TEST_F(EnginePrefsTest, AStoredPositionNoDisplayShowsIsReplacedByCentring)
{
    {
        UserDataFolders store(u"Velvet Test", u"Velvet Test");
        ASSERT_TRUE(SaveWindowPosition(store, 5000, 5000));
    }
    EngineManager engine;
    ASSERT_TRUE(engine.Init(TestSettings(), &game));
    int32_t x = 0, y = 0;
    engine.Window()->Native().GetPosition(x, y);
    const auto displays = EnumerateDisplays();
    ASSERT_FALSE(displays.empty());
    EXPECT_TRUE(MeetsAnyDisplay(displays, x, y, 800, 600));
    EXPECT_NE(x, 5000);
    engine.SaveAndShutdown();
}

TEST_F(EnginePrefsTest, ClosingInFullScreenKeepsTheWindowedPosition)
{
    EngineManager engine;
    ASSERT_TRUE(engine.Init(TestSettings(), &game));
    engine.Window()->Native().SetPosition(48, 36);
    int64_t result = 0;
    engine.Window()->HandleMessage({0, WM_SYSCOMMAND, SC_KEYMENU, 13}, result);
    ASSERT_TRUE(engine.IsFullscreen());
    engine.Window()->HandleMessage({0, WM_CLOSE, 0, 0}, result);
    engine.SaveAndShutdown();

    UserDataFolders store(u"Velvet Test", u"Velvet Test");
    int32_t x = -1, y = -1;
    ASSERT_TRUE(LoadWindowPosition(store, x, y));
    EXPECT_EQ(x, engine.WindowedX());
    EXPECT_EQ(y, engine.WindowedY());
    EXPECT_EQ(x, 48);   // not the display's corner
    EXPECT_EQ(y, 36);
}

TEST_F(EngineStartupTest, APackageMountsItsArchiveAndItsLooseFolder)
{
    EngineManager engine;
    ASSERT_TRUE(engine.Init(TestSettings(), &game));
    // The working folder is the program's folder now; a package that exists only as a folder.
    const std::filesystem::path folder = std::filesystem::current_path() / "pkgtest_loose";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    QuillTest::WriteFile(folder / "libraries.xml", "<libraries/>");
    EXPECT_TRUE(engine.MountDataPackage(u"pkgtest", u"pkgtest_loose"));
    EXPECT_FALSE(engine.MountDataPackage(u"nothing", u"nothing_here"));
    // Both packages stay mounted; every source is searched again afterwards.
    EXPECT_TRUE(engine.GetFileManager()->Exists(u"StringTable.xml"));
    std::filesystem::remove_all(folder);
    engine.SaveAndShutdown();
}

TEST_F(EngineStartupTest, TheConsoleExitCommandClosesThroughTheWindow)
{
    EngineManager engine;
    ASSERT_TRUE(engine.Init(TestSettings(), &game));
    ClearMessageQueue();
    engine.GetConsole()->Execute(u"exit", false);
    WindowMessage m;
    ASSERT_TRUE(PeekMessage(m, true));
    EXPECT_EQ(m.message, WM_CLOSE);
    EXPECT_EQ(m.windowId, engine.Window()->Native().Id());
    engine.SaveAndShutdown();
}

TEST_F(EngineStartupTest, TheConsoleReachesInstancesByPath)
{
    EngineManager engine;
    ASSERT_TRUE(engine.Init(TestSettings(), &game));
    Console& console = *engine.GetConsole();
    console.Execute(u"root.createempty tray", false);
    const size_t before = console.Output().size();
    console.Execute(u"root.list", false);
    bool listed = false;
    for (size_t i = before; i < console.Output().size(); ++i)
        listed = listed || console.Output()[i].find(u"tray") != String::npos;
    EXPECT_TRUE(listed);
    engine.SaveAndShutdown();
}

TEST_F(EngineStartupTest, TheTitleIsLocalisedThroughTheStringTable)
{
    EngineManager engine;
    GameSettings s = TestSettings();
    s.Title = u"|901|";   // an entry of the sample string table
    ASSERT_TRUE(engine.Init(s, &game));
    EXPECT_EQ(engine.WindowName(), u"Critical Error");
    engine.SaveAndShutdown();
}

} // namespace
