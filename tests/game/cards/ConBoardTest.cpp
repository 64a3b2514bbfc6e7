// The card memory game on a real instance tree: the deal and its grid, the flip and its timing,
// pairs, mismatches, clock cards and jokers, the hint, a game kept in the profile and taken up
// again, the win and the loss, and the panel's routing.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/core/EngineRand.h"
#include "engine/core/prefs/UserData.h"
#include "engine/core/console/Console.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/app/ScriptBridge.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/script/LuaValueRef.h"
#include "game/app/Game.h"
#include "game/cards/ConBoard.h"
#include "game/cards/ConCard.h"
#include "game/cards/dialogs/ConDialogs.h"
#include "game/profile/LevelRecord.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "tests/game/screens/UIScreenTestSupport.h"

using namespace QuillEngine;

namespace {

std::string Movie(const char* name, int length, const std::string& children = "", const std::string& stops = "")
{
    return std::string(R"(<Definition type="movie" name=")") + name + R"(" length=")" + std::to_string(length) +
           R"(" fps="60">)" + stops + children + "</Definition>";
}
std::string Child(const char* definition, const char* name)
{
    return std::string(R"(<Instance type="library" definition=")") + definition + R"(" instancename=")" + name +
           R"(" depth="1" create="0" death="60" regx="0" regy="0"><Frame alpha="100" transform="1 0 0 1 0 0"/></Instance>)";
}

std::string Library()
{
    std::string lib = "<Library>";
    lib += Movie("Plain", 6);
    lib += Movie("Charm", 3, "", R"(<Event frame="0" type="stop"/><Event frame="1" type="stop"/><Event frame="2" type="stop"/>)");
    lib += Movie("Prize", 4, Child("Charm", "charm"),
                 R"(<Event frame="0" type="stop"/><Event frame="2" type="stop"/><Event frame="3" type="stop"/>)");
    lib += Movie("ConBoard", 1, Child("Plain", "item") + Child("Prize", "object"));
    lib += Movie("ConCard", 20) + Movie("ConCardBack", 1) + Movie("ConCardBack_Hi", 1);
    for (const char* screen : {"ConPanel", "Con_WinDialog", "Con_LoseDialog", "GameMenuDialog", "Con_TutorialDialog"})
        lib += Movie(screen, 1);
    return lib + "</Library>";
}

// Set 1 has four faces (frames 1-4), set 2 two (frames 7, 8); the joker shows frame 10, the clock
// frame 11.
const char* const kTable = R"(<concentration>
    <card type="1" frame="1"/><card type="1" frame="2"/><card type="1" frame="3"/><card type="1" frame="4"/>
    <card type="2" frame="7"/><card type="2" frame="8"/>
    <card type="J" frame="10"/><card type="C" frame="11"/>
    <level level="4" cardset="1" rows="4" cols="4" jokers="2" clocks="2"/>
    <level level="5" cardset="2" rows="2" cols="2" jokers="0" clocks="0"/>
    <level level="6" cardset="2" rows="5" cols="4" jokers="1" clocks="0"/>
    <level level="7" cardset="1" rows="3" cols="3" jokers="0" clocks="0"/>
</concentration>)";

