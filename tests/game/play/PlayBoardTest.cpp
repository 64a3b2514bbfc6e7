// A scene board played through the real program: the player opens the album at its first photo,
// closes the first tutorial and clicks every item on the list, at the centres the scene's own data
// gives; the scene is won and saved. A click on what covers a listed item finds nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "tests/game/play/PlayData.h"
#include "tests/support/PlayRunner.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
using QuillTest::PlayResult;
using QuillTest::PlayRunner;

namespace {

using PlayData::ChildPlacements;
using PlayData::FindDefinition;
using PlayData::ItemClickPoint;
using PlayData::ItemPicture;
using PlayData::Placement;
using PlayData::Point;
using PlayData::ReadSourceXml;

// The scene record of scene `number` in the saved current profile.
const XmlNode* SavedScene(const XmlNode& save, int number)
{
    const XmlNode* profiles = save.FindChild(u"profiles");
    for (const auto& profile : (profiles ? *profiles : save).Children()) {
        for (const auto& scene : profile->Children()) {
            if (scene->GetName() == u"scene" && scene->GetIntAttribute(u"number", -1) == number)
                return scene.get();
        }
    }
    return nullptr;
}

// The album has led into the scene and its first tutorial is open.
constexpr int kBoardReady = PlayData::kFirstSceneOpen;
constexpr int kClickSpacing = 130; // more than the 2 s window between misses: no time penalty

TEST(PlayBoard, ClickingEveryListedItemWinsTheSceneAndSavesIt)
{
    // The Boutique is the first scene of the catalogue. Its items: id, name and group, and where
    // the scene movie places each (items are centred on their position).
    const auto items = ReadSourceXml("data/scenes/Boutique/Levels/Boutique.xml");
    const auto scene = ReadSourceXml("data/scenes/Boutique/Definitions/Boutique.xml");
    const auto screens = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    ASSERT_TRUE(items && scene && screens);
    const std::map<std::string, Placement> placed = ChildPlacements(*scene, u"Boutique");
    const Placement okButton = ChildPlacements(*screens, u"Game_RegistryIntroDialog")["okButton"];
    const Point ok{static_cast<int>(okButton.x), static_cast<int>(okButton.y)};

    // A first run with the seed only shows the board: the list it chose is in the save file.
    const std::string open = PlayData::AlbumToFirstScene() + "at " + std::to_string(kBoardReady) + " quit\n";
    const PlayResult first = PlayRunner("board-list").Seed(11).Run(open);
    ASSERT_TRUE(first.ExitedCleanly()) << first.Describe();
    const auto firstSave = first.LoadSave();
    ASSERT_NE(firstSave, nullptr) << first.Describe();
    const XmlNode* started = SavedScene(*firstSave, 1);
    ASSERT_NE(started, nullptr) << first.Describe();
    std::vector<std::string> listed;
    int listedItems = 0; // a group's entry counts each of its items
    for (const auto& entry : started->Children()) {
        String name;
        if (entry->GetName() == u"findlist" && entry->GetAttribute(u"name", name)) {
            listed.push_back(ToUtf8(name));
            listedItems += entry->GetIntAttribute(u"maxcount", 0);
        }
    }
    ASSERT_EQ(listedItems, started->GetIntAttribute(u"items", -1)) << "the list holds every item the scene asks for";

    // The same seed chooses the same list. Close the tutorial, then click every item whose name
    // (or group) is on the list, the group's items first so that the last click is a sure find.
    std::string script = PlayData::AlbumToFirstScene();
    script += "at " + std::to_string(kBoardReady) + " down " + std::to_string(ok.x + 20) + " " +
              std::to_string(ok.y + 20) + "\n";
    script += "at " + std::to_string(kBoardReady + 1) + " up " + std::to_string(ok.x + 20) + " " +
              std::to_string(ok.y + 20) + "\n";
    std::vector<Point> groupClicks, plainClicks, coverClicks;
    for (const auto& item : items->Children()) {
        String id, name, group;
        item->GetAttribute(u"id", id);
        item->GetAttribute(u"name", name);
        item->GetAttribute(u"group", group);
        const std::string key = ToUtf8(group.empty() ? name : group);
        if (std::find(listed.begin(), listed.end(), key) == listed.end())
            continue;
        ASSERT_TRUE(placed.count(ToUtf8(id))) << ToUtf8(id);
        const Point at = ItemClickPoint(*scene, "Boutique", placed.at(ToUtf8(id)));
        ASSERT_GT(at.x, 144) << ToUtf8(id) << " has no picture to click";
        (group.empty() ? plainClicks : groupClicks).push_back(at);
        // Where something opaque lies over the item, a click on it is a click on the cover.
        const Point covered = PlayData::CoveredPoint(*scene, "Boutique", placed.at(ToUtf8(id)));
        if (covered.x > 144)
            coverClicks.push_back(covered);
    }
    ASSERT_GE(coverClicks.size(), 2u) << "the listed items should be partly covered";
    int step = kBoardReady + 60;
    for (const std::vector<Point>* clicks : {&coverClicks, &groupClicks, &plainClicks}) {
        for (const Point& p : *clicks) {
            script += "at " + std::to_string(step) + " down " + std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
            script +=
                "at " + std::to_string(step + 1) + " up " + std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
            step += kClickSpacing;
        }
    }
    script += "at " + std::to_string(step + 120) + " shot won.png\n";
    // Continue: back in the album, which opens the next chapter and turns to it by itself.
    const Placement cont = ChildPlacements(*screens, u"Game_WinDialog")["okButton"];
    script += PlayData::ClickAt(step + 130, static_cast<int>(cont.x) + 20, static_cast<int>(cont.y) + 20);
    script += "at " + std::to_string(step + 520) + " shot album.png\n";
    script += "at " + std::to_string(step + 521) + " quit\n";
    const PlayResult run = PlayRunner("board-win").Seed(11).Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();

    // Every listed item was found (a group entry counts each of its items), the scene was won
    // and its dialog opened.
    size_t found = 0;
    for (const auto& report : run.Reports("item"))
        found += std::find(report.begin(), report.end(), "itemfound") != report.end() ? 1 : 0;
    EXPECT_GE(found, listed.size()) << run.Describe();
    // Each click on a cover was a miss (far enough apart that none cost time), and found nothing:
    // the first find came only with the first click on an item's own pixels.
    // (The clicks on a group's members beyond its count are misses too; they come after.)
    size_t missesBeforeAFind = 0;
    for (const std::string& line : run.feedback) {
        if (line.find("\titemfound\t") != std::string::npos)
            break;
        missesBeforeAFind += line.find("\titembadclick\t") != std::string::npos;
    }
    EXPECT_EQ(missesBeforeAFind, coverClicks.size()) << run.Describe();
    bool won = false;
    for (const auto& report : run.Reports("levelevent"))
        won = won || report.back() == "win";
    EXPECT_TRUE(won) << run.Describe();
    bool dialog = false;
    for (const auto& report : run.Reports("screen"))
        dialog = dialog || report.back() == "Game_WinDialog";
    EXPECT_TRUE(dialog) << run.Describe();

    const auto save = run.LoadSave();
    ASSERT_NE(save, nullptr) << run.Describe();
    const XmlNode* record = SavedScene(*save, 1);
    ASSERT_NE(record, nullptr) << run.Describe();
    EXPECT_EQ(record->GetIntAttribute(u"status", -1), 3) << run.Describe();
    // The next chapter's scene is open and the album shows its spread.
    const XmlNode* next = SavedScene(*save, 2);
    ASSERT_NE(next, nullptr) << run.Describe();
    EXPECT_EQ(next->GetIntAttribute(u"status", -1), 0) << run.Describe();
    int page = -1;
    for (const auto& profile : save->Children()) {
        if (profile->GetName() == u"profile")
            page = profile->GetIntAttribute(u"page", -1);
    }
    EXPECT_EQ(page, 4) << run.Describe();
}

// A click in the middle of a button placed in a screen definition.
std::string Click(int step, const Placement& button)
{
    const int x = static_cast<int>(button.x) + 20, y = static_cast<int>(button.y) + 20;
    return "at " + std::to_string(step) + " down " + std::to_string(x) + " " + std::to_string(y) + "\n" + "at " +
           std::to_string(step + 1) + " up " + std::to_string(x) + " " + std::to_string(y) + "\n";
}

std::vector<std::string> ReportValues(const PlayResult& run, const std::string& kind, const std::string& event)
{
    std::vector<std::string> values;
    for (const auto& report : run.Reports(kind)) {
        if (report.size() >= 4 && report[2] == event)
            values.push_back(report[3]);
    }
    return values;
}

bool ScreenOpened(const PlayResult& run, const std::string& screen)
{
    const std::vector<std::string> screens = run.Screens();
    return std::find(screens.begin(), screens.end(), screen) != screens.end();
}

TEST(PlayBoard, AHintMissesTheMenuAndALostScene)
{
    const auto scene = ReadSourceXml("data/scenes/Boutique/Definitions/Boutique.xml");
    const auto screens = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    ASSERT_TRUE(scene && screens);
    // Three decoys clicked where they show, with no item's picture within reach of the click (the
    // board tries a few pixels around it): misses wherever the list lies.
    const std::map<std::string, Placement> placed = ChildPlacements(*scene, u"Boutique");
    std::vector<ItemPicture> items;
    for (const auto& [name, p] : placed) {
        ItemPicture picture;
        if (name != "background" && name != "foreground" && !StartsWith(FromUtf8(name), u"Decoy_") &&
            !StartsWith(FromUtf8(name), u"Cover_") && PlayData::LoadItemPicture(*scene, "Boutique", p, picture))
            items.push_back(std::move(picture));
    }
    ASSERT_GT(items.size(), 10u);
    const auto nearItem = [&](const Point& at) {
        for (const ItemPicture& item : items)
            for (int dy = -4; dy <= 4; ++dy)
                for (int dx = -4; dx <= 4; ++dx) {
                    const double x = at.x + dx - item.originX, y = at.y + dy - item.originY;
                    if (x >= 0 && y >= 0 && x < item.width && y < item.height &&
                        (item.pixels[size_t(y) * item.width + size_t(x)] >> 24) > 60)
                        return true;
                }
        return false;
    };
    std::vector<Point> empty;
    for (const auto& [name, p] : placed) {
        if (empty.size() == 3 || !StartsWith(FromUtf8(name), u"Decoy_"))
            continue;
        const Point at = ItemClickPoint(*scene, "Boutique", p);
        if (at.x > 144 && !nearItem(at))
            empty.push_back(at);
    }
    ASSERT_EQ(empty.size(), 3u);

    const auto panel = ChildPlacements(*screens, u"ISpyPanel");
    std::string script = PlayData::AlbumToFirstScene();
    script += Click(kBoardReady, ChildPlacements(*screens, u"Game_RegistryIntroDialog")["okButton"]);
    script += Click(kBoardReady + 60, panel.at("hintButton"));
    // Three misses within two seconds of each other: the third costs a minute.
    int step = kBoardReady + 200;
    for (const Point& p : empty) {
        script += "at " + std::to_string(step) + " down " + std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
        script += "at " + std::to_string(step + 1) + " up " + std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
        step += 20;
    }
    script += Click(step + 60, ChildPlacements(*screens, u"Game_BadClickDialog")["okButton"]);
    script += Click(step + 120, panel.at("menuButton"));
    script += Click(step + 180, ChildPlacements(*screens, u"GameMenuDialog")["resumeButton"]);
    // The level's clock gives twelve minutes; the console sets it to one second rather than have
    // the test play them out.
    script += "at " + std::to_string(step + 240) + " console ispy.settime 1\n";
    script += "at " + std::to_string(step + 400) + " quit\n";
    const PlayResult run = PlayRunner("board-lose").Seed(5).Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();

    EXPECT_EQ(ReportValues(run, "count", "itemhint"), std::vector<std::string>{"2"}) << run.Describe();
    EXPECT_EQ(ReportValues(run, "itemalt", "itembadclick"), (std::vector<std::string>{"1", "2", "0"}))
        << run.Describe();
    EXPECT_TRUE(ScreenOpened(run, "Game_BadClickDialog")) << run.Describe();
    EXPECT_TRUE(ScreenOpened(run, "GameMenuDialog")) << run.Describe();
    bool lost = false;
    for (const auto& report : run.Reports("levelevent"))
        lost = lost || report.back() == "lose";
    EXPECT_TRUE(lost) << run.Describe();
    EXPECT_TRUE(ScreenOpened(run, "Game_LoseDialog")) << run.Describe();
}

TEST(PlayBoard, AFoundItemTakesNoFurtherFindsFromItsGroup)
{
    const auto items = ReadSourceXml("data/scenes/Boutique/Levels/Boutique.xml");
    const auto scene = ReadSourceXml("data/scenes/Boutique/Definitions/Boutique.xml");
    const auto screens = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    ASSERT_TRUE(items && scene && screens);
    const std::map<std::string, Placement> placed = ChildPlacements(*scene, u"Boutique");

    // The list this seed deals (as in the whole-scene test): its first group of two or more.
    const std::string open = PlayData::AlbumToFirstScene() + "at " + std::to_string(kBoardReady) + " quit\n";
    const PlayResult first = PlayRunner("board-group-list").Seed(9).Run(open);
    ASSERT_TRUE(first.ExitedCleanly()) << first.Describe();
    const auto firstSave = first.LoadSave();
    ASSERT_NE(firstSave, nullptr) << first.Describe();
    const XmlNode* dealt = SavedScene(*firstSave, 1);
    ASSERT_NE(dealt, nullptr);
    String group;
    for (const auto& entry : dealt->Children())
        if (group.empty() && entry->GetName() == u"findlist" && entry->GetIntAttribute(u"maxcount", 0) >= 2)
            entry->GetAttribute(u"name", group);
    ASSERT_FALSE(group.empty()) << "seed 9 deals two roses";
    Point member;
    for (const auto& item : items->Children()) {
        String id, itemGroup;
        if (item->GetAttribute(u"group", itemGroup) && itemGroup == group && item->GetAttribute(u"id", id)) {
            member = ItemClickPoint(*scene, "Boutique", placed.at(ToUtf8(id)));
            break;
        }
    }
    ASSERT_GT(member.x, 144);

    // One item of the group clicked three times: the first click finds it, the others miss.
    std::string script = PlayData::AlbumToFirstScene();
    const Placement ok = ChildPlacements(*screens, u"Game_RegistryIntroDialog")["okButton"];
    script += PlayData::ClickAt(kBoardReady, static_cast<int>(ok.x) + 20, static_cast<int>(ok.y) + 20);
    for (int click = 0; click < 3; ++click)
        script += PlayData::ClickAt(kBoardReady + 60 + click * kClickSpacing, member.x, member.y);
    script += "at " + std::to_string(kBoardReady + 60 + 3 * kClickSpacing) + " quit\n";
    const PlayResult run = PlayRunner("board-group-once").Seed(9).Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    const auto save = run.LoadSave();
    ASSERT_NE(save, nullptr) << run.Describe();
    const XmlNode* record = SavedScene(*save, 1);
    ASSERT_NE(record, nullptr) << run.Describe();
    for (const auto& entry : record->Children()) {
        if (entry->GetName() != u"findlist" || entry->GetStringAttribute(u"name", String()) != group)
            continue;
        EXPECT_EQ(entry->GetIntAttribute(u"count", -1), entry->GetIntAttribute(u"maxcount", -1) - 1) << run.Describe();
        EXPECT_EQ(entry->GetIntAttribute(u"found", -1), 0) << run.Describe();
    }
}

// How far apart two pixels are, summed over their colour channels.
int ColourDistance(uint32_t a, uint32_t b)
{
    int sum = 0;
    for (int shift = 0; shift < 24; shift += 8)
        sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
    return sum;
}

TEST(PlayBoard, AnItemFoundBeforeTheGameEndedStaysGoneWhenTheSceneIsTakenUpAgain)
{
    const auto items = ReadSourceXml("data/scenes/Boutique/Levels/Boutique.xml");
    const auto scene = ReadSourceXml("data/scenes/Boutique/Definitions/Boutique.xml");
    const auto screens = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    ASSERT_TRUE(items && scene && screens);
    const std::map<std::string, Placement> placed = ChildPlacements(*scene, u"Boutique");
    // Seed 9 deals the ring, an item of its own.
    Point ring;
    for (const auto& item : items->Children()) {
        String id, name, group;
        item->GetAttribute(u"group", group);
        if (item->GetAttribute(u"name", name) && name == u"Ring" && group.empty() && item->GetAttribute(u"id", id))
            ring = ItemClickPoint(*scene, "Boutique", placed.at(ToUtf8(id)));
    }
    ASSERT_GT(ring.x, 144);

    const Placement ok = ChildPlacements(*screens, u"Game_RegistryIntroDialog")["okButton"];
    std::string script = PlayData::AlbumToFirstScene();
    script += PlayData::ClickAt(kBoardReady, static_cast<int>(ok.x) + 20, static_cast<int>(ok.y) + 20);
    script += "at " + std::to_string(kBoardReady + 40) + " shot before.png\n";
    script += PlayData::ClickAt(kBoardReady + 60, ring.x, ring.y);
    script += "at " + std::to_string(kBoardReady + 200) + " quit\n";
    const PlayResult first = PlayRunner("board-resume-find").Seed(9).Run(script);
    ASSERT_TRUE(first.ExitedCleanly()) << first.Describe();
    const auto save = first.LoadSave();
    ASSERT_NE(save, nullptr) << first.Describe();
    const XmlNode* record = SavedScene(*save, 1);
    ASSERT_NE(record, nullptr);
    bool ringFound = false;
    for (const auto& entry : record->Children())
        ringFound = ringFound || (entry->GetStringAttribute(u"name", String()) == u"Ring" &&
                                  entry->GetIntAttribute(u"found", 0) == 1);
    ASSERT_TRUE(ringFound) << first.Describe();

    // The next game opens the album at its spread; the photo takes the player back into the scene.
    const Point photo = PlayData::FirstScenePhoto();
    const int open = PlayData::kAlbumReady + (PlayData::kFirstSceneOpen - PlayData::kPhotoClick);
    const PlayResult again = PlayRunner("board-resume-again")
                                 .Seed(9)
                                 .StartingSave(ToUtf8(save->ToString()))
                                 .Run(PlayData::ClickAt(PlayData::kAlbumReady, photo.x, photo.y) + "at " +
                                      std::to_string(open + 40) + " shot after.png\n" + "at " +
                                      std::to_string(open + 41) + " quit\n");
    ASSERT_TRUE(again.ExitedCleanly()) << again.Describe();
    EXPECT_EQ(again.Screens(), std::vector<std::string>{"ISpyPanel"}) << again.Describe();
    uint32_t w = 0, h = 0, w2 = 0, h2 = 0;
    std::vector<uint32_t> before, after;
    ASSERT_TRUE(first.ReadShot("before.png", w, h, before) && again.ReadShot("after.png", w2, h2, after));
    ASSERT_TRUE(w == w2 && h == h2 && ring.x < int(w) && ring.y < int(h));
    const size_t at = size_t(ring.y) * w + size_t(ring.x);
    EXPECT_GT(ColourDistance(before[at], after[at]), 60) << "the ring is drawn again where it was found";
}

TEST(PlayBoard, ABluebirdTakenOneItemShortLeavesTheClockToEndTheScene)
{
    const auto scene = ReadSourceXml("data/scenes/Boutique/Definitions/Boutique.xml");
    const auto screens = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    ASSERT_TRUE(scene && screens);
    const std::map<std::string, Placement> placed = ChildPlacements(*scene, u"Boutique");

    // The bluebirds seed 9 hides, and its list: the rose twice and six items of their own.
    const std::string open = PlayData::AlbumToFirstScene() + "at " + std::to_string(kBoardReady) + " quit\n";
    const PlayResult first = PlayRunner("board-bluebird-list").Seed(9).Run(open);
    ASSERT_TRUE(first.ExitedCleanly()) << first.Describe();
    const auto firstSave = first.LoadSave();
    ASSERT_NE(firstSave, nullptr) << first.Describe();
    const XmlNode* dealt = SavedScene(*firstSave, 1);
    ASSERT_NE(dealt, nullptr);
    Point bird;
    int listed = 0;
    for (const auto& entry : dealt->Children()) {
        listed += entry->GetName() == u"findlist" ? entry->GetIntAttribute(u"maxcount", 0) : 0;
        const std::string name = ToUtf8(entry->GetStringAttribute(u"name", String()));
        if (entry->GetName() == u"bluebird" && bird.x == 0 && placed.count(name))
            bird = ItemClickPoint(*scene, "Boutique", placed.at(name));
    }
    ASSERT_GT(bird.x, 144);
    ASSERT_EQ(listed, 8);

    // All but one item taken at once (the console, rather than clicks hunting seven items), the
    // bluebird clicked with one item to go, its dialog closed, then the clock nearly out.
    const Placement ok = ChildPlacements(*screens, u"Game_RegistryIntroDialog")["okButton"];
    const Placement birdOk = ChildPlacements(*screens, u"Game_BluebirdDialog")["okButton"];
    std::string script = PlayData::AlbumToFirstScene();
    script += PlayData::ClickAt(kBoardReady, static_cast<int>(ok.x) + 20, static_cast<int>(ok.y) + 20);
    script += "at " + std::to_string(kBoardReady + 20) + " console ispy.setfoundcount 7\n";
    script += PlayData::ClickAt(kBoardReady + 60, bird.x, bird.y);
    script += PlayData::ClickAt(kBoardReady + 240, static_cast<int>(birdOk.x) + 20, static_cast<int>(birdOk.y) + 20);
    script += "at " + std::to_string(kBoardReady + 300) + " console ispy.settime 1\n";
    script += "at " + std::to_string(kBoardReady + 500) + " quit\n";
    const PlayResult run = PlayRunner("board-bluebird-short").Seed(9).Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    EXPECT_TRUE(ScreenOpened(run, "Game_BluebirdDialog")) << run.Describe();
    EXPECT_TRUE(ScreenOpened(run, "Game_LoseDialog")) << run.Describe();
}

} // namespace

