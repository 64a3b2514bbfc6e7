// Finds on a real scene: the game on the software renderer, in this process, its first scene
// loaded with the pictures that decide a click, the find list set by the test from the scene's own
// items. Where two items overlap the one drawn on top is found; the last find still flying to the
// list wins the scene even if the clock runs out meanwhile; a hint never points at a found item.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/app/EngineManager.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "game/app/Game.h"
#include "game/app/SimpleGame.h"
#include "game/board/Board.h"
#include "game/book/LevelCatalogue.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"

using namespace QuillEngine;

namespace {

class BoardFindTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* arguments[] = {"VelvetAisle", "-software"};
        ASSERT_TRUE(engine.Init(VelvetAisle::MakeSettings(2, arguments), &simple));
        game = simple.GetGame();
        profile = game->GetProfileMgr()->CurrentProfile();
        ASSERT_NE(profile, nullptr);
        std::vector<CataloguePhoto> photos;
        LevelCatalogue::LoadFile(*game->GetProfileMgr(), photos); // the levels, with their clocks
        profile->page = 2;
        profile->ResetLevel(1); // whatever an earlier test of this program saved of it
        for (int i = 0; i < TutorialFlags::kCount; ++i)
            profile->tutorial.Set(i, false); // every tutorial seen: no dialog holds the board
        ASSERT_TRUE(game->MountPackageOnce(u"Boutique"));
        board = std::make_unique<Board>(nullptr, game, 1, u"Boutique", u"Environment1");
        game->SetBoard(board.get());
        game->SetState(GameState_Board);
        ASSERT_EQ(board->GetState(), Board::State_Playing);
        record = board->Record();
        level = profile->CurrentLevel();
        ASSERT_TRUE(record && level);
    }
    void TearDown() override
    {
        // The save this leaves holds the level as it was dealt, not won or out of time, for the
        // next test of this program that plays it.
        if (profile)
            profile->ResetLevel(1);
        if (board) {
            game->SetState(GameState_StoryGame);
            board->Unload();
            game->SetBoard(nullptr);
            board.reset();
        }
        engine.SaveAndShutdown();
    }

    // One step of the main loop, without drawing.
    void Step()
    {
        engine.GetUserInterface()->Update();
        simple.Update();
    }
    // The items the player can list on their own (no bluebird, no group), in the board's order.
    std::vector<Item*> SingleItems() const
    {
        std::vector<Item*> items;
        for (const auto& item : board->Items())
            if (!item->IsBluebird() && item->GetGroup().empty() && item->GetState() == Item::State_Ready)
                items.push_back(item.get());
        return items;
    }
    // The find list becomes these items, each an entry of its own.
    void List(const std::vector<const Item*>& items)
    {
        record->findList.clear();
        for (const Item* item : items)
            record->findList.push_back(std::make_unique<FindListEntry>(item->GetName(), String()));
    }
    // Hides every other picture of the scene, so that nothing but `shown` lies under a click; the
    // hidden ones come back with Reveal.
    void ShowOnly(const std::vector<const Item*>& shown)
    {
        Instance_Movie* scene = HandleEx::ResolveMovie(board->Scene());
        ASSERT_NE(scene, nullptr);
        for (int32_t i = 0; i < scene->GetChildCount(); ++i) {
            const InstanceHandle child = scene->GetChild(i);
            bool keep = false;
            for (const Item* item : shown)
                keep = keep || item->GetInstance() == child;
            if (!keep && child.Resolve() && child.Resolve()->GetVisible()) {
                child.SetVisible(false);
                hidden.push_back(child);
            }
        }
    }
    void Reveal()
    {
        for (const InstanceHandle& child : hidden)
            child.SetVisible(true);
        hidden.clear();
    }
    // A point of the scene, right of the panel, where every one of `items` takes a click and no
    // other item of the scene does.
    bool SolidPoint(const std::vector<const Item*>& items, float& x, float& y) const
    {
        float left = 0, top = 0, right = 0, bottom = 0;
        Instance_Base* first = items.front()->GetInstance().Resolve();
        if (!first)
            return false;
        first->GetBounds(left, top, right, bottom);
        const auto takes = [&](float px, float py) {
            for (const Item* item : items)
                if (!item->HitTest(px, py))
                    return false;
            for (const auto& other : board->Items())
                if (std::find(items.begin(), items.end(), other.get()) == items.end() && other->HitTest(px, py))
                    return false;
            return true;
        };
        for (float py = top; py <= bottom; py += 1.0f) {
            for (float px = std::max(left, Board::kPanelEdge + 1.0f); px <= right; px += 1.0f) {
                if (takes(px, py)) {
                    x = px;
                    y = py;
                    return true;
                }
            }
        }
        return false;
    }
    bool Found(const Item* item) const
    {
        for (const auto& entry : record->findList)
            if (entry->name == item->GetName())
                return entry->found;
        return false;
    }

    EngineManager engine;
    SimpleGame simple{&engine};
    Game* game = nullptr;
    Profile* profile = nullptr;
    std::unique_ptr<Board> board;
    SceneRecord* record = nullptr;
    LevelRecord* level = nullptr;
    std::vector<InstanceHandle> hidden;
};

