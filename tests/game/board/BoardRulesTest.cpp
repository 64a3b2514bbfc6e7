// The board's rules that need no scene: the alpha window of a click, the bad-click window, and
// how a fresh find list splits its items between difficulties.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "game/board/Board.h"
#include "game/board/Item.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/menus/UIBoardDialog.h"

namespace {

// A 20 x 10 mask, transparent but for one column of the given alpha at x = 10.
std::vector<uint32_t> ColumnMask(uint32_t alpha)
{
    std::vector<uint32_t> mask(20 * 10, 0x00FFFFFFu);
    for (int y = 0; y < 10; ++y)
        mask[y * 20 + 10] = (alpha << 24) | 0xFFFFFFu;
    return mask;
}

TEST(BoardRulesTest, TheAlphaWindowReachesThreePixelsLeftAndTwoRight)
{
    const std::vector<uint32_t> faint = ColumnMask(60);
    const std::vector<uint32_t> solid = ColumnMask(61);
    EXPECT_FALSE(Item::MaskHit(faint.data(), 20, 10, 10, 5)) << "alpha 60 is not the object";
    EXPECT_TRUE(Item::MaskHit(solid.data(), 20, 10, 10, 5));
    // The window spans px - 3 up to px + 2.
    EXPECT_TRUE(Item::MaskHit(solid.data(), 20, 10, 13, 5));
    EXPECT_FALSE(Item::MaskHit(solid.data(), 20, 10, 14, 5));
    EXPECT_TRUE(Item::MaskHit(solid.data(), 20, 10, 8, 5));
    EXPECT_FALSE(Item::MaskHit(solid.data(), 20, 10, 7, 5));
    // Clipped at the edges; a point off the mask sees only what its window still covers.
    EXPECT_TRUE(Item::MaskHit(solid.data(), 20, 10, 12, -2));
    EXPECT_FALSE(Item::MaskHit(solid.data(), 20, 10, 12, -3));
    EXPECT_FALSE(Item::MaskHit(solid.data(), 20, 10, INT32_MIN, INT32_MAX));
    EXPECT_FALSE(Item::MaskHit(nullptr, 20, 10, 10, 5));
}

TEST(BoardRulesTest, AnItemWithoutSolidPixelsASizeOrAPlaceOnTheSceneCannotBeFound)
{
    const auto mask = [](uint32_t alpha) {
        const std::vector<uint32_t> column = ColumnMask(alpha);
        auto pixels = std::make_unique<uint32_t[]>(column.size());
        std::copy(column.begin(), column.end(), pixels.get());
        return pixels;
    };
    Item item(nullptr);
    EXPECT_FALSE(Board::CanBeFound(item, 300, 200, 340, 240, 800, 600)) << "no picture";
    item.SetMask(mask(60), 20, 10);
    EXPECT_FALSE(Board::CanBeFound(item, 300, 200, 340, 240, 800, 600)) << "nothing solid in it";
    item.SetMask(mask(61), 20, 10);
    EXPECT_TRUE(Board::CanBeFound(item, 300, 200, 340, 240, 800, 600));
    EXPECT_FALSE(Board::CanBeFound(item, 300, 200, 300, 240, 800, 600)) << "scaled to no width";
    EXPECT_FALSE(Board::CanBeFound(item, 300, 240, 340, 240, 800, 600)) << "scaled to no height";
    EXPECT_FALSE(Board::CanBeFound(item, 800, 200, 840, 240, 800, 600)) << "right of the screen";
    EXPECT_FALSE(Board::CanBeFound(item, 300, 600, 340, 640, 800, 600)) << "below it";
    EXPECT_FALSE(Board::CanBeFound(item, 300, -40, 340, 0, 800, 600)) << "above it";
    EXPECT_FALSE(Board::CanBeFound(item, 20, 200, 144, 240, 800, 600)) << "behind the panel";
    EXPECT_TRUE(Board::CanBeFound(item, 120, 200, 150, 240, 800, 600)) << "partly beside the panel";
}

TEST(BoardRulesTest, MissesCountInAWindowAndEveryThirdCostsTime)
{
    using Result = BadClickWindow::Result;
    BadClickWindow misses;
    EXPECT_EQ(misses.Register(300, 300), Result::Counted);
    EXPECT_EQ(misses.Count(), 1);
    // Within 5 px of the previous click: free, and it moves the reference point.
    EXPECT_EQ(misses.Register(304, 303), Result::Ignored);
    EXPECT_EQ(misses.Register(309, 303), Result::Ignored);
    EXPECT_EQ(misses.Register(320, 303), Result::Counted);
    EXPECT_EQ(misses.Count(), 2);
    EXPECT_EQ(misses.Register(400, 303), Result::Penalty);
    EXPECT_EQ(misses.Count(), 0);

    // Two seconds without a counted miss close the window: the next miss is a first one again.
    EXPECT_EQ(misses.Register(100, 100), Result::Counted);
    for (int step = 0; step < 119; ++step)
        misses.Step(Board::kStep);
    EXPECT_EQ(misses.Count(), 1);
    misses.Step(Board::kStep);
    misses.Step(Board::kStep);
    EXPECT_EQ(misses.Count(), 0);
    EXPECT_EQ(misses.Register(200, 100), Result::Counted);
    EXPECT_EQ(misses.Count(), 1);
}

TEST(BoardRulesTest, AFreshListSplitsItsItemsByTheMix)
{
    const FindListSplit half = FindListSplit::For(7, 0.5f);
    EXPECT_EQ(half.primaryDifficulty, 1u);
    EXPECT_EQ(half.primary, 4u);
    EXPECT_EQ(half.secondary, 3u);
    const FindListSplit hard = FindListSplit::For(9, 4.0f);
    EXPECT_EQ(hard.primaryDifficulty, 4u);
    EXPECT_EQ(hard.primary, 9u);
    EXPECT_EQ(hard.secondary, 0u);
    // A mix outside [0, 1] never asks for more items than wanted.
    const FindListSplit wild = FindListSplit::For(10, 1.7f);
    EXPECT_EQ(wild.primary + wild.secondary, 10u);
    EXPECT_EQ(FindListSplit::For(10, -3.0f).secondary, 10u);

    // Only items not yet taken join a fresh list, never a bluebird, and never a hidden item: a
    // crisis level hides its bluebirds without taking them.
    Item plain(nullptr), bluebird(nullptr), hidden(nullptr), taken(nullptr);
    plain.SetName(u"Ring");
    bluebird.SetName(u"Bluebird");
    hidden.SetName(u"Bluebird");
    hidden.Hide();
    taken.SetName(u"Tiara");
    taken.SetActive(true);
    EXPECT_TRUE(FindListSplit::Candidate(plain));
    EXPECT_FALSE(FindListSplit::Candidate(bluebird));
    EXPECT_FALSE(FindListSplit::Candidate(hidden));
    EXPECT_FALSE(FindListSplit::Candidate(taken));
}

TEST(BoardRulesTest, ClicksOnThePanelSideNeverReachTheScene)
{
    Board board(nullptr, nullptr, 1, u"Nowhere", u"");
    board.OnClick(144.0f, 300.0f);
    EXPECT_EQ(board.BadClicks().Count(), 0);
    board.OnClick(144.5f, 300.0f);
    EXPECT_EQ(board.BadClicks().Count(), 1) << "a miss on the scene side counts";
}

} // namespace

