// A scene's item file as a modder or a damaged install may leave it, read by the real game on the
// software renderer in this process: the Florist's own scene and pictures, its "Levels\Florist.xml"
// served ahead of its package. A faulty line is left out on its own and named with its file; a
// file with nothing to find there keeps the photo from opening at all, with one message.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/app/EngineManager.h"
#include "engine/core/files/FileManager.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "game/app/Game.h"
#include "game/app/SimpleGame.h"
#include "game/board/Board.h"
#include "game/book/LevelCatalogue.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "tests/support/MemoryFileSource.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;

namespace {

constexpr int32_t kFlorist = 6; // the Florist's first photo in the album

class BoardItemFileTest : public ::testing::Test {
protected:
    // Starts the game with `items` as the Florist's item file and opens its photo as the album
    // does once its package is mounted; what the game told the player lands in `told`.
    bool Open(const std::string& items)
    {
        Close();
        engine = std::make_unique<EngineManager>();
        simple = std::make_unique<SimpleGame>(engine.get());
        const char* arguments[] = {"VelvetAisle", "-software"};
        if (!engine->Init(VelvetAisle::MakeSettings(2, arguments), simple.get()))
            return false;
        game = simple->GetGame();
        // Searched before the package mounted below, so its item file stands in for the package's.
        auto edited = std::make_unique<QuillTest::MemoryFileSource>(nullptr, u"edits");
        edited->Put(u"Levels\\Florist.xml", items);
        engine->GetFileManager()->AddSource(std::move(edited));
        std::vector<CataloguePhoto> photos;
        LevelCatalogue::LoadFile(*game->GetProfileMgr(), photos);
        record = game->GetProfileMgr()->CurrentProfile()->FindScene(kFlorist);
        if (!record || !game->MountPackageOnce(u"Florist"))
            return false;
        // A fresh list (whatever an earlier run saved), which takes every item of difficulty 1.
        record->status = SceneRecord::Open;
        record->items = 20;
        record->difficulty = 1.0f;
        record->findList.clear();
        record->bluebirds.clear();
        game->AddBoards(nullptr, {SceneBoardSpec{kFlorist, u"Florist", u"Environment1"}});
        testing::internal::CaptureStderr();
        opened = game->OpenBoard(kFlorist);
        told = testing::internal::GetCapturedStderr();
        return true;
    }
    void TearDown() override { Close(); }
    void Close()
    {
        if (engine && simple)
            engine->SaveAndShutdown();
        simple.reset();
        engine.reset();
        game = nullptr;
    }

    // The ids of the items on the board.
    std::vector<std::string> ItemIds() const
    {
        std::vector<std::string> ids;
        if (const Board* board = game->GetBoard())
            for (const auto& item : board->Items())
                ids.push_back(ToUtf8(item->GetInstanceName()));
        return ids;
    }
    // How often `text` appears in what the game told.
    size_t Told(const std::string& text) const
    {
        size_t count = 0;
        for (size_t at = told.find(text); at != std::string::npos; at = told.find(text, at + 1))
            ++count;
        return count;
    }

