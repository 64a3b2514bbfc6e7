// Every scene package a player can reach is winnable by eye and by mouse: each item on its list is
// placed in the board movie, shows enough of itself inside the play field that a player can see it
// (pixels no later-drawn item covers) and takes clicks there; the bluebirds are two or three; and
// the album's catalogue asks no scene for more items than it can list.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "tests/game/play/PlayData.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
using PlayData::ChildPlacements;
using PlayData::ItemPicture;
using PlayData::Placement;
using PlayData::ReadSourceXml;

namespace {

constexpr int kPanelEdge = 150;      // the board panel covers the left of the screen
constexpr int kScreenW = 800, kScreenH = 600;
constexpr int kVisiblePixels = 150;  // about a 12×12 patch: findable, if well hidden

std::vector<std::string> ScenePackages()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(QuillTest::SourceRoot() / "data/scenes")) {
        if (entry.is_directory())
            names.push_back(entry.path().filename().string());
    }
    return names;
}

struct ListedItem {
    std::string id, key; // key: the name the find list shows (the group's, for a group)
    int difficulty = 0;
    bool bluebird = false;
};

std::vector<ListedItem> ReadItems(const std::string& scene)
{
    std::vector<ListedItem> items;
    const auto root = ReadSourceXml("data/scenes/" + scene + "/Levels/" + scene + ".xml");
    if (!root)
        return items;
    for (const auto& node : root->Children()) {
        String id, name, group, plural;
        const int difficulty = node->GetIntAttribute(u"difficulty", 0);
        EXPECT_TRUE(node->GetAttribute(u"id", id) && node->GetAttribute(u"name", name))
            << scene << ": an item without id or name";
        EXPECT_TRUE(difficulty == 1 || difficulty == 2 || difficulty == 4) << scene << "/" << ToUtf8(id);
        if (node->GetAttribute(u"group", group)) {
            EXPECT_TRUE(node->GetAttribute(u"plural", plural)) << scene << "/" << ToUtf8(id) << ": group without plural";
        }
        items.push_back({ToUtf8(id), ToUtf8(group.empty() ? name : group), difficulty,
                         ToUtf8(name).find("Bluebird") != std::string::npos});
    }
    return items;
}

// How many items of a difficulty a board can put on its find list (bluebirds never).
int Candidates(const std::vector<ListedItem>& items, int difficulty)
{
    int count = 0;
    for (const ListedItem& item : items)
        count += !item.bluebird && item.difficulty == difficulty ? 1 : 0;
    return count;
}

