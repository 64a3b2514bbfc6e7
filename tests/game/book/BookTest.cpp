// The album's hub: its states from the letter to the tableaux, won, lost and crisis levels, the
// page texts, the pictures following their scenes, and the timing of a page turn.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "engine/core/audio/Audio.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "game/app/Game.h"
#include "game/board/Board.h"
#include "game/book/Book.h"
#include "game/book/BookArt.h"
#include "game/book/PageTurner.h"
#include "game/book/Picture.h"
#include "game/book/Tableaux.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "platform/audio/SoundCodec.h"
#include "tests/game/screens/UIScreenTestSupport.h"
#include "tests/support/MemoryFileSource.h"

using namespace QuillEngine;

namespace {

std::string Instance(const char* definition, const char* name)
{
    return std::string(R"(<Instance type="library" definition=")") + definition + R"(" instancename=")" + name +
           R"(" depth="1" create="0" death="40" regx="0" regy="0"><Frame alpha="100" transform="1 0 0 1 0 0"/></Instance>)";
}
std::string Text(const char* name)
{
    return std::string(R"(<Instance type="text" instancename=")") + name +
           R"(" depth="1" create="0" death="40" regx="0" regy="0" text="" face="Velvet Body" size="12" color="0x3b2f2f" align="left" width="50" height="20" bold="0"><Frame alpha="100" transform="1 0 0 1 0 0"/></Instance>)";
}
std::string Movie(const char* name, int length, const std::string& children)
{
    std::string stops;
    for (int i = 0; i < length; ++i)
        stops += R"(<Event frame=")" + std::to_string(i) + R"(" type="stop"/>)";
    return std::string(R"(<Definition type="movie" name=")") + name + R"(" length=")" + std::to_string(length) +
           R"(" fps="60">)" + stops + children + "</Definition>";
}

std::string Library()
{
    const std::string glow = Instance("Plain", "glow");
    std::string lib = "<Library>";
    lib += Movie("Plain", 3, "") + Movie("S", 1, "") + Movie("Glowing", 3, glow);
    lib += Movie("tableaux", 1,
                 Instance("Glowing", "flowers") + Instance("Glowing", "cakes") + Instance("Glowing", "dresses") +
                     Instance("Glowing", "gifts"));
    lib += Movie("TLetter", 1, Text("textPlayerName"));
    lib += Movie("TPage", 40,
                 Text("textItemsLevel") + Text("textTimeLevel") + Text("textBluebirds") +
                     Instance("Plain", "envelope") + Instance("TLetter", "introLetter") +
                     Instance("Plain", "introPlayButton") + Instance("Glowing", "photoA") +
                     Instance("Plain", "photoAComplete") + Text("photoACount") + Text("hint") +
                     Instance("Plain", "logo") + Instance("Glowing", "photoG") + Instance("tableaux", "tableaux"));
    std::string layout;
    for (const char* page : {"pageLeft", "pageRight", "pageNear", "pageFar"})
        layout += Instance("TPage", page);
    for (const char* fold : {"maskNear", "maskFar", "shadowFar", "maskShadowFar", "shadowNear", "maskShadowNear",
                             "clearNear", "clearFar", "rightControl", "leftControl"})
        layout += Instance("Plain", fold);
    lib += Movie("TLayout", 1, layout);
    lib += Movie("FinalBook", 1,
                 Instance("Plain", "whitePlane") + Instance("Plain", "crisisSplash") +
                     Instance("Plain", "mainMenuButton") + Instance("TLayout", "pageLayout"));
    lib += R"(<Definition type="movie" name="intro_animation" length="3" fps="60"><Event frame="2" type="stop"/>)" +
           Instance("TLetter", "letter") + "</Definition>";
    lib += Movie("TResult", 1, Text("text"));
    lib += Movie("WeddingDisplay", 1,
                 Instance("TResult", "resultText") + Instance("Plain", "textMask") + Instance("tableaux", "tableaux"));
    lib += Movie("Book_TutorialIntroDialog", 1, "") + Movie("Book_TutorialDialog", 1, "");
    return lib + "</Library>";
}

