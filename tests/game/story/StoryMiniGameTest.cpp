// The picture story: reading the story file, a run on a page with every named child (reading,
// revealing, choosing, the arrow, the next page), leaving half-way and coming back, and the end.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "game/app/Game.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/story/StoryMiniGame.h"
#include "tests/game/screens/UIScreenTestSupport.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;

namespace {

std::unique_ptr<XmlNode> Parse(const std::string& xml)
{
    auto document = XmlNode::ParseDocument(xml, false);
    EXPECT_NE(document, nullptr) << xml;
    return document;
}

const std::string kChoices = R"(<CHOICE ID="a"/><CHOICE ID="b"/><CHOICE ID="c"/>)";

std::string Segment(const std::string& id, const std::string& choices = "", const std::string& image = "1")
{
    return "<SEGMENT ID=\"" + id + "\" TEASER=\"teaser " + id + "\" IMAGE=\"" + image + "\" TEXT=\"text " + id +
           "\">" + choices + "</SEGMENT>";
}

TEST(StoryFileTest, ASegmentNeedsEveryAttributeAndNoneOrThreeChoices)
{
    for (const char* missing : {"ID", "TEASER", "IMAGE", "TEXT"}) {
        std::string broken = Segment("second");
        const std::string attribute = std::string(missing) + "=\"";
        const size_t at = broken.find(attribute);
        broken.replace(at, broken.find('"', at + attribute.size()) + 1 - at, "");
        StoryMiniGame story(nullptr);
        const auto document = Parse("<STORY>" + Segment("first") + broken + Segment("third") + "</STORY>");
        EXPECT_FALSE(story.LoadStory(*document)) << missing;
        // What was read before the broken segment stays; nothing after it is read.
        EXPECT_NE(story.FindSegment(u"first"), nullptr) << missing;
        EXPECT_EQ(story.FindSegment(u"third"), nullptr) << missing;
    }
    const std::string two = R"(<CHOICE ID="a"/><CHOICE ID="b"/>)";
    const std::string four = kChoices + R"(<CHOICE ID="d"/>)";
    const std::string nameless = R"(<CHOICE ID="a"/><CHOICE/><CHOICE ID="c"/>)";
    for (const std::string& choices : {two, four, nameless}) {
        StoryMiniGame story(nullptr);
        EXPECT_FALSE(story.LoadStory(*Parse("<STORY>" + Segment("first") + Segment("bad", choices) + "</STORY>")))
            << choices;
        EXPECT_NE(story.FindSegment(u"first"), nullptr);
        EXPECT_EQ(story.FindSegment(u"bad"), nullptr);
    }

    StoryMiniGame story(nullptr);
    ASSERT_TRUE(story.LoadStory(*Parse("<STORY>" + Segment("intro", kChoices) + Segment("end", "", "0x0c") +
                                       Segment("octal", "", "010") + Segment("end", "", "7") + "</STORY>")));
    const StorySegment* intro = story.FindSegment(u"intro");
    ASSERT_NE(intro, nullptr);
    EXPECT_EQ(intro->teaser, u"teaser intro");
    EXPECT_EQ(intro->text, u"text intro");
    EXPECT_EQ(intro->choices, (std::vector<String>{u"a", u"b", u"c"}));
    EXPECT_EQ(story.FindSegment(u"octal")->image, 8) << "a leading 0 reads octal";
    // The second "end" replaced the first.
    EXPECT_EQ(story.FindSegment(u"end")->image, 7);
    EXPECT_TRUE(story.FindSegment(u"end")->choices.empty());
    EXPECT_EQ(story.Segments().size(), 3u);
}

TEST(StoryFileTest, ALevelStartsAtItsLastStartNodeElseAtTheIntro)
{
    const auto document = Parse(R"(<STORY>
        <LEVEL LEVEL="8" STARTNODE="date"/>
        <LEVEL LEVEL="0x0e" STARTNODE="proposal"/>
        <LEVEL LEVEL="8" STARTNODE="dateAgain"/>
        <LEVEL LEVEL="3"/>
        <LEVEL LEVEL="5" STARTNODE="neverRead"/>
    </STORY>)");
    EXPECT_EQ(StoryMiniGame::StartSegmentFor(document.get(), 8), u"dateAgain");
    EXPECT_EQ(StoryMiniGame::StartSegmentFor(document.get(), 14), u"proposal");
    EXPECT_EQ(StoryMiniGame::StartSegmentFor(document.get(), 2), u"intro");
    // The scan stops at the entry without a start node.
    EXPECT_EQ(StoryMiniGame::StartSegmentFor(document.get(), 5), u"intro");
    EXPECT_EQ(StoryMiniGame::StartSegmentFor(nullptr, 8), u"intro");
}

// --- a run on a page with every child the story game looks up ---

std::string Children(const char* pattern, const char* definition)
{
    std::string out;
    for (int i = 1; i <= 3; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, pattern, i);
        out += std::string("<Instance type=\"library\" definition=\"") + definition + "\" instancename=\"" + name +
               "\" depth=\"" + std::to_string(10 + i) + "\" create=\"0\" death=\"1\" regx=\"0\" regy=\"0\"><Frame alpha=\"100\" transform=\"1 0 0 1 0 0\"/></Instance>";
    }
    return out;
}

