// The shipped content against the rules the game's code holds: each crisis chapter is named, played
// and rewarded as the crisis the game files it under, and the card games get harder one after the
// other and each win a keepsake of their own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/strings/StringTable.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "game/book/LevelCatalogue.h"
#include "game/book/Tableaux.h"
#include "game/cards/ConBoard.h"
#include "game/profile/LevelRecord.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"

using namespace QuillEngine;

namespace {

// What each crisis tileset is about: the words its texts use, the scenes where it can be mended
// and the tableaux keepsake that shows the player's choice.
struct Subject {
    std::vector<std::string> words;
    std::set<std::string> scenes;
    std::string keepsake;
};
const std::map<int32_t, Subject> kSubjects = {
    {0, {{"cake"}, {"Bakery"}, "cakes"}},
    {1, {{"bouquet", "flower"}, {"Florist", "Garden"}, "flowers"}},
    {2, {{"gown", "dress"}, {"DressingRoom", "Boutique"}, "dresses"}},
};
// What the reward's question says of a crisis its chapter's name calls lost, fallen or wilted: the
// lost is found (not mended), the fallen cake saved, the wilted flowers replaced in time.
const std::map<std::string, std::string> kRemedies = {{"lost", "found"}, {"fallen", "saved"}, {"wilted", "in time"}};
// The question of the crisis-won dialog for a tileset; the three choices follow it.
constexpr uint32_t kFirstCrisisString = 1100;

std::string Lower(const String& text)
{
    std::string out = ToUtf8(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

// The tilesets whose words `text` mentions.
std::set<int32_t> Mentions(const String& text)
{
    const std::string lower = Lower(text);
    std::set<int32_t> found;
    for (const auto& [tileset, subject] : kSubjects)
        for (const std::string& word : subject.words)
            if (lower.find(word) != std::string::npos)
                found.insert(tileset);
    return found;
}

class ContentRulesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        for (const char* archive : {"data", "concentration"})
            if (!std::filesystem::exists(bin / (std::string(archive) + ".dat")))
                GTEST_SKIP() << "the data archives are not built (target quill_data)";
        for (const char* archive : {"data", "concentration"})
            ASSERT_TRUE(files.AddSource(
                new FSCompressedSource(FromUtf8((bin / (std::string(archive) + ".dat")).string()), FromUtf8(archive))));
        ASSERT_TRUE(LevelCatalogue::LoadFile(profiles, photos));
        ASSERT_TRUE(strings.Load());
    }

    FileManager files;
    XmlCache cache{&files};
    StringTable strings{&cache};
    ProfileMgr profiles{nullptr};
    std::vector<CataloguePhoto> photos;
};

TEST_F(ContentRulesTest, EachCrisisChapterIsNamedPlayedAndRewardedAsItsCrisis)
{
    Profile player(u"Ann");
    std::set<int32_t> tilesets;
    for (size_t number = 0; number < profiles.LevelTemplateCount(); ++number) {
        const LevelRecord* level = profiles.FindLevelTemplate(int32_t(number));
        ASSERT_NE(level, nullptr);
        if (!level->crisis)
            continue;
        const int32_t tileset = CrisisIndexForLevel(level->number);
        SCOPED_TRACE("chapter " + std::to_string(number) + " \"" + ToUtf8(level->key) + "\"");
        ASSERT_TRUE(kSubjects.count(tileset)) << "files the crisis under tileset " << tileset;
        EXPECT_TRUE(tilesets.insert(tileset).second) << "a second crisis of tileset " << tileset;
        const Subject& subject = kSubjects.at(tileset);

        EXPECT_EQ(Mentions(level->key), std::set<int32_t>{tileset}) << "the chapter's name";
        int32_t scenes = 0;
        for (const CataloguePhoto& photo : photos) {
            if (photo.level != level->number || photo.miniGame)
                continue;
            ++scenes;
            EXPECT_TRUE(subject.scenes.count(ToUtf8(photo.scene))) << "played in " << ToUtf8(photo.scene);
        }
        EXPECT_EQ(scenes, 1);

        const String& question = strings.Get(kFirstCrisisString + 10 * uint32_t(tileset));
        EXPECT_EQ(Mentions(question), std::set<int32_t>{tileset}) << "the reward's question: " << ToUtf8(question);
        int32_t faults = 0;
        for (const auto& [fault, remedy] : kRemedies) {
            if (Lower(level->key).find(fault) == std::string::npos)
                continue;
            ++faults;
            EXPECT_NE(Lower(question).find(remedy), std::string::npos)
                << "the chapter's crisis is " << fault << ", the question: " << ToUtf8(question);
        }
        EXPECT_EQ(faults, 1) << "the chapter's name says what went wrong";
        for (uint32_t choice = 1; choice <= 3; ++choice)
            EXPECT_FALSE(strings.Get(kFirstCrisisString + 10 * uint32_t(tileset) + choice).empty());

        // The tableaux walks the crisis chapters in its steps and names each one's crisis.
        EXPECT_EQ(Mentions(Tableaux::ResultText(player, level->number)), std::set<int32_t>{tileset});
        EXPECT_EQ(Tableaux::ResultItem(player, level->number), FromUtf8(subject.keepsake));
    }
    EXPECT_EQ(tilesets, (std::set<int32_t>{0, 1, 2})) << "every crisis is met once";
    for (int32_t step = Tableaux::kFirstStep; step < Tableaux::kLastStep; step += Tableaux::kStepIncrement) {
        const LevelRecord* level = profiles.FindLevelTemplate(step);
        EXPECT_TRUE(level && level->crisis) << "the tableaux shows the time of chapter " << step;
    }
    // The bluebirds' gift has its own question and names no crisis.
    EXPECT_TRUE(Mentions(strings.Get(kFirstCrisisString + 30)).empty());
    // A chapter that is no crisis does not borrow a crisis's words for a fault ("ruined", "lost").
    for (size_t number = 0; number < profiles.LevelTemplateCount(); ++number) {
        const LevelRecord* level = profiles.FindLevelTemplate(int32_t(number));
        const std::string title = Lower(level->key);
        if (level->crisis)
            continue;
        for (const char* fault : {"ruined", "lost", "fallen", "wilted", "torn"})
            EXPECT_EQ(title.find(fault), std::string::npos) << ToUtf8(level->key);
    }
}

TEST_F(ContentRulesTest, TheCardGamesPaceUpFromSixPairs)
{
    ConBoard board(nullptr); // reads the card table through the document cache
    ASSERT_TRUE(board.HasTable());

    std::set<int32_t> cardLevels;
    for (const CataloguePhoto& photo : photos)
        if (photo.cardGame)
            cardLevels.insert(photo.level);
    ASSERT_EQ(cardLevels.size(), 3u);
    // Each card game wins a keepsake of its own: the prize's charm has a picture for each.
    EXPECT_EQ(ConBoard::kKeepsakes, int32_t(cardLevels.size()));
    const XmlNode* cards = cache.Get(u"Definitions\\Concentration.xml");
    ASSERT_NE(cards, nullptr);
    std::set<String> keepsakes;
    for (const auto& definition : cards->Children()) {
        String name, picture;
        if (!definition->GetAttribute(u"name", name) || name != u"ConPrizeCharm")
            continue;
        for (const auto& instance : definition->Children())
            if (instance->GetAttribute(u"definition", picture))
                keepsakes.insert(picture);
    }
    EXPECT_EQ(keepsakes.size(), cardLevels.size()) << "the card games' keepsakes";

    int32_t previousPairs = 0;
    float previousSeconds = 0;
    bool first = true;
    for (int32_t number : cardLevels) {
        SCOPED_TRACE("card game of chapter " + std::to_string(number));
        const auto def = std::find_if(board.Levels().begin(), board.Levels().end(),
                                      [&](const ConLevelDef& d) { return d.level == uint32_t(number); });
        ASSERT_NE(def, board.Levels().end()) << "no deal";
        const int32_t cards = int32_t(def->rows * def->cols) - int32_t(def->jokers + def->clocks);
        ASSERT_GT(cards, 0);
        ASSERT_EQ(cards % 2, 0);
        const int32_t pairs = cards / 2;
        int32_t faces = 0;
        for (const ConCardDef& card : board.CardDefs())
            faces += card.kind == ConCard::Kind_Face && card.set == int32_t(def->cardset);
        EXPECT_LE(pairs, faces) << "a face would be dealt twice over";
        const float seconds = profiles.FindLevelTemplate(number)->bonusMaxTime;
        EXPECT_GT(seconds, 60.0f);
        if (first) {
            EXPECT_GE(pairs, 6);
        } else {
            EXPECT_GE(pairs, previousPairs) << "fewer pairs than the game before";
            EXPECT_LE(seconds, previousSeconds) << "more time than the game before";
            EXPECT_TRUE(pairs > previousPairs || seconds < previousSeconds) << "no harder than the game before";
        }
        first = false;
        previousPairs = pairs;
        previousSeconds = seconds;
    }
}

} // namespace