class ConBoardTest : public ScreenTesting::SceneFixture {
protected:
    void SetUp() override
    {
        auto doc = XmlNode::ParseDocument(Library(), false);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(doc && ui->GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
        Game::EngineLinks links;
        links.console = &console;
        game = std::make_unique<Game>(links);
        board = game->GetConBoard();
        auto table = XmlNode::ParseDocument(kTable, false);
        ASSERT_TRUE(table && board->LoadTable(*table));
        profile = game->GetProfileMgr()->CurrentProfile();
        ASSERT_NE(profile, nullptr);
        for (int32_t number : {4, 5, 6, 7, 15})
            profile->AddLevelRecord(LevelRecord(u"L", 600, 90, 10, number, false).MakeFromTemplate());
        Srand(7);
    }
    void TearDown() override { game.reset(); }

    LevelRecord* Level() { return profile->CurrentLevel(); }
    // Enters the card game on level n and waits until the cards are dealt out; the tutorial the
    // first game opens is closed, as a player must before the cards take a click (a modal screen
    // holds the game).
    void Play(int32_t level)
    {
        profile->page = static_cast<uint32_t>(2 * level);
        game->SetState(GameState_Concentration);
        Steps(3);
        ASSERT_EQ(board->GetState(), ConBoard::State_Ready);
        game->GetScreenMgr()->CloseAndSave(u"Con_TutorialDialog");
        Step();
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
    ConCard* Card(size_t k) { return board->Cards()[k].get(); }
    // The first card after `from` with that frame.
    ConCard* FindFrame(int32_t frame, const ConCard* except = nullptr)
    {
        for (const auto& card : board->Cards()) {
            if (card->Frame() == frame && card.get() != except && card->GetState() == ConCard::State_FaceDown)
                return card.get();
        }
        return nullptr;
    }
    // Two face-down face cards of different frames.
    std::pair<ConCard*, ConCard*> Mismatch()
    {
        ConCard* a = nullptr;
        for (const auto& card : board->Cards()) {
            if (card->GetKind() != ConCard::Kind_Face)
                continue;
            if (!a)
                a = card.get();
            else if (card->Frame() != a->Frame())
                return {a, card.get()};
        }
        return {nullptr, nullptr};
    }
    bool Shown(const InstanceHandle& handle)
    {
        const Instance_Base* instance = HandleEx::ResolveInstance(handle);
        return instance && instance->GetVisible();
    }

    double LastLevel()
    {
        const UIScreen* dialog = game->GetScreenMgr()->FindScreen(UIConWinLoseDialog::kName);
        return dialog ? ScriptBridge::TableOf(dialog->GetInstance())["lastLevel"].GetNumber() : -1.0;
    }

    Console console;
    std::unique_ptr<Game> game;
    ConBoard* board = nullptr;
    Profile* profile = nullptr;
};

TEST_F(ConBoardTest, DealsJokersClocksAndCompletePairsColumnByColumn)
{
    Play(4);
    ASSERT_EQ(board->Cards().size(), 16u);
    EXPECT_EQ(board->Remaining(), 16);
    std::map<int32_t, int> frames;
    int jokers = 0, clocks = 0;
    for (const auto& card : board->Cards()) {
        jokers += card->GetKind() == ConCard::Kind_Joker;
        clocks += card->GetKind() == ConCard::Kind_Clock;
        if (card->GetKind() == ConCard::Kind_Face)
            ++frames[card->Frame()];
    }
    EXPECT_EQ(jokers, 2);
    EXPECT_EQ(clocks, 2);
    // Six pairs from four faces: every face is dealt, two of them twice over.
    EXPECT_EQ(frames.size(), 4u);
    int pairs = 0;
    for (const auto& [frame, count] : frames) {
        EXPECT_EQ(count % 2, 0) << "frame " << frame;
        pairs += count / 2;
    }
    EXPECT_EQ(pairs, 6);

    // 4 x 4: cards of 121.25 px; card 5 is the second of the second column.
    EXPECT_FLOAT_EQ(Card(5)->Width(), 121.25f);
    float x = 0, y = 0;
    HandleEx::ResolveInstance(Card(5)->Face())->GetPosition(x, y);
    EXPECT_FLOAT_EQ(x, 220 + 126.25f + 121.25f / 2);
    EXPECT_FLOAT_EQ(y, 50 + 126.25f + 121.25f / 2);
    EXPECT_TRUE(Shown(Card(5)->Back()));
    EXPECT_FALSE(Shown(Card(5)->Face()));
    EXPECT_EQ(HandleEx::ResolveMovie(Card(5)->Face())->GetFrame(), Card(5)->Frame());
    EXPECT_TRUE(Shown(board->BoardInstance()));
    EXPECT_TRUE(game->GetScreenMgr()->IsOpen(UIConPanel::kName));

    // 4 columns by 5 rows: cards of 96 px, card 5 at the top of the second column.
    float size = 0;
    ConBoard::CardRect(5, 4, 5, x, y, size);
    EXPECT_FLOAT_EQ(size, 96.0f);
    EXPECT_FLOAT_EQ(x, 321.0f);
    EXPECT_FLOAT_EQ(y, 50.0f);
}

TEST_F(ConBoardTest, AFlipTakes21StepsAndASecondCardIsCompared12StepsLater)
{
    Play(5);
    auto [a, b] = Mismatch();
    ASSERT_TRUE(a && b);
    ConCard* c = FindFrame(b->Frame(), b);
    ASSERT_NE(c, nullptr);

    a->Click();
    EXPECT_EQ(board->GetState(), ConBoard::State_Playing) << "the first click starts the clock";
    EXPECT_EQ(board->FirstFaceUp(), a);
    Steps(10);
    EXPECT_FALSE(Shown(a->Face()));
    EXPECT_TRUE(Shown(a->Back()));
    Step();
    EXPECT_TRUE(Shown(a->Face())) << "the face shows from the 11th step";
    EXPECT_FALSE(Shown(a->Back()));
    Steps(9);
    EXPECT_EQ(a->GetState(), ConCard::State_TurningUp);
    Step();
    EXPECT_EQ(a->GetState(), ConCard::State_FaceUp);

    b->Click();
    EXPECT_TRUE(board->IsBlocked());
    c->Click();
    EXPECT_EQ(c->GetState(), ConCard::State_FaceDown) << "a third card waits while two are up";
    Steps(21);
    ASSERT_EQ(b->GetState(), ConCard::State_FaceUp);
    Steps(11);
    EXPECT_EQ(b->GetState(), ConCard::State_FaceUp);
    Step();
    EXPECT_EQ(a->GetState(), ConCard::State_TurningDown);
    EXPECT_EQ(b->GetState(), ConCard::State_TurningDown);
    EXPECT_FALSE(board->IsBlocked());
    EXPECT_EQ(board->FirstFaceUp(), nullptr);
    Steps(21);
    EXPECT_EQ(a->GetState(), ConCard::State_FaceDown);
    EXPECT_EQ(board->Remaining(), 4);

    // A lone card clicked again turns back down.
    a->Click();
    Steps(21);
    a->Click();
    EXPECT_EQ(a->GetState(), ConCard::State_TurningDown);
    EXPECT_EQ(board->FirstFaceUp(), nullptr);
}

TEST_F(ConBoardTest, PairsLeaveAfter30StepsClocksAddTimeAndTwoJokersArePlainPairs)
{
    Play(4);
    ConCard* clock = nullptr;
    ConCard* joker = nullptr;
    for (const auto& card : board->Cards()) {
        if (!clock && card->GetKind() == ConCard::Kind_Clock)
            clock = card.get();
        if (!joker && card->GetKind() == ConCard::Kind_Joker)
            joker = card.get();
    }
    ASSERT_TRUE(clock && joker);
    ConCard* clock2 = FindFrame(clock->Frame(), clock);
    ConCard* joker2 = FindFrame(joker->Frame(), joker);
    ASSERT_TRUE(clock2 && joker2);

    clock->Click();
    clock2->Click();
    const float before = Level()->bonusTimeLeft;
    Steps(21 + 12);
    EXPECT_EQ(clock->GetState(), ConCard::State_Matched);
    EXPECT_EQ(clock2->GetState(), ConCard::State_Matched);
    EXPECT_NEAR(Level()->bonusTimeLeft, before + 20.0f - 33.0f / 60.0f, 1e-3);
    EXPECT_FALSE(board->IsBlocked());
    Steps(29);
    EXPECT_EQ(clock->GetState(), ConCard::State_Matched);
    Step();
    EXPECT_EQ(clock->GetState(), ConCard::State_Gone);
    EXPECT_FALSE(Shown(clock->Back()));
    EXPECT_EQ(board->Remaining(), 14);

    joker->Click();
    joker2->Click();
    Steps(21 + 12);
    EXPECT_EQ(joker->GetState(), ConCard::State_Matched);
    EXPECT_EQ(joker2->GetState(), ConCard::State_Matched);
    Steps(30);
    EXPECT_EQ(board->Remaining(), 12);
    for (const auto& card : board->Cards()) {
        if (card->GetKind() == ConCard::Kind_Face) {
            EXPECT_EQ(card->GetState(), ConCard::State_FaceDown) << "no twin was pulled in";
        }
    }
}

TEST_F(ConBoardTest, AJokerPullsInTheTwinOfTheOtherCardAndAllThreeLeave)
{
    Play(4);
    ConCard* joker = nullptr;
    ConCard* face = nullptr;
    for (const auto& card : board->Cards()) {
        if (!joker && card->IsJoker())
            joker = card.get();
        if (!face && card->GetKind() == ConCard::Kind_Face)
            face = card.get();
    }
    ASSERT_TRUE(joker && face);
    ConCard* twin = FindFrame(face->Frame(), face);
    ASSERT_NE(twin, nullptr);

    joker->Click();
    face->Click();
    Steps(21 + 12);
    EXPECT_EQ(twin->GetState(), ConCard::State_TurningUp);
    EXPECT_EQ(joker->GetState(), ConCard::State_MatchedByJoker);
    EXPECT_EQ(face->GetState(), ConCard::State_MatchedByJoker);
    EXPECT_EQ(face->Partner(), twin);
    EXPECT_TRUE(board->IsBlocked()) << "nothing else turns while the twin comes up";
    Steps(22);
    EXPECT_EQ(twin->GetState(), ConCard::State_Matched);
    EXPECT_EQ(joker->GetState(), ConCard::State_Matched);
    EXPECT_EQ(face->GetState(), ConCard::State_Matched);
    EXPECT_FALSE(board->IsBlocked());
    Steps(31);
    EXPECT_EQ(board->Remaining(), 13);
}

TEST_F(ConBoardTest, AGameLeftForTheAlbumIsKeptInTheProfileAndTakenUpAgain)
{
    Play(5);
    auto [a, b] = Mismatch();
    ConCard* twinA = FindFrame(a->Frame(), a);
    ASSERT_TRUE(a && b && twinA);
    a->Click();
    twinA->Click();
    Steps(21 + 12 + 30);
    ASSERT_EQ(board->Remaining(), 2);
    b->Click();
    Steps(21);
    std::vector<std::pair<int32_t, int32_t>> dealt;
    for (const auto& card : board->Cards())
        dealt.push_back({card->Frame(), card->GetState()});

    game->SetState(GameState_Book);
    EXPECT_FALSE(board->IsStarted());
    EXPECT_TRUE(board->Cards().empty());
    const XmlNode* saved = profile->ConcentrationState();
    ASSERT_NE(saved, nullptr);
    String value;
    EXPECT_TRUE(saved->GetAttribute(u"remaining", value) && value == u"2");
    EXPECT_TRUE(saved->GetAttribute(u"state", value) && value == u"2");
    EXPECT_EQ(saved->GetChildCount(), 4u);

    profile->honeymoonItems = 1; // the album's second card game
    game->SetState(GameState_Concentration);
    Steps(3);
    ASSERT_EQ(board->GetState(), ConBoard::State_Ready);
    EXPECT_EQ(profile->ConcentrationState(), nullptr) << "the saved game was taken up";
    ASSERT_EQ(board->Cards().size(), dealt.size());
    for (size_t k = 0; k < dealt.size(); ++k) {
        EXPECT_EQ(Card(k)->Frame(), dealt[k].first);
        EXPECT_EQ(Card(k)->GetState(), dealt[k].second);
    }
    EXPECT_EQ(board->Remaining(), 2);
    ConCard* waiting = board->FirstFaceUp();
    ASSERT_NE(waiting, nullptr);
    ConCard* partner = FindFrame(waiting->Frame(), waiting);
    ASSERT_NE(partner, nullptr);

    // Finishing the game wins it: the prize, the next level, nothing left to keep.
    const int32_t prizes = profile->honeymoonItems;
    partner->Click();
    Steps(21 + 12 + 30 + 1);
    EXPECT_EQ(board->GetState(), ConBoard::State_Won);
    EXPECT_EQ(profile->honeymoonItems, prizes + 1);
    EXPECT_TRUE(Level()->bonusPlayed);
    EXPECT_FALSE(board->IsStarted());
    Instance_Movie* prize = HandleEx::ResolveMovie(board->ObjectInstance());
    ASSERT_NE(prize, nullptr);
    EXPECT_TRUE(prize->GetPlaying());
    // The keepsake this game wins, not the one of the game before.
    const Instance_Movie* charm = HandleEx::ResolveMovie(prize->FindChild(u"charm"));
    ASSERT_NE(charm, nullptr);
    EXPECT_EQ(charm->GetFrame(), std::min(prizes, ConBoard::kKeepsakes - 1));
    game->SetState(GameState_Book);
    EXPECT_EQ(profile->ConcentrationState(), nullptr);
}

TEST_F(ConBoardTest, APlayerAddedDuringTheGameLeavesItForTheAlbumKeptForItsOwnPlayer)
{
    game->SetState(GameState_Book); // the album, which links the profiles to the games
    Play(5);
    ASSERT_TRUE(game->GetScreenMgr()->IsOpen(UIConPanel::kName));
    UserDataFolders store(u"Card players", u"Velvet Aisle"); // the change saves first
    ASSERT_TRUE(store.GetSavedGamesFolder(false));
    ASSERT_TRUE(game->GetProfileMgr()->NewProfile(u"Other"));
    EXPECT_EQ(game->GetState(), GameState_Book);
    EXPECT_FALSE(board->IsStarted());
    EXPECT_FALSE(game->GetScreenMgr()->IsOpen(UIConPanel::kName));
    EXPECT_NE(profile->ConcentrationState(), nullptr) << "the game stays with the player who left it";
    EXPECT_EQ(game->GetProfileMgr()->CurrentProfile()->ConcentrationState(), nullptr);
}

TEST_F(ConBoardTest, AJokerMatchTakenUpFromTheProfileFinishesWithTheCardTurningUpForIt)
{
    // Saved in the middle of a joker match: the joker and the face card wait, the face card's twin
    // is turning up, and an earlier pair is gone. The restored cards must not take a gone card as
    // the one they wait for.
    const char* saved = R"(<concentration state="2" columns="2" rows="2" remaining="3" block="1" sneaktimer="0.000000">
        <card state="7" type="0" frame="7" x="0" y="0" xsize="1" ysize="1"/>
        <card state="8" type="2" frame="10" x="0" y="0" xsize="1" ysize="1"/>
        <card state="8" type="0" frame="8" x="0" y="0" xsize="1" ysize="1"/>
        <card state="3" type="0" frame="8" x="0" y="0" xsize="1" ysize="1"/>
    </concentration>)";
    profile->SetConcentrationState(XmlNode::ParseDocument(saved, false));
    profile->page = 10;
    game->SetState(GameState_Concentration);
    Steps(3);
    ASSERT_EQ(board->Cards().size(), 4u);
    EXPECT_EQ(Card(0)->GetState(), ConCard::State_Gone);
    EXPECT_EQ(board->Remaining(), 3) << "cards gone before the save are not counted off again";
    Steps(21);
    EXPECT_EQ(Card(1)->GetState(), ConCard::State_Matched);
    EXPECT_EQ(Card(2)->GetState(), ConCard::State_Matched);
    EXPECT_EQ(Card(3)->GetState(), ConCard::State_Matched);
    Steps(32);
    EXPECT_EQ(board->Remaining(), 0);
    EXPECT_EQ(board->GetState(), ConBoard::State_Won);
}

TEST_F(ConBoardTest, AnOddGridLeavesOneCardThatGoesByItselfAndTheGameIsWon)
{
    Play(7);
    ASSERT_EQ(board->Cards().size(), 9u) << "the grid holds nine, never a tenth twin";
    std::map<int32_t, std::vector<ConCard*>> byFrame;
    for (const auto& card : board->Cards())
        byFrame[card->Frame()].push_back(card.get());
    ConCard* lone = nullptr;
    for (auto& [frame, cards] : byFrame) {
        if (cards.size() % 2 == 1)
            lone = cards.back();
        for (size_t i = 0; i + 1 < cards.size(); i += 2) {
            cards[i]->Click();
            cards[i + 1]->Click();
            Steps(21 + 12 + 30);
        }
    }
    ASSERT_NE(lone, nullptr);
    EXPECT_EQ(lone->GetState(), ConCard::State_Matched) << "the last card leaves without a partner";
    Steps(31);
    EXPECT_EQ(lone->GetState(), ConCard::State_Gone);
    EXPECT_EQ(board->Remaining(), 0);
    EXPECT_EQ(board->GetState(), ConBoard::State_Won);
}

TEST_F(ConBoardTest, TheLostClockDealsAgainAndTheConsoleSetsTimeAndHints)
{
    Play(5);
    console.Execute(u"concentration.sethintcount 4", false);
    EXPECT_EQ(Level()->hints, 3) << "more than three hints is refused";
    console.Execute(u"concentration.sethintcount 1", false);
    EXPECT_EQ(Level()->hints, 1);

    console.Execute(u"concentration.hint", false);
    EXPECT_EQ(Level()->hints, 0);
    Steps(61);
    ASSERT_EQ(board->GetState(), ConBoard::State_Playing);
    // Relaxed play keeps the clock still.
    profile->relaxed = true;
    const float still = Level()->bonusTimeLeft;
    Steps(30);
    EXPECT_EQ(Level()->bonusTimeLeft, still);
    profile->relaxed = false;

    const ConCard* old = Card(0);
    console.Execute(u"concentration.settime 0.02", false);
    Steps(2);
    EXPECT_TRUE(game->GetScreenMgr()->IsOpen(UIConLoseDialog::kName));
    // The dialog (and the panel) are drawn over the new deal, not hidden under it.
    std::vector<InstanceHandle> drawn;
    ui->GetRoot()->CollectChildren(drawn, true);
    const auto layer = std::find(drawn.begin(), drawn.end(), game->GetScreenMgr()->DialogsLayer());
    const auto cards = std::find(drawn.begin(), drawn.end(), board->BoardInstance());
    ASSERT_TRUE(layer != drawn.end() && cards != drawn.end());
    EXPECT_GT(layer, cards);
    EXPECT_FLOAT_EQ(Level()->bonusTimeLeft, 90.0f);
    EXPECT_TRUE(board->IsStarted());
    ASSERT_EQ(board->Cards().size(), 4u);
    EXPECT_NE(Card(0), old);
    Steps(3);
    EXPECT_EQ(board->GetState(), ConBoard::State_Ready);
    EXPECT_TRUE(game->GetScreenMgr()->IsOpen(UIConPanel::kName));
}

TEST_F(ConBoardTest, AHintTurnsAPairForASecondAndTheMenuHoldsTheBoard)
{
    Play(4);
    game->GetScreenMgr()->ScreenEvent(u"hint", u"ConPanel");
    EXPECT_EQ(board->GetState(), ConBoard::State_HintShown) << "a hint in Ready starts play and is used";
    EXPECT_EQ(Level()->hints, 2);
    std::vector<ConCard*> shown;
    for (const auto& card : board->Cards()) {
        if (card->GetState() == ConCard::State_TurningUp)
            shown.push_back(card.get());
    }
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0]->Frame(), shown[1]->Frame());
    EXPECT_FALSE(shown[0]->IsJoker());
    EXPECT_TRUE(board->IsBlocked());
    Steps(60);
    EXPECT_EQ(board->GetState(), ConBoard::State_Playing);
    EXPECT_EQ(shown[0]->GetState(), ConCard::State_TurningDown);
    EXPECT_FALSE(board->IsBlocked());

    const size_t open = game->GetScreenMgr()->OpenCount();
    game->GetScreenMgr()->ScreenEvent(u"Menu", u"ConPanel");
    game->GetScreenMgr()->ScreenEvent(u"Menu", u"ConPanel");
    EXPECT_EQ(game->GetScreenMgr()->OpenCount(), open + 1);
    Step();
    EXPECT_EQ(board->GetState(), ConBoard::State_Inactive);
    const float time = Level()->bonusTimeLeft;
    Steps(10);
    EXPECT_EQ(Level()->bonusTimeLeft, time) << "the clock waits behind the menu";
    game->GetScreenMgr()->CloseAndSave(UIConBoardDialog::kName);
    EXPECT_EQ(board->GetState(), ConBoard::State_Playing);
    EXPECT_TRUE(profile->clockPlaying);

    EXPECT_FLOAT_EQ(UIConPanel::WinAnimRow(u"3,12.5"), 12.5f);
    EXPECT_FLOAT_EQ(UIConPanel::WinAnimRow(u"3"), 0.0f);
}

