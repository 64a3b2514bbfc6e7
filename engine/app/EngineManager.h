#pragma once
// The engine object: brings every engine service up in a fixed order, runs the single-threaded
// main loop (message pump plus fixed 60 Hz steps) and takes everything down in a fixed order.

#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/core/strings/EngineString.h"
#include "engine/core/GameSettings.h"
#include "engine/core/IQuillGame.h"
#include "platform/system/SingleInstance.h"

namespace QuillEngine {

class Audio;
class Console;
class CInstanceCommands;
class ConsoleOverlay;
class CRenderManager;
class EventScheduler;
class FileManager;
class FrameTimer;
class Logger;
class LuaMgr;
class PlayHarness;
class ScriptBridge;
class ParticleManager;
class RenderWindow;
class ResourceCache;
class StringTable;
class UserDataFolders;
class UserInterface;
class XmlCache;

class EngineManager {
public:
    enum class RunResult {
        QuitNormally,   // the main loop ran and ended with the quit message
        StartFailed,    // start-up refused or failed (or was quit during the splash screens)
        SecondCopy,     // another copy runs; it was brought to the front
    };

    // Exit statuses of the paths that end the process from inside the engine.
    static constexpr int kExitOutOfVideoMemory = 2;

    EngineManager();
    ~EngineManager();
    EngineManager(const EngineManager&) = delete;
    EngineManager& operator=(const EngineManager&) = delete;

    static EngineManager* Instance() { return s_instance; }

    RunResult Run(const GameSettings& settings, IQuillGame* game);
    bool Init(const GameSettings& settings, IQuillGame* game);
    void PumpMessages();
    void Tick(bool allowGameUpdate);
    void SaveAndShutdown();
    // Deletes every service in the fixed order; safe to call more than once.
    void Shutdown();

    bool IsFullscreen() const { return fullscreen_; }
    void SetFullscreen(bool on);
    void Quit();
    void SetPaused(bool paused) { paused_ = paused; }
    bool IsPaused() const { return paused_; }
    void OnActivate();
    void OnDeactivate();
    [[noreturn]] void ExitOutOfVideoMemory();
    bool MountDataPackage(const String& group, const String& folder);

    // Window placement kept in "Window.prefs".
    bool LoadWindowPosition(int32_t& x, int32_t& y);
    void SaveWindowPosition(int32_t x, int32_t y);

    // Accessors.
    IQuillGame* Game() const { return game_; }
    CRenderManager* Renderer() const { return renderer_.get(); }
    UserInterface* GetUserInterface() const { return userInterface_.get(); }
    FileManager* GetFileManager() const { return fileManager_.get(); }
    XmlCache* GetXmlCache() const { return xmlCache_.get(); }
    StringTable* GetStringTable() const { return stringTable_.get(); }
    UserDataFolders* GetUserData() const { return userData_.get(); }
    Console* GetConsole() const { return console_.get(); }
    EventScheduler* GetScheduler() const { return scheduler_.get(); }
    FrameTimer* GetFrameTimer() const { return frameTimer_.get(); }
    Audio* GetAudio() const { return audio_.get(); }
    ParticleManager* GetParticleManager() const { return particleManager_.get(); }
    RenderWindow* Window() const { return window_.get(); }
    const GameSettings& Settings() const { return settings_; }
    const SystemPrefs& Prefs() const { return prefs_; }
    const String& WindowName() const { return windowName_; }
    bool Started() const { return started_; }
    bool SplashShowing() const { return splashShowing_; }
    bool GameInitRunning() const { return gameInitRunning_; }
    bool UseSystemCursor() const { return useSystemCursor_; }
    bool PauseOnLostFocus() const { return pauseOnLostFocus_; }
    uint32_t AudioChannelCount() const { return audioChannelCount_; }
    bool Active() const { return active_; }
    bool FullscreenForced() const { return fullscreenForced_; }
    int32_t WindowedX() const { return windowedX_; }
    int32_t WindowedY() const { return windowedY_; }
    std::recursive_mutex& Lock() { return lock_; }

    using SleepFn = void (*)(uint32_t ms);
    // Tests replace the sleeps of the main loop.
    void SetSleepFunction(SleepFn fn) { sleep_ = fn; }

private:
    friend struct EngineManagerTestAccess;

    enum class InitOutcome { Started, Failed, SecondCopy, QuitDuringSplash };
    InitOutcome InitInternal(const GameSettings& settings, IQuillGame* game);
    void ReadEngineConfig();
    void LoadPreferences();
    // One message per font file the font configuration names but could not load.
    void ReportUnreadFonts() const;
    bool CreateMainWindow();
    void ShowFatalMessage(uint32_t textId, const char* fallbackText);
    // When a start fails after damaged data entries were met: one message naming them all.
    void ReportDamagedData();
    String MessageText(uint32_t id, const char* fallback) const;
    static void OnCrashCleanup(int signalNumber);

    static inline EngineManager* s_instance = nullptr;

    std::unique_ptr<UserInterface> userInterface_;
    std::unique_ptr<ResourceCache> resourceCache_;
    std::unique_ptr<CRenderManager> renderer_;
    std::unique_ptr<XmlCache> xmlCache_;
    std::unique_ptr<Audio> audio_;
    std::unique_ptr<FileManager> fileManager_;
    std::string dataFolder_; // the program's folder, where relative archive paths start
    IQuillGame* game_ = nullptr;
    std::unique_ptr<FrameTimer> frameTimer_;
    std::unique_ptr<EventScheduler> scheduler_;
    std::unique_ptr<LuaMgr> luaMgr_;
    std::unique_ptr<ScriptBridge> scriptBridge_;
    std::unique_ptr<Logger> logger_;
    std::unique_ptr<UserDataFolders> userData_;
    std::unique_ptr<ParticleManager> particleManager_;
    std::unique_ptr<StringTable> stringTable_;
    std::unique_ptr<RenderWindow> window_;
    std::unique_ptr<Console> console_;
    std::unique_ptr<CInstanceCommands> instanceCommands_;
    std::unique_ptr<ConsoleOverlay> consoleOverlay_;
    QuillPlatform::SingleInstanceLock singleInstance_;
    // Test support: scripted play runs (inert unless its environment variables are set).
    std::unique_ptr<PlayHarness> playHarness_;

    bool pauseOnLostFocus_ = false;
    bool useSystemCursor_ = true;
    uint32_t audioChannelCount_ = 16;
    bool paused_ = false;
    bool gameInitRunning_ = false;
    bool started_ = false;
    bool splashShowing_ = false;
    bool fullscreen_ = false;
    int32_t windowedX_ = 0, windowedY_ = 0;
    String windowName_;
    bool active_ = false;
    bool fullscreenForced_ = false;
    bool shutDown_ = false;
    bool videoUp_ = false;
    std::recursive_mutex lock_;
    GameSettings settings_;
    SystemPrefs prefs_;
    SleepFn sleep_;
};

} // namespace QuillEngine