TEST(SceneData, EveryItemOfEveryScenePackageCanBeSeenAndClicked)
{
    const std::vector<std::string> scenes = ScenePackages();
    ASSERT_FALSE(scenes.empty());
    for (const std::string& scene : scenes) {
        SCOPED_TRACE(scene);
        const std::vector<ListedItem> items = ReadItems(scene);
        ASSERT_FALSE(items.empty()) << "no item file";
        size_t bluebirds = 0;
        for (const ListedItem& item : items)
            bluebirds += item.bluebird ? 1 : 0;
        EXPECT_TRUE(bluebirds == 2 || bluebirds == 3) << bluebirds << " bluebirds";

        const auto library = ReadSourceXml("data/scenes/" + scene + "/Definitions/" + scene + ".xml");
        ASSERT_NE(library, nullptr);
        const XmlNode* board = PlayData::FindDefinition(*library, FromUtf8(scene));
        ASSERT_NE(board, nullptr) << "no board movie";
        const std::map<std::string, Placement> placed = ChildPlacements(*library, FromUtf8(scene));

        // The board's children in drawing order, each with its rendered picture.
        std::vector<std::string> order;
        std::map<std::string, ItemPicture> pictures;
        for (const auto& instance : board->Children()) {
            String name;
            instance->GetAttribute(u"instancename", name);
            const std::string id = ToUtf8(name);
            ItemPicture picture;
            if (id == "background" || !PlayData::LoadItemPicture(*library, scene, placed.at(id), picture))
                continue;
            order.push_back(id);
            pictures[id] = std::move(picture);
        }
        for (const ListedItem& item : items) {
            ASSERT_TRUE(pictures.count(item.id)) << item.id << " is not placed, or its picture is missing";
            const ItemPicture& own = pictures.at(item.id);
            const auto later = std::find(order.begin(), order.end(), item.id) + 1;
            int visible = 0;
            for (uint32_t y = 0; y < own.height; ++y) {
                for (uint32_t x = 0; x < own.width; ++x) {
                    const int sx = static_cast<int>(own.originX) + int(x), sy = static_cast<int>(own.originY) + int(y);
                    if (!own.Solid(x, y) || sx <= kPanelEdge || sx >= kScreenW || sy < 0 || sy >= kScreenH)
                        continue;
                    bool covered = false;
                    for (auto other = later; other != order.end() && !covered; ++other) {
                        const ItemPicture& top = pictures.at(*other);
                        const int tx = sx - static_cast<int>(top.originX), ty = sy - static_cast<int>(top.originY);
                        covered = tx >= 0 && ty >= 0 && tx < int(top.width) && ty < int(top.height) &&
                                  top.Solid(uint32_t(tx), uint32_t(ty));
                    }
                    visible += covered ? 0 : 1;
                }
            }
            EXPECT_GE(visible, kVisiblePixels) << item.id << " shows too little of itself";
        }
    }
}

TEST(SceneData, TheCatalogueAsksEachSceneForItemsItCanListAndEachLevelForItsPhotosItems)
{
    const auto catalogue = ReadSourceXml("data/input/Levels/levels.xml");
    ASSERT_NE(catalogue, nullptr);
    std::set<std::string> scenes;
    std::set<int> numbers;
    for (const auto& level : catalogue->Children()) {
        const int levelNumber = level->GetIntAttribute(u"number", -1);
        SCOPED_TRACE("level " + std::to_string(levelNumber));
        int photoItems = 0;
        size_t scenePhotos = 0;
        for (const auto& photo : level->Children()) {
            EXPECT_TRUE(numbers.insert(photo->GetIntAttribute(u"number", -1)).second) << "a scene number twice";
            if (photo->HasAttribute(u"bonus"))
                continue;
            ++scenePhotos;
            String scene, package;
            ASSERT_TRUE(photo->GetAttribute(u"scene", scene) && photo->GetAttribute(u"package", package));
            EXPECT_EQ(scene, package);
            // The board splits the items it wants between easy ones (difficulty 1) and the next
            // (2) by the photo's mix; when a scene has too few of either it takes only the easy
            // ones, and the chapter could never be completed.
            const int items = photo->GetIntAttribute(u"items", 0);
            const float mix = photo->GetFloatAttribute(u"difficulty", 0.0f);
            ASSERT_TRUE(mix >= 0.0f && mix <= 1.0f) << ToUtf8(scene);
            const int secondary = static_cast<int>((1.0f - mix) * static_cast<float>(items));
            const std::vector<ListedItem> listed = ReadItems(ToUtf8(scene));
            EXPECT_GE(Candidates(listed, 1), items - secondary) << ToUtf8(scene) << ": too few easy items";
            EXPECT_GE(Candidates(listed, 2), secondary) << ToUtf8(scene) << ": too few items of difficulty 2";
            photoItems += items;
            scenes.insert(ToUtf8(scene));
        }
        EXPECT_LE(scenePhotos, 2u) << "a right page holds two scene photos";
        // The level is done when its photos' items are all found, not before and not never.
        EXPECT_EQ(level->GetIntAttribute(u"items", -1), photoItems);
    }
    const std::vector<std::string> packages = ScenePackages();
    for (const std::string& scene : scenes)
        EXPECT_NE(std::find(packages.begin(), packages.end(), scene), packages.end()) << scene << " has no package";
}

} // namespace
