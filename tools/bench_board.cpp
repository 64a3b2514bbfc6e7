// The hidden-object board's costs in the real engine (software device, offscreen window):
//  load_ms  - from the click that enters a scene to its first drawn frame, median of 20 loads, each
//             with the scene's pictures unloaded before it (read and decoded again);
//  frame_ms - one frame of a board in play (game step, interface update, drawing and presenting)
//             with every item shown and the panel open, median of 200 frames;
//  hit_us   - resolving one click against every item of the scene (bounds, then alpha), median
//             of 2000 clicks spread over the scene.
// Ends with one RESULT line.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
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
#include "game/book/LevelCatalogue.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "platform/window/Window.h"
#include "tools/BenchGameSupport.h"

using namespace QuillEngine;
using namespace BenchGame;

int main(int argc, char** argv)
{
    // A crash starts the program again only to show its message.
    if (CrashHandler::RunHelperIfRequested(argc, argv, &QuillPlatform::ShowMessageBox))
        return 1;
    // Headless and private: no window on screen, no sound device, a home of its own.
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("bench_board-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    const char* arguments[] = {"VelvetAisle", "-software"};
    const GameSettings settings = VelvetAisle::MakeSettings(2, arguments);
    int status = 1;
    {
        auto engine = std::make_unique<EngineManager>();
        SimpleGame simple(engine.get());
        if (!engine->Init(settings, &simple) || !simple.GetGame()) {
            std::fprintf(stderr, "bench_board: the engine did not start\n");
            return 1;
        }
        Game& game = *simple.GetGame();
        UserInterface* ui = engine->GetUserInterface();
        CRenderManager* renderer = engine->Renderer();
        Profile* profile = game.GetProfileMgr()->CurrentProfile();
        ResourceCache* cache = ResourceCache::Instance();
        // The catalogue gives the profile its level and scene records.
        std::vector<CataloguePhoto> photos;
        LevelCatalogue::LoadFile(*game.GetProfileMgr(), photos);
        // Level 1 with its tutorials seen, so nothing covers the board.
        profile->page = 2;
        for (int i = 0; i < TutorialFlags::kCount; ++i)
            profile->tutorial.Set(i, false);
        if (!game.MountPackageOnce(u"Boutique")) {
            std::fprintf(stderr, "bench_board: the Boutique package is missing\n");
            return 1;
        }
        auto frame = [&] {
            ui->Update();
            simple.Update();
            ui->FinishStep();
            renderer->RenderFrame(true);
        };

        auto owned = std::make_unique<Board>(nullptr, &game, 1, u"Boutique", u"Environment1");
        Board& board = *owned;
        // Every load is cold: the pictures of the scene left before it are unloaded, so each load
        // reads and decodes them from the archive again.
        std::vector<double> loads, warmLoads;
        for (int i = 0; i < 40; ++i) {
            const bool cold = i < 20;
            std::vector<uint32_t> textures;
            CollectTextures(board.Scene(), textures);
            game.SetState(GameState_StoryGame);
            board.Unload();
            for (uint32_t id : textures) {
                if (ResourceBase* resource = cold ? cache->Acquire(id, true) : nullptr)
                    resource->Unload();
            }
            const auto start = Clock::now();
            game.SetBoard(&board);
            game.SetState(GameState_Board);
            frame();
            (cold ? loads : warmLoads).push_back(Ms(start, Clock::now()));
        }
        if (!board.IsLoaded() || board.Items().empty()) {
            std::fprintf(stderr, "bench_board: the scene did not load\n");
            return 1;
        }

        // Every item shown: the busiest picture the scene can have.
        for (const auto& item : board.Items())
            item->GetInstance().SetVisible(true);
        for (int i = 0; i < 30; ++i)
            frame();
        std::vector<double> frames;
        for (int i = 0; i < 200; ++i) {
            const auto start = Clock::now();
            frame();
            frames.push_back(Ms(start, Clock::now()));
        }

        // Clicks over the scene side, resolved against every item in play as a press is.
        std::vector<double> hits;
        size_t touched = 0;
        for (int i = 0; i < 2000; ++i) {
            const float x = 150.0f + static_cast<float>((i * 37) % 640);
            const float y = static_cast<float>((i * 53) % 600);
            const auto start = Clock::now();
            touched += board.ItemsAt(x, y).size();
            hits.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        std::printf("scene items %zu; %zu cold loads, %zu warm loads (median %.2f ms); %zu frames; %zu clicks, %zu "
                    "items touched\n",
                    board.Items().size(), loads.size(), warmLoads.size(), Median(warmLoads), frames.size(), hits.size(),
                    touched);
        std::printf("RESULT board load_ms=%.2f frame_ms=%.2f hit_us=%.2f\n", Median(loads), Median(frames),
                    Median(hits));
        game.SetBoard(nullptr);
        owned.reset();
        status = 0;
        engine->SaveAndShutdown();
    }
    std::filesystem::remove_all(home);
    return status;
}
