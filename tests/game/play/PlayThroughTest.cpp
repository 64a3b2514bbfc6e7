// The whole game played through the real program, from a new player to the high-score table.
//
// The run is a chain of program runs, each started from the player file the one before left: the
// player opens the album, reads the letter, and plays every chapter of the catalogue in order by
// clicks at positions the game's own data gives. A scene board is met twice: a first run opens it
// (the board deals its find list, which the player file keeps) and closes the game; the next run
// opens it again and clicks every item still on the list. The card games are dealt the same way
// and played from the dealt cards' places and faces; the stories are read to an end through their
// choices. Along the way a scene is lost once on a short clock and replayed, the game menu and the
// options are used on a board, a second player is made and the first taken up again, and one board
// is left with SIGTERM half-played and finished after the restart. The player file is checked after
// every chapter, and the feedback reports along the way.
//
// Each run draws one frame in ten steps: the game steps exactly as it would, and nothing here
// looks at pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "tests/game/play/PlayData.h"
#include "tests/support/PlayRunner.h"

using namespace QuillEngine;
using PlayData::Attribute;
using PlayData::ChildPlacements;
using PlayData::ChildWith;
using PlayData::ClickAt;
using PlayData::Placement;
using PlayData::Point;
using PlayData::ReadSourceXml;
using QuillTest::PlayResult;
using QuillTest::PlayRunner;

namespace {

constexpr int kReady = PlayData::kAlbumReady; // a restarted game shows the album at its page
constexpr int kBoardOpen = 150;               // from a photo's click to a board that takes clicks
constexpr int kItemSpacing = 12;
constexpr int kPageTurn = 140;

std::string At(int step, const std::string& command)
{
    return "at " + std::to_string(step) + " " + command + "\n";
}

std::string Click(int step, Point p)
{
    return ClickAt(step, p.x, p.y);
}

struct CataloguePhoto {
    std::string scene; // empty for a mini-game
    int number = 0;
    bool cards = false;
};

struct CatalogueLevel {
    int number = 0;
    bool crisis = false;
    std::vector<CataloguePhoto> scenes;
    const CataloguePhoto* miniGame = nullptr;
    std::vector<CataloguePhoto> photos;
};

class PlayThrough : public ::testing::Test {
protected:
    void SetUp() override
    {
        book = ReadSourceXml("data/ui/Definitions/Book.xml");
        screens = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
        menus = ReadSourceXml("data/ui/Definitions/MenuScreens.xml");
        storyScreens = ReadSourceXml("data/ui/Definitions/StoryScreens.xml");
        story = ReadSourceXml("data/input/Story/story.xml");
        const auto catalogue = ReadSourceXml("data/input/Levels/levels.xml");
        ASSERT_TRUE(book && screens && menus && storyScreens && story && catalogue);
        for (const auto& level : catalogue->Children()) {
            CatalogueLevel entry;
            entry.number = level->GetIntAttribute(u"number", -1);
            entry.crisis = level->HasAttribute(u"crisis");
            for (const auto& photo : level->Children()) {
                CataloguePhoto p;
                p.number = photo->GetIntAttribute(u"number", -1);
                if (photo->HasAttribute(u"bonus"))
                    p.cards = photo->GetIntAttribute(u"bonus", 0) != 0;
                else
                    p.scene = Attribute(*photo, u"scene");
                entry.photos.push_back(p);
            }
            levels.push_back(entry);
        }
        for (CatalogueLevel& level : levels) {
            for (const CataloguePhoto& photo : level.photos) {
                if (photo.scene.empty())
                    level.miniGame = &photo;
                else
                    level.scenes.push_back(photo);
            }
        }
        const Placement layout = ChildPlacements(*book, u"FinalBook")["pageLayout"];
        auto spread = ChildPlacements(*book, u"BookPageLayout");
        leftPage = {static_cast<int>(layout.x + spread["pageLeft"].x), static_cast<int>(layout.y + spread["pageLeft"].y)};
        rightPage = {static_cast<int>(layout.x + spread["pageRight"].x),
                     static_cast<int>(layout.y + spread["pageRight"].y)};
        // The page corners are 56 pixels square.
        const auto corner = [&](const Placement& p) {
            return Point{static_cast<int>(layout.x + p.x - p.regX + 28), static_cast<int>(layout.y + p.y - p.regY + 28)};
        };
        nextCorner = corner(spread["rightControl"]);
        backCorner = corner(spread["leftControl"]);
        const Placement menu = ChildPlacements(*book, u"FinalBook")["mainMenuButton"];
        albumMenu = {static_cast<int>(menu.x - menu.regX) + 22, static_cast<int>(menu.y - menu.regY) + 22};
        ok = Button(*screens, u"Game_WinDialog", "okButton");
    }