// Levels 0..19; level n has scene photo "photoA" numbered n; level 4 also the card game; 5, 11
// and 17 are crises.
std::string Catalogue()
{
    std::string xml = "<levels>";
    for (int n = 0; n < 20; ++n) {
        const std::string number = std::to_string(n);
        const bool crisis = n == 5 || n == 11 || n == 17;
        xml += R"(<LEVEL title="L)" + number + R"(" minutes="2.1" bonusminutes="1" items="10" number=")" + number +
               '"' + (crisis ? R"( crisis="1")" : "") + ">";
        if (n > 0)
            xml += R"(<PHOTO symbol="photoA" package="P" number=")" + number +
                   R"(" scene="S" items="10" sound="A" difficulty="0.5"/>)";
        if (n == 4)
            xml += R"(<PHOTO symbol="photoG" package="concentration" number="40" bonus="1"/>)";
        xml += "</LEVEL>";
    }
    return xml + "</levels>";
}

constexpr int kRate = 8000;

// A mono WAV of `seconds` of a quiet tone.
std::string Wav(float seconds)
{
    std::vector<float> samples(static_cast<size_t>(seconds * kRate), 0.25f);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(QuillPlatform::Audio::EncodeSound(QuillPlatform::Audio::SoundFileFormat::Wav, samples.data(),
                                                  static_cast<uint32_t>(samples.size()), 1, kRate, bytes));
    return std::string(bytes.begin(), bytes.end());
}

// The transition script (it waits: the tests call "TransitionDone" themselves), the background
// music and a short wedding march.
QuillTest::MemoryFileSource::Files DataFiles()
{
    QuillTest::MemoryFileSource::Files files;
    files[u"script\\Transitions.lua"] = "-- the test ends the transition itself";
    std::string audio = R"(<Audio><ClassDef name="Music"/><ClassDef name="Effects"/>)";
    for (const char16_t* track : Game::kMusicTracks) {
        const std::string name = ToUtf8(track);
        audio += R"(<Sound name=")" + name + R"(" source="Music\)" + name + R"(.wav" class="Music"/>)";
        files[u"Music\\" + String(track) + u".wav"] = Wav(4.0f);
    }
    audio += R"(<Sound name="WeddingMarch" source="Music\March.wav" class="Music"/></Audio>)";
    files[u"Music\\March.wav"] = Wav(1.0f);
    files[u"Audio\\Audio.xml"] = audio;
    files[u"Levels\\S.xml"] = "<Items/>"; // the scenes' list of items, empty: the game refuses them
    return files;
}