std::string Text(const char* name, int depth)
{
    return std::string("<Instance type=\"text\" instancename=\"") + name + "\" depth=\"" + std::to_string(depth) +
           "\" create=\"0\" death=\"1\" regx=\"0\" regy=\"0\" text=\"\" face=\"Velvet Body\" size=\"16\" color=\"0\" align=\"left\" "
           "width=\"200\" height=\"40\"><Frame alpha=\"100\" transform=\"1 0 0 1 0 0\"/></Instance>";
}

std::string Library(bool firstOption = true)
{
    std::string texts;
    for (int i = 1; i <= 3; ++i)
        texts += Text(("text" + std::to_string(i)).c_str(), 20 + i);
    auto child = [](const char* name, const char* definition, int depth) {
        return std::string("<Instance type=\"library\" definition=\"") + definition + "\" instancename=\"" + name +
               "\" depth=\"" + std::to_string(depth) + "\" create=\"0\" death=\"1\" regx=\"0\" regy=\"0\"><Frame alpha=\"100\" transform=\"1 0 0 1 0 0\"/></Instance>";
    };
    return R"(<Library>
      <Definition type="movie" name="Box" length="6" fps="60">
        <Label name="Unchecked" frame="0"/><Label name="Checked" frame="3"/>
        <Label name="dunchecked" frame="4"/><Label name="dcheck" frame="5"/>
      </Definition>
      <Definition type="movie" name="Three" length="16" fps="60"/>
      <Definition type="movie" name="HintArrowSprite" length="1" fps="60"/>
      <Definition type="movie" name="heartMovie" length="1" fps="60"/>
      <Definition type="movie" name="StoryLayout" length="1" fps="60">)" +
           (firstOption ? Children("option%d", "Box") : child("option2", "Box", 12) + child("option3", "Box", 13)) +
           Children("pic%d", "Three") + Children("heart%d", "Three") + texts +
           child("subtitle", "Three", 40) + child("storyPics", "Three", 41) + child("endGameButton", "Three", 42) +
           child("showChoicesButton", "Three", 43) + child("laceHeart1", "Three", 44) +
           child("laceHeart3", "Three", 45) + Text("storyText", 46) + Text("endText", 47) +
           "</Definition></Library>";
}

const char* const kStory = R"(<STORY>
  <SEGMENT ID="intro" TEASER="Once" IMAGE="1" TEXT="It begins."><CHOICE ID="cafe"/><CHOICE ID="rain"/><CHOICE ID="lost"/></SEGMENT>
  <SEGMENT ID="cafe" TEASER="A cafe" IMAGE="3" TEXT="Coffee."><CHOICE ID="end"/><CHOICE ID="end"/><CHOICE ID="end"/></SEGMENT>
  <SEGMENT ID="rain" TEASER="Rain" IMAGE="5" TEXT="Puddles."><CHOICE ID="end"/><CHOICE ID="end"/><CHOICE ID="end"/></SEGMENT>
  <SEGMENT ID="end" TEASER="The end" IMAGE="2" TEXT="Happily."/>