    static Point Button(const XmlNode& library, StringView dialog, const std::string& button)
    {
        const auto placed = ChildPlacements(library, dialog);
        const auto it = placed.find(button);
        return it == placed.end() ? Point{-1, -1}
                                  : Point{static_cast<int>(it->second.x) + 20, static_cast<int>(it->second.y) + 20};
    }

    // Where a player clicks a photo of `level`: scene photos sit on the right page, a mini-game's
    // on the left.
    Point PhotoAt(int level, const std::string& symbol, bool left) const
    {
        const int frame = 2 * level + (left ? 0 : 1);
        const XmlNode* page = PlayData::FindDefinition(*book, u"BookPage");
        if (!page)
            return {-1, -1};
        for (const auto& track : page->Children()) {
            if (Attribute(*track, u"instancename") != symbol || track->GetIntAttribute(u"create", -1) != frame)
                continue;
            const XmlNode* key = track->FindChild(u"Frame");
            std::vector<String> parts;
            Tokenize(FromUtf8(key ? Attribute(*key, u"transform") : std::string()), parts, u' ', true, 6);
            if (parts.size() != 6)
                return {-1, -1};
            const Point origin = left ? leftPage : rightPage;
            return {origin.x + ToInt(parts[4]) + 115, origin.y + ToInt(parts[5]) + 80};
        }
        return {-1, -1};
    }

    // One program run from the player file the last one left (or a new player), checked to have
    // ended by itself with status 0.
    PlayResult Run(const std::string& name, const std::string& script)
    {
        PlayRunner runner("through-" + std::to_string(++runs) + "-" + name);
        runner.Seed(static_cast<uint32_t>(runs)).Frames(10);
        if (!saved.empty())
            runner.StartingSave(saved);
        PlayResult run = runner.Run(script);
        EXPECT_TRUE(run.ExitedCleanly()) << run.Describe();
        const auto save = run.LoadSave();
        EXPECT_NE(save, nullptr) << run.Describe();
        if (save)
            saved = ToUtf8(save->ToString());
        for (const std::string& line : run.feedback)
            feedback.push_back(line);
        return run;
    }

    std::unique_ptr<XmlNode> Save() const { return XmlNode::ParseDocument(saved, false); }

    // The current player's record in the last player file.
    const XmlNode* Player(const XmlNode& save) const
    {
        return ChildWith(save, u"profile", u"name", Attribute(save, u"currentprofile"));
    }

    const XmlNode* SceneRecord(const XmlNode& player, int number) const
    {
        return ChildWith(player, u"scene", u"number", std::to_string(number));
    }
    const XmlNode* LevelRecord(const XmlNode& player, int number) const
    {
        return ChildWith(player, u"level", u"number", std::to_string(number));
    }

    // Clicks on the page corners from the album's page in the player file to `level`'s spread;
    // returns the step when the last turn has run.
    int TurnTo(int level, std::string& script, int step) const
    {
        const auto save = Save();
        const XmlNode* player = save ? Player(*save) : nullptr;
        int shown = player ? player->GetIntAttribute(u"page", 0) / 2 : 0;
        for (; shown < level; ++shown, step += kPageTurn)
            script += Click(step, nextCorner);
        for (; shown > level; --shown, step += kPageTurn)
            script += Click(step, backCorner);
        return step;
    }

