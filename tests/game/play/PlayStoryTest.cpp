// The picture story played through the real program. A player whose scenes of level 8 are all
// complete comes back to the album, open at that chapter, and clicks its story photo: the story
// game opens. The player closes its tutorial, reads, asks for the choices, clicks one, and so on
// until the story ends, then goes back to the album. The level counts as played and the next level
// is open.
//
// The run starts from a player file rather than from playing eight levels of scenes first: the
// story is what is under test, and the file is the one a player who got that far would have.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
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

std::unique_ptr<XmlNode> ReadSourceXml(const std::string& relative)
{
    return XmlNode::ParseDocument(QuillTest::ReadFile(QuillTest::SourceRoot() / relative), false);
}

using PlayData::Attribute;
using PlayData::ChildWith;

// The top-left corner of a child of a movie definition (its first frame's translation).
struct Point {
    int x = 0;
    int y = 0;
};
Point Placed(const XmlNode& library, const std::string& movie, const std::string& child)
{
    const XmlNode* definition = ChildWith(library, u"Definition", u"name", movie);
    const XmlNode* instance = definition ? ChildWith(*definition, u"Instance", u"instancename", child) : nullptr;
    const XmlNode* frame = instance ? instance->FindChild(u"Frame") : nullptr;
    if (!frame)
        return {-1000, -1000};
    std::vector<String> parts;
    Tokenize(FromUtf8(Attribute(*frame, u"transform")), parts, u' ', true, 6);
    return parts.size() == 6 ? Point{ToInt(parts[4]), ToInt(parts[5])} : Point{-1000, -1000};
}

// A player on level 8 (page 16) who has seen the intro and every tutorial but the story's, and
// completed the level's scenes with all of its items.
std::string PlayerOnLevel8(const XmlNode& catalogue)
{
    std::string scenes;
    const XmlNode* level = ChildWith(catalogue, u"LEVEL", u"number", "8");
    if (!level)
        return {};
    for (const auto& photo : level->Children()) {
        if (photo->HasAttribute(u"bonus"))
            continue;
        scenes += "<scene status=\"3\" number=\"" + Attribute(*photo, u"number") + "\" level=\"8\" title=\"" +
                  Attribute(*photo, u"scene") + "\" items=\"" + Attribute(*photo, u"items") +
                  "\" difficulty=\"0.5\" replay=\"0\"/>";
    }
    // Its level record: every item of the level found, the story not played yet.
    const std::string items = Attribute(*level, u"items");
    scenes += "<level timeleft=\"300.0\" maxtime=\"720.0\" bonustimeleft=\"240.0\" bonusmaxtime=\"240.0\" "
              "maxitems=\"" + items + "\" items=\"" + items + "\" maxhints=\"3\" hints=\"3\" number=\"8\" "
              "crisis=\"0\" crisissound=\"0\" bonusplayed=\"0\" firsttimeseen=\"0\"/>";
    return "<root currentprofile=\"Ada\" version=\"26\"><profile name=\"Ada\" page=\"16\" bluebirds=\"0\" "
           "introSeen=\"1\" tableauxSeen=\"0\" relaxed=\"1\" bouquet=\"0\" cake=\"0\" gown=\"0\" gift=\"0\" "
           "honeymoonitems=\"0\" musicvolume=\"0.5\" ambientvolume=\"0.5\" effectsvolume=\"0.5\">" +
           scenes +
           "<tutorial m_GameBegun=\"0\" m_LevelBegun=\"0\" m_SceneBegun=\"0\" m_ItemFound=\"0\" "
           "m_TimeLost=\"0\" m_SceneEnded=\"0\" m_LevelEnded=\"0\" m_ConcentrationBegun=\"0\" "
           "m_StorygameBegun=\"1\" m_CrisisLevel=\"0\" m_HintPrompt=\"0\" m_BluebirdPrompt=\"0\"/>"
           "</profile></root>";
}

