// The whole game's speed and memory as a player pays them, measured on this machine:
//  start_soft_ms, start_gl_ms - a cold start of a process to the first drawn frame of the album,
//             median of 10 starts, under a private X server (Xvfb) with each back end. The
//             opening card's own four seconds are left out: the started process goes to the album
//             as soon as the engine is up. The X screen is 1280x1024, so the 800x600 window
//             stays a window;
//  load_ms  - from the click that enters a scene to its first drawn frame, median over every scene
//             package, each load cold (the scene's pictures unloaded before it), soft back end;
//  frame_ms, frame_p99_ms, particles - a frame of the busiest board (the one with the most items,
//             all shown) while three bursts of the item-found effect are fired again every 20
//             frames, soft back end, median and 99th percentile of 600 (each drawn where it changed,
//             as the player's are; the median of frames drawn whole is printed before the result);
//             `particles` is the median number of particles alive in a measured frame;
//  rss_soft_mb, rss_gl_mb - the resident set of the real program resting on the album under Xvfb,
//             each back end in its own process;
//  growth_mb - resident set growth over 100 board loads and unloads across every scene, counted
//             after the first 5;
//  save_ms  - writing "velv.save" with 8 players, file synced to the disk, median of 20;
//  idle_cpu_pct - the real program resting on the album (soft back end): its CPU time over 4 s of
//             wall time, in percent of one core;
//  board_rest_soft_pct, board_rest_gl_pct - the same over 20 s for the real program resting on
//             the first scene's board (reached by the play harness's clicks, then left to itself:
//             only its clock moves), each back end;
//  glow_soft_pct, glow_gl_pct - the same over 20 s resting on the album page whose photo glows;
//  gl_frame_ms, gl_floor_ms - the frames of frame_ms drawn whole on the gl back end under Xvfb
//             with Mesa's rasteriser in one thread (LP_NUM_THREADS=0), median of 400 to the end of
//             the swap; and the same frames, recorded draw by draw, drawn by the minimal OpenGL
//             program of GlFloor.h in the same run (the floor). Their ratio is the gl device's
//             cost over the least OpenGL needs for the same pictures.
// A figure that cannot be measured here is printed as -1 with the reason on stderr. Ends with one
// RESULT line.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <SDL.h>

#include "engine/app/EngineManager.h"
#include "engine/core/CrashHandler.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "game/app/Game.h"
#include "game/app/SimpleGame.h"
#include "game/board/Board.h"
#include "game/board/Item.h"
#include "game/book/Book.h"
#include "game/book/LevelCatalogue.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "platform/process/VirtualDisplay.h"
#include "platform/system/Process.h"
#include "platform/window/Window.h"
#include "tests/game/play/PlayData.h"
#include "tests/support/TestEnvironment.h"
#include "tools/BenchGameSupport.h"
#include "tools/GlFloor.h"

extern char** environ;

using namespace QuillEngine;
using namespace BenchGame;
namespace fs = std::filesystem;

namespace {

// This process's resident set (VmRSS), in megabytes.
double ResidentMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return -1.0;
}

// A private home, so that no player's files are touched.
fs::path PrivateHome(const char* name)
{
    const fs::path home = fs::temp_directory_path() / (std::string(name) + "-" + std::to_string(::getpid()));
    fs::create_directories(home / "data");
    fs::create_directories(home / "config");
    return home;
}

std::vector<std::string> Environment(const fs::path& home, const std::string& display)
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_", 0) != 0 && entry.rfind("SDL_", 0) != 0 &&
            entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("QUILL_", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("HOME=" + home.string());
    env.push_back("XDG_DATA_HOME=" + (home / "data").string());
    env.push_back("XDG_CONFIG_HOME=" + (home / "config").string());
    env.push_back("SDL_AUDIODRIVER=dummy");
    if (display.empty()) {
        env.push_back("SDL_VIDEODRIVER=offscreen");
    } else {
        env.push_back("SDL_VIDEODRIVER=x11");
        env.push_back("DISPLAY=" + display);
    }
    return env;
}