    // The clicks that find what is left on a scene's list: per unfound entry, its remaining count
    // of the items the entry names (a group's items share the group's name).
    std::vector<Point> ItemsToFind(const std::string& scene, const XmlNode& record) const
    {
        const auto items = ReadSourceXml("data/scenes/" + scene + "/Levels/" + scene + ".xml");
        const auto library = ReadSourceXml("data/scenes/" + scene + "/Definitions/" + scene + ".xml");
        std::vector<Point> clicks;
        if (!items || !library)
            return clicks;
        const auto placed = ChildPlacements(*library, FromUtf8(scene));
        for (const auto& entry : record.Children()) {
            if (entry->GetName() != u"findlist" || Attribute(*entry, u"found") == "1")
                continue;
            const bool group = Attribute(*entry, u"group") == "1";
            int left = entry->GetIntAttribute(u"count", 0);
            for (const auto& item : items->Children()) {
                const std::string key = Attribute(*item, group ? u"group" : u"name");
                if (left == 0 || key != Attribute(*entry, u"name"))
                    continue;
                const auto at = placed.find(Attribute(*item, u"id"));
                if (at == placed.end())
                    continue;
                clicks.push_back(PlayData::ItemClickPoint(*library, scene, at->second));
                --left;
            }
        }
        return clicks;
    }

    // The button that closes the dialog a won board opens.
    Point WonButton(const CatalogueLevel& level) const
    {
        return level.crisis ? Button(*screens, u"Book_CrisisWonDialog", "button1") : ok;
    }

    // A run that opens a scene from its photo and closes the game: the board deals its list and
    // shows its tutorials, and the player file keeps both.
    void OpenBoard(const CatalogueLevel& level, const CataloguePhoto& photo)
    {
        std::string script;
        const int at = TurnTo(level.number, script, kReady);
        script += Click(at, PhotoAt(level.number, "photo" + photo.scene, false));
        script += At(at + kBoardOpen + 60, "quit");
        Run("open-" + photo.scene, script);
    }

    enum class Detour { None, Lose, Menu, Terminate };

    // A run that opens a dealt scene and clicks what is left on its list, then leaves the dialog
    // of the won scene; with a detour the scene is lost, the menus are visited, or the game is
    // sent SIGTERM half-way.
    PlayResult WinBoard(const CatalogueLevel& level, const CataloguePhoto& photo, Detour detour)
    {
        const auto save = Save();
        const XmlNode* player = save ? Player(*save) : nullptr;
        const XmlNode* record = player ? SceneRecord(*player, photo.number) : nullptr;
        EXPECT_NE(record, nullptr);
        const std::vector<Point> clicks = record ? ItemsToFind(photo.scene, *record) : std::vector<Point>{};
        std::string script;
        int step = TurnTo(level.number, script, kReady);
        script += Click(step, PhotoAt(level.number, "photo" + photo.scene, false));
        step += kBoardOpen;
        if (detour == Detour::Lose) {
            // Twelve minutes are a long wait: the console sets the clock to one second.
            script += At(step, "console ispy.settime 1");
            script += Click(step + 150, Button(*screens, u"Game_LoseDialog", "okButton"));
            script += At(step + 400, "quit");
            return Run("lose-" + photo.scene, script);
        }
        if (detour == Detour::Menu) {
            script += Click(step, Button(*screens, u"ISpyPanel", "menuButton"));
            script += Click(step + 40, Button(*screens, u"GameMenuDialog", "optionsButton"));
            script += At(step + 80, "shot options.png");
            script += Click(step + 90, Button(*menus, u"OptionsDialog", "saveButton"));
            script += Click(step + 130, Button(*screens, u"GameMenuDialog", "resumeButton"));
            step += 170;
        }
        const size_t count = detour == Detour::Terminate ? clicks.size() / 2 : clicks.size();
        for (size_t i = 0; i < count; ++i, step += kItemSpacing)
            script += Click(step, clicks[i]);
        if (detour == Detour::Terminate) {
            script += At(step + 30, "terminate");
            return Run("terminate-" + photo.scene, script);
        }
        script += At(step + 150, "shot won.png");
        script += Click(step + 200, WonButton(level));
        // Back in the album; a completed chapter turns to the next, and the chapter before the
        // last plays the closing tableaux on its arrival.
        const bool tableaux = level.number + 1 == static_cast<int>(levels.size()) - 2;
        script += At(step + (tableaux ? 2600 : 600), "shot album.png");
        script += At(step + (tableaux ? 2610 : 610), "quit");
        return Run("win-" + photo.scene, script);
    }