class BookTest : public ScreenTesting::SceneFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(files.AddSource(new QuillTest::MemoryFileSource(&data, u"data")));
        audio.SetClockForTest([] { return 0; });
        ASSERT_TRUE(audio.Init(8));
        ASSERT_TRUE(audio.LoadDefinitions());
        auto doc = XmlNode::ParseDocument(Library(), false);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(doc && ui->GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
        // The scene packages are part of the test's data: every mount but "Missing" succeeds.
        Game::EngineLinks links;
        links.mountPackage = [](const String& name, const String&) { return name != u"Missing"; };
        links.showMessage = [this](const std::string&, const std::string& text) { messages.push_back(text); };
        game = std::make_unique<Game>(std::move(links));
        ui->Update();
        game->SetState(GameState_Book);
        book = game->GetBook();
        ASSERT_NE(book, nullptr);
        auto catalogue = XmlNode::ParseDocument(Catalogue(), false);
        ASSERT_TRUE(catalogue && book->LoadLevels(*catalogue));
        profile = game->GetProfileMgr()->CurrentProfile();
        ASSERT_NE(profile, nullptr);
    }
    void TearDown() override { game.reset(); }

    // The album scene loads and fades in.
    void Open()
    {
        ui->Update();
        ASSERT_EQ(book->GetState(), Book::State_FadeIn);
        Steps(Book::kFadeTicks);
        ASSERT_EQ(book->GetState(), Book::State_Browsing);
    }
    void Step()
    {
        game->GetScreenMgr()->Update();
        game->Update();
        ui->Update();
    }
    void Steps(int count)
    {
        for (int i = 0; i < count; ++i)
            Step();
    }
    InstanceHandle Layout(const char16_t* name) { return BookArt::Child(book->GetPageLayout(), name); }
    InstanceHandle OnPage(const char16_t* page, const char16_t* name) { return BookArt::Child(Layout(page), name); }
    bool Shown(const InstanceHandle& handle) { return BookArt::Visible(handle); }
    // Puts the profile on level n, as a page turn does.
    void GoTo(int level)
    {
        profile->page = static_cast<uint32_t>(2 * level);
        book->SetUpPages();
    }

    // Plays `seconds` of sound and lets the audio report what ended.
    void Listen(float seconds)
    {
        const auto frames = static_cast<size_t>(seconds * static_cast<float>(audio.GetSystem()->OutputRate()));
        std::vector<float> out(frames * 2);
        audio.GetSystem()->MixForTest(out.data(), static_cast<uint32_t>(frames));
        audio.Update();
    }
    // True when the background music moves on while sound plays.
    bool MusicAdvances()
    {
        const float before = game->CurrentMusic().GetPosition();
        Listen(0.1f);
        return game->CurrentMusic().GetPosition() > before;
    }

    QuillTest::MemoryFileSource::Files data = DataFiles();
    FileManager files;
    XmlCache xml{&files};
    ResourceCache cache;
    Audio audio{&cache};
    // What the game told the player.
    std::vector<std::string> messages;
    // How many of those refused a scene.
    long Refusals() const
    {
        return std::count_if(messages.begin(), messages.end(), [](const std::string& text) {
            return text.find("cannot be played") != std::string::npos;
        });
    }
    std::unique_ptr<Game> game;
    Book* book = nullptr;
    Profile* profile = nullptr;
};

TEST_F(BookTest, TheLetterOpensTheAlbumAndAPageTurnLeadsToTheFirstChapter)
{
    Open();
    EXPECT_TRUE(Shown(OnPage(u"pageRight", u"introLetter")));
    EXPECT_EQ(BookArt::Text(BookArt::Child(OnPage(u"pageRight", u"introLetter"), u"textPlayerName")),
              u"Dear " + profile->name + u",");
    EXPECT_FALSE(Shown(book->NextControl()->Control())) << "the letter is not read yet";
    EXPECT_FALSE(Shown(book->PrevControl()->Control()));

    book->OnMouseUp(OnPage(u"pageRight", u"introPlayButton"), false);
    EXPECT_EQ(book->GetState(), Book::State_IntroAnimation);
    EXPECT_FALSE(Shown(OnPage(u"pageRight", u"introLetter")));
    EXPECT_EQ(BookArt::Frame(OnPage(u"pageLeft", u"envelope")), 1);
    const InstanceHandle flying = BookArt::Child(BookArt::Child(book->Scene(), u"letterAnimation"), u"letter");
    EXPECT_EQ(BookArt::Text(BookArt::Child(flying, u"textPlayerName")), u"Dear " + profile->name + u",");
    // The animation's timeline stops: back to browsing, the letter counts as read.
    Steps(5);
    EXPECT_EQ(book->GetState(), Book::State_Browsing);
    EXPECT_TRUE(profile->introSeen);
    EXPECT_TRUE(game->GetScreenMgr()->IsOpen(u"Book_TutorialIntroDialog"));
    EXPECT_TRUE(Shown(book->NextControl()->Control()));

    book->NextControl()->Begin();
    EXPECT_EQ(profile->page, 2u);
    EXPECT_FALSE(Shown(book->NextControl()->Control())) << "no control while a page turns";
    Steps(120);
    EXPECT_FALSE(book->IsTurning());
    EXPECT_EQ(BookArt::Frame(Layout(u"pageLeft")), 2);
    EXPECT_EQ(BookArt::Frame(Layout(u"pageRight")), 3);
    EXPECT_TRUE(game->GetScreenMgr()->IsOpen(u"Book_TutorialDialog"));
    EXPECT_TRUE(Shown(book->PrevControl()->Control()));
    EXPECT_FALSE(Shown(book->NextControl()->Control())) << "the first chapter is not done";
    EXPECT_EQ(book->HighestPage(), 2u);
}