// Starts `args` with `env`; its standard output goes to `out` (a descriptor) or nowhere, its
// errors nowhere or to ours.
pid_t Spawn(std::vector<std::string> args, std::vector<std::string> env, int out = -1, bool keepErrors = false)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (!keepErrors)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const pid_t pid = QuillTest::Spawn(std::move(args), std::move(env), &actions);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

struct Engine {
    std::unique_ptr<EngineManager> engine = std::make_unique<EngineManager>();
    std::unique_ptr<SimpleGame> simple;
    bool Start(bool software)
    {
        std::vector<const char*> arguments{"VelvetAisle"};
        if (software)
            arguments.push_back("-software");
        const GameSettings settings = VelvetAisle::MakeSettings(static_cast<int>(arguments.size()), arguments.data());
        simple = std::make_unique<SimpleGame>(engine.get());
        return engine->Init(settings, simple.get()) && simple->GetGame();
    }
    void Frame()
    {
        engine->GetUserInterface()->Update();
        simple->Update();
        engine->GetUserInterface()->FinishStep();
        engine->Renderer()->RenderFrame(true);
    }
};

// The child of a start measurement: the engine comes up and goes to the album; once a frame has
// been drawn with the album loaded (its pages are bound before that frame is drawn), the child
// says "ready" on standard output and leaves at once.
int StartOnce(bool software)
{
    Engine e;
    if (!e.Start(software))
        return 1;
    Game& game = *e.simple->GetGame();
    game.SetState(GameState_Book);
    for (int i = 0; i < 20; ++i) {
        e.Frame();
        if (game.GetBook() && game.GetBook()->GetState() != 0) {
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
            std::_Exit(0);
        }
    }
    return 1;
}

double StartMs(const std::string& self, const std::string& display, bool software)
{
    std::vector<double> starts;
    for (int i = 0; i < 10; ++i) {
        const fs::path home = PrivateHome("bench_game-start");
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return -1.0;
        const auto t0 = Clock::now();
        const pid_t pid = Spawn({self, "--start", software ? "soft" : "gl"}, Environment(home, display), pipeEnds[1]);
        close(pipeEnds[1]);
        char buffer[16] = {};
        const ssize_t got = pid > 0 ? read(pipeEnds[0], buffer, sizeof buffer - 1) : -1;
        const auto t1 = Clock::now();
        close(pipeEnds[0]);
        if (pid > 0)
            waitpid(pid, nullptr, 0);
        fs::remove_all(home);
        if (got <= 0 || std::strncmp(buffer, "ready", 5) != 0)
            return -1.0;
        starts.push_back(Ms(t0, t1));
    }
    return Median(starts);
}

