#include "engine/app/EngineManager.h"

#include "engine/core/audio/Audio.h"
#include "engine/core/console/Console.h"
#include "engine/graphics/canvas/RenderCanvas.h"
#include "engine/graphics/canvas/RenderCanvasManager.h"
#include "engine/graphics/console/ConsoleOverlay.h"
#include "engine/graphics/console/InstanceTreeOverlay.h"
#include "engine/core/CrashHandler.h"
#include "engine/core/EventScheduler.h"
#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/FrameTimer.h"
#include "engine/core/console/Logger.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/strings/StringTable.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/text/TextRenderer.h"
#include "engine/core/prefs/SystemPrefs.h"
#include "engine/core/prefs/UserData.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/app/PlayHarness.h"
#include "engine/app/RenderWindow.h"
#include "engine/app/ScriptBridge.h"
#include "engine/app/SplashScreens.h"
#include "engine/graphics/scene/InstanceCommands.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaMgr.h"
#include "platform/system/Clock.h"
#include "platform/system/Process.h"
#include "platform/system/ProcessSignals.h"
#include "platform/window/Window.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>

namespace QuillEngine {

namespace {

constexpr uint32_t kStrOutOfVideoMemory = 893;
constexpr uint32_t kStrTerminalSession = 897;
constexpr uint32_t kStrCriticalError = 901;

const char* const kTextOutOfVideoMemory =
    "Not enough available video memory. Please close any other graphically intensive applications that are "
    "running to free up memory, and then try running this game again.";
const char* const kTextTerminalSession =
    "You are running in a terminal services session, which is not supported.";
const char* const kTextCriticalError = "Critical Error";

constexpr int32_t kMaxStepsPerTick = 10;
constexpr uint32_t kPausedSleepMs = 200;

// An archive's path as the player finds it: relative paths are relative to the program's folder.
std::string DataFilePath(const std::string& folder, const String& archive)
{
    const std::string path = ToUtf8(archive);
    return !path.empty() && path[0] == '/' ? path : folder + "/" + path;
}

} // namespace

EngineManager::EngineManager() : sleep_(&QuillPlatform::SleepMilliseconds)
{
    s_instance = this;
}

EngineManager::~EngineManager()
{
    Shutdown();
    playHarness_.reset();
    if (s_instance == this)
        s_instance = nullptr;
}

EngineManager::RunResult EngineManager::Run(const GameSettings& settings, IQuillGame* game)
{
    switch (InitInternal(settings, game)) {
    case InitOutcome::Failed:
    case InitOutcome::QuitDuringSplash:
        return RunResult::StartFailed;
    case InitOutcome::SecondCopy:
        return RunResult::SecondCopy;
    case InitOutcome::Started:
        break;
    }
    PumpMessages();
    SaveAndShutdown();
    return RunResult::QuitNormally;
}

bool EngineManager::Init(const GameSettings& settings, IQuillGame* game)
{
    return InitInternal(settings, game) == InitOutcome::Started;
}

EngineManager::InitOutcome EngineManager::InitInternal(const GameSettings& settings, IQuillGame* game)
{
    settings_ = settings;
    std::unique_lock guard(lock_);
    shutDown_ = false;
    auto fail = [this] {
        ReportDamagedData();
        Shutdown();
        return InitOutcome::Failed;
    };

    // A scripted play run reads its variables before the working folder moves.
    std::string playError;
    playHarness_ = PlayHarness::FromEnvironment(playError);
    if (!playError.empty()) {
        std::fprintf(stderr, "%s\n", playError.c_str());
        return InitOutcome::Failed;
    }
    if (playHarness_ && playHarness_->FixedClock())
        sleep_ = &PlayHarness::NoSleep;

    // All relative paths are relative to the program's folder from here on.
    const std::string folder = QuillPlatform::ProgramFolder();
    if (!QuillPlatform::SetWorkingFolder(folder)) {
        std::fprintf(stderr, "Cannot find the program's folder.\n");
        return InitOutcome::Failed;
    }

    logger_ = std::make_unique<Logger>();

    if (QuillPlatform::IsRemoteSession()) {
        logger_.reset();
        ShowFatalMessage(kStrTerminalSession, kTextTerminalSession);
        return InitOutcome::Failed;
    }

    QuillPlatform::InstallNewHandler();
    QuillPlatform::InstallRequestSignals();

    game_ = game;
    if (!game_ || !game_->InitErrorReporting())
        CrashHandler::Install(&OnCrashCleanup);

    // Data: the archive first, then the loose folder, both in group "System".
    fileManager_ = std::make_unique<FileManager>();
    // Each damaged entry is named once, with its archive, whether or not the game can do without
    // it; a start that fails after meeting one names them all in its message.
    fileManager_->SetDamageReporter([folder](const DamagedEntry& damage) {
        std::fprintf(stderr, "The game's data file \"%s\" is damaged: its entry \"%s\" cannot be read (%s).\n",
                     DataFilePath(folder, damage.archive).c_str(), ToUtf8(damage.entry).c_str(),
                     damage.problem.c_str());
    });
    dataFolder_ = folder;
    fileManager_->AddSource(std::make_unique<FSCompressedSource>(u"data.dat", u"System"));
    fileManager_->AddSource(std::make_unique<FSLooseFiles>(u"input/", u"System"));

    xmlCache_ = std::make_unique<XmlCache>(fileManager_.get());

    stringTable_ = std::make_unique<StringTable>(xmlCache_.get());
    if (!stringTable_->Load())
        return fail();
    windowName_ = LocalizeTitle(settings_.Title);
    CrashHandler::SetWindowName(windowName_);

    // Single instance: a second copy brings the running one to the front and ends.
    const std::string lockName = "Quillon_" + ToUtf8(windowName_) + "_Singleton";
    switch (singleInstance_.Acquire(lockName)) {
    case QuillPlatform::SingleInstanceLock::Result::Acquired:
        break;
    case QuillPlatform::SingleInstanceLock::Result::AlreadyRunning:
        QuillPlatform::SingleInstanceLock::SignalOwnerToRaise(lockName);
        Shutdown();
        return InitOutcome::SecondCopy;
    case QuillPlatform::SingleInstanceLock::Result::Failed:
        return fail();
    }

    ReadEngineConfig();
    LoadPreferences();
    fullscreen_ = prefs_.Fullscreen != 0;

    // The script manager sits beside the input dispatcher, not above it: it reads the console and
    // the pointer through these links, asked at each use.
    LuaMgr::EngineLinks links;
    links.console = [this] { return console_.get(); };
    links.mouseX = [this] { return userInterface_ ? userInterface_->MouseX() : 0; };
    links.mouseY = [this] { return userInterface_ ? userInterface_->MouseY() : 0; };
    links.buttonDown = [this](int32_t button) { return userInterface_ && userInterface_->ButtonDown(button); };
    luaMgr_ = std::make_unique<LuaMgr>(std::move(links));
    luaMgr_->SetScriptErrorReporter(&QuillPlatform::ShowMessageBox);
    if (!luaMgr_->Init())
        return fail();
    userInterface_ = std::make_unique<UserInterface>();
    // Installed before the root exists, so that every instance gets its script table.
    scriptBridge_ = std::make_unique<ScriptBridge>();
    if (!userInterface_->CreateRoot())
        return fail();
    console_ = std::make_unique<Console>();
    console_->SetQuitRequest([this] { Quit(); });
    console_->SetRedrawRequest([this] {
        if (renderer_)
            renderer_->SetFrameDirty();
    });
    luaMgr_->RegisterGlobals();
    logger_->RegisterCommands(*console_);
    instanceCommands_ = std::make_unique<CInstanceCommands>(*userInterface_, *console_);
    userInterface_->SetInspector([this](const InstanceHandle& instance) {
        if (instanceCommands_)
            instanceCommands_->Inspect(instance);
    });
    userInterface_->SetScreenSize(settings_.Width, settings_.Height);
    userInterface_->SetCustomCursorAllowed(!useSystemCursor_);

    if (!CreateMainWindow())
        return fail();

    frameTimer_ = playHarness_ && playHarness_->FixedClock()
                      ? std::make_unique<FrameTimer>(&PlayHarness::Counter, PlayHarness::kFrequency)
                      : std::make_unique<FrameTimer>();
    frameTimer_->Init();

    resourceCache_ = std::make_unique<ResourceCache>();
    if (!resourceCache_->Init())
        return fail();

    if (settings_.AllowFullscreen == 0) {
        fullscreenForced_ = false;
        prefs_.Fullscreen = 0;
        fullscreen_ = false;
    }

    renderer_ = std::make_unique<CRenderManager>(game_);
    renderer_->SetDevicePreferences(prefs_.SoftwareDevice != 0, prefs_.AutoDetectSoftware != 0);
    renderer_->SetCommandLine(settings_.CommandLine);
    renderer_->SetWindowRemakeAllowed(true);
    if (playHarness_ && playHarness_->WholeFrames())
        renderer_->SetPartialRedraw(false);
    renderer_->SetOutOfVideoMemoryHandler([this] { ExitOutOfVideoMemory(); });
    renderer_->SetPauseQuery([this] { return paused_; });
    resourceCache_->SetFrameSource([this] { return renderer_ ? renderer_->FramesPresented() : 0u; });
    if (!renderer_->Init(&window_->Native(), prefs_.Fullscreen != 0))
        return fail();
    ReportUnreadFonts();

    // The console overlay draws into a canvas of the renderer's.
    consoleOverlay_ = std::make_unique<ConsoleOverlay>(
        *console_, *userInterface_,
        renderer_->GetCanvasManager() ? renderer_->GetCanvasManager()->CreateCanvas() : nullptr,
        static_cast<float>(settings_.Width), static_cast<float>(settings_.Height));
    consoleOverlay_->AddPage(std::make_unique<ConsoleLogPage>(*console_));
    consoleOverlay_->AddPage(std::make_unique<InstanceTreeOverlay>(
        *userInterface_, [this] { return frameTimer_ ? frameTimer_->GetTime() : 0.0f; }));

    window_->Native().Show();
    active_ = true;
    if (fullscreen_)
        window_->Native().SetFullscreenDesktop(true);

    audio_ = std::make_unique<Audio>(resourceCache_.get());
    if (!audio_->Init(audioChannelCount_))
        return fail();
    audio_->SetEnabled(prefs_.AudioEnabled != 0);
    audio_->RegisterCommands(*console_);

    scheduler_ = std::make_unique<EventScheduler>([this] { return frameTimer_ ? frameTimer_->GameTicks() : 0; });
    particleManager_ = std::make_unique<ParticleManager>();

    splashShowing_ = true;
    const bool quitDuringSplash = RunSplashScreens(*this);
    splashShowing_ = false;

    if (quitDuringSplash) {
        // No game start and no preferences written; what was brought up is still taken down.
        started_ = true;
        Shutdown();
        return InitOutcome::QuitDuringSplash;
    }

    gameInitRunning_ = true;
    const bool gameOk = game_ ? game_->Init() : true;
    gameInitRunning_ = false;
    if (!gameOk)
        return fail();

    started_ = true;
    guard.unlock();

    const String& cmd = settings_.CommandLine;
    static const String kStartScript = u"-startscript";
    if (cmd.compare(0, kStartScript.size(), kStartScript) == 0) {
        // Split at blanks without trimming: the second piece names the script.
        const size_t first = cmd.find(u' ');
        if (first != String::npos) {
            const size_t second = cmd.find(u' ', first + 1);
            const String script = cmd.substr(first + 1, second == String::npos ? String::npos : second - first - 1);
            if (luaMgr_)
                luaMgr_->DoFile(script);
        }
    }
    return InitOutcome::Started;
}

void EngineManager::ReadEngineConfig()
{
    // A missing file leaves every default in place. Only the presence of the first two
    // elements counts; the custom cursor is off unless the file asks for it.
    const XmlNode* config = xmlCache_ ? xmlCache_->Get(u"engine.xml") : nullptr;
    if (!config)
        return;
    pauseOnLostFocus_ = config->FindChild(u"PauseOnLostFocus") != nullptr;
    useSystemCursor_ = config->FindChild(u"HasCustomCursor") == nullptr;
    if (const XmlNode* channels = config->FindChild(u"AudioChannelCount"))
        audioChannelCount_ = ToUInt(channels->GetText());
}

void EngineManager::LoadPreferences()
{
    userData_ = std::make_unique<UserDataFolders>(windowName_, settings_.Title);
    userData_->SetNoticeFunction(&QuillPlatform::ShowMessageBox);
    LoadSystemPrefs(
        *userData_, [this]() -> const XmlNode* { return xmlCache_ ? xmlCache_->Get(kDefaultPrefsName) : nullptr; },
        prefs_);
}

bool EngineManager::LoadWindowPosition(int32_t& x, int32_t& y)
{
    return userData_ && QuillEngine::LoadWindowPosition(*userData_, x, y);
}

void EngineManager::SaveWindowPosition(int32_t x, int32_t y)
{
    if (userData_)
        QuillEngine::SaveWindowPosition(*userData_, x, y);
}

void EngineManager::OnCrashCleanup(int /*signalNumber*/)
{
    // Runs inside the fault handler, so only async-signal-safe work belongs here. The pointer is
    // never confined on this platform and the window server drops a capture with the process,
    // so nothing needs undoing.
}

bool EngineManager::CreateMainWindow()
{
    if (settings_.HostWindow != 0) {
        std::fprintf(stderr, "Drawing into a host window is not supported on this platform.\n");
        return false;
    }
    if (!QuillPlatform::InitVideo())
        return false;
    videoUp_ = true;
    window_ = std::make_unique<RenderWindow>(this);
    // A window made for OpenGL loads the GL driver (tens of megabytes, most of a cold start); the
    // software renderer draws without it. The renderer remakes the window if the choice changes.
    const bool software = SoftwareDeviceChosen(prefs_.SoftwareDevice != 0, settings_.CommandLine);
    if (!window_->Create(windowName_, settings_.Width, settings_.Height, !software))
        return false;
    window_->Native().SetLogicalSize(settings_.Width, settings_.Height);

    // A requested size that fills the whole display locks full screen on.
    int32_t x = 0, y = 0;
    window_->Native().GetPosition(x, y);
    for (const auto& d : QuillPlatform::EnumerateDisplays()) {
        if (x >= d.bounds.left && x < d.bounds.right && y >= d.bounds.top && y < d.bounds.bottom) {
            if (settings_.Width >= d.bounds.Width() && settings_.Height >= d.bounds.Height()) {
                fullscreenForced_ = true;
                prefs_.Fullscreen = 1;
                fullscreen_ = true;
            }
            break;
        }
    }
    window_->Native().GetPosition(windowedX_, windowedY_);
    return true;
}

void EngineManager::PumpMessages()
{
    QuillPlatform::WindowMessage msg;
    for (;;) {
        if (QuillPlatform::PeekMessage(msg, false)) {
            if (!QuillPlatform::GetMessage(msg))
                break;
            QuillPlatform::DispatchMessage(msg);
            // Input and window changes (exposure, size, focus) are worth a fresh frame.
            if (renderer_)
                renderer_->SetFrameDirty();
        } else {
            Tick(true);
        }
    }
}

void EngineManager::Tick(bool allowGameUpdate)
{
    std::unique_lock guard(lock_);
    if (playHarness_ && playHarness_->BeforeTick(*this))
        return;
    if (paused_) {
        guard.unlock();
        sleep_(kPausedSleepMs);
        return;
    }
    if (renderer_ && !(renderer_->GetDeviceState() & CRenderManager::kStateReady))
        renderer_->RenderFrame(true);

    const bool minimised = window_ && window_->Native().IsMinimized();
    if (minimised || (pauseOnLostFocus_ && !active_)) {
        if (audio_)
            audio_->MuteAll(true);
        guard.unlock();
        sleep_(1);
        return;
    }

    if (audio_)
        audio_->MuteAll(false);
    int32_t steps = 0;
    if (frameTimer_) {
        frameTimer_->Poll();
        while (frameTimer_->Due() && steps < kMaxStepsPerTick &&
               !(renderer_ && (renderer_->GetDeviceState() & CRenderManager::kStateLost))) {
            if (scheduler_)
                scheduler_->Update();
            if (userInterface_)
                userInterface_->Update();
            if (allowGameUpdate && game_)
                game_->Update();
            if (audio_)
                audio_->Update();
            if (userInterface_)
                userInterface_->FinishStep();
            ++steps;
            frameTimer_->Poll();
        }
    }
    if (steps > 0) {
        // A scene at rest is not drawn again (but now and then); a scripted play run keeps its own
        // rhythm of frames so that every run draws the same ones, unless told to leave it to these rules.
        const bool draw = playHarness_ && playHarness_->KeepsFrameRhythm() ? playHarness_->DrawsFrame()
                                                                           : renderer_ && renderer_->WantsFrame(steps);
        if (renderer_ && draw)
            renderer_->RenderFrame(true);
        return;
    }
    // Nothing is due: sleep until the next step rather than waking every millisecond, which
    // alone cost a resting game a few percent of a core. Input arriving meanwhile is read before
    // that step, the first moment it could change anything.
    const uint32_t untilDue = frameTimer_ ? frameTimer_->MillisecondsUntilDue() : 1;
    guard.unlock();
    sleep_(std::max(untilDue, 1u));
}

void EngineManager::SaveAndShutdown()
{
    {
        std::lock_guard guard(lock_);
        if (audio_)
            prefs_.AudioEnabled = audio_->IsEnabled() ? 1 : 0;
        if (renderer_) {
            prefs_.Fullscreen = renderer_->IsWindowed() ? 0 : 1;
            prefs_.SoftwareDevice = renderer_->IsSoftwareDevice() ? 1 : 0;
        }
        prefs_.AutoDetectSoftware = 0;
        if (userData_)
            SaveSystemPrefs(*userData_, prefs_);
        if (game_)
            game_->Shutdown();
    }
    Shutdown();
}

void EngineManager::Shutdown()
{
    std::lock_guard guard(lock_);
    if (shutDown_)
        return;
    shutDown_ = true;

    stringTable_.reset();
    instanceCommands_.reset();
    consoleOverlay_.reset(); // its canvas goes before the renderer, its filters before the scene
    userInterface_.reset();
    scriptBridge_.reset();
    luaMgr_.reset();
    particleManager_.reset();
    frameTimer_.reset();
    renderer_.reset();
    scheduler_.reset();
    audio_.reset();
    resourceCache_.reset();
    xmlCache_.reset();
    fileManager_.reset();
    userData_.reset();

    if (window_ && window_->IsLive())
        window_->Native().Hide();
    if (game_)
        game_->OnTeardown();
    if (window_ && window_->IsLive())
        window_->Native().Destroy();
    window_.reset();
    if (videoUp_) {
        QuillPlatform::QuitVideo();
        videoUp_ = false;
    }
    game_ = nullptr;
    if (logger_ && console_)
        logger_->UnregisterCommands(*console_);
    logger_.reset();
    console_.reset();
    singleInstance_.Release();
}

void EngineManager::SetFullscreen(bool on)
{
    std::lock_guard guard(lock_);
    if (fullscreenForced_ || on == fullscreen_ || !window_)
        return;
    QuillPlatform::Window& w = window_->Native();
    fullscreen_ = on;
    if (on) {
        w.GetPosition(windowedX_, windowedY_);
        if (renderer_)
            renderer_->ApplyDisplayMode(true);
        w.SetFullscreenDesktop(true);
    } else {
        if (renderer_)
            renderer_->ApplyDisplayMode(false);
        w.SetFullscreenDesktop(false);
        w.SetClientSize(settings_.Width, settings_.Height);
        w.SetPosition(windowedX_, windowedY_);
    }
    if (frameTimer_)
        frameTimer_->Resync();
}

void EngineManager::Quit()
{
    if (window_ && window_->IsLive())
        QuillPlatform::PostMessage(window_->Native().Id(), QuillPlatform::WM_CLOSE);
}

void EngineManager::OnActivate()
{
    std::lock_guard guard(lock_);
    paused_ = false;
    if (QuillPlatform::IsRemoteSession()) {
        ShowFatalMessage(kStrTerminalSession, kTextTerminalSession);
        std::_Exit(EXIT_FAILURE);
    }
    if (!active_ && renderer_ && renderer_->GetDeviceState() != 0) {
        renderer_->SetFrameDirty();
        renderer_->RenderFrame(true);
        if (!renderer_->IsReady())
            renderer_->RenderFrame(true);
        if (frameTimer_)
            frameTimer_->Resync();
        if (game_)
            game_->OnActivate();
    }
    active_ = true;
}

void EngineManager::OnDeactivate()
{
    std::lock_guard guard(lock_);
    if (active_) {
        if (renderer_ && renderer_->GetDeviceState() != 0 && game_)
            game_->OnDeactivate();
        if (userInterface_)
            userInterface_->ReleaseButtons();
    }
    active_ = false;
}

void EngineManager::ExitOutOfVideoMemory()
{
    ShowFatalMessage(kStrOutOfVideoMemory, kTextOutOfVideoMemory);
    std::_Exit(kExitOutOfVideoMemory);
}

void EngineManager::ReportUnreadFonts() const
{
    const TextRenderer* text = renderer_ ? renderer_->GetTextRenderer() : nullptr;
    const FontManager* fonts = text ? text->GetFontManager() : nullptr;
    if (!fonts || fonts->UnreadFiles().empty())
        return;
    // One message: each file that could not be read, then which face stands in for which.
    std::string message;
    for (const String& file : fonts->UnreadFiles())
        message += "The font \"" + ToUtf8(String(FontManager::kFontFolder) + file) + "\" named in \"" +
                   ToUtf8(FontManager::kConfigFile) + "\" is missing or damaged. ";
    const auto faceName = [](const FontDescriptor& face) {
        return "\"" + ToUtf8(face.name) + (face.bold ? " Bold" : "") + (face.italic ? " Italic" : "") + "\"";
    };
    std::string shown, hidden;
    for (const FontReplacement& r : fonts->Replacements()) {
        if (r.face)
            shown += (shown.empty() ? "" : "; ") + std::string("text set in ") + faceName(r.wanted) + " is shown in " +
                     faceName(r.used) + " instead";
        else
            hidden += (hidden.empty() ? "" : ", ") + faceName(r.wanted);
    }
    if (!shown.empty())
        message += "The game goes on: " + shown + ".";
    if (!hidden.empty())
        message += (shown.empty() ? "" : " ") + std::string("The game goes on, but text set in ") + hidden +
                   " is not shown: no other face could be read.";
    if (shown.empty() && hidden.empty())
        message += "The game goes on without it.";
    QuillPlatform::ShowMessageBox("Font Error", message);
}

bool EngineManager::MountDataPackage(const String& group, const String& folder)
{
    std::lock_guard guard(lock_);
    if (!fileManager_)
        return false;
    fileManager_->RemoveGroup(group);
    fileManager_->AddSource(std::make_unique<FSCompressedSource>(AddDefaultExtension(group), group));
    fileManager_->AddSource(std::make_unique<FSLooseFiles>(folder + u"/", group));
    fileManager_->SelectGroup(group);
    if (folder == u"input" && audio_)
        audio_->LoadDefinitions();
    // Read "libraries.xml" afresh from this package and import the definition files it lists.
    // The import drops each listed file from the cache, which may include this very document:
    // it is not touched afterwards.
    xmlCache_->Unload(u"libraries.xml");
    XmlNode* libraries = xmlCache_->Get(u"libraries.xml");
    const bool found = libraries != nullptr;
    DefinitionLibrary* definitions = userInterface_ ? userInterface_->GetDefinitionLibrary() : nullptr;
    if (libraries && definitions)
        definitions->ImportLibraries(*xmlCache_, *libraries, console_.get());
    fileManager_->ClearActive();
    return found;
}

void EngineManager::ReportDamagedData()
{
    if (!fileManager_)
        return;
    const std::vector<DamagedEntry> damaged = fileManager_->DamagedEntries();
    if (damaged.empty())
        return;
    // One message for the failed start, naming every damaged entry under its archive.
    std::string text = "The game cannot start because its data is damaged.";
    std::vector<String> archives;
    for (const DamagedEntry& d : damaged) {
        if (std::find(archives.begin(), archives.end(), d.archive) == archives.end())
            archives.push_back(d.archive);
    }
    for (const String& archive : archives) {
        text += " In \"" + DataFilePath(dataFolder_, archive) + "\" these entries cannot be read:";
        const char* separator = " ";
        for (const DamagedEntry& d : damaged) {
            if (d.archive != archive)
                continue;
            text += separator + ("\"" + ToUtf8(d.entry) + "\"");
            separator = ", ";
        }
        text += ".";
    }
    text += " Please reinstall the game.";
    QuillPlatform::ShowMessageBox(ToUtf8(MessageText(kStrCriticalError, kTextCriticalError)), text);
}

String EngineManager::MessageText(uint32_t id, const char* fallback) const
{
    // The data's text when the table has it; the built-in text before the table is loaded.
    if (stringTable_) {
        const String& text = stringTable_->Get(id);
        if (!text.empty())
            return text;
    }
    return FromUtf8(fallback);
}

void EngineManager::ShowFatalMessage(uint32_t textId, const char* fallbackText)
{
    QuillPlatform::ShowMessageBox(ToUtf8(MessageText(kStrCriticalError, kTextCriticalError)),
                                  ToUtf8(MessageText(textId, fallbackText)));
}

} // namespace QuillEngine