TEST_F(BookTest, AWonLevelOpensTheNextAndTheBookTurnsToItALostOneStartsAgain)
{
    profile->introSeen = true;
    Open();
    GoTo(1);
    // A lost scene: the level starts again, its scene open and marked for replay.
    LevelRecord* level = profile->FindLevel(1);
    level->items = 4;
    book->OnBoardFinished(false);
    EXPECT_EQ(book->GetState(), Book::State_BoardLost);
    Step();
    EXPECT_EQ(book->GetState(), Book::State_Browsing);
    EXPECT_EQ(level->items, 0);
    EXPECT_TRUE(profile->FindScene(1)->replay);

    // A won scene that reaches the level's target wins the level: the next one opens and, being
    // seen for the first time, the book turns to it by itself.
    EXPECT_EQ(profile->FindScene(2)->status, SceneRecord::Locked);
    level->items = 10;
    book->OnBoardFinished(true);
    EXPECT_EQ(book->GetState(), Book::State_BoardWon);
    Step();
    EXPECT_TRUE(level->bonusPlayed);
    EXPECT_EQ(profile->FindScene(2)->status, SceneRecord::Open);
    Steps(2);
    EXPECT_TRUE(book->IsTurning());
    EXPECT_EQ(profile->page, 4u);
    EXPECT_FALSE(profile->FindLevel(2)->firstTimeSeen);

    // A won scene short of the target goes back to browsing.
    Steps(120);
    profile->FindLevel(2)->items = 3;
    book->OnBoardFinished(true);
    EXPECT_EQ(book->GetState(), Book::State_Browsing);
}

TEST_F(BookTest, ALevelWithACardGameStartsItsTransitionAndTheScriptHandsOver)
{
    profile->introSeen = true;
    Open();
    GoTo(4);
    profile->FindLevel(4)->items = 10;
    book->OnBoardFinished(true);
    Step();
    EXPECT_EQ(book->GetState(), Book::State_Browsing);
    EXPECT_EQ(book->TransitionScene(), -1);
    EXPECT_EQ(book->MiniGameKind(), 1);
    EXPECT_FALSE(profile->FindLevel(4)->bonusPlayed) << "the card game is still to play";
    Run("TransitionDone()");
    EXPECT_EQ(game->GetState(), GameState_Concentration);
    Run("fade = fadeTransitionOut");
    EXPECT_TRUE(Bool("fade"));
}

TEST_F(BookTest, AClickedPhotoAsksForItsSceneOnceTheTransitionCoversTheScreen)
{
    profile->introSeen = true;
    Open();
    GoTo(1);
    Step();
    Picture* photo = book->Pictures()[0].get();
    ASSERT_EQ(photo->GetState(), Picture::State_Open);
    // Clicked while a page turns, the photo opens nothing.
    book->PrevControl()->Begin();
    ASSERT_TRUE(book->IsTurning());
    photo->OnMouseUp(photo->Movie(), false);
    EXPECT_EQ(book->GetState(), Book::State_Browsing);
    Steps(120);
    ASSERT_FALSE(book->IsTurning());
    EXPECT_EQ(game->GetState(), GameState_Book);
    GoTo(1);
    Step();
    photo = book->Pictures()[0].get();
    ASSERT_EQ(photo->GetState(), Picture::State_Open);
    photo->OnMouseUp(photo->Movie(), false);
    EXPECT_EQ(book->GetState(), Book::State_SceneTransition);
    EXPECT_EQ(Number("transitionScene"), 1.0);
    Run("TransitionDone()");
    EXPECT_EQ(book->GetState(), Book::State_Browsing);
    // The game has the scene's board; its item list here names nothing to find, so it refuses
    // it with a word, and the album takes clicks again with the photo as it was.
    EXPECT_EQ(Refusals(), 1);
    EXPECT_EQ(game->GetState(), GameState_Book);
    EXPECT_TRUE(book->Scene().Resolve()->GetInputEnabled());
    EXPECT_EQ(profile->FindScene(1)->status, SceneRecord::Open);
}

