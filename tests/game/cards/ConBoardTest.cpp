// The card memory game on a real instance tree: the deal and its grid, the flip and its timing,
// pairs, mismatches, clock cards and jokers, the hint, a game kept in the profile and taken up
// again, the win and the loss, and the panel's routing.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/core/EngineRand.h"
#include "engine/core/console/Console.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Instance_Movie.h"
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
    lib += Movie("Prize", 4, "", R"(<Event frame="0" type="stop"/><Event frame="2" type="stop"/><Event frame="3" type="stop"/>)");
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
        for (int32_t number : {4, 5, 6, 15})
            profile->AddLevelRecord(LevelRecord(u"L", 600, 90, 10, number, false).MakeFromTemplate());
        Srand(7);
    }
    void TearDown() override { game.reset(); }

    LevelRecord* Level() { return profile->CurrentLevel(); }
    // Enters the card game on level n and waits until the cards are dealt out.
    void Play(int32_t level)
    {
        profile->page = static_cast<uint32_t>(2 * level);
        game->SetState(GameState_Concentration);
        Steps(3);
        ASSERT_EQ(board->GetState(), ConBoard::State_Ready);
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

} // namespace
