// The game's top-level state machine: its five states entered and left, pause and resume with
// the overlay and the input of the movies under the root, the music rotation and the packages.

#include <gtest/gtest.h>

#include <set>

#include "engine/app/ScriptBridge.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "game/app/Game.h"
#include "game/board/Board.h"
#include "game/board/dialogs/BoardDialogs.h"
#include "game/book/Book.h"
#include "game/cards/ConBoard.h"
#include "game/intro/Intro.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreen.h"
#include "game/screens/UIScreenMgr.h"
#include "game/story/StoryMiniGame.h"
#include "tests/game/screens/UIScreenTestSupport.h"
#include "tests/support/MemoryFileSource.h"

using namespace QuillEngine;

namespace {

class GameTest : public ScreenTesting::SceneFixture {
protected:
    void SetUp() override
    {
        Game::EngineLinks links;
        links.mountPackage = [this](const String& group, const String& folder) {
            mounts.push_back(group + u"|" + folder);
            return group != u"broken";
        };
        game = std::make_unique<Game>(std::move(links));
        ui->Update(); // the dialogs layer loads
    }
    void TearDown() override { game.reset(); }

    // What SimpleGame does once per step.
    void Step()
    {
        game->GetScreenMgr()->Update();
        game->Update();
    }
    InstanceHandle MakeScene(const String& name) { return ui->GetRootHandle().CreateChild(u"Scene", name); }
    // Adds an empty one-frame movie definition of that name to the scene's library.
    bool DefineMovie(const String& name)
    {
        auto library = XmlNode::ParseDocument("<Library><Definition type=\"movie\" name=\"" + ToUtf8(name) +
                                                  "\" length=\"1\" fps=\"60\"/></Library>",
                                              false);
        int32_t added = 0, existing = 0;
        return library && ui->GetDefinitionLibrary()->ImportLibrary(*library, nullptr, added, existing);
    }

    // The game made again, what it tells the player kept in `messages`.
    void RestartKeepingMessages()
    {
        Game::EngineLinks links;
        links.showMessage = [this](const std::string&, const std::string& text) { messages.push_back(text); };
        game.reset();
        game = std::make_unique<Game>(std::move(links));
    }