constexpr int kPhotoClick = 400; // the intro has handed over and the album shows chapter eight
constexpr int kStoryReady = 600; // the album's transition has run and the story's tutorial is open
constexpr int kReveal = 90;      // the three choices fade in one after the other
constexpr int kNextPage = 300;   // the arrow flies, the veil falls, the next page shows, the veil lifts

void Click(std::string& script, int at, Point p)
{
    script += "at " + std::to_string(at) + " down " + std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
    script += "at " + std::to_string(at + 2) + " up " + std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
}

class PlayStory : public ::testing::Test {
protected:
    void SetUp() override
    {
        catalogue = ReadSourceXml("data/input/Levels/levels.xml");
        story = ReadSourceXml("data/input/Story/story.xml");
        const auto screens = ReadSourceXml("data/ui/Definitions/StoryScreens.xml");
        const auto tutorials = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
        const auto book = ReadSourceXml("data/ui/Definitions/Book.xml");
        ASSERT_TRUE(catalogue && story && screens && tutorials && book);

        // Chapter eight's story photo: on the left page of its spread (page 16).
        const PlayData::Placement layout = PlayData::ChildPlacements(*book, u"FinalBook")["pageLayout"];
        const PlayData::Placement leftPage = PlayData::ChildPlacements(*book, u"BookPageLayout")["pageLeft"];
        const XmlNode* pageMovie = PlayData::FindDefinition(*book, u"BookPage");
        ASSERT_NE(pageMovie, nullptr);
        const XmlNode* photoTrack = nullptr;
        for (const auto& track : pageMovie->Children())
            if (Attribute(*track, u"instancename") == "photoStory" && Attribute(*track, u"create") == "16")
                photoTrack = track.get();
        ASSERT_NE(photoTrack, nullptr);
        std::vector<String> photoKey;
        Tokenize(FromUtf8(Attribute(*photoTrack->FindChild(u"Frame"), u"transform")), photoKey, u' ', true, 6);
        ASSERT_EQ(photoKey.size(), 6u);
        photo = Point{static_cast<int>(layout.x + leftPage.x + ToDouble(photoKey[4]) + 80),
                      static_cast<int>(layout.y + leftPage.y + ToDouble(photoKey[5]) + 60)};

        // Where the player clicks: the middle of each button and choice frame.
        const Point okCorner = Placed(*tutorials, "Story_TutorialDialog", "okButton");
        ok = Point{okCorner.x + 85, okCorner.y + 23};
        const Point nextCorner = Placed(*screens, "StoryLayout", "showChoicesButton");
        next = Point{nextCorner.x + 85, nextCorner.y + 23};
        const Point endCorner = Placed(*screens, "StoryLayout", "endGameButton");
        end = Point{endCorner.x + 85, endCorner.y + 23};
        for (int i = 1; i <= 3; ++i) {
            const Point corner = Placed(*screens, "StoryLayout", "option" + std::to_string(i));
            options.push_back({corner.x + 85, corner.y + 60});
        }

        // The path through level 8's story: the first choice, then the second, and so on in turn.
        const XmlNode* start = ChildWith(*story, u"LEVEL", u"LEVEL", "8");
        ASSERT_NE(start, nullptr);
        path = {Attribute(*start, u"STARTNODE")};
        for (;;) {
            const XmlNode* segment = ChildWith(*story, u"SEGMENT", u"ID", path.back());
            ASSERT_NE(segment, nullptr) << path.back();
            std::vector<std::string> choices;
            for (const auto& choice : segment->Children())
                choices.push_back(Attribute(*choice, u"ID"));
            if (choices.empty())
                break;
            ASSERT_EQ(choices.size(), 3u) << path.back();
            chosen.push_back(static_cast<int>(chosen.size() % 3));
            path.push_back(choices[static_cast<size_t>(chosen.back())]);
            ASSERT_LT(path.size(), 10u) << "the story loops";
        }
        ASSERT_GE(chosen.size(), 2u);
    }

