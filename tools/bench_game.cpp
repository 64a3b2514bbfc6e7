// The whole game's speed and memory, measured on this machine:
//  start_soft_ms, start_gl_ms - a cold start of a process to the first drawn frame of the album,
//             median of 10 starts, under a private X server (Xvfb) with each back end. The
//             opening card's own four seconds are left out: the started process goes to the album
//             as soon as the engine is up. The X screen is 1280x1024, so the 800x600 window
//             stays a window;
//  load_ms  - from the click that enters a scene to its first drawn frame, median over every scene
//             package, each load cold (the scene's pictures unloaded before it), soft back end;
//  frame_ms, frame_p99_ms - a frame of the busiest board (the one with the most items, all shown)
//             with particle emitters running, soft back end, median and 99th percentile of 600;
//  rss_mb   - the peak resident set of any game process while the whole-game play test runs
//             (tests/game/play/PlayThroughTest.cpp: every chapter, card game and story);
//  growth_mb - resident set growth over 100 board loads and unloads across every scene, counted
//             after the first 5;
//  save_ms  - writing "velv.save" with 8 players, file synced to the disk, median of 20;
//  idle_cpu_pct - the real program resting on the album under Xvfb (soft back end): its CPU time
//             over 4 s of wall time, in percent of one core.
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

#include "engine/app/EngineManager.h"
#include "engine/core/CrashHandler.h"
#include "engine/core/resources/ResourceCache.h"
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
#include "tools/BenchGameSupport.h"

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

// Starts `args` with `env`; its standard output goes to `out` (a descriptor) or nowhere.
pid_t Spawn(std::vector<std::string> args, std::vector<std::string> env, int out = -1)
{
    std::vector<char*> argv, envp;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
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

double IdleCpuPct(const fs::path& program, const std::string& display)
{
    const fs::path home = PrivateHome("bench_game-idle");
    const pid_t pid = Spawn({program.string(), "-software"}, Environment(home, display));
    if (pid <= 0)
        return -1.0;
    // The opening card and its fade take about five seconds; then the album rests on its letter.
    std::this_thread::sleep_for(std::chrono::seconds(7));
    const double cpu0 = ProcessCpuSeconds(pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(4));
    const double cpu1 = ProcessCpuSeconds(pid);
    const double wall = Ms(t0, Clock::now()) / 1000.0;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    fs::remove_all(home);
    return cpu0 < 0 || cpu1 < 0 ? -1.0 : 100.0 * (cpu1 - cpu0) / wall;
}

// The largest resident set of the whole-game play test's processes: wait4 reports the peak of the
// test program and every process it waited for.
double PlaythroughRssMb(const fs::path& bin)
{
    const fs::path tests = bin / "test_game";
    if (!fs::exists(tests)) {
        std::fprintf(stderr, "bench_game: %s is not built; rss_mb is not measured\n", tests.c_str());
        return -1.0;
    }
    const fs::path home = PrivateHome("bench_game-play");
    const pid_t pid = Spawn({tests.string(), "--gtest_filter=PlayThrough.*"}, Environment(home, ""));
    if (pid <= 0)
        return -1.0;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    fs::remove_all(home);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_game: the play test failed; rss_mb is not measured\n");
        return -1.0;
    }
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct InProcess {
    double loadMs = -1, frameMs = -1, frameP99Ms = -1, growthMb = -1, saveMs = -1;
    size_t scenes = 0;
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

    // The busiest board, every item shown, three emitters running.
    auto board = std::make_unique<Board>(nullptr, &game, 1, FromUtf8(busiest), u"Environment1");
    game.SetBoard(board.get());
    game.SetState(GameState_Board);
    e.Frame();
    for (const auto& item : board->Items())
        item->GetInstance().SetVisible(true);
    if (Instance_Movie* scene = HandleEx::ResolveMovie(board->Scene())) {
        for (int i = 0; i < 3; ++i)
            scene->CreateParticleEmitter(u"collect.xml", FromUtf8("collect" + std::to_string(i)), 250 + 200 * i, 300);
    }
    for (int i = 0; i < 60; ++i)
        e.Frame();
    std::vector<double> frames;
    for (int i = 0; i < 600; ++i) {
        const auto t0 = Clock::now();
        e.Frame();
        frames.push_back(Ms(t0, Clock::now()));
    }
    out.frameMs = Median(frames);
    out.frameP99Ms = Percentile(frames, 0.99);
    std::printf("busiest board: %s (%zu items)\n", busiest.c_str(), mostItems);
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

    const fs::path bin = fs::path(QuillPlatform::ProgramFolder());
    const std::string self = (bin / "bench_game").string();
    double startSoft = -1, startGl = -1, idle = -1;
    {
        QuillPlatform::VirtualDisplay display;
        std::string why;
        // A screen larger than the window, as a player's desktop is: a window that fills the whole
        // display is put in full screen, and without a window manager that wait alone is ~100 ms.
        if (display.Start(1280, 1024, &why)) {
            startSoft = StartMs(self, display.Name(), true);
            startGl = StartMs(self, display.Name(), false);
            idle = IdleCpuPct(bin / "VelvetAisle", display.Name());
        } else {
            std::fprintf(stderr, "bench_game: no X server (%s): start and idle figures are not measured\n",
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
    const double rss = PlaythroughRssMb(bin);

    std::printf("%zu scenes; processor: %s\n", measured.scenes, ProcessorName().c_str());
    std::printf("RESULT game start_ms=%.1f start_soft_ms=%.1f start_gl_ms=%.1f load_ms=%.2f frame_ms=%.2f "
                "frame_p99_ms=%.2f rss_mb=%.1f growth_mb=%.2f save_ms=%.2f idle_cpu_pct=%.1f\n",
                startGl, startSoft, startGl, measured.loadMs, measured.frameMs, measured.frameP99Ms, rss,
                measured.growthMb, measured.saveMs, idle);
    return 0;
}