    std::vector<String> mounts;
    std::vector<std::string> messages;
    std::unique_ptr<Game> game;
};

TEST_F(GameTest, StartsInTheIntroAndOwnsItsManagers)
{
    EXPECT_EQ(Game::Instance(), game.get());
    EXPECT_EQ(game->GetState(), GameState_Intro);
    ASSERT_NE(game->GetIntro(), nullptr);
    EXPECT_EQ(game->GetBook(), nullptr);
    EXPECT_EQ(game->Screens(), game->GetScreenMgr()); // the one the areas are handed
    EXPECT_NE(game->GetProfileMgr()->CurrentProfile(), nullptr);
    EXPECT_TRUE(HandleEx::ResolveMovie(game->GetScreenMgr()->DialogsLayer()));
    EXPECT_EQ(ui->GetRoot()->GetEventHandler(), game.get());

    Step();
    Step();
    EXPECT_EQ(game->GetIntro()->ShownTime(), 2.0f);

    // The root outlives the game and must forget it.
    game.reset();
    EXPECT_EQ(Game::Instance(), nullptr);
    EXPECT_EQ(ui->GetRoot()->GetEventHandler(), nullptr);
    ui->OnKeyDown(27);
}

TEST_F(GameTest, StatesEnterAndLeaveTheirContent)
{
    ASSERT_TRUE(DefineMovie(u"FinalBook"));
    game->SetState(GameState_Book);
    Book* book = game->GetBook();
    ASSERT_NE(book, nullptr);
    ui->Update(); // the album scene loads
    const auto bookShown = [&] { return book->Scene().Resolve() && book->Scene().Resolve()->GetVisible(); };
    EXPECT_TRUE(bookShown());
    EXPECT_EQ(book->GetState(), Book::State_FadeIn);

    Board board(nullptr, game.get(), 1, u"Scene", u"");
    game->SetBoard(&board);
    game->SetState(GameState_Board);
    EXPECT_FALSE(bookShown());
    ASSERT_TRUE(board.IsLoaded());
    EXPECT_EQ(board.GetState(), Board::State_Playing);
    EXPECT_TRUE(board.Scene().Resolve()->GetVisible());

    // The book is kept and re-activated; the intro likewise.
    game->SetState(GameState_Book);
    EXPECT_EQ(game->GetBook(), book);
    EXPECT_TRUE(bookShown());
    EXPECT_TRUE(board.IsInactive());
    EXPECT_FALSE(board.Scene().Resolve()->GetVisible());

    // The card game and the story game start on every entry and reset on every exit.
    ASSERT_TRUE(DefineMovie(u"StoryLayout"));
    auto pages =
        XmlNode::ParseDocument(R"(<STORY><SEGMENT ID="intro" TEASER="t" IMAGE="1" TEXT="A page."/></STORY>)", false);
    ASSERT_TRUE(pages && game->GetStoryGame()->LoadStory(*pages));
    for (int round = 1; round <= 2; ++round) {
        game->SetState(GameState_Concentration);
        EXPECT_TRUE(game->GetConBoard()->IsStarted());
        game->SetState(GameState_StoryGame);
        EXPECT_FALSE(game->GetConBoard()->IsStarted());
        const InstanceHandle layout = ui->GetRoot()->FindChild(u"StoryMiniGame");
        ASSERT_TRUE(layout.Resolve()) << "round " << round;
        ui->Update(); // the layout loads: the story game reads its page
        EXPECT_EQ(game->GetStoryGame()->Layout(), layout);
        EXPECT_TRUE(game->GetStoryGame()->InProgress());
        game->SetState(GameState_Book);
        EXPECT_FALSE(layout.Resolve()) << "round " << round;
        EXPECT_FALSE(game->GetStoryGame()->InProgress());
    }
    game->SetBoard(nullptr);
}

TEST_F(GameTest, EscapePausesAndResumesInputAndEveryPauseShowsItsOverlay)
{
    const InstanceHandle live = MakeScene(u"live");
    const InstanceHandle dead = MakeScene(u"dead");
    dead.SetInputEnabled(false);

    ui->OnKeyDown(27);
    EXPECT_TRUE(game->Paused());
    EXPECT_FALSE(live.Resolve()->GetInputEnabled());
    EXPECT_TRUE(HandleEx::ResolveMovie(game->PauseOverlay())) << "the pause holds the intro: it shows";
    Run("wl = root.live.wasEnabled; wd = root.dead.wasEnabled");
    EXPECT_TRUE(Bool("wl"));
    EXPECT_FALSE(Bool("wd"));
    // The paused game does not advance its state.
    Step();
    EXPECT_EQ(game->GetIntro()->ShownTime(), 0.0f);

    ui->OnKeyDown(27);
    EXPECT_FALSE(game->Paused());
    EXPECT_TRUE(live.Resolve()->GetInputEnabled());
    EXPECT_FALSE(dead.Resolve()->GetInputEnabled()); // was off before the pause: stays off

    // A scene board in play is covered; a click on the overlay ends the pause.
    Board board(nullptr, game.get(), 1, u"Scene", u"");
    game->SetBoard(&board);
    game->SetState(GameState_Board);
    // The card game sits inactive while a board is played; that does not hide the overlay.
    game->GetConBoard()->SetState(ConBoard::State_Inactive);
    ui->OnKeyDown(32);
    ASSERT_TRUE(game->Paused());
    Instance_Movie* overlay = HandleEx::ResolveMovie(game->PauseOverlay());
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->GetName(), u"Pause_Overlay");
    EXPECT_TRUE(overlay->GetPlaying());
    const InstanceHandle overlayHandle = game->PauseOverlay();
    game->OnMouseDown(overlayHandle, false);
    EXPECT_FALSE(game->Paused());
    EXPECT_FALSE(overlayHandle.AsLive().Resolve());

    // A board held still (a tutorial over it) is covered as well.
    board.SetState(Board::State_Inactive);
    game->Pause();
    EXPECT_TRUE(HandleEx::ResolveMovie(game->PauseOverlay()));
    game->Resume();
    game->SetState(GameState_Concentration);
    game->Pause();
    game->Pause(); // already paused: nothing more
    EXPECT_TRUE(HandleEx::ResolveMovie(game->PauseOverlay()));
    game->Resume();
    ui->Update();
    EXPECT_EQ(ui->GetRoot()->FindChild(u"Pause_Overlay").Resolve(), nullptr);
    // Other keys do nothing; over a modal menu, which holds the game already, no key pauses.
    ui->OnKeyDown('A');
    EXPECT_FALSE(game->Paused());
    ASSERT_TRUE(game->GetScreenMgr()->Show(u"CreditsDialog", true));
    ui->OnKeyDown(27);
    EXPECT_FALSE(game->Paused());
    // Nor does a menu open under a pause, where it could take no click.
    game->GetScreenMgr()->CloseAndCancel(u"CreditsDialog");
    game->Pause();
    ui->OnKeyDown(UIScreenMgr::kKeyMainMenu);
    EXPECT_FALSE(game->GetScreenMgr()->IsOpen(u"MainMenuDialog"));
    game->Resume();
    game->SetBoard(nullptr);
}

