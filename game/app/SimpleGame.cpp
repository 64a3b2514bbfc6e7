#include "game/app/SimpleGame.h"

#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

#include "engine/core/EngineRand.h"
#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/render/RenderManager.h"
#include "game/app/Game.h"
#include "game/feedback/FeedbackReporter.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "platform/system/Process.h"
#include "platform/system/SafeFile.h"
#include "platform/window/Window.h"

using namespace QuillEngine;

const char16_t* const SimpleGame::kEffectFiles[12] = {
    u"hinthint.xml",   u"introEffect.xml",    u"hinttrail.xml", u"bouquet.xml",
    u"pinkFlower.xml", u"yellowFlower.xml",   u"collect.xml",   u"match.xml",
    u"explode.xml",    u"perfectcollect.xml", u"sparkle.xml",   u"foundsparkle.xml",
};

namespace {

// Checks a package's archive before it is mounted: a damaged or missing one is named to the
// player once, instead of a start that fails without a word. The loose folder of the same name
// stands in for a missing archive (as in a development tree). Runs in the program's folder.
bool PackageReadable(const char16_t* group, const char16_t* folder)
{
    const String archive = String(group) + u".dat";
    const std::string archivePath = QuillPlatform::ProgramFolder() + "/" + ToUtf8(archive);
    const QuillPlatform::PathKind kind = QuillPlatform::GetPathKind(ToUtf8(archive));
    std::string problem;
    if (kind == QuillPlatform::PathKind::Missing) {
        if (QuillPlatform::GetPathKind(ToUtf8(String(folder))) == QuillPlatform::PathKind::Folder)
            return true;
        problem = "is missing";
    } else {
        FSCompressedSource source(archive, group);
        if (source.Open() && source.EntryCount() > 0)
            return true;
        problem = kind == QuillPlatform::PathKind::Other ? "is damaged and cannot be read" : "cannot be opened";
    }
    QuillPlatform::ShowMessageBox("Critical Error", "The game's data file \"" + archivePath + "\" " + problem +
                                                        ". Please reinstall the game.");
    return false;
}

} // namespace

SimpleGame::SimpleGame(EngineManager* engine) : engine_(engine) {}

SimpleGame::~SimpleGame() = default;

int64_t SimpleGame::FilterMessage(uint32_t, uint64_t, int64_t, uint32_t, bool& handled)
{
    handled = false;
    return 0;
}

bool SimpleGame::Init()
{
    if (CRenderManager* renderer = engine_->Renderer()) {
        renderer->SetClearColor(0xFF606060);
        renderer->SetClearEnabled(true);
    }
    static const std::pair<const char16_t*, const char16_t*> kPackages[] = {
        {u"data", u"input"}, {u"ui", u"ui"}, {u"concentration", u"concentration"}};
    for (const auto& [group, folder] : kPackages) {
        if (!PackageReadable(group, folder) || !engine_->MountDataPackage(group, folder))
            return false;
    }
    if (ParticleManager* particles = engine_->GetParticleManager()) {
        for (const char16_t* file : kEffectFiles)
            particles->LoadEmitter(file);
    }
    Srand(static_cast<uint32_t>(std::time(nullptr)));
    Game::EngineLinks links;
    links.console = engine_->GetConsole();
    links.mountPackage = [engine = engine_](const String& group, const String& folder) {
        return engine->MountDataPackage(group, folder);
    };
    links.isFullscreen = [engine = engine_] { return engine->IsFullscreen(); };
    links.setFullscreen = [engine = engine_](bool on) { engine->SetFullscreen(on); };
    links.quit = [engine = engine_] { engine->Quit(); };
    links.customPointers = !engine_->UseSystemCursor();
    links.showMessage = [](const std::string& caption, const std::string& text) {
        QuillPlatform::ShowMessageBox(caption, text);
    };
    game_ = std::make_unique<Game>(std::move(links));
    FeedbackReporter::ReportGameEvent();
    return true;
}