// Whether every pixel of the shot right of the side panel, above and below the band of the pause
// texts, is within 2 of one colour: nothing of the scene shows there.
bool FieldIsCovered(const PlayResult& run, const std::string& shot)
{
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> argb;
    if (!run.ReadShot(shot, width, height, argb) || width < 800 || height < 600)
        return false;
    const uint32_t first = argb[150];
    for (uint32_t y = 0; y < height; ++y) {
        if (y >= 230 && y < 370)
            continue;
        for (uint32_t x = 150; x < width; ++x) {
            const uint32_t p = argb[size_t(y) * width + x];
            for (int shift : {0, 8, 16})
                if (std::abs(int((p >> shift) & 0xFF) - int((first >> shift) & 0xFF)) > 2)
                    return false;
        }
    }
    return true;
}

TEST(PlayBoard, APauseCoversTheSceneUntilAClickCarriesOn)
{
    const auto screens = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    ASSERT_TRUE(screens);
    std::string script = PlayData::AlbumToFirstScene();
    script += Click(kBoardReady, ChildPlacements(*screens, u"Game_RegistryIntroDialog")["okButton"]);
    script += "at " + std::to_string(kBoardReady + 30) + " shot playing.png\n";
    script += "at " + std::to_string(kBoardReady + 31) + " key Escape\n";
    script += "at " + std::to_string(kBoardReady + 60) + " shot paused.png\n";
    script += PlayData::ClickAt(kBoardReady + 70, 500, 450);
    script += "at " + std::to_string(kBoardReady + 100) + " shot resumed.png\n";
    script += "at " + std::to_string(kBoardReady + 101) + " quit\n";
    const PlayResult run = PlayRunner("board-pause").Seed(11).Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    EXPECT_FALSE(FieldIsCovered(run, "playing.png")) << run.Describe();
    EXPECT_TRUE(FieldIsCovered(run, "paused.png")) << "the scene shows through the pause; " << run.Describe();
    EXPECT_FALSE(FieldIsCovered(run, "resumed.png")) << run.Describe();
}
