// The level catalogue: level and scene templates, scene and mini-game photos, and refused input.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "game/book/LevelCatalogue.h"
#include "game/profile/LevelRecord.h"
#include "game/profile/ProfileMgr.h"

using namespace QuillEngine;

namespace {

struct Loaded {
    bool ok = false;
    std::unique_ptr<ProfileMgr> profiles = std::make_unique<ProfileMgr>(nullptr);
    std::vector<CataloguePhoto> photos;
    std::string fault;
};

Loaded LoadText(const char* xml)
{
    Loaded loaded;
    auto doc = XmlNode::ParseDocument(xml, false);
    EXPECT_TRUE(doc);
    if (doc)
        loaded.ok = LevelCatalogue::Load(*doc, *loaded.profiles, loaded.photos, &loaded.fault);
    return loaded;
}

TEST(LevelCatalogueTest, LevelsBecomeTemplatesAndPhotosKeepFileOrder)
{
    const Loaded loaded = LoadText(R"(<LEVELS>
      <LEVEL title="Intro" minutes="0" bonusminutes="0" items="0" number="0"/>
      <LEVEL title="Gown" minutes="1.5" bonusminutes="0.25" items="0x10" number="1">
        <PHOTO symbol="photoBoutique" package="Boutique" number="1" scene="Boutique" items="-2" sound="Environment1" difficulty="0.5"/>
        <PHOTO symbol="photoCards" package="Cards" number="20" bonus="1"/>
      </LEVEL>
      <LEVEL title="Cake" minutes="2" bonusminutes="1" items="010" number="2" crisis="no">
        <PHOTO symbol="photoStory" package="Story" number="21" bonus="0"/>
      </LEVEL>
      <LEVEL title="Again" minutes="9" bonusminutes="9" items="9" number="1"/>
    </LEVELS>)");
    ASSERT_TRUE(loaded.ok);

    const LevelRecord* gown = loaded.profiles->FindLevelTemplate(1);
    ASSERT_NE(gown, nullptr);
    EXPECT_EQ(gown->key, u"Gown"); // a repeated number does not replace the first template
    EXPECT_FLOAT_EQ(gown->maxTime, 90.0f);
    EXPECT_FLOAT_EQ(gown->bonusMaxTime, 15.0f);
    EXPECT_EQ(gown->maxItems, 16);
    EXPECT_FALSE(gown->crisis);
    EXPECT_EQ(gown->miniGameKind, 1);
    const LevelRecord* cake = loaded.profiles->FindLevelTemplate(2);
    ASSERT_NE(cake, nullptr);
    EXPECT_EQ(cake->maxItems, 8);
    EXPECT_TRUE(cake->crisis); // presence alone marks a crisis
    EXPECT_EQ(cake->miniGameKind, 2);

    ASSERT_EQ(loaded.photos.size(), 3u);
    const CataloguePhoto& scene = loaded.photos[0];
    EXPECT_EQ(scene.symbol, u"photoBoutique");
    EXPECT_EQ(scene.package, u"Boutique");
    EXPECT_EQ(scene.scene, u"Boutique");
    EXPECT_EQ(scene.sound, u"Environment1");
    EXPECT_EQ(scene.number, 1);
    EXPECT_EQ(scene.level, 1);
    EXPECT_FALSE(scene.miniGame);
    EXPECT_TRUE(loaded.photos[1].miniGame);
    EXPECT_TRUE(loaded.photos[1].cardGame);
    EXPECT_TRUE(loaded.photos[2].miniGame);
    EXPECT_FALSE(loaded.photos[2].cardGame);
    EXPECT_EQ(loaded.photos[2].level, 2);

}

TEST(LevelCatalogueTest, AFaultStopsTheReadingAndKeepsWhatCameBefore)
{
    // A scene photo without its sound.
    Loaded loaded = LoadText(R"(<LEVELS>
      <LEVEL title="A" minutes="1" bonusminutes="1" items="3" number="0">
        <PHOTO symbol="a" package="P" number="1" scene="S" items="3" sound="E" difficulty="1"/>
        <PHOTO symbol="b" package="P" number="2" scene="S" items="3" difficulty="1"/>
        <PHOTO symbol="c" package="P" number="3" scene="S" items="3" sound="E" difficulty="1"/>
      </LEVEL>
      <LEVEL title="B" minutes="1" bonusminutes="1" items="3" number="1"/>
    </LEVELS>)");
    EXPECT_FALSE(loaded.ok);
    ASSERT_EQ(loaded.photos.size(), 1u);
    EXPECT_EQ(loaded.photos[0].symbol, u"a");
    EXPECT_NE(loaded.profiles->FindLevelTemplate(0), nullptr);
    EXPECT_EQ(loaded.profiles->FindLevelTemplate(1), nullptr);

    // Level attributes are all required; a negative level number or scene number is refused.
    EXPECT_FALSE(LoadText(R"(<L><LEVEL title="A" minutes="1" items="3" number="0"/></L>)").ok);
    Loaded negative = LoadText(R"(<L><LEVEL title="A" minutes="1" bonusminutes="1" items="3" number="-1"/></L>)");
    EXPECT_FALSE(negative.ok);
    EXPECT_EQ(negative.profiles->FindLevelTemplate(-1), nullptr);
    EXPECT_FALSE(LoadText(R"(<L><LEVEL title="A" minutes="1" bonusminutes="1" items="3" number="0">
      <PHOTO symbol="a" package="P" number="-4" bonus="1"/></LEVEL></L>)")
                     .ok);
    // A number that is not wholly one in its base ("08" is no octal number) is refused, not read
    // as 0; the fault names the element and the value, or the attribute that is missing.
    Loaded octal = LoadText(R"(<L><LEVEL title="Cake" minutes="1" bonusminutes="1" items="3" number="08"/></L>)");
    EXPECT_FALSE(octal.ok);
    EXPECT_EQ(octal.profiles->FindLevelTemplate(0), nullptr);
    EXPECT_NE(octal.fault.find("LEVEL \"Cake\" has \"number=\"08\"\""), std::string::npos) << octal.fault;
    // An empty count is no count at all, not a level with nothing to find.
    Loaded blank = LoadText(R"(<L><LEVEL title="Veil" minutes="1" bonusminutes="1" items="" number="3"/></L>)");
    EXPECT_FALSE(blank.ok);
    EXPECT_EQ(blank.profiles->FindLevelTemplate(3), nullptr);
    EXPECT_NE(blank.fault.find("LEVEL \"Veil\" has \"items=\"\"\", which is not a number"), std::string::npos)
        << blank.fault;
    EXPECT_NE(loaded.fault.find("PHOTO \"b\" has no \"sound\""), std::string::npos) << loaded.fault;
    // No levels at all is an empty catalogue, not a fault.
    EXPECT_TRUE(LoadText("<LEVELS/>").ok);
}

// The shipped catalogue keeps the numbers the game relies on.
TEST(LevelCatalogueContent, TheShippedCatalogueIsWholeAndKeepsTheFixedLevels)
{
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    if (!std::filesystem::exists(bin / "data.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "data.dat").string()), u"data")));
    XmlCache cache(&files);
    ProfileMgr profiles(nullptr);
    std::vector<CataloguePhoto> photos;
    ASSERT_TRUE(LevelCatalogue::LoadFile(profiles, photos));

    int32_t count = 0;
    while (profiles.FindLevelTemplate(count))
        ++count;
    ASSERT_GE(count, 20); // crisis 17, tableaux 18 and a closing level after them
    std::set<int32_t> crisis, numbers;
    for (int32_t level = 0; level < count; ++level) {
        if (profiles.FindLevelTemplate(level)->crisis)
            crisis.insert(level);
    }
    EXPECT_EQ(crisis, (std::set<int32_t>{5, 11, 17}));
    EXPECT_EQ(profiles.FindLevelTemplate(8)->miniGameKind, 2);
    EXPECT_EQ(profiles.FindLevelTemplate(14)->miniGameKind, 2);
    EXPECT_EQ(profiles.FindLevelTemplate(15)->miniGameKind, 1);

    int32_t lastLevelScenes = 0;
    for (const CataloguePhoto& photo : photos) {
        EXPECT_TRUE(numbers.insert(photo.number).second) << "scene number " << photo.number << " repeats";
        EXPECT_LT(photo.level, count);
        EXPECT_GT(photo.level, 0) << "the letter's spread has no photos";
        if (photo.level == count - 1) {
            EXPECT_FALSE(photo.miniGame);
            ++lastLevelScenes;
        }
    }
    EXPECT_EQ(lastLevelScenes, 1);
}

} // namespace