</STORY>)";

class StoryRunTest : public ScreenTesting::SceneFixture {
protected:
    void SetUp() override
    {
        auto doc = XmlNode::ParseDocument(Library(FirstOption()), false);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(doc && ui->GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
        game = std::make_unique<Game>();
        ProfileMgr* profiles = game->GetProfileMgr();
        for (int32_t level = 0; level <= 15; ++level)
            profiles->AddLevelTemplate(u"level", 600, 60, 10, level, false);
        profiles->AddSceneTemplate(90, 9, u"Ninth", 10, 0.5f);
        profile = profiles->CurrentProfile();
        profile->page = 4; // level 2
        story = game->GetStoryGame();
        ASSERT_TRUE(story->LoadStory(*Parse(kStory)));
        ui->Update();
    }
    void TearDown() override { game.reset(); }
    virtual bool FirstOption() const { return true; }

    void Enter()
    {
        game->SetState(GameState_StoryGame);
        ui->Update(); // the page loads
        // The story's tutorial opens once per player; close it for the run.
        game->GetScreenMgr()->Close(u"Story_TutorialDialog", false);
    }
    void Step()
    {
        game->GetScreenMgr()->Update();
        game->Update();
    }
    void StepUntil(int32_t state, int limit = 400)
    {
        for (int i = 0; i < limit && story->GetState() != state; ++i)
            Step();
    }
    InstanceHandle Child(const std::string& name) const
    {
        const Instance_Movie* layout = HandleEx::ResolveMovie(story->Layout());
        return layout ? layout->FindChild(FromUtf8(name)) : InstanceHandle();
    }
    String TextOf(const std::string& name) const
    {
        const Instance_Text* text = HandleEx::ResolveText(Child(name));
        return text ? text->GetText() : u"<missing>";
    }
    float Opacity(const std::string& name) const
    {
        const Instance_Base* instance = Child(name).Resolve();
        return instance ? instance->GetOpacity() : -1.0f;
    }
    UICheckBox& Box(int index) { return *story->CheckBoxes().at(static_cast<size_t>(index)); }
    // The player reads the page, asks for the choices and waits until they are in.
    void Reveal()
    {
        story->OnMouseUp(Child("showChoicesButton"), false);
        StepUntil(StoryMiniGame::State_Choosing);
        ASSERT_EQ(story->GetState(), StoryMiniGame::State_Choosing);
    }

    std::unique_ptr<Game> game;
    Profile* profile = nullptr;
    StoryMiniGame* story = nullptr;
};

TEST_F(StoryRunTest, AChoiceFliesTheArrowThenTheNextPageIsRead)
{
    Enter();
    ASSERT_EQ(story->GetState(), StoryMiniGame::State_Reading);
    ASSERT_EQ(story->CheckBoxes().size(), 3u);
    EXPECT_TRUE(story->InProgress());
    EXPECT_EQ(TextOf("storyText"), u"It begins.");
    EXPECT_EQ(TextOf("text2"), u"Rain");
    EXPECT_EQ(TextOf("text3"), u"") << "a choice the story lacks has no teaser";
    EXPECT_EQ(HandleEx::ResolveMovie(Child("pic2"))->GetFrame(), 4);
    EXPECT_EQ(HandleEx::ResolveMovie(Child("pic3"))->GetFrame(), 0);
    EXPECT_EQ(Opacity("option1"), 0.0f);
    EXPECT_FALSE(Child("option1").Resolve()->GetInputEnabled());

    // A click on a choice while the page is read only brings the choices in.
    story->ChoiceMade(Box(1));
    EXPECT_EQ(story->GetState(), StoryMiniGame::State_RevealChoices);
    EXPECT_FALSE(Child("showChoicesButton").Resolve()->GetVisible());
    // The first choice fades in over 25 steps, then the second, then the third.
    for (int i = 0; i < 30; ++i)
        Step();
    EXPECT_EQ(Opacity("option1"), 24.0f / 25.0f);
    EXPECT_NEAR(Opacity("pic2"), 4.0f / 25.0f, 1e-6);
    EXPECT_EQ(Opacity("text3"), 0.0f);
    StepUntil(StoryMiniGame::State_Choosing);
    EXPECT_EQ(story->RevealTicks(), 75.0f);
    EXPECT_EQ(Opacity("text3"), 1.0f);
    EXPECT_TRUE(Child("option3").Resolve()->GetInputEnabled());

    // The second choice: the arrow leaves the top left for the middle picture.
    story->ChoiceMade(Box(1));
    ASSERT_EQ(story->GetState(), StoryMiniGame::State_HintFlying);
    EXPECT_EQ(story->ChosenIndex(), 1);
    const InstanceHandle arrow = ui->GetRoot()->FindChild(u"hinter");
    ASSERT_TRUE(arrow.Resolve());
    Step();
    BezierPath expected({105, 60}, {347, 0}, {589, 301}, 2.0f);
    BezierPoint first;
    expected.Step(first);
    float x = 0, y = 0;
    arrow.Resolve()->GetPosition(x, y);
    EXPECT_FLOAT_EQ(x, first.x);
    EXPECT_FLOAT_EQ(y, first.y);
    // A click on another choice during the flight changes nothing.
    story->ChoiceMade(Box(2));
    EXPECT_EQ(story->ChosenIndex(), 1);

    // Two seconds of flight, the heart fade, and (with no transition script to wait for) the
    // chosen segment is read.
    StepUntil(StoryMiniGame::State_Reading);
    EXPECT_EQ(story->GetState(), StoryMiniGame::State_Reading);
    EXPECT_FALSE(arrow.Resolve()) << "the arrow is gone";
    EXPECT_FALSE(ui->GetRoot()->FindChild(u"heartFader").Resolve());
    EXPECT_EQ(TextOf("storyText"), u"Puddles.");
    EXPECT_EQ(story->CurrentSegment()->id, u"rain");
    EXPECT_TRUE(Bool("fadeTransitionOut"));
    EXPECT_EQ(Number("transitionScene"), 2.0);
    EXPECT_TRUE(Child("showChoicesButton").Resolve()->GetVisible());
}

TEST_F(StoryRunTest, AStoryWithoutItsPagesIsToldOnceAndLeavesForTheAlbum)
{
    std::vector<std::string> messages;
    Game::EngineLinks links;
    links.showMessage = [&messages](const std::string&, const std::string& text) { messages.push_back(text); };
    game.reset();
    game = std::make_unique<Game>(links); // no story file: no pages at all
    for (int round = 0; round < 2; ++round) {
        game->SetState(GameState_StoryGame);
        ui->Update();
        EXPECT_EQ(game->GetState(), GameState_Book) << "round " << round;
        // No page is left over the album, and nothing of the story runs behind it.
        EXPECT_FALSE(ui->GetRoot()->FindChild(StoryMiniGame::kLayoutName).Resolve()) << "round " << round;
        EXPECT_EQ(game->GetStoryGame()->GetState(), StoryMiniGame::State_Idle) << "round " << round;
    }
    // (The album, without its catalogue here, has its own message.)
    const auto aboutStory = std::count_if(messages.begin(), messages.end(), [](const std::string& text) {
        return text.find("story.xml") != std::string::npos;
    });
    EXPECT_EQ(aboutStory, 1);
}

TEST(StoryRevealTest, EachChoiceSoundsOnceAsItsFadeBegins)
{
    std::vector<std::pair<int32_t, std::u16string>> sounds;
    for (int32_t tick = -1; tick <= 3 * StoryMiniGame::kRevealSteps; ++tick) {
        if (const char16_t* sound = StoryMiniGame::RevealSound(tick))
            sounds.emplace_back(tick, sound);
    }
    const std::vector<std::pair<int32_t, std::u16string>> expected{{0, u"Choice1"}, {25, u"Choice2"}, {50, u"Choice3"}};
    EXPECT_EQ(sounds, expected);
}

class StoryWithoutFirstOptionTest : public StoryRunTest {
protected:
    bool FirstOption() const override { return false; }
};

TEST_F(StoryWithoutFirstOptionTest, ABoxChoosesItsOwnOptionWhenAnEarlierOneIsMissing)
{
    Enter();
    ASSERT_EQ(story->CheckBoxes().size(), 2u);
    Reveal();
    story->ChoiceMade(Box(0)); // the box of the second option
    EXPECT_EQ(story->ChosenIndex(), 1);
    StepUntil(StoryMiniGame::State_Reading);
    ASSERT_NE(story->CurrentSegment(), nullptr);
    EXPECT_EQ(story->CurrentSegment()->id, u"rain");
}

TEST_F(StoryRunTest, AStoryLeftHalfWayContinuesThereAndOnlyThatRunIsSaved)
{
    Enter();
    Reveal();
    story->ChoiceMade(Box(0));
    StepUntil(StoryMiniGame::State_Reading);
    ASSERT_EQ(story->CurrentSegment()->id, u"cafe");

    // Leaving for the album keeps the page in the profile, and the file takes it along.
    game->SetState(GameState_Book);
    ASSERT_NE(profile->StoryState(), nullptr);
    String segment;
    EXPECT_TRUE(profile->StoryState()->GetAttribute(u"segment", segment));
    EXPECT_EQ(segment, u"cafe");
    EXPECT_FALSE(story->HasStoryUnderWay());
    EXPECT_FALSE(story->Layout().Resolve());

    // Back again: the story goes on where it was left.
    Enter();
    EXPECT_EQ(TextOf("storyText"), u"Coffee.");
    game->SetState(GameState_Book);

    // Once the level opens, the saved page is dropped; the finished run is never saved again,
    // not even by a later save of the profiles.
    profile->SetStoryState(nullptr);
    game->GetProfileMgr()->Save();
    EXPECT_EQ(profile->StoryState(), nullptr);

    // A saved page the story no longer has starts the level's story afresh.
    auto stale = std::make_unique<XmlNode>(u"storygame");
    stale->SetAttribute(u"segment", u"gone");
    profile->SetStoryState(std::move(stale));
    Enter();
    EXPECT_EQ(TextOf("storyText"), u"It begins.");
    EXPECT_FALSE(story->RestoreState(nullptr));
    XmlNode bare(u"storygame");
    EXPECT_FALSE(story->RestoreState(&bare));
}

TEST_F(StoryRunTest, TheEndShowsTheLevelsClosingAndMarksTheLevelPlayed)
{
    // Level 8's story: its subtitle and closing text.
    profile->page = 16;
    // The next level was open already: the saved story must go all the same.
    profile->FindScene(90)->status = SceneRecord::Open;
    auto saved = std::make_unique<XmlNode>(u"storygame");
    saved->SetAttribute(u"segment", u"rain");
    profile->SetStoryState(std::move(saved));
    game->SetState(GameState_Book);
    Enter();
    EXPECT_EQ(HandleEx::ResolveMovie(Child("subtitle"))->GetFrame(), 1);
    Reveal();
    story->ChoiceMade(Box(2));
    StepUntil(StoryMiniGame::State_Reading);

    // A segment without choices ends the story.
    EXPECT_EQ(TextOf("storyText"), u"Happily.");
    EXPECT_EQ(TextOf("endText"), u"Still to come...\nThe Proposal!");
    EXPECT_TRUE(Child("endText").Resolve()->GetVisible());
    EXPECT_TRUE(Child("endGameButton").Resolve()->GetInputEnabled());
    EXPECT_FALSE(Child("option1").Resolve()->GetVisible());
    EXPECT_FALSE(Child("laceHeart3").Resolve()->GetVisible());
    EXPECT_FALSE(Child("showChoicesButton").Resolve()->GetVisible());

    // The end button finishes the story; the game goes back to the album, which resets the story.
    story->OnMouseUp(Child("endGameButton"), false);
    EXPECT_EQ(story->GetPreviousState(), StoryMiniGame::State_Finished);
    EXPECT_EQ(story->GetState(), StoryMiniGame::State_Idle);
    EXPECT_TRUE(profile->FindLevel(8)->bonusPlayed);
    EXPECT_EQ(profile->StoryState(), nullptr);
    EXPECT_FALSE(story->InProgress());
    EXPECT_EQ(game->GetState(), GameState_Book) << "back to the album";
    EXPECT_EQ(profile->StoryState(), nullptr) << "leaving a finished story saves nothing";
}

TEST_F(StoryRunTest, TheConsoleEndsTheStoryAtOnceWithTheLevelsClosing)
{
    profile->page = 28; // level 14
    Enter();
    EXPECT_EQ(HandleEx::ResolveMovie(Child("subtitle"))->GetFrame(), 2);
    story->OnConsoleCommand({u"storygame.win"}, {});
    EXPECT_EQ(TextOf("endText"), u"See you at the wedding!");
    EXPECT_TRUE(Child("endGameButton").Resolve()->GetVisible());
    EXPECT_FALSE(Child("text2").Resolve()->GetVisible());
}

} // namespace

