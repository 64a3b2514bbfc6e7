// The card game played through the real program: a new player opens the album, turns to the
// chapter with the card photo, plays the 2 x 2 game to the end and returns to the album with the
// prize kept in the save file.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "tests/game/play/PlayData.h"
#include "tests/support/PlayRunner.h"

using namespace QuillEngine;
using QuillTest::PlayResult;
using QuillTest::PlayRunner;

namespace {

bool Has(const std::vector<std::string>& list, const std::string& name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

// The first-frame translation of the track `name` that is created on `frame` of `movie`.
std::pair<double, double> TrackAt(const XmlNode& library, StringView movie, StringView name, int frame)
{
    const XmlNode* definition = PlayData::FindDefinition(library, movie);
    if (!definition)
        return {-1, -1};
    for (const auto& instance : definition->Children()) {
        String own, create, transform;
        const XmlNode* key = instance->FindChild(u"Frame");
        if (instance->GetAttribute(u"instancename", own) && own == name && instance->GetAttribute(u"create", create) &&
            ToInt(create) == frame && key && key->GetAttribute(u"transform", transform)) {
            double a, b, c, d, x, y;
            std::istringstream in(ToUtf8(transform));
            in >> a >> b >> c >> d >> x >> y;
            return {x, y};
        }
    }
    return {-1, -1};
}

// The grid of the card game of `level`, from the card table: {columns, rows}.
std::pair<int, int> Grid(int level)
{
    const auto table = PlayData::ReadSourceXml("data/concentration/concentration.xml");
    if (!table)
        return {0, 0};
    for (const auto& entry : table->Children()) {
        String number, cols, rows;
        if (entry->GetName() == u"level" && entry->GetAttribute(u"level", number) && ToInt(number) == level &&
            entry->GetAttribute(u"cols", cols) && entry->GetAttribute(u"rows", rows))
            return {ToInt(cols), ToInt(rows)};
    }
    return {0, 0};
}

const XmlNode* SavedProfile(const XmlNode& save)
{
    for (const auto& profile : save.Children()) {
        if (profile->GetName() == u"profile")
            return profile.get();
    }
    return nullptr;
}

TEST(PlayCards, TheCardPhotoOpensTheGameAndMatchingEveryPairWinsThePrize)
{
    const auto book = PlayData::ReadSourceXml("data/ui/Definitions/Book.xml");
    const auto screens = PlayData::ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    ASSERT_TRUE(book && screens);
    const auto [columns, rows] = Grid(4);
    ASSERT_GE(columns * rows, 12) << "this run plays the first card game, six pairs or more";

    // The letter, its tutorial, the first page turn and its tutorial, as a new player does.
    std::string script = PlayData::AlbumToFirstScene();
    ASSERT_FALSE(script.empty());
    script.erase(script.rfind("at " + std::to_string(PlayData::kPhotoClick) + " down"));
    // Later chapters stay shut until the scenes before them are played; the console's
    // "profile.unlockbook" opens them so that this run reaches chapter four's card photo without
    // playing three hidden-object scenes first (those have play tests of their own).
    int step = PlayData::kTurnDone + 30;
    script += "at " + std::to_string(step) + " console profile.unlockbook\n";
    const PlayData::Placement layout = PlayData::ChildPlacements(*book, u"FinalBook")["pageLayout"];
    auto spread = PlayData::ChildPlacements(*book, u"BookPageLayout");
    const PlayData::Placement corner = spread["rightControl"];
    const int cornerX = static_cast<int>(layout.x + corner.x - corner.regX + 28);
    const int cornerY = static_cast<int>(layout.y + corner.y - corner.regY + 28);
    for (int turn = 0; turn < 3; ++turn) {
        step += 40;
        script += PlayData::ClickAt(step, cornerX, cornerY);
        step += 130;
    }
    // The card photo opens once its chapter's scene is done: "book.winLevel" finishes the
    // chapter's scene as a player who found every item would.
    script += "at " + std::to_string(step) + " console book.winLevel\n";
    step += 150;
    script += "at " + std::to_string(step) + " shot chapter4.png\n";
    // Chapter four's card photo sits on its left page (page 8).
    const auto photo = TrackAt(*book, u"BookPage", u"photoCards", 8);
    ASSERT_GE(photo.first, 0);
    step += 10;
    script += PlayData::ClickAt(step, static_cast<int>(layout.x + spread["pageLeft"].x + photo.first + 80),
                                static_cast<int>(layout.y + spread["pageLeft"].y + photo.second + 60));
    // The transition covers the album, the cards are dealt one after another and the game's
    // tutorial opens.
    step += 160 + 20 * columns * rows;
    script += "at " + std::to_string(step) + " shot dealt.png\n";
    const PlayData::Placement tutorialOk = PlayData::ChildPlacements(*screens, u"Con_TutorialDialog")["okButton"];
    step += 2;
    script += PlayData::ClickAt(step, static_cast<int>(tutorialOk.x) + 20, static_cast<int>(tutorialOk.y) + 20);

    // The cards lie column by column in the 500 x 500 grid at (220, 50), 5 px apart. Which two
    // match is the deal's secret, so every pairing is tried in turn: a pair found leaves the
    // table, and clicks on its empty places do nothing. Each try: the second card turns (21
    // steps), is compared 12 steps later, then the pair leaves (30 steps) or turns back (21).
    const double size = std::min((500.0 - 5 * (columns - 1)) / columns, (500.0 - 5 * (rows - 1)) / rows);
    // Each card is pressed 40 px in from one of its corners, the first one outside the win
    // dialog's button: once the game is won, the tries left over land on the dialog's shade.
    const PlayData::Placement winButton = PlayData::ChildPlacements(*screens, u"Con_WinDialog")["okButton"];
    auto centre = [&](int k) {
        const double left = 220 + (k / rows) * (size + 5), top = 50 + (k % rows) * (size + 5);
        for (const auto& [dx, dy] :
             {std::pair{40.0, 40.0}, {size - 40, 40.0}, {40.0, size - 40}, {size - 40, size - 40}}) {
            const double x = left + dx, y = top + dy;
            if (x < winButton.x - 2 || x > winButton.x + 172 || y < winButton.y - 2 || y > winButton.y + 48)
                return std::pair<int, int>{static_cast<int>(x), static_cast<int>(y)};
        }
        ADD_FAILURE() << "card " << k << " lies under the win dialog's button";
        return std::pair<int, int>{0, 0};
    };
    // A click on a place already cleared turns nothing, so the next card turned pairs with a card
    // of the following try: a second round of every pairing picks up what the first one missed.
    std::vector<std::pair<int, int>> tries;
    for (int round = 0; round < 2; ++round)
        for (int a = 0; a < columns * rows; ++a)
            for (int b = a + 1; b < columns * rows; ++b)
                tries.emplace_back(a, b);
    step += 30;
    bool firstShot = true;
    for (const auto& [a, b] : tries) {
        script += PlayData::ClickAt(step, centre(a).first, centre(a).second);
        script += PlayData::ClickAt(step + 4, centre(b).first, centre(b).second);
        if (firstShot) {
            script += "at " + std::to_string(step + 30) + " shot faceup.png\n";
            firstShot = false;
        }
        step += 75;
    }
    // The prize rises, the panel shelves it and the win dialog opens; its button leads back.
    step += 200;
    script += "at " + std::to_string(step) + " shot won.png\n";
    const PlayData::Placement winOk = PlayData::ChildPlacements(*screens, u"Con_WinDialog")["okButton"];
    step += 2;
    script += PlayData::ClickAt(step, static_cast<int>(winOk.x) + 20, static_cast<int>(winOk.y) + 20);
    step += 120;
    script += "at " + std::to_string(step) + " shot album.png\n";
    script += "at " + std::to_string(step + 1) + " quit\n";

    const PlayResult run = PlayRunner("cards-win").Seed(5).Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();
    const std::vector<std::string> shown = run.Screens();
    EXPECT_TRUE(Has(shown, "ConPanel")) << run.Describe();
    EXPECT_TRUE(Has(shown, "Con_TutorialDialog")) << run.Describe();
    EXPECT_TRUE(Has(shown, "Con_WinDialog")) << run.Describe();
    EXPECT_FALSE(Has(shown, "Con_LoseDialog")) << run.Describe();
    EXPECT_EQ(shown.back(), "Con_WinDialog") << "the album is where the run ends: " << run.Describe();
    EXPECT_EQ(run.Reports("item").size() >= 2, true) << run.Describe();

    const auto save = run.LoadSave();
    ASSERT_NE(save, nullptr) << run.Describe();
    const XmlNode* profile = SavedProfile(*save);
    ASSERT_NE(profile, nullptr) << run.Describe();
    String value;
    ASSERT_TRUE(profile->GetAttribute(u"honeymoonitems", value));
    EXPECT_EQ(value, u"1") << "the prize is kept";
    EXPECT_EQ(profile->FindChild(u"concentration"), nullptr) << "a won game leaves nothing to take up";
    bool levelFound = false;
    for (const auto& level : profile->Children()) {
        String number, played;
        if (level->GetName() == u"level" && level->GetAttribute(u"number", number) && number == u"4") {
            levelFound = true;
            EXPECT_TRUE(level->GetAttribute(u"bonusplayed", played) && played == u"1");
        }
    }
    EXPECT_TRUE(levelFound);
}

} // namespace