// CPU time (user + system) of a process, in seconds, from /proc.
double ProcessCpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1.0;
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < text.size()) {
        const size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        if (space == std::string::npos)
            break;
        at = space + 1;
    }
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    if (fields.size() < 13)
        return -1.0;
    return (std::stod(fields[11]) + std::stod(fields[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The resident set of a process (VmRSS), in megabytes; -1 when it cannot be read.
double ProcessResidentMb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return -1.0;
}

struct Rest {
    double cpuPct = -1.0, rssMb = -1.0;
};

// The real program at rest under Xvfb: its CPU share over `seconds` and its resident set then.
// Without a script it rests where it comes up, on the album's letter, after the opening card and
// its fade (about five seconds). With one, the play harness clicks its way on the fixed clock and
// says "live" when the run goes on as a player's; the measurement starts two seconds later.
Rest RestingProgram(const fs::path& program, const std::string& display, bool software, const std::string& script,
                    int seconds)
{
    Rest out;
    const fs::path home = PrivateHome("bench_game-rest");
    std::vector<std::string> env = Environment(home, display);
    if (!script.empty()) {
        std::ofstream(home / "rest.play") << script;
        env.push_back("QUILL_PLAY_SCRIPT=" + (home / "rest.play").string());
    }
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return out;
    std::vector<std::string> args{program.string()};
    if (software)
        args.push_back("-software");
    const pid_t pid = Spawn(args, env, pipeEnds[1]);
    close(pipeEnds[1]);
    bool ready = pid > 0 && script.empty();
    if (pid > 0 && !script.empty()) {
        std::string said;
        char buffer[256];
        ssize_t got = 0;
        while (!ready && (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
            said.append(buffer, static_cast<size_t>(got));
            ready = said.find("live\n") != std::string::npos;
        }
    }
    if (ready) {
        std::this_thread::sleep_for(std::chrono::seconds(script.empty() ? 7 : 2));
        const double cpu0 = ProcessCpuSeconds(pid);
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double cpu1 = ProcessCpuSeconds(pid);
        const double wall = Ms(t0, Clock::now()) / 1000.0;
        out.rssMb = ProcessResidentMb(pid);
        if (cpu0 >= 0 && cpu1 >= 0)
            out.cpuPct = 100.0 * (cpu1 - cpu0) / wall;
    } else {
        std::fprintf(stderr, "bench_game: the program did not come to rest (%s)\n",
                     script.empty() ? "album" : "script");
    }
    close(pipeEnds[0]);
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    fs::remove_all(home);
    return out;
}

// The play harness's clicks from a new player's start to the album page whose photo glows (the
// first photo, ready to play), then live.
std::string ToGlowingPhoto()
{
    std::string script = PlayData::AlbumToFirstScene();
    if (script.empty())
        return {};
    // Everything up to the photo's click; the page has turned and its tutorial is closed.
    script = script.substr(0, script.find("at " + std::to_string(PlayData::kPhotoClick) + " "));
    return script + "at " + std::to_string(PlayData::kPhotoClick) + " live\n";
}

// The same to the first scene's board, its tutorial closed, then live.
std::string ToRestingBoard()
{
    const std::string album = PlayData::AlbumToFirstScene();
    const auto screens = PlayData::ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    if (album.empty() || !screens)
        return {};
    const PlayData::Placement ok = PlayData::ChildPlacements(*screens, u"Game_RegistryIntroDialog")["okButton"];
    return album +
           PlayData::ClickAt(PlayData::kFirstSceneOpen, static_cast<int>(ok.x) + 20, static_cast<int>(ok.y) + 20) +
           "at " + std::to_string(PlayData::kFirstSceneOpen + 60) + " live\n";
}

// Readies the first player for boards (album page, no tutorials) and mounts every scene package
// of the catalogue; the names of the scenes mounted.
std::vector<std::string> MountScenes(Game& game)
{
    ProfileMgr& profiles = *game.GetProfileMgr();
    Profile* profile = profiles.CurrentProfile();
    std::vector<CataloguePhoto> photos;
    LevelCatalogue::LoadFile(profiles, photos);
    profile->page = 2;
    for (int i = 0; i < TutorialFlags::kCount; ++i)
        profile->tutorial.Set(i, false);
    std::vector<std::string> scenes;
    for (const CataloguePhoto& photo : photos) {
        const std::string scene = ToUtf8(photo.scene);
        if (!photo.miniGame && std::find(scenes.begin(), scenes.end(), scene) == scenes.end() &&
            game.MountPackageOnce(photo.scene))
            scenes.push_back(scene);
    }
    return scenes;
}

// The scene's board on screen with every item shown.
std::unique_ptr<Board> ShowBoard(Engine& e, const std::string& scene)
{
    Game& game = *e.simple->GetGame();
    auto board = std::make_unique<Board>(nullptr, &game, 1, FromUtf8(scene), u"Environment1");
    game.SetBoard(board.get());
    game.SetState(GameState_Board);
    e.Frame();
    for (const auto& item : board->Items())
        item->GetInstance().SetVisible(true);
    return board;
}

// Three bursts of the item-found effect: the effect's file, then the name of its definition
// ("Collect", names are read in any case).
void FireBursts(Board& board)
{
    if (Instance_Movie* scene = HandleEx::ResolveMovie(board.Scene())) {
        for (int i = 0; i < 3; ++i)
            scene->CreateParticleEmitter(u"collect.xml", u"collect", 250 + 200 * i, 300);
    }
}

struct InProcess {
    double loadMs = -1, frameMs = -1, frameP99Ms = -1, particles = -1, growthMb = -1, saveMs = -1;
    size_t scenes = 0;
    std::string busiest;
};

InProcess MeasureInProcess()
{
    InProcess out;
    Engine e;
    if (!e.Start(true)) {
        std::fprintf(stderr, "bench_game: the engine did not start\n");
        return out;
    }
    Game& game = *e.simple->GetGame();
    ProfileMgr& profiles = *game.GetProfileMgr();
    const std::vector<std::string> scenes = MountScenes(game);
    out.scenes = scenes.size();
    ResourceCache* cache = ResourceCache::Instance();

    // One cold load of every scene; then 100 loads across them for the memory they leave behind.
    std::vector<double> loads;
    double rssAfterFive = -1;
    std::string busiest;
    size_t mostItems = 0;
    for (int i = 0; i < 105; ++i) {
        const std::string& scene = scenes[static_cast<size_t>(i) % scenes.size()];
        auto board = std::make_unique<Board>(nullptr, &game, 1, FromUtf8(scene), u"Environment1");
        const auto t0 = Clock::now();
        game.SetBoard(board.get());
        game.SetState(GameState_Board);
        e.Frame();
        if (i < static_cast<int>(scenes.size()))
            loads.push_back(Ms(t0, Clock::now()));
        if (board->Items().size() > mostItems) {
            mostItems = board->Items().size();
            busiest = scene;
        }
        std::vector<uint32_t> textures;
        CollectTextures(board->Scene(), textures);
        game.SetState(GameState_StoryGame);
        board->Unload();
        game.SetBoard(nullptr);
        board.reset();
        for (uint32_t id : textures) {
            if (ResourceBase* resource = cache->Acquire(id, true))
                resource->Unload();
        }
        e.Frame();
        if (i == 4)
            rssAfterFive = ResidentMb();
    }
    out.loadMs = Median(loads);
    out.growthMb = ResidentMb() - rssAfterFive;

    // The busiest board, every item shown, three bursts of the item-found effect fired again
    // every 20 frames, so that particles live through the whole measurement (a burst's particles
    // live 0.8 s).
    auto board = ShowBoard(e, busiest);
    auto fire = [&] { FireBursts(*board); };
    const ParticleManager* particleManager = ParticleManager::Instance();
    for (int i = 0; i < 60; ++i) {
        if (i % 20 == 0)
            fire();
        e.Frame();
    }
    std::vector<double> frames, alive;
    for (int i = 0; i < 600; ++i) {
        if (i % 20 == 0)
            fire();
        const auto t0 = Clock::now();
        e.Frame();
        frames.push_back(Ms(t0, Clock::now()));
        alive.push_back(particleManager ? static_cast<double>(particleManager->LiveParticleCount()) : -1.0);
    }
    out.particles = Median(alive);
    // For comparison, not in the result: the same frames drawn whole.
    std::vector<double> whole;
    e.engine->Renderer()->SetPartialRedraw(false);
    for (int i = 0; i < 200; ++i) {
        if (i % 20 == 0)
            fire();
        const auto t0 = Clock::now();
        e.Frame();
        whole.push_back(Ms(t0, Clock::now()));
    }
    e.engine->Renderer()->SetPartialRedraw(true);
    std::printf("busiest board drawn whole: %.2f ms median\n", Median(whole));
    out.frameMs = Median(frames);
    out.frameP99Ms = Percentile(frames, 0.99);
    std::printf("busiest board: %s (%zu items)\n", busiest.c_str(), mostItems);
    out.busiest = busiest;
    game.SetState(GameState_StoryGame);
    game.SetBoard(nullptr);
    board.reset();

    // Eight players in the file.
    for (int i = 1; profiles.GetProfiles().size() < 8; ++i)
        profiles.NewProfile(FromUtf8("player" + std::to_string(i)));
    std::vector<double> saves;
    for (int i = 0; i < 20; ++i) {
        const auto t0 = Clock::now();
        if (!profiles.Save())
            return out;
        saves.push_back(Ms(t0, Clock::now()));
    }
    out.saveMs = Median(saves);
    e.engine->SaveAndShutdown();
    return out;
}

// CPU time of the calling thread (where Mesa's rasteriser draws with LP_NUM_THREADS=0).
double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The child of the gl frame measurement, under X with the gl back end: the busiest board drawn
// whole with the item-found bursts as for frame_ms, each frame recorded draw by draw; then the
// recorded frames drawn again by the floor program in a window of the same size. The two take
// turns in blocks, so that a busy machine weighs on both alike. Says "gl_frame_ms=... gl_floor_ms=..."
// on standard output.
int GlFrameChild(const std::string& scene)
{
    Engine e;
    if (!e.Start(false) || QuillD3D::DeviceBackend(e.engine->Renderer()->GetDevice()) != QuillD3D::Backend::Gl) {
        std::fprintf(stderr, "bench_game: the gl back end did not start\n");
        return 1;
    }
    MountScenes(*e.simple->GetGame());
    auto board = ShowBoard(e, scene);
    e.engine->Renderer()->SetPartialRedraw(false);
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window, &w, &h);
    const auto finish = reinterpret_cast<void(APIENTRY*)()>(SDL_GL_GetProcAddress("glFinish"));
    constexpr int kFrames = 400, kBlock = 50;
    for (int i = 0; i < 60; ++i) {
        if (i % 20 == 0)
            FireBursts(*board);
        e.Frame();
    }
    FloorRecording recording;
    QuillD3D::ObserveDraws(e.engine->Renderer()->GetDevice(),
                           [&](const QuillD3D::ObservedDraw& d) { recording.Add(d); });
    std::vector<double> frames, floors, frameCpu, floorCpu;
    GlFloor floor;
    for (int block = 0; block < kFrames / kBlock; ++block) {
        const size_t first = recording.Frames().size();
        for (int i = 0; i < kBlock; ++i) {
            if ((block * kBlock + i) % 20 == 0)
                FireBursts(*board);
            recording.BeginFrame();
            const auto t0 = Clock::now();
            const double c0 = ThreadCpuMs();
            e.Frame();
            if (finish)
                finish();
            frames.push_back(Ms(t0, Clock::now()));
            frameCpu.push_back(ThreadCpuMs() - c0);
        }
        std::string why;
        if (block == 0 && !floor.Open(w, h, recording, &why)) {
            std::fprintf(stderr, "bench_game: the floor program did not start: %s\n", why.c_str());
            return 1;
        }
        for (size_t i = first; i < recording.Frames().size(); ++i) {
            const auto t0 = Clock::now();
            const double c0 = ThreadCpuMs();
            floor.Draw(recording.Frames()[i]);
            floors.push_back(Ms(t0, Clock::now()));
            floorCpu.push_back(ThreadCpuMs() - c0);
        }
    }
    QuillD3D::ObserveDraws(e.engine->Renderer()->GetDevice(), nullptr);
    size_t draws = 0;
    for (const FloorFrame& f : recording.Frames())
        draws += f.draws.size();
    std::fprintf(stderr,
                 "gl frame: %dx%d, %zu pictures, %.1f draws a frame, %zu draws elsewhere, %zu not modulate; "
                 "thread CPU median: frame %.3f ms, floor %.3f ms\n",
                 w, h, recording.Pictures().size(), static_cast<double>(draws) / recording.Frames().size(),
                 recording.DrawsElsewhere(), recording.DrawsNotModulate(), Median(frameCpu), Median(floorCpu));
    std::printf("gl_frame_ms=%.3f gl_floor_ms=%.3f\n", Median(frames), Median(floors));
    std::fflush(stdout);
    std::_Exit(0);
}

struct GlFrame {
    double frameMs = -1, floorMs = -1;
};

// Runs the child above under a private X server with Mesa's rasteriser in the calling thread.
GlFrame MeasureGlFrame(const std::string& self, const std::string& scene)
{
    GlFrame out;
    QuillPlatform::VirtualDisplay display;
    std::string why;
    if (scene.empty() || !display.Start(1280, 1024, &why)) {
        std::fprintf(stderr, "bench_game: no X server (%s): no gl frame figures\n", why.c_str());
        return out;
    }
    const fs::path home = PrivateHome("bench_game-gl");
    std::vector<std::string> env = Environment(home, display.Name());
    env.erase(
        std::remove_if(env.begin(), env.end(), [](const std::string& v) { return v.rfind("LP_NUM_THREADS=", 0) == 0; }),
        env.end());
    env.push_back("LP_NUM_THREADS=0");
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return out;
    const pid_t pid = Spawn({self, "--gl-frame", scene}, env, pipeEnds[1], true);
    close(pipeEnds[1]);
    std::string said;
    char buffer[256];
    ssize_t got = 0;
    while (pid > 0 && (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        said.append(buffer, static_cast<size_t>(got));
    close(pipeEnds[0]);
    if (pid > 0)
        waitpid(pid, nullptr, 0);
    fs::remove_all(home);
    if (std::sscanf(said.c_str(), "gl_frame_ms=%lf gl_floor_ms=%lf", &out.frameMs, &out.floorMs) != 2)
        std::fprintf(stderr, "bench_game: the gl frame child said nothing usable\n");
    return out;
}

std::string ProcessorName()
{
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos)
            return line.substr(line.find(':') + 2);
    }
    return "unknown";
}

} // namespace

int main(int argc, char** argv)
{
    if (CrashHandler::RunHelperIfRequested(argc, argv, &QuillPlatform::ShowMessageBox))
        return 1;
    if (argc == 3 && std::strcmp(argv[1], "--start") == 0)
        return StartOnce(std::strcmp(argv[2], "soft") == 0);
    if (argc == 3 && std::strcmp(argv[1], "--gl-frame") == 0)
        return GlFrameChild(argv[2]);

    const fs::path bin = fs::path(QuillPlatform::ProgramFolder());
    const std::string self = (bin / "bench_game").string();
    const fs::path program = bin / "VelvetAisle";
    double startSoft = -1, startGl = -1;
    Rest albumSoft, albumGl, boardSoft, boardGl, glowSoft, glowGl;
    {
        QuillPlatform::VirtualDisplay display;
        std::string why;
        // A screen larger than the window, as a player's desktop is: a window that fills the whole
        // display is put in full screen, and without a window manager that wait alone is ~100 ms.
        if (display.Start(1280, 1024, &why)) {
            startSoft = StartMs(self, display.Name(), true);
            startGl = StartMs(self, display.Name(), false);
            albumSoft = RestingProgram(program, display.Name(), true, {}, 4);
            albumGl = RestingProgram(program, display.Name(), false, {}, 4);
            const std::string board = ToRestingBoard(), glow = ToGlowingPhoto();
            if (board.empty() || glow.empty())
                std::fprintf(stderr, "bench_game: the album's layout was not read: no board or glow figures\n");
            if (!board.empty()) {
                boardSoft = RestingProgram(program, display.Name(), true, board, 20);
                boardGl = RestingProgram(program, display.Name(), false, board, 20);
            }
            if (!glow.empty()) {
                glowSoft = RestingProgram(program, display.Name(), true, glow, 20);
                glowGl = RestingProgram(program, display.Name(), false, glow, 20);
            }
        } else {
            std::fprintf(stderr, "bench_game: no X server (%s): start, memory and rest figures are not measured\n",
                         why.c_str());
        }
    }

    const fs::path home = PrivateHome("bench_game");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const InProcess measured = MeasureInProcess();
    fs::remove_all(home);
    const GlFrame gl = MeasureGlFrame(self, measured.busiest);

    std::printf("%zu scenes; processor: %s\n", measured.scenes, ProcessorName().c_str());
    std::printf("RESULT game start_soft_ms=%.1f start_gl_ms=%.1f load_ms=%.2f frame_ms=%.2f frame_p99_ms=%.2f "
                "particles=%.0f rss_soft_mb=%.1f rss_gl_mb=%.1f growth_mb=%.2f save_ms=%.2f idle_cpu_pct=%.1f "
                "board_rest_soft_pct=%.1f board_rest_gl_pct=%.1f glow_soft_pct=%.1f glow_gl_pct=%.1f gl_frame_ms=%.2f "
                "gl_floor_ms=%.2f\n",
                startSoft, startGl, measured.loadMs, measured.frameMs, measured.frameP99Ms, measured.particles,
                albumSoft.rssMb, albumGl.rssMb, measured.growthMb, measured.saveMs, albumSoft.cpuPct, boardSoft.cpuPct,
                boardGl.cpuPct, glowSoft.cpuPct, glowGl.cpuPct, gl.frameMs, gl.floorMs);
    return 0;
}