TEST_F(BoardFindTest, AClickWhereTwoListedItemsOverlapFindsTheOneDrawnOnTop)
{
    // Two listed items, the one the board holds first drawn under the other, moved onto one
    // another; a point where both pictures take the click.
    const std::vector<Item*> items = SingleItems();
    const Item* under = nullptr;
    const Item* over = nullptr;
    float x = 0, y = 0;
    for (size_t i = 0; i < items.size() && !over; ++i) {
        for (size_t j = i + 1; j < items.size() && !over; ++j) {
            if (items[i]->SortKey() >= items[j]->SortKey() || items[i]->GetName() == items[j]->GetName())
                continue;
            const Instance_Base* below = items[i]->GetInstance().Resolve();
            items[j]->GetInstance().SetPosition(below->GetX(), below->GetY());
            if (SolidPoint({items[i], items[j]}, x, y)) {
                under = items[i];
                over = items[j];
            }
        }
    }
    ASSERT_NE(over, nullptr) << "no two items of the scene overlap when placed together";
    List({under, over});
    ShowOnly({under, over});

    board->OnClick(x, y);
    EXPECT_EQ(over->GetState(), Item::State_Found);
    EXPECT_TRUE(Found(over));
    EXPECT_EQ(under->GetState(), Item::State_Ready);
    EXPECT_FALSE(Found(under));
}

TEST_F(BoardFindTest, TheClockRunningOutWhileTheLastFindFliesToTheListWinsTheScene)
{
    const std::vector<Item*> items = SingleItems();
    ASSERT_FALSE(items.empty());
    const Item* last = items.front();
    List({last});
    ShowOnly({last});
    float x = 0, y = 0;
    ASSERT_TRUE(SolidPoint({last}, x, y));
    board->OnClick(x, y);
    ASSERT_EQ(last->GetState(), Item::State_Found);
    level->timeLeft = Board::kStep / 2; // out on the next step, long before the find reaches the list
    for (int i = 0; i < 600 && board->GetState() == Board::State_Playing; ++i)
        Step();
    EXPECT_EQ(board->GetState(), Board::State_Won);
    EXPECT_EQ(record->status, SceneRecord::Complete);
}

TEST_F(BoardFindTest, AHintNeverPointsAtAGroupMemberAlreadyFound)
{
    // The first group of two or more items the board holds, listed as one entry.
    std::vector<const Item*> members;
    for (const auto& item : board->Items()) {
        if (item->GetGroup().empty() || item->IsBluebird() || item->GetState() != Item::State_Ready)
            continue;
        if (!members.empty() && item->GetGroup() != members.front()->GetGroup())
            continue;
        members.push_back(item.get());
    }
    ASSERT_GE(members.size(), 2u) << "the scene has no group of two items";
    record->findList.clear();
    auto entry = std::make_unique<FindListEntry>(members.front()->GetGroup(), members.front()->GetPlural());
    entry->group = true;
    entry->count = entry->maxcount = static_cast<int32_t>(members.size());
    record->findList.push_back(std::move(entry));

    // The member the board holds first is found and has left the picture.
    const Item* found = members.front();
    ShowOnly({found});
    float x = 0, y = 0;
    ASSERT_TRUE(SolidPoint({found}, x, y));
    board->OnClick(x, y);
    Reveal();
    ASSERT_EQ(found->GetState(), Item::State_Found);
    for (int i = 0; i < 600 && found->GetState() != Item::State_Hidden; ++i)
        Step();
    ASSERT_EQ(found->GetState(), Item::State_Hidden);
    ASSERT_EQ(board->GetState(), Board::State_Playing);

    board->UseHint();
    ASSERT_EQ(board->GetState(), Board::State_HintFlying);
    ASSERT_NE(board->HintTarget(), nullptr);
    EXPECT_NE(board->HintTarget(), found);
    EXPECT_EQ(board->HintTarget()->GetGroup(), found->GetGroup());
    EXPECT_TRUE(board->HintTarget()->IsVisible());
}

} // namespace