TEST_F(BookTest, ACrisisShowsItsSplashAndAlertsOnceAndItsWinStartsNoMiniGame)
{
    profile->introSeen = true;
    profile->bookUnlocked = true;
    Open();
    GoTo(4);
    EXPECT_FALSE(Shown(BookArt::Child(book->Scene(), u"crisisSplash")));
    book->NextControl()->Begin();
    Steps(100);
    EXPECT_EQ(profile->page, 10u);
    EXPECT_TRUE(Shown(BookArt::Child(book->Scene(), u"crisisSplash")));
    EXPECT_TRUE(profile->FindLevel(5)->crisisSound);

    profile->FindLevel(5)->items = 10;
    book->OnBoardFinished(true);
    Step();
    EXPECT_EQ(book->GetState(), Book::State_Browsing);
    EXPECT_FALSE(profile->FindLevel(5)->bonusPlayed) << "a crisis has no bonus game to mark";

    // book.winLevel raises the found count past the target: 3 of 10 becomes 11.
    GoTo(7);
    profile->FindLevel(7)->items = 3;
    book->OnConsoleCommand({u"book.winLevel"}, Handle());
    EXPECT_EQ(profile->FindLevel(7)->items, 11);
    EXPECT_EQ(profile->FindScene(7)->status, SceneRecord::Complete);

    // A player's arrow keys leave the album straight; book.debugKeys lets them tilt it.
    Instance_Base* layout = book->GetPageLayout().Resolve();
    ASSERT_NE(layout, nullptr);
    // (A rotation is read back within a turn: 0 may come back as 2 pi.)
    const auto angle = [layout] { return std::remainder(layout->GetRotation(), 2 * std::numbers::pi_v<float>); };
    book->OnKeyDown(book->Scene(), 37);
    EXPECT_NEAR(angle(), 0.0f, 1e-4f);
    book->OnConsoleCommand({u"book.debugKeys"}, Handle());
    book->OnKeyDown(book->Scene(), 37);
    book->OnKeyDown(book->Scene(), 37);
    book->OnKeyDown(book->Scene(), 39);
    EXPECT_NEAR(angle(), -0.063f, 1e-4f);
}

TEST_F(BookTest, ReachingLevelEighteenPlaysTheTableauxOnceWithoutTheGiftsBelowFiftyBluebirds)
{
    profile->introSeen = true;
    profile->bookUnlocked = true;
    profile->bluebirds = 49;
    LevelRecord* flower = profile->FindLevel(5);
    flower->timeLeft = flower->maxTime - 125.9f;
    Open();
    GoTo(17);
    book->NextControl()->Begin();
    Steps(98);
    ASSERT_EQ(book->GetState(), Book::State_TableauxDisplay);
    Tableaux* tableaux = book->RunningTableaux();
    ASSERT_NE(tableaux, nullptr);
    EXPECT_EQ(BookArt::Text(BookArt::Child(BookArt::Child(tableaux->Display(), u"resultText"), u"text")),
              u"Flower Crisis Solved in 2:05");
    // Three results of 300 ticks (the bluebirds' is skipped), a 60-tick fade, a 1.5 s flight.
    Steps(3 * Tableaux::kResultTicks + Tableaux::kFadeTicks + 80);
    EXPECT_EQ(book->GetState(), Book::State_TableauxDisplay);
    Steps(20);
    EXPECT_EQ(book->GetState(), Book::State_Browsing);
    EXPECT_EQ(book->RunningTableaux(), nullptr);
    EXPECT_TRUE(profile->tableauxSeen);
    EXPECT_EQ(profile->FindScene(19)->status, SceneRecord::Open);
    EXPECT_TRUE(Shown(OnPage(u"pageLeft", u"tableaux")));
    EXPECT_FALSE(Shown(BookArt::Child(OnPage(u"pageLeft", u"tableaux"), u"gifts")));

    // Turning back and forth does not play it again.
    book->PrevControl()->Begin();
    Steps(100);
    book->NextControl()->Begin();
    Steps(100);
    EXPECT_EQ(book->GetState(), Book::State_Browsing);
}