    // Opens the story from the album and closes its tutorial; the first page is read from `at`.
    std::string OpenStory(int& at) const
    {
        std::string script;
        Click(script, kPhotoClick, photo);
        Click(script, kStoryReady, ok);
        at = kStoryReady + 30;
        return script;
    }
    // Asks for the choices and takes `choice`; the next page is read from the new `at`.
    void Choose(std::string& script, int& at, int choice) const
    {
        Click(script, at, next);
        Click(script, at + kReveal, options[static_cast<size_t>(choice)]);
        at += kReveal + kNextPage;
    }
    PlayRunner Runner(const std::string& name) const
    {
        PlayRunner runner(name);
        runner.Seed(5).StartingSave(PlayerOnLevel8(*catalogue));
        return runner;
    }

    std::unique_ptr<XmlNode> catalogue, story;
    Point photo, ok, next, end;
    std::vector<Point> options;
    // Level 8's story taken by the first choice, then the second, and so on in turn.
    std::vector<std::string> path;
    std::vector<int> chosen;
};

TEST_F(PlayStory, TheLevelsStoryIsPlayedToItsEndByItsChoices)
{

    int at = 0;
    std::string script = OpenStory(at);
    script += "at " + std::to_string(at - 2) + " shot reading.png\n";
    for (const int choice : chosen)
        Choose(script, at, choice);
    script += "at " + std::to_string(at) + " shot ending.png\n";
    Click(script, at + 10, end);
    script += "at " + std::to_string(at + 60) + " quit\n";

    const PlayResult run = Runner("story-to-the-end").Run(script);
    ASSERT_TRUE(run.ExitedCleanly()) << run.Describe();

    // The story's tutorial was shown, once.
    int tutorialsShown = 0;
    for (const auto& report : run.Reports("screen"))
        tutorialsShown += !report.empty() && report.back() == "Story_TutorialDialog";
    EXPECT_EQ(tutorialsShown, 1) << run.Describe();

    const auto save = run.LoadSave();
    ASSERT_NE(save, nullptr) << run.Describe();
    const XmlNode* profile = ChildWith(*save, u"profile", u"name", "Ada");
    ASSERT_NE(profile, nullptr);
    // The end of the story marks the level played and opens the next one; nothing is left to
    // continue.
    const XmlNode* level8 = ChildWith(*profile, u"level", u"number", "8");
    ASSERT_NE(level8, nullptr);
    EXPECT_EQ(Attribute(*level8, u"bonusplayed"), "1") << run.Describe();
    EXPECT_EQ(profile->FindChild(u"storygame"), nullptr);
    const XmlNode* level9 = ChildWith(*catalogue, u"LEVEL", u"number", "9");
    ASSERT_NE(level9, nullptr);
    for (const auto& photo : level9->Children()) {
        const XmlNode* scene = ChildWith(*profile, u"scene", u"number", Attribute(*photo, u"number"));
        ASSERT_NE(scene, nullptr);
        EXPECT_NE(Attribute(*scene, u"status"), "2") << "scene " << Attribute(*photo, u"number") << " still locked";
    }
}