TEST_F(ConBoardTest, AnEmptyTableStillOffersThePanelAndTheWinDialogKnowsTheLastLevel)
{
    // The card table has no game for level 15: nothing is dealt, but the panel opens all the same
    // so that the player is never stuck on an empty table.
    profile->page = 30;
    game->SetState(GameState_Concentration);
    Steps(2);
    EXPECT_TRUE(board->Cards().empty());
    EXPECT_EQ(board->GetState(), ConBoard::State_Dealing);
    ASSERT_TRUE(game->GetScreenMgr()->IsOpen(UIConPanel::kName));
    game->GetScreenMgr()->Open(std::make_unique<UIConWinLoseDialog>(*game->GetScreenMgr()));
    Step();
    EXPECT_EQ(LastLevel(), 1.0);
    game->GetScreenMgr()->CloseAndSave(UIConWinLoseDialog::kName);
    EXPECT_FALSE(game->GetScreenMgr()->IsOpen(UIConPanel::kName));
    EXPECT_EQ(game->GetState(), GameState_Book);
    // Entered once, from the card game: a second entry would come from the album itself.
    EXPECT_EQ(game->GetPreviousState(), GameState_Concentration);

    profile->page = 8;
    Steps(2);
    game->GetScreenMgr()->Open(std::make_unique<UIConWinLoseDialog>(*game->GetScreenMgr()));
    Step();
    EXPECT_EQ(LastLevel(), 0.0);
}

} // namespace