TEST_F(BookTest, LeavingAWonSceneGivesTheMusicBack)
{
    Board board(nullptr, game.get(), 1, u"S", u"");
    board.SetState(Board::State_Won);
    game->CurrentMusic().Pause();
    ASSERT_FALSE(MusicAdvances());
    board.SetState(Board::State_Inactive);
    EXPECT_TRUE(MusicAdvances());
}

TEST_F(BookTest, TheWeddingMarchGivesTheMusicBackWhenAPageTurnsOrWhenItHasPlayedOut)
{
    profile->introSeen = true;
    profile->bookUnlocked = true;
    Open();
    ASSERT_TRUE(MusicAdvances());
    GoTo(17);
    book->NextControl()->Begin();
    Steps(98);
    ASSERT_EQ(book->GetState(), Book::State_TableauxDisplay);
    EXPECT_TRUE(book->MarchChannel().IsPlaying());
    EXPECT_FALSE(MusicAdvances()) << "the music waits while the march plays";

    // A page turn stops the march and the music goes on.
    Steps(4 * Tableaux::kResultTicks + Tableaux::kFadeTicks + 100);
    ASSERT_EQ(book->GetState(), Book::State_Browsing);
    book->PrevControl()->Begin();
    EXPECT_FALSE(book->MarchChannel().IsValid());
    EXPECT_TRUE(MusicAdvances());

    // Played to its end, the march hands back to the music without a page turn.
    profile->tableauxSeen = false;
    Steps(100);
    book->NextControl()->Begin();
    Steps(98);
    ASSERT_EQ(book->GetState(), Book::State_TableauxDisplay);
    ASSERT_FALSE(MusicAdvances());
    Listen(1.2f);
    EXPECT_FALSE(MusicAdvances()) << "the tableaux is still showing";
    Steps(4 * Tableaux::kResultTicks + Tableaux::kFadeTicks + 100);
    ASSERT_EQ(book->GetState(), Book::State_Browsing);
    EXPECT_TRUE(MusicAdvances());
}

TEST_F(BookTest, MissingArtOrScriptNeverStrandsTheAlbum)
{
    profile->introSeen = true;
    profile->bookUnlocked = true;
    Open();

    // Without the transition script a photo leads straight to the game's answer for its scene
    // (here a refusal: the scene has nothing to find).
    data.erase(u"script\\Transitions.lua");
    GoTo(1);
    Step();
    Picture* photo = book->Pictures()[0].get();
    photo->OnMouseUp(photo->Movie(), false);
    EXPECT_EQ(Refusals(), 1);
    EXPECT_EQ(book->GetState(), Book::State_Browsing);

    // A photo whose scene has no board, or whose package is missing, leaves the album taking
    // clicks.
    ASSERT_NE(book->Scene().Resolve(), nullptr);
    Picture stray(book, u"P", u"photoA", 99, 1);
    Picture unmounted(book, u"Missing", u"photoA", 1, 1);
    for (Picture* photo : {&stray, &unmounted}) {
        book->PlayTransition(photo);
        EXPECT_EQ(game->GetState(), GameState_Book);
        EXPECT_EQ(book->GetState(), Book::State_Browsing);
        EXPECT_TRUE(book->Scene().Resolve()->GetInputEnabled());
    }

    // Without the display's art the tableaux counts as seen and the album goes on.
    ui->GetDefinitionLibrary()->RemoveDefinitions(u"WeddingDisplay");
    GoTo(17);
    book->NextControl()->Begin();
    Steps(98);
    EXPECT_EQ(book->GetState(), Book::State_Browsing);
    EXPECT_TRUE(profile->tableauxSeen);
    EXPECT_EQ(profile->FindScene(19)->status, SceneRecord::Open);
}