TEST_F(PlayStory, AStoryWithoutAPageToStartOnLeavesTheAlbumShownAndTurning)
{
    // An empty story file, and one without the page level 8's story starts on.
    std::string withoutStart = QuillTest::ReadFile(QuillTest::SourceRoot() / "data/input/Story/story.xml");
    const std::string startId = "ID=\"" + path[0] + "\"";
    const size_t at = withoutStart.find(startId);
    ASSERT_NE(at, std::string::npos);
    withoutStart.replace(at, startId.size(), "ID=\"gone\"");
    // The next chapter is shut until the story is played: the corner turns back a spread.
    const PlayData::Point back = PlayData::PageCorner(false);
    const Point corner{back.x, back.y};
    constexpr int kTurned = kStoryReady + 10 + 140; // a page turn runs its course
    std::string script = "at " + std::to_string(kPhotoClick - 1) + " shot album.png\n";
    Click(script, kPhotoClick, photo);
    script += "at " + std::to_string(kStoryReady) + " shot back.png\n";
    Click(script, kStoryReady + 10, corner);
    script += "at " + std::to_string(kTurned) + " shot turned.png\nat " + std::to_string(kTurned + 1) + " quit\n";

    for (const std::string& story : {std::string(), withoutStart}) {
        const std::string which = story.empty() ? "an empty story" : "a story without its start";
        const PlayResult run = Runner("story-without-start").DataFile("data", "Story/story.xml", story).Run(script);
        ASSERT_TRUE(run.ExitedCleanly()) << which << "\n" << run.Describe();
        // Told once, on stderr as the run is headless.
        const std::string told = "\"Story\\story.xml\" in the game's data.dat is empty or damaged";
        const size_t first = run.standardError.find(told);
        EXPECT_NE(first, std::string::npos) << which << "\n" << run.Describe();
        EXPECT_EQ(run.standardError.find(told, first + 1), std::string::npos) << which;

        // The album is seen again as it was, and a click on its page corner visibly turns it.
        uint32_t w = 0, h = 0;
        std::vector<uint32_t> album, back, turned;
        ASSERT_TRUE(run.ReadShot("album.png", w, h, album) && run.ReadShot("back.png", w, h, back) &&
                    run.ReadShot("turned.png", w, h, turned))
            << which;
        EXPECT_LT(PlayData::ShareChanged(album, back), 0.05) << which << ": the album is not shown again";
        EXPECT_GT(PlayData::ShareChanged(back, turned), 0.1) << which << ": the page turn is not seen";

        // Nothing of the story ran behind the album: no tutorial, no page kept, the level's story
        // still to play; the save holds only the page the player saw turn.
        const std::vector<std::string> screens = run.Screens();
        EXPECT_EQ(std::count(screens.begin(), screens.end(), "Story_TutorialDialog"), 0) << which;
        const auto save = run.LoadSave();
        ASSERT_NE(save, nullptr) << run.Describe();
        const XmlNode* profile = ChildWith(*save, u"profile", u"name", "Ada");
        ASSERT_NE(profile, nullptr);
        EXPECT_EQ(Attribute(*profile, u"page"), "14") << which;
        EXPECT_EQ(profile->FindChild(u"storygame"), nullptr) << which;
        const XmlNode* level8 = ChildWith(*profile, u"level", u"number", "8");
        ASSERT_NE(level8, nullptr);
        EXPECT_EQ(Attribute(*level8, u"bonusplayed"), "0") << which;
        const XmlNode* tutorial = profile->FindChild(u"tutorial");
        ASSERT_NE(tutorial, nullptr);
        EXPECT_EQ(Attribute(*tutorial, u"m_StorygameBegun"), "1") << which;
    }
}

TEST_F(PlayStory, AStoryLeftByQuittingGoesOnFromItsPage)
{
    // One choice, then the player quits: the page reached is kept in the player file.
    int at = 0;
    std::string script = OpenStory(at);
    Choose(script, at, chosen[0]);
    script += "at " + std::to_string(at) + " quit\n";
    const PlayResult left = Runner("story-left").Run(script);
    ASSERT_TRUE(left.ExitedCleanly()) << left.Describe();
    const auto save = left.LoadSave();
    ASSERT_NE(save, nullptr) << left.Describe();
    const XmlNode* profile = ChildWith(*save, u"profile", u"name", "Ada");
    ASSERT_NE(profile, nullptr);
    const XmlNode* kept = profile->FindChild(u"storygame");
    ASSERT_NE(kept, nullptr) << left.Describe();
    EXPECT_EQ(Attribute(*kept, u"segment"), path[1]);
    const XmlNode* level8 = ChildWith(*profile, u"level", u"number", "8");
    ASSERT_NE(level8, nullptr);
    EXPECT_EQ(Attribute(*level8, u"bonusplayed"), "0");
}

} // namespace