    // The card game of `level`: a first run deals it and closes the game; the next takes the dealt
    // cards up again and plays them from their saved places and faces: each joker with one card
    // of a pair (the joker's match turns the pair's twin up), then every pair, and a last card
    // without a partner leaves by itself.
    void PlayCards(const CatalogueLevel& level)
    {
        const Point photo = PhotoAt(level.number, "photoCards", true);
        std::string script;
        int step = TurnTo(level.number, script, kReady);
        script += Click(step, photo);
        script += At(step + 260, "quit");
        Run("deal-cards", script);

        const auto save = Save();
        const XmlNode* player = save ? Player(*save) : nullptr;
        const XmlNode* dealt = player ? player->FindChild(u"concentration") : nullptr;
        ASSERT_NE(dealt, nullptr) << "the dealt game is kept when the player leaves";
        struct Card {
            Point at;
            int frame = 0;
            bool joker = false;
        };
        std::vector<Card> cards;
        for (const auto& card : dealt->Children()) {
            const double x = ToDouble(FromUtf8(Attribute(*card, u"x"))), y = ToDouble(FromUtf8(Attribute(*card, u"y")));
            cards.push_back({{static_cast<int>(x), static_cast<int>(y)}, // saved at the card's middle
                             card->GetIntAttribute(u"frame", -1),
                             card->GetIntAttribute(u"type", 0) == 2});
        }
        std::map<int, std::vector<Point>> pairs;
        std::vector<Point> jokers;
        for (const Card& card : cards)
            (card.joker ? jokers : pairs[card.frame]).push_back(card.at);
        script.clear();
        step = TurnTo(level.number, script, kReady);
        script += Click(step, photo);
        step += 260;
        for (const Point& joker : jokers) {
            auto pair = std::find_if(pairs.begin(), pairs.end(), [](const auto& p) { return p.second.size() == 2; });
            if (pair == pairs.end())
                break;
            script += Click(step, joker);
            script += Click(step + 4, pair->second.front());
            pairs.erase(pair);
            step += 120;
        }
        for (const auto& [frame, places] : pairs) {
            if (places.size() != 2)
                continue;
            script += Click(step, places[0]);
            script += Click(step + 4, places[1]);
            step += 80;
        }
        script += At(step + 250, "shot cards-won.png");
        script += Click(step + 260, Button(*screens, u"Con_WinDialog", "okButton"));
        script += At(step + 500, "quit");
        const PlayResult run = Run("cards", script);
        const std::vector<std::string> shown = run.Screens();
        EXPECT_NE(std::find(shown.begin(), shown.end(), "Con_WinDialog"), shown.end()) << run.Describe();
    }

    // The story of `level` read from its start through the choices (the first, then the second,
    // and so on in turn) to an ending; returns the ending reached.
    std::string PlayStory(const CatalogueLevel& level)
    {
        const XmlNode* start = ChildWith(*story, u"LEVEL", u"LEVEL", std::to_string(level.number));
        EXPECT_NE(start, nullptr);
        std::string at = start ? Attribute(*start, u"STARTNODE") : "intro";
        std::vector<int> chosen;
        for (int turn = 0;; ++turn) {
            const XmlNode* segment = ChildWith(*story, u"SEGMENT", u"ID", at);
            EXPECT_NE(segment, nullptr) << at;
            std::vector<std::string> choices;
            if (segment) {
                for (const auto& choice : segment->Children())
                    choices.push_back(Attribute(*choice, u"ID"));
            }
            if (choices.size() != 3 || turn > 12)
                break;
            chosen.push_back((level.number + turn) % 3);
            at = choices[static_cast<size_t>(chosen.back())];
        }
        const auto save = Save();
        const XmlNode* player = save ? Player(*save) : nullptr;
        const XmlNode* flags = player ? player->FindChild(u"tutorial") : nullptr;
        const bool tutorial = flags && Attribute(*flags, u"m_StorygameBegun") == "1";

        const Point next = Button(*storyScreens, u"StoryLayout", "showChoicesButton");
        const Point end = Button(*storyScreens, u"StoryLayout", "endGameButton");
        std::string script;
        int step = TurnTo(level.number, script, kReady);
        script += Click(step, PhotoAt(level.number, "photoStory", true));
        step += 200;
        if (tutorial)
            script += Click(step, Button(*screens, u"Story_TutorialDialog", "okButton"));
        step += 30;
        for (const int choice : chosen) {
            const Point option = Button(*storyScreens, u"StoryLayout", "option" + std::to_string(choice + 1));
            script += Click(step, {next.x + 65, next.y + 3});
            script += Click(step + 90, {option.x + 65, option.y + 40});
            step += 390;
        }
        script += At(step, "shot story-end.png");
        script += Click(step + 10, {end.x + 65, end.y + 3});
        script += At(step + 200, "quit");
        Run("story", script);
        return at;
    }