bool SimpleGame::InitErrorReporting()
{
    // False (no client, or the client declined) makes the engine install its own crash handler.
    return FeedbackReporter::Start();
}

void SimpleGame::OnActivate()
{
    if (game_)
        game_->Resume();
}

void SimpleGame::OnDeactivate()
{
    if (game_)
        game_->Pause();
}

void SimpleGame::Shutdown()
{
    FeedbackReporter::ReportGameClosed();
    game_.reset();
}

void SimpleGame::OnTeardown()
{
    FeedbackReporter::ReportTeardown();
}

void SimpleGame::Update()
{
    if (!game_)
        return;
    // A save asked for during the step is written once the whole step is done.
    {
        ProfileMgr::UpdateScope step(*game_->GetProfileMgr());
        if (UIScreenMgr* screens = game_->GetScreenMgr())
            screens->Update();
        game_->Update();
    }
    TellDamagedData();
}

void SimpleGame::TellDamagedData()
{
    FileManager* files = engine_->GetFileManager();
    // Asked every step: only the entries met since the last one are copied (usually none).
    const std::vector<DamagedEntry> met = files ? files->DamagedEntriesAfter(damageSeen_) : std::vector<DamagedEntry>{};
    if (met.empty())
        return;
    damageSeen_ += met.size();
    // One message per archive, naming the entries of it met so far.
    std::vector<std::pair<std::string, std::string>> told; // archive path, entries
    for (const DamagedEntry& damage : met) {
        const std::string archive = ToUtf8(damage.archive);
        const std::string path =
            !archive.empty() && archive[0] == '/' ? archive : QuillPlatform::ProgramFolder() + "/" + archive;
        if (damagedArchivesTold_.count(path))
            continue;
        auto it = std::find_if(told.begin(), told.end(), [&](const auto& t) { return t.first == path; });
        if (it == told.end())
            it = told.insert(told.end(), {path, std::string()});
        it->second += (it->second.empty() ? "\"" : ", \"") + ToUtf8(damage.entry) + "\"";
    }
    const GameLinks& links = game_->Links();
    for (const auto& [path, entries] : told) {
        damagedArchivesTold_.insert(path);
        if (links.showMessage)
            links.showMessage("Velvet Aisle", "Part of the game's data file \"" + path +
                                                  "\" is damaged and cannot be read (" + entries +
                                                  "). The game goes on without it; installing the game "
                                                  "again restores it.");
    }
}

namespace VelvetAisle {

String BuildCommandLine(int argc, const char* const* argv)
{
    String line;
    for (int i = 1; i < argc; ++i) {
        const String piece = FromUtf8(argv[i]);
        if (i > 1)
            line += u' ';
        const bool quote = piece.empty() || piece.find_first_of(u" \t") != String::npos;
        if (!quote) {
            line += piece;
            continue;
        }
        line += u'"';
        for (char16_t c : piece) {
            if (c == u'"')
                line += u'\\';
            line += c;
        }
        line += u'"';
    }
    return line;
}

GameSettings MakeSettings(int argc, const char* const* argv)
{
    GameSettings s;
    s.Title = u"Velvet Aisle";
    s.IconId = 101;
    s.CommandLine = BuildCommandLine(argc, argv);
    s.HostWindow = 0;
    s.Width = 800;
    s.Height = 600;
    s.AllowFullscreen = 1;
    return s;
}

int RunGame(int argc, const char* const* argv)
{
    const GameSettings settings = MakeSettings(argc, argv);
    EngineManager::RunResult result;
    {
        auto engine = std::make_unique<EngineManager>();
        SimpleGame game(engine.get());
        result = engine->Run(settings, &game);
        engine.reset(); // the engine goes first, then the game object
    }
    switch (result) {
    case EngineManager::RunResult::QuitNormally:
    case EngineManager::RunResult::SecondCopy:
        return 0;
    case EngineManager::RunResult::StartFailed:
    default:
        return 1;
    }
}

} // namespace VelvetAisle