TEST_F(BookTest, PagesShowTheLevelAndTheirPhotosFollowTheScenes)
{
    profile->introSeen = true;
    profile->bluebirds = 7;
    Open();
    GoTo(1);
    LevelRecord* level = profile->FindLevel(1);
    level->items = 4;
    level->timeLeft = 125.9f;
    book->RebindPages();
    const InstanceHandle left = Layout(u"pageLeft");
    EXPECT_EQ(BookArt::Text(BookArt::Child(left, u"textItemsLevel")), u"6");
    EXPECT_EQ(BookArt::Text(BookArt::Child(left, u"textTimeLevel")), u"2:05");
    EXPECT_EQ(BookArt::Text(BookArt::Child(left, u"textBluebirds")), u"7");
    level->timeLeft = -12.0f; // a penalty past the end of the clock
    book->RebindPages();
    EXPECT_EQ(BookArt::Text(BookArt::Child(Layout(u"pageLeft"), u"textTimeLevel")), u"0:00");
    level->timeLeft = 125.9f;
    book->RebindPages();
    EXPECT_EQ(BookArt::Text(BookArt::Child(left, u"photoACount")), u"10") << "an open scene: all its items";
    EXPECT_FALSE(Shown(OnPage(u"pageRight", u"introLetter")));

    Picture* photo = book->Pictures()[0].get();
    SceneRecord* scene = profile->FindScene(1);
    Step();
    EXPECT_EQ(photo->GetState(), Picture::State_Open);
    EXPECT_TRUE(Shown(photo->Glow()));
    EXPECT_FALSE(Shown(photo->Complete()));
    // "Click the photo" stands on the page whose photo takes the click, and only while it does.
    EXPECT_TRUE(Shown(OnPage(u"pageRight", u"hint")));
    EXPECT_FALSE(Shown(OnPage(u"pageLeft", u"hint"))) << "its photo is bound on the right page";
    scene->status = SceneRecord::Complete;
    Step();
    EXPECT_EQ(photo->GetState(), Picture::State_Complete);
    EXPECT_TRUE(Shown(photo->Complete()));
    EXPECT_FALSE(Shown(photo->Glow()));
    EXPECT_FALSE(Shown(OnPage(u"pageRight", u"hint"))) << "a finished scene's photo takes no click";
    scene->status = SceneRecord::Locked;
    Step();
    EXPECT_EQ(photo->GetState(), Picture::State_Locked);
    photo->OnMouseEnter(photo->Movie());
    EXPECT_EQ(BookArt::Frame(photo->Movie()), 0) << "a locked photo does not light up";
}

TEST(PictureStateTest, MiniGamesOpenForASavedStoryOrOnTheirOwnFinishedLevel)
{
    EXPECT_EQ(Picture::SceneState(SceneRecord::InProgress), Picture::State_Open);
    EXPECT_EQ(Picture::SceneState(SceneRecord::Locked), Picture::State_Locked);
    EXPECT_EQ(Picture::SceneState(7), -1);

    Profile profile(u"p");
    auto level = std::make_unique<LevelRecord>(u"L", 60, 30, 10, 4, false);
    LevelRecord* raw = level.get();
    profile.AddLevelRecord(raw->MakeFromTemplate());
    raw = profile.FindLevel(4);
    profile.page = 8;
    raw->items = 9;
    EXPECT_EQ(Picture::MiniGameState(profile, 4), Picture::State_Locked) << "items remain";
    raw->items = 10;
    EXPECT_EQ(Picture::MiniGameState(profile, 4), Picture::State_Open);
    EXPECT_EQ(Picture::MiniGameState(profile, 8), Picture::State_Locked) << "another level's game";
    raw->bonusPlayed = true;
    EXPECT_EQ(Picture::MiniGameState(profile, 4), Picture::State_Locked);
    profile.SetStoryState(std::make_unique<XmlNode>(u"story"));
    EXPECT_EQ(Picture::MiniGameState(profile, 8), Picture::State_Open) << "a saved story opens it anywhere";
}