    // In the album, through its menu button: the players' list, a new player typed in and made,
    // then the first player chosen again and the album taken up where that player left it.
    PlayResult SwitchPlayers(const std::string& newcomer)
    {
        const auto list = ChildPlacements(*menus, u"Menu_ProfileDialog");
        const auto row = [&](const char* name) {
            const Placement& p = list.at(name);
            return Point{static_cast<int>(p.x) + 20, static_cast<int>(p.y) + 12};
        };
        std::string script = Click(kReady, albumMenu);
        script += Click(kReady + 40, Button(*menus, u"MainMenuDialog", "profileButton"));
        script += Click(kReady + 80, row("profile2"));
        int step = kReady + 120;
        for (const char c : newcomer)
            script += At(step++, std::string("key ") + c);
        script += Click(step + 20, Button(*menus, u"Menu_ProfileDialog", "addButton"));
        script += At(step + 70, "shot players.png");
        script += Click(step + 80, row("profile1"));
        script += Click(step + 120, Button(*menus, u"Menu_ProfileDialog", "playButton"));
        script += At(step + 300, "shot back.png");
        script += At(step + 310, "quit");
        return Run("players", script);
    }

    std::unique_ptr<XmlNode> book, screens, menus, storyScreens, story;
    std::vector<CatalogueLevel> levels;
    Point leftPage, rightPage, nextCorner, backCorner, albumMenu, ok;
    std::string saved;
    std::vector<std::string> feedback;
    int runs = 0;
};

TEST_F(PlayThrough, ANewPlayerPlaysEveryChapterToTheHighScoreTable)
{
    // A new player: the intro, the letter and its tutorial, the first page turn and its tutorial.
    std::string opening = PlayData::AlbumToFirstScene();
    ASSERT_FALSE(opening.empty());
    opening.erase(opening.rfind("at " + std::to_string(PlayData::kPhotoClick) + " down"));
    Run("letter", opening + At(PlayData::kPhotoClick, "quit"));
    {
        const auto save = Save();
        ASSERT_NE(save, nullptr);
        ASSERT_NE(Player(*save), nullptr);
        EXPECT_EQ(Player(*save)->GetIntAttribute(u"page", -1), 2);
    }

    std::set<std::string> endings;
    for (const CatalogueLevel& level : levels) {
        if (level.number == 0)
            continue;
        SCOPED_TRACE("chapter " + std::to_string(level.number));
        for (const CataloguePhoto& photo : level.scenes) {
            SCOPED_TRACE(photo.scene);
            for (int attempt = 0;; ++attempt) {
                ASSERT_LT(attempt, 6) << "the scene is not won";
                const auto save = Save();
                const XmlNode* record = SceneRecord(*Player(*save), photo.number);
                ASSERT_NE(record, nullptr);
                ASSERT_NE(Attribute(*record, u"status"), "2") << "the scene is still locked";
                if (Attribute(*record, u"status") == "3")
                    break;
                if (!record->FindChild(u"findlist")) {
                    OpenBoard(level, photo);
                    continue;
                }
                // The detours: a lost scene on chapter two, the menus on chapter three, SIGTERM on
                // the first scene of chapter six; each only on the scene's first play.
                Detour detour = Detour::None;
                if (attempt == 1 && level.number == 2)
                    detour = Detour::Lose;
                else if (attempt == 1 && level.number == 3)
                    detour = Detour::Menu;
                else if (attempt == 1 && level.number == 6 && &photo == &level.scenes.front())
                    detour = Detour::Terminate;
                const PlayResult run = WinBoard(level, photo, detour);
                if (detour == Detour::Lose) {
                    const std::vector<std::string> shown = run.Screens();
                    EXPECT_NE(std::find(shown.begin(), shown.end(), "Game_LoseDialog"), shown.end()) << run.Describe();
                    const auto after = Save();
                    const XmlNode* lost = SceneRecord(*Player(*after), photo.number);
                    ASSERT_NE(lost, nullptr);
                    EXPECT_EQ(Attribute(*lost, u"replay"), "1") << "the scene is played again";
                    EXPECT_EQ(lost->FindChild(u"findlist"), nullptr) << "a lost scene deals anew";
                }
                if (detour == Detour::Terminate) {
                    const auto after = Save();
                    const XmlNode* half = SceneRecord(*Player(*after), photo.number);
                    ASSERT_NE(half, nullptr);
                    int found = 0;
                    for (const auto& entry : half->Children())
                        found += Attribute(*entry, u"found") == "1" ? 1 : 0;
                    EXPECT_GT(found, 0) << "the finds before SIGTERM are kept";
                }
            }
        }
        if (level.number == 1) {
            // A second player joins between chapters; the first carries on with everything kept.
            const auto before = Save();
            const std::string first = Attribute(*before, u"currentprofile");
            const int page = Player(*before)->GetIntAttribute(u"page", -1);
            const PlayResult run = SwitchPlayers("guest");
            const std::vector<std::string> shown = run.Screens();
            EXPECT_NE(std::find(shown.begin(), shown.end(), "Menu_ProfileDialog"), shown.end()) << run.Describe();
            const auto after = Save();
            EXPECT_EQ(Attribute(*after, u"currentprofile"), first) << run.Describe();
            EXPECT_NE(ChildWith(*after, u"profile", u"name", "guest"), nullptr) << run.Describe();
            EXPECT_EQ(Player(*after)->GetIntAttribute(u"page", -2), page);
        }
        if (level.miniGame && level.miniGame->cards) {
            PlayCards(level);
        } else if (level.miniGame) {
            endings.insert(PlayStory(level));
        }

        // The chapter is whole in the player file: every item found, every scene complete, the
        // mini-game played, and the next chapter open.
        const auto save = Save();
        const XmlNode* player = Player(*save);
        ASSERT_NE(player, nullptr);
        const XmlNode* record = LevelRecord(*player, level.number);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->GetIntAttribute(u"items", -1), record->GetIntAttribute(u"maxitems", -2));
        if (level.miniGame) {
            EXPECT_EQ(Attribute(*record, u"bonusplayed"), "1");
        }
        if (level.number + 1 < static_cast<int>(levels.size())) {
            for (const CataloguePhoto& next : levels[static_cast<size_t>(level.number) + 1].scenes) {
                const XmlNode* scene = SceneRecord(*player, next.number);
                ASSERT_NE(scene, nullptr);
                EXPECT_NE(Attribute(*scene, u"status"), "2") << "chapter " << level.number + 1 << " is still locked";
            }
        }
    }

    // The last scene's win submitted the player to the high-score table; the tableaux was seen.
    const auto save = Save();
    const XmlNode* table = save->FindChild(u"highscores");
    ASSERT_NE(table, nullptr);
    EXPECT_NE(ChildWith(*table, u"score", u"name", Attribute(*save, u"currentprofile")), nullptr);
    EXPECT_EQ(Attribute(*Player(*save), u"tableauxSeen"), "1");
    EXPECT_GE(endings.size(), 2u) << "the two stories end differently";
    // The feedback reports saw each scene and card game won once and the one scene lost.
    size_t scenes = 0, wins = 0, losses = 0;
    for (const CatalogueLevel& level : levels)
        scenes += level.scenes.size() + (level.miniGame && level.miniGame->cards ? 1 : 0);
    for (const std::string& line : feedback) {
        if (line.rfind("levelevent\t", 0) != 0)
            continue;
        wins += line.size() > 4 && line.compare(line.size() - 4, 4, "\twin") == 0 ? 1 : 0;
        losses += line.size() > 5 && line.compare(line.size() - 5, 5, "\tlose") == 0 ? 1 : 0;
    }
    EXPECT_EQ(wins, scenes);
    EXPECT_EQ(losses, 1u);
}

} // namespace