namespace {

struct Owner : StateMachine {
    void OnEnter(int32_t) override {}
    void OnExit(int32_t) override {}
    void OnUpdate(int32_t) override {}
};

TEST(BoardRulesTest, ADialogClosingOverAFinishedBoardLeavesItFinished)
{
    Owner owner;
    owner.SetState(Board::State_Inactive);
    UIBoardDialog::ResumeOwner(&owner);
    EXPECT_EQ(owner.GetState(), Board::State_Playing);
    for (int32_t finished : {Board::State_Won, Board::State_Lost, Board::State_HintFlying}) {
        owner.SetState(finished);
        UIBoardDialog::ResumeOwner(&owner);
        EXPECT_EQ(owner.GetState(), finished);
    }
    UIBoardDialog::ResumeOwner(nullptr);
}

} // namespace

namespace {

TEST(BoardRulesTest, TheConsoleWinCountsEveryItemOfAGroupAsClicksWould)
{
    ProfileMgr profiles;
    profiles.Load();
    Profile& profile = *profiles.CurrentProfile();
    profile.AddLevelRecord(LevelRecord(u"L", 600, 90, 4, 1, false).MakeFromTemplate());
    auto scene = std::make_unique<SceneRecord>(SceneRecord::InProgress, 1, 1, u"Scene", 4, 1.0f);
    auto roses = std::make_unique<FindListEntry>(u"rose", u"roses");
    roses->group = true;
    roses->count = roses->maxcount = 3;
    scene->findList.push_back(std::move(roses));
    scene->findList.push_back(std::make_unique<FindListEntry>(u"fan", u"fans"));
    profile.AddSceneRecord(std::move(scene));
    profile.page = 2;

    Board board(nullptr, nullptr, 1, u"Nowhere", u"");
    board.OnConsoleCommand({u"ispy.win"}, QuillEngine::Handle());
    EXPECT_EQ(profile.FindScene(1)->ItemsLeft(), 0);
    EXPECT_EQ(profile.CurrentLevel()->items, 4);
    EXPECT_TRUE(profile.CompleteScene()) << "the chapter is complete, as after the clicks";
}

} // namespace