TEST_F(GameTest, TheMagnifierShowsOnlyOverTheFieldInPlayWithNothingAboveIt)
{
    EXPECT_EQ(game->WantedPointer(), Game::Pointer::System); // no pointers of the game's own asked for
    game.reset();
    Game::EngineLinks links;
    links.customPointers = true;
    game = std::make_unique<Game>(std::move(links));
    ui->Update();

    Board board(nullptr, game.get(), 1, u"Scene", u"");
    game->SetBoard(&board);
    game->SetState(GameState_Board);
    board.Scene().Resolve()->SetExplicitBounds(0, 0, 800, 600);
    const InstanceHandle panel = MakeScene(u"panel"); // drawn above the scene, like the side panel
    panel.Resolve()->SetExplicitBounds(0, 0, 145, 600);

    ui->OnMouseMove(400, 300);
    EXPECT_EQ(game->WantedPointer(), Game::Pointer::Look);
    ui->OnMouseMove(60, 300);
    EXPECT_EQ(game->WantedPointer(), Game::Pointer::Arrow);
    ui->OnMouseMove(400, 300);
    ui->OnKeyDown(27); // paused: nothing is searched
    EXPECT_EQ(game->WantedPointer(), Game::Pointer::Arrow);
    ui->OnKeyDown(27);
    EXPECT_EQ(game->WantedPointer(), Game::Pointer::Look);
    game->SetState(GameState_Book);
    EXPECT_EQ(game->WantedPointer(), Game::Pointer::Arrow);
    game->SetBoard(nullptr);

    // The card game's table is searched as a scene is.
    ASSERT_TRUE(DefineMovie(u"ConBoard"));
    game->SetState(GameState_Concentration);
    Instance_Base* table = game->GetConBoard()->BoardInstance().Resolve();
    ASSERT_NE(table, nullptr);
    table->SetVisible(true); // as once its cards are laid out
    table->SetExplicitBounds(200, 0, 800, 600);
    ui->OnMouseMove(400, 300);
    EXPECT_EQ(game->WantedPointer(), Game::Pointer::Look);
    ui->OnMouseMove(60, 300);
    EXPECT_EQ(game->WantedPointer(), Game::Pointer::Arrow);
}

TEST_F(GameTest, MusicStaysOnOneTrackUntilTheIntroIsSeenThenNeverRepeats)
{
    Profile* profile = game->GetProfileMgr()->CurrentProfile();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(game->LastMusicTrack(), Game::kFirstTrack);
    profile->introSeen = false;
    for (int i = 0; i < 5; ++i) {
        game->PlayNextMusic();
        EXPECT_EQ(game->LastMusicTrack(), Game::kFirstTrack);
    }
    profile->introSeen = true;
    std::set<int32_t> seen;
    int32_t last = game->LastMusicTrack();
    for (int i = 0; i < 200; ++i) {
        game->PlayNextMusic();
        const int32_t track = game->LastMusicTrack();
        EXPECT_NE(track, last);
        EXPECT_GE(track, 0);
        EXPECT_LT(track, 4);
        seen.insert(track);
        last = track;
    }
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_EQ(String(Game::kMusicTracks[Game::kFirstTrack]), u"BackgroundCantilena");
}

TEST_F(GameTest, PackagesAreMountedOnceAndFailuresAreNotRemembered)
{
    EXPECT_TRUE(game->MountPackageOnce(u"scene01"));
    EXPECT_TRUE(game->MountPackageOnce(u"scene01"));
    EXPECT_FALSE(game->MountPackageOnce(u"broken"));
    EXPECT_FALSE(game->MountPackageOnce(u"broken"));
    EXPECT_EQ(mounts, (std::vector<String>{u"scene01|scene01", u"broken|broken", u"broken|broken"}));
}