TEST_F(BookTest, TheCornerBlinksOnAResumedChapterThatIsDoneUntilThePointerIsOverIt)
{
    // A saved player comes back to chapter 2, won already, with chapter 3 open.
    profile->introSeen = true;
    profile->page = 4;
    profile->FindScene(1)->status = SceneRecord::Complete;
    profile->FindLevel(1)->bonusPlayed = true;
    profile->FindLevel(2)->firstTimeSeen = false;
    profile->FindScene(2)->status = SceneRecord::Complete;
    profile->FindLevel(2)->bonusPlayed = true;
    profile->FindScene(3)->status = SceneRecord::Open;
    profile->FindLevel(3)->firstTimeSeen = false;
    Open();
    PageTurner* next = book->NextControl();
    ASSERT_TRUE(Shown(next->Control()));
    std::set<int32_t> frames;
    for (int i = 0; i < 40; ++i) {
        Step();
        frames.insert(BookArt::Frame(next->Control()));
    }
    EXPECT_EQ(frames, (std::set<int32_t>{0, 1}));

    // Under the pointer it holds its lit frame.
    next->OnMouseEnter(next->Control());
    frames.clear();
    for (int i = 0; i < 40; ++i) {
        Step();
        frames.insert(BookArt::Frame(next->Control()));
    }
    EXPECT_EQ(frames, (std::set<int32_t>{1}));

    // Back on chapter 1, done as well but not the furthest page reached, it does not blink.
    next->OnMouseLeave(next->Control());
    book->PrevControl()->Begin();
    Steps(120);
    ASSERT_EQ(profile->page, 2u);
    ASSERT_TRUE(Shown(next->Control()));
    frames.clear();
    for (int i = 0; i < 40; ++i) {
        Step();
        frames.insert(BookArt::Frame(next->Control()));
    }
    EXPECT_EQ(frames, (std::set<int32_t>{0}));
}

TEST_F(BookTest, APageTurnTakesNinetyEightUpdatesSwapsAtTheSpineAndIgnoresClicks)
{
    profile->introSeen = true;
    profile->bookUnlocked = true;
    Open();
    GoTo(2);
    PageTurner* next = book->NextControl();
    next->Begin();
    EXPECT_TRUE(book->IsTurning());
    EXPECT_EQ(BookArt::Frame(Layout(u"pageFar")), 6);
    EXPECT_EQ(BookArt::Frame(Layout(u"pageNear")), 7);
    book->PrevControl()->Begin(); // ignored while turning
    EXPECT_EQ(profile->page, 6u);
    for (int i = 0; i < 96; ++i)
        next->Update(false);
    EXPECT_EQ(BookArt::Frame(Layout(u"pageLeft")), 4) << "the fold has not reached the spine";
    next->Update(false);
    EXPECT_EQ(BookArt::Frame(Layout(u"pageLeft")), 6);
    EXPECT_TRUE(book->IsTurning());
    next->Update(false);
    EXPECT_FALSE(book->IsTurning());

    // Back from the first spread there is nothing: the page number never wraps.
    profile->page = 0;
    book->PrevControl()->Begin();
    EXPECT_FALSE(book->IsTurning());
    EXPECT_EQ(profile->page, 0u);

    // The fold is clamped to the turning half.
    next->SetFold(1000);
    EXPECT_FLOAT_EQ(Layout(u"maskNear").Resolve()->GetX(), 684.0f);
    next->SetFold(100);
    EXPECT_FLOAT_EQ(Layout(u"maskNear").Resolve()->GetX(), 342.0f);
    EXPECT_FLOAT_EQ(Layout(u"pageFar").Resolve()->GetRotation(), 0.0f);
}

} // namespace