namespace {

// The shipped story: it loads whole, every choice leads somewhere, every picture exists, every
// path ends, and each story level of the catalogue has its own start.
TEST(StoryContentTest, TheShippedStoryIsWholeAndEveryPathEnds)
{
    const auto document = XmlNode::ParseDocument(QuillTest::ReadFile(QuillTest::SourceRoot() / "data/input/Story/story.xml"), false);
    const auto catalogue = XmlNode::ParseDocument(QuillTest::ReadFile(QuillTest::SourceRoot() / "data/input/Levels/levels.xml"), false);
    const auto screens = XmlNode::ParseDocument(QuillTest::ReadFile(QuillTest::SourceRoot() / "data/ui/Definitions/StoryScreens.xml"), false);
    ASSERT_TRUE(document && catalogue && screens);
    StoryMiniGame story(nullptr);
    ASSERT_TRUE(story.LoadStory(*document));
    ASSERT_GE(story.Segments().size(), 24u);

    int32_t pictures = 0;
    for (const auto& definition : screens->Children())
        if (definition->GetStringAttribute(u"name", u"") == u"StoryChoicePics")
            pictures = definition->GetIntAttribute(u"length", 0);
    ASSERT_GT(pictures, 0);

    std::vector<String> starts{u"intro"};
    for (const auto& level : catalogue->Children())
        for (const auto& photo : level->Children())
            if (photo->HasAttribute(u"bonus") && photo->GetIntAttribute(u"bonus", -1) == 0) {
                const String start = StoryMiniGame::StartSegmentFor(document.get(), level->GetIntAttribute(u"number", -1));
                EXPECT_NE(start, u"intro") << "a story level without its own start: " << ToUtf8(level->GetStringAttribute(u"number", u""));
                starts.push_back(start);
            }
    ASSERT_GE(starts.size(), 3u);

    for (const auto& [id, segment] : story.Segments()) {
        EXPECT_GE(segment->image, 1) << ToUtf8(id);
        EXPECT_LE(segment->image, pictures) << ToUtf8(id);
        for (const String& next : segment->choices)
            EXPECT_NE(story.FindSegment(next), nullptr) << ToUtf8(id) << " -> " << ToUtf8(next);
    }
    // Every path from every start ends within a few pages.
    for (const String& start : starts) {
        std::vector<std::pair<String, int>> open{{start, 0}};
        while (!open.empty()) {
            const auto [id, depth] = open.back();
            open.pop_back();
            const StorySegment* segment = story.FindSegment(id);
            ASSERT_NE(segment, nullptr) << ToUtf8(id);
            ASSERT_LT(depth, 6) << "no end after " << ToUtf8(id);
            for (const String& next : segment->choices)
                open.emplace_back(next, depth + 1);
        }
    }
}

} // namespace