TEST_F(GameTest, ASceneWhoseItemListCannotBeReadIsRefusedAndNamedOnce)
{
    RestartKeepingMessages();
    // No file holds "Levels\Nowhere.xml".
    game->AddBoards(nullptr, {SceneBoardSpec{7, u"Nowhere", u""}});
    EXPECT_FALSE(game->OpenBoard(7));
    EXPECT_FALSE(game->OpenBoard(7));
    EXPECT_EQ(game->GetState(), GameState_Intro);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Levels\\Nowhere.xml"), std::string::npos) << messages[0];
}

TEST_F(GameTest, TheWinDialogShowsTheTimeTheSceneTookNotTheTimeLeft)
{
    ASSERT_TRUE(DefineMovie(u"Game_WinDialog"));
    Profile* profile = game->GetProfileMgr()->CurrentProfile();
    for (int32_t number : {1, 2})
        profile->AddLevelRecord(LevelRecord(u"L", 600, 90, 4, number, false).MakeFromTemplate());
    profile->AddSceneRecord(std::make_unique<SceneRecord>(SceneRecord::InProgress, 1, 1, u"Hall", 4, 1.0f));
    profile->page = 2;
    LevelRecord* level = profile->CurrentLevel();
    ASSERT_NE(level, nullptr);
    ASSERT_FLOAT_EQ(level->maxTime, 600.0f);
    level->SpendTime(100.0f, false);

    Board board(nullptr, game.get(), 1, u"Scene", u"");
    board.SetState(Board::State_Won);
    ui->Update(); // the dialog loads
    Step();
    const UIScreen* dialog = game->GetScreenMgr()->FindScreen(u"Game_WinDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_FLOAT_EQ(float(ScriptBridge::TableOf(dialog->GetInstance())["sceneTime"].GetNumber()), 100.0f);
}

TEST_F(GameTest, TheBluebirdDialogGreetsTheTwentyFifthBirdNotTheTwentieth)
{
    ASSERT_TRUE(DefineMovie(u"Game_BluebirdDialog"));
    Profile* profile = game->GetProfileMgr()->CurrentProfile();
    Board board(nullptr, game.get(), 1, u"Scene", u"");
    for (const int32_t before : {19, 24}) {
        profile->bluebirds = before;
        board.OnBluebirdFound(u"bird");
        EXPECT_EQ(game->GetScreenMgr()->IsOpen(u"Game_BluebirdDialog"), before + 1 == 25) << before + 1;
        game->GetScreenMgr()->CloseAndCancel(u"Game_BluebirdDialog");
        Step();
    }
}

// A board as the crisis dialog sees it: it counts the album's rebinding and what the profile held then.
struct RebindingBoard : IISpyPanelOwner {
    SceneRecord* Record() const override { return nullptr; }
    void UseHint() override {}
    void RebindAlbum() override { cakesSeen.push_back(ProfileMgr::Instance()->CurrentProfile()->cake); }
    StateMachine* Phases() override { return nullptr; }
    IGameServices* Services() const override { return nullptr; }
    std::vector<int32_t> cakesSeen;
};

TEST_F(GameTest, TheCrisisPickIsRecordedAndThenTheAlbumBoundAgain)
{
    ASSERT_TRUE(DefineMovie(u"Book_CrisisWonDialog"));
    Profile* profile = game->GetProfileMgr()->CurrentProfile();
    profile->page = 22; // level 11: its crisis picks the cake
    profile->cake = 0;
    RebindingBoard board;
    ASSERT_TRUE(
        game->GetScreenMgr()->Open(std::make_unique<UICrisisWonDialog>(*game->GetScreenMgr(), nullptr, false, &board)));
    ui->Update();
    game->GetScreenMgr()->ScreenEvent(u"button3", u"");
    game->GetScreenMgr()->CloseAndSave(u"Book_CrisisWonDialog");
    EXPECT_EQ(board.cakesSeen, std::vector<int32_t>{2});
}

TEST_F(GameTest, ScreensSeeWhetherAGameIsInPlay)
{
    game->SetState(GameState_Concentration);
    ASSERT_TRUE(game->GetScreenMgr()->Show(u"Menu", false));
    ui->Update();
    Run("ingame = root.dialogs.Menu.inGame");
    EXPECT_TRUE(Bool("ingame"));
    game->GetScreenMgr()->CloseAndCancel(u"Menu");
    game->SetState(GameState_Book);
    ASSERT_TRUE(game->GetScreenMgr()->Show(u"Other", false));
    ui->Update();
    Run("notingame = root.dialogs.Other.inGame");
    EXPECT_FALSE(Bool("notingame"));
}

} // namespace