    std::unique_ptr<EngineManager> engine;
    std::unique_ptr<SimpleGame> simple;
    Game* game = nullptr;
    SceneRecord* record = nullptr;
    bool opened = false;
    std::string told;
};

std::string Items(const std::string& lines)
{
    return "<Items>\n" + lines + "</Items>\n";
}

TEST_F(BoardItemFileTest, ALineWithoutAnIdANameOrADifficultyIsLeftOutAloneAndNamed)
{
    ASSERT_TRUE(Open(Items(R"(<Item id="FlowerPot" name="Flower Pot" difficulty="1"/>
        <Item id="Wreath" name="Wreath"/>
        <Item id="WateringCan" name="Watering Can" difficulty="1"/>
        <Item name="Nameless" difficulty="1"/>
        <Item id="Scissors" difficulty="1"/>
        <Item id="ShopBell" name="Shop Bell" difficulty="1"/>
        <Item id="Trowel" name="Trowel" difficulty="1"/>
)")));
    ASSERT_TRUE(opened) << told;
    EXPECT_EQ(ItemIds(), (std::vector<std::string>{"FlowerPot", "WateringCan", "ShopBell", "Trowel"}));
    EXPECT_EQ(record->findList.size(), 4u);
    // One message, naming the file and each line left out with what it lacks.
    EXPECT_EQ(Told("Levels\\Florist.xml"), 1u) << told;
    EXPECT_EQ(Told("Wreath (\"Wreath\"), which has no \"difficulty\""), 1u) << told;
    EXPECT_EQ(Told("item 4, which has no \"id\""), 1u) << told;
    EXPECT_EQ(Told("Scissors, which has no \"name\""), 1u) << told;
}

TEST_F(BoardItemFileTest, APictureNamedTwiceIsListedOnceAndEveryEntryKeepsItsOwnPicture)
{
    ASSERT_TRUE(Open(Items(R"(<Item id="FlowerPot" name="Flower Pot" difficulty="1"/>
        <Item id="WateringCan" name="Watering Can" difficulty="1"/>
        <Item id="FlowerPot" name="Flower Pot" difficulty="1"/>
        <Item id="Scissors" name="Scissors" difficulty="1"/>
        <Item id="Scissors" name="Shears" difficulty="1"/>
)")));
    ASSERT_TRUE(opened) << told;
    EXPECT_EQ(ItemIds(), (std::vector<std::string>{"FlowerPot", "WateringCan", "Scissors"}));
    std::vector<std::string> listed;
    for (const auto& entry : record->findList)
        listed.push_back(ToUtf8(entry->name));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Flower Pot", "Scissors", "Watering Can"}));
    // Each entry has a picture of its own on the scene, shown and taking clicks.
    std::set<const Instance_Movie*> pictures;
    for (const auto& item : game->GetBoard()->Items()) {
        const Instance_Movie* picture = HandleEx::ResolveMovie(item->GetInstance());
        ASSERT_NE(picture, nullptr);
        EXPECT_TRUE(item->IsVisible() && item->IsActive()) << ToUtf8(item->GetName());
        EXPECT_EQ(picture->GetEventHandler(), item.get()) << ToUtf8(item->GetName()) << " does not hear its clicks";
        pictures.insert(picture);
    }
    EXPECT_EQ(pictures.size(), record->findList.size());
    EXPECT_EQ(Told("Levels\\Florist.xml"), 1u) << told;
    EXPECT_EQ(Told("FlowerPot (\"Flower Pot\"), whose picture an item before it names already"), 1u) << told;
    EXPECT_EQ(Told("Scissors (\"Shears\"), whose picture an item before it names already"), 1u) << told;
}

// Items whose pictures cannot be clicked (no picture, no size, off the picture) are named, with
// their file, only where there are some, and once: not again when the scene is opened anew.
TEST_F(BoardItemFileTest, ItemsThatCannotBeFoundAreNamedOnceAndOnlyWhereThereAreSome)
{
    ASSERT_TRUE(Open(Items(R"(<Item id="FlowerPot" name="Flower Pot" difficulty="1"/>
        <Item id="WateringCan" name="Watering Can" difficulty="1"/>
)")));
    ASSERT_TRUE(opened) << told;
    EXPECT_EQ(Told("cannot be found"), 0u) << told;
    EXPECT_EQ(Told("Levels\\Florist.xml"), 0u) << told;

    ASSERT_TRUE(Open(Items(R"(<Item id="FlowerPot" name="Flower Pot" difficulty="1"/>
        <Item id="background" name="Shop" difficulty="1"/>
        <Item id="WateringCan" name="Watering Can" difficulty="1"/>
)")));
    ASSERT_TRUE(opened) << told;
    EXPECT_EQ(ItemIds(), (std::vector<std::string>{"FlowerPot", "WateringCan"}));
    EXPECT_EQ(Told("background (\"Shop\"), which cannot be found"), 1u) << told;
    EXPECT_EQ(Told("Levels\\Florist.xml"), 1u) << told;

    Board* board = game->GetBoard();
    ASSERT_NE(board, nullptr);
    board->SetActive(false);
    board->Unload();
    testing::internal::CaptureStderr();
    ASSERT_TRUE(game->OpenBoard(kFlorist));
    const std::string again = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ItemIds(), (std::vector<std::string>{"FlowerPot", "WateringCan"}));
    EXPECT_EQ(again.find("cannot be found"), std::string::npos) << again;
}

TEST_F(BoardItemFileTest, AFileWithNothingToFindKeepsThePhotoShutWithOneMessage)
{
    const std::string bakery = QuillTest::ReadFile(QuillTest::SourceRoot() / "data/scenes/Bakery/Levels/Bakery.xml");
    const std::vector<std::pair<std::string, std::string>> files{
        {"no items", Items("")},
        {"another scene's items", bakery},
        {"items without a picture to click", Items(R"(<Item id="background" name="Shop" difficulty="1"/>
            <Item id="Decoy_Rose" name="Rose" difficulty="1"/>
            <Item id="Bluebird1" name="Bluebird" difficulty="1"/>
)")},
    };
    for (const auto& [what, items] : files) {
        ASSERT_TRUE(Open(items)) << what;
        EXPECT_FALSE(opened) << what;
        EXPECT_EQ(game->CurrentGameState(), GameState_Intro) << what;
        EXPECT_FALSE(game->GetBoard()) << what;
        // Nothing of the player's records moved, and no scene was left behind.
        EXPECT_EQ(record->status, SceneRecord::Open) << what;
        EXPECT_TRUE(record->findList.empty()) << what;
        EXPECT_TRUE(record->bluebirds.empty()) << what;
        EXPECT_FALSE(engine->GetUserInterface()->GetRoot()->FindChildByPrefix(u"Board").Resolve()) << what;
        EXPECT_EQ(Told("The scene \"Florist\" cannot be played"), 1u) << what << ": " << told;
        EXPECT_EQ(Told("Levels\\Florist.xml"), 1u) << what << ": " << told;
    }
}

} // namespace
