// A board the player only looks at: the real game on the software renderer, in this process,
// stepped by hand. Only the panel's clock moves, so the main loop draws about once a second.
// Deleted while its panel is open, the board closes the panel.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/app/EngineManager.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/UserInterface.h"
#include "game/app/Game.h"
#include "game/app/SimpleGame.h"
#include "game/board/Board.h"
#include "game/board/dialogs/UIISpyPanel.h"
#include "game/book/LevelCatalogue.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"

using namespace QuillEngine;

namespace {

TEST(BoardAtRest, ARestingBoardIsDrawnOnlyWhenItsClockTicksAndTakesItsPanelWhenDeleted)
{
    EngineManager engine;
    SimpleGame simple(&engine);
    const char* arguments[] = {"VelvetAisle", "-software"};
    ASSERT_TRUE(engine.Init(VelvetAisle::MakeSettings(2, arguments), &simple));
    Game& game = *simple.GetGame();
    Profile* profile = game.GetProfileMgr()->CurrentProfile();
    ASSERT_NE(profile, nullptr);
    std::vector<CataloguePhoto> photos;
    LevelCatalogue::LoadFile(*game.GetProfileMgr(), photos); // the levels, with their clocks
    profile->page = 2;
    ASSERT_NE(profile->CurrentLevel(), nullptr);
    for (int i = 0; i < TutorialFlags::kCount; ++i)
        profile->tutorial.Set(i, false); // every tutorial seen: no dialog opens over the board
    ASSERT_TRUE(game.MountPackageOnce(u"Boutique"));
    auto board = std::make_unique<Board>(nullptr, &game, 1, u"Boutique", u"Environment1");
    game.SetBoard(board.get());
    game.SetState(GameState_Board);

    CRenderManager& renderer = *engine.Renderer();
    // One step of the main loop: the updates, then a frame only when the renderer wants one.
    auto step = [&] {
        engine.GetUserInterface()->Update();
        simple.Update();
        engine.GetUserInterface()->FinishStep();
        const bool draw = renderer.WantsFrame();
        if (draw)
            renderer.RenderFrame(true);
        return draw;
    };
    for (int i = 0; i < 300; ++i) { // the board comes in and its panel settles
        step();
        if (i == 10)
            board->SetActive(true, InstanceHandle()); // its panel opens and its clock runs
    }
    constexpr int kSteps = 600; // ten seconds
    int draws = 0;
    for (int i = 0; i < kSteps; ++i)
        draws += step() ? 1 : 0;
    // Ten clock ticks and five quiet redraws at most; a board that marks every step draws 600.
    EXPECT_LE(draws, kSteps / 60 + kSteps / CRenderManager::kQuietRedrawSteps + 2);
    EXPECT_GE(draws, kSteps / 60 - 1) << "the clock is seen ticking";

    // Left for another scene without finishing: the board goes and its panel with it, without
    // leaving for the album; the next board opens a panel of its own.
    UIScreenMgr* screens = game.GetScreenMgr();
    ASSERT_NE(screens, nullptr);
    ASSERT_TRUE(screens->IsOpen(UIISpyPanel::kName));
    board->Unload();
    game.SetBoard(nullptr);
    board.reset();
    EXPECT_FALSE(screens->IsOpen(UIISpyPanel::kName));
    for (int i = 0; i < 5; ++i)
        step(); // the panel was refreshed from the freed board here
    EXPECT_EQ(game.CurrentGameState(), GameState_Board);
    ASSERT_TRUE(game.MountPackageOnce(u"Florist"));
    board = std::make_unique<Board>(nullptr, &game, 2, u"Florist", u"Environment1");
    game.SetBoard(board.get());
    board->SetActive(true, InstanceHandle());
    step();
    EXPECT_TRUE(screens->IsOpen(UIISpyPanel::kName));

    game.SetState(GameState_StoryGame);
    board->Unload();
    game.SetBoard(nullptr);
    board.reset();
    engine.SaveAndShutdown();
}

} // namespace
