// Movie instances: timelines, timeline children, frame events, the event queue and handlers that
// change the tree while it is being stepped.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"

using namespace QuillEngine;

namespace {

const char* const kLibrary = R"(<Library>
  <Definition type="movie" name="Leaf" length="1" fps="60"/>
  <Definition type="movie" name="Tracks" length="10" fps="60">
    <Instance type="library" definition="Leaf" instancename="back" depth="1" create="0" death="10" regx="0" regy="0"/>
    <Instance type="library" definition="Leaf" instancename="leaf" depth="3" create="2" death="5" regx="1" regy="2"
              userdata="coins=3">
      <Frame alpha="50" transform="1 0 0 1 10 20"/>
      <Frame alpha="100" transform="2 0 0 2 30 40"/>
    </Instance>
    <Instance type="library" definition="Leaf" instancename="front" depth="5" create="3" death="10" regx="0" regy="0"/>
  </Definition>
  <Definition type="movie" name="Slow" length="10" fps="24"/>
  <Definition type="movie" name="Events" length="6" fps="60">
    <Event frame="2" type="stop"/>
    <Label name="hello" frame="2"/>
    <Label name="four" frame="4"/>
  </Definition>
  <Definition type="movie" name="Jumps" length="8" fps="60">
    <Event frame="1" type="gotoAndStop" targetframe="2"/>
    <Event frame="2" type="gotoAndStop" targetframe="1"/>
    <Event frame="5" type="gotoAndPlay" targetframe="3"/>
  </Definition>
  <Definition type="movie" name="Plain" length="4" fps="60"/>
  <Definition type="movie" name="LongJumps" length="200000" fps="60">
    <Event frame="1" type="gotoAndPlay" targetframe="2"/>
    <Event frame="2" type="gotoAndPlay" targetframe="1"/>
  </Definition>
</Library>)";

// Records the events it hears as short words, and runs an optional action on each.
struct Recorder : IInstanceEventHandler {
    std::vector<std::string> heard;
    std::function<void(const std::string&, const InstanceHandle&)> action;

    void Hear(const std::string& what, const InstanceHandle& handle)
    {
        heard.push_back(what);
        if (action)
            action(what, handle);
    }
    void OnFrameChanged(const InstanceHandle& h) override { Hear("frame", h); }
    void OnLabelHit(const InstanceHandle& h, const String& label) override { Hear("label:" + ToUtf8(label), h); }
    void OnLoad(const InstanceHandle& h) override { Hear("load", h); }
    void OnUpdate(const InstanceHandle& h) override { Hear("update", h); }
    void OnTimelineStop(const InstanceHandle& h) override { Hear("stop", h); }
    void OnDelete(const InstanceHandle& h) override { Hear("delete", h); }
    void OnLoaded(const InstanceHandle& h) override { Hear("loaded", h); }

    size_t Count(const std::string& what) const
    {
        size_t n = 0;
        for (const std::string& w : heard)
            n += w == what;
        return n;
    }
};

class InstanceMovieTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ui.CreateRoot());
        root = ui.GetRoot();
        auto doc = XmlNode::ParseDocument(kLibrary, false);
        ASSERT_TRUE(doc);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(ui.GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
    }

    Instance_Movie* Make(const String& definition, const String& name)
    {
        Instance_Movie* movie = HandleEx::ResolveMovie(root->CreateChild(definition, name));
        EXPECT_NE(movie, nullptr);
        return movie;
    }

    std::vector<String> DrawOrder(Instance_Movie& movie)
    {
        std::vector<String> names;
        for (const Instance_Base* child : movie.DrawList())
            names.push_back(child->GetName());
        return names;
    }

    UserInterface ui;
    Instance_Movie* root = nullptr;
};

} // namespace

TEST_F(InstanceMovieTest, TheFrameAccumulatorCarriesFractionsOfFramesBetweenUpdates)
{
    Instance_Movie* movie = Make(u"Slow", u"m");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->GetCurrentFrame(), 0);
    EXPECT_EQ(movie->GetNumFrames(), 10);
    movie->SetPlaying(true);
    movie->Update();
    EXPECT_NEAR(movie->GetFrameAccumulator(), 0.4f, 1e-5f);
    movie->Update();
    EXPECT_NEAR(movie->GetFrameAccumulator(), 0.8f, 1e-5f);
    EXPECT_EQ(movie->GetCurrentFrame(), 0);
    movie->Update();
    EXPECT_EQ(movie->GetCurrentFrame(), 1);
    EXPECT_NEAR(movie->GetFrameAccumulator(), 0.2f, 1e-5f);

    movie->SetFrameMultiplier(5); // 2 frames a step
    movie->Update();
    EXPECT_EQ(movie->GetCurrentFrame(), 3);

    // An absurd multiplier cannot hold an update forever.
    movie->SetFrameMultiplier(1e30f);
    movie->Update();
    EXPECT_EQ(movie->GetFrameAccumulator(), 0.0f);

    // Forward play loops from the last frame to 0.
    Instance_Movie* plain = Make(u"Plain", u"p");
    plain->SetPlaying(true);
    for (int i = 0; i < 4; ++i)
        plain->Update();
    EXPECT_EQ(plain->GetCurrentFrame(), 0);
}

TEST_F(InstanceMovieTest, TimelineChildrenLiveOverTheirFramesInDepthOrderWithTheirKeys)
{
    Instance_Movie* movie = Make(u"Tracks", u"m");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(DrawOrder(*movie), (std::vector<String>{u"back"}));
    movie->CreateEmptyChild(u"code");

    movie->SetFrame(2);
    // A timeline child goes before the first timeline child deeper than it, else to the end.
    EXPECT_EQ(DrawOrder(*movie), (std::vector<String>{u"back", u"code", u"leaf"}));
    Instance_Movie* leaf = HandleEx::ResolveMovie(movie->FindChild(u"leaf"));
    ASSERT_NE(leaf, nullptr);
    EXPECT_FALSE(leaf->HasNoIndex());
    EXPECT_EQ(leaf->GetUserData(), u"coins=3");
    float x, y;
    leaf->GetPosition(x, y);
    EXPECT_FLOAT_EQ(x, 10);
    EXPECT_FLOAT_EQ(y, 20);
    leaf->GetRegistrationPoint(x, y);
    EXPECT_FLOAT_EQ(y, 2);
    EXPECT_FLOAT_EQ(leaf->GetOpacity(), 0.5f);

    movie->SetFrame(3);
    EXPECT_EQ(DrawOrder(*movie), (std::vector<String>{u"back", u"code", u"leaf", u"front"}));
    movie->FindChild(u"back").Resolve()->MoveToFront();
    movie->SetFrame(4); // 4 is no new frame for anyone: the order stays
    EXPECT_EQ(DrawOrder(*movie), (std::vector<String>{u"code", u"leaf", u"front", u"back"}));
    leaf->GetScale(x, y);
    EXPECT_NEAR(x, 2, 1e-4f);
    EXPECT_FLOAT_EQ(leaf->GetOpacity(), 1);

    // Timeline children are the timeline's own: removal by name or by Delete does nothing.
    InstanceHandle leafHandle = leaf->GetHandle();
    movie->RemoveChild(u"leaf");
    leafHandle.Delete(false);
    EXPECT_TRUE(movie->HasChild(u"leaf"));

    movie->SetFrame(5);
    EXPECT_FALSE(movie->HasChild(u"leaf"));
    EXPECT_EQ(leafHandle.Resolve(), nullptr);
    EXPECT_TRUE(movie->HasChild(u"code"));
    EXPECT_EQ(DrawOrder(*movie), (std::vector<String>{u"code", u"front", u"back"}));
    ui.Update();
    EXPECT_EQ(movie->PendingDeleteCount(), 0u);

    EXPECT_EQ(movie->FindChild(u"front"), movie->FindChildByPrefix(u"fr"));
    EXPECT_EQ(root->FindChild(u"m.front"), movie->FindChild(u"front"));
}

TEST_F(InstanceMovieTest, FrameEventsLabelsAndUpdatesReachTheHandlerInOrder)
{
    Instance_Movie* movie = Make(u"Events", u"m");
    ASSERT_NE(movie, nullptr);
    Recorder recorder;
    movie->SetEventHandler(&recorder);
    movie->SetPlaying(true);
    ui.Update(); // frame 1
    ui.Update(); // frame 2: stop
    EXPECT_FALSE(movie->GetPlaying());
    EXPECT_EQ(movie->GetCurrentFrame(), 2);
    // The load raised before the handler came is delivered once, after the first pass.
    EXPECT_EQ(recorder.heard,
              (std::vector<std::string>{"frame", "update", "load", "stop", "frame", "label:hello", "update"}));
    ui.Update();
    EXPECT_EQ(movie->GetCurrentFrame(), 2);
    EXPECT_EQ(recorder.Count("load"), 1u);

    EXPECT_TRUE(movie->SetFrameFromLabel(u"four"));
    EXPECT_EQ(movie->GetFrame(), 4);
    EXPECT_FALSE(movie->SetFrameFromLabel(u"Four"));
    EXPECT_EQ(movie->QueuedEventCount(), 2u); // frame changed, label
    movie->SetEventHandler(nullptr);
    EXPECT_EQ(movie->QueuedEventCount(), 0u);
}

TEST_F(InstanceMovieTest, ReversePlayStopsAtFrameZeroWithoutFurtherEvents)
{
    Instance_Movie* movie = Make(u"Plain", u"m");
    movie->SetFrame(3);
    Recorder recorder;
    movie->SetEventHandler(&recorder);
    movie->SetReverse(true);
    movie->SetPlaying(true);
    std::vector<int32_t> frames;
    for (int i = 0; i < 5; ++i) {
        ui.Update();
        frames.push_back(movie->GetCurrentFrame());
    }
    EXPECT_EQ(frames, (std::vector<int32_t>{2, 1, 0, 0, 0}));
    EXPECT_EQ(recorder.Count("frame"), 3u);
}

TEST_F(InstanceMovieTest, JumpsThatComeBackOnThemselvesEnd)
{
    Instance_Movie* movie = Make(u"Jumps", u"m");
    ASSERT_NE(movie, nullptr);
    movie->SetFrame(1); // 1 jumps to 2, which jumps back to 1, ...
    EXPECT_FALSE(movie->GetPlaying());
    EXPECT_TRUE(movie->GetCurrentFrame() == 1 || movie->GetCurrentFrame() == 2);

    movie->SetFrame(4);
    movie->SetPlaying(true);
    ui.Update(); // 5 jumps back to 3 and plays on
    EXPECT_EQ(movie->GetCurrentFrame(), 3);
    EXPECT_TRUE(movie->GetPlaying());
}

TEST_F(InstanceMovieTest, JumpChainsOnLongTimelinesAndBadMultipliersCannotStopTheGame)
{
    // Two jumps pointing at each other on a long timeline: cut short, not a stack overflow.
    Instance_Movie* movie = Make(u"LongJumps", u"m");
    ASSERT_NE(movie, nullptr);
    movie->SetFrame(1);
    EXPECT_TRUE(movie->GetCurrentFrame() == 1 || movie->GetCurrentFrame() == 2);

    // A multiplier that is not a number plays at the normal speed instead of freezing.
    Instance_Movie* plain = Make(u"Plain", u"p");
    plain->SetPlaying(true);
    plain->SetFrameMultiplier(std::nanf(""));
    plain->Update();
    plain->Update();
    EXPECT_EQ(plain->GetCurrentFrame(), 2);
    plain->SetFrameMultiplier(-std::numeric_limits<float>::infinity());
    plain->Update();
    EXPECT_EQ(plain->GetCurrentFrame(), 3);
}

TEST_F(InstanceMovieTest, APausedMovieNeitherAdvancesNorUpdatesItsChildrenNorFreesRemovedOnes)
{
    Instance_Movie* outer = Make(u"Plain", u"outer");
    Instance_Movie* inner = HandleEx::ResolveMovie(outer->CreateChild(u"Plain", u"inner"));
    ASSERT_NE(inner, nullptr);
    outer->CreateEmptyChild(u"doomed");
    outer->SetPlayingRecursive(true);
    EXPECT_TRUE(inner->GetPlaying());
    outer->SetPaused(true);
    outer->FindChild(u"doomed").Delete(false);
    ui.Update();
    EXPECT_EQ(outer->GetCurrentFrame(), 0);
    EXPECT_EQ(inner->GetCurrentFrame(), 0);
    EXPECT_EQ(outer->PendingDeleteCount(), 1u);
    outer->SetPaused(false);
    ui.Update();
    EXPECT_EQ(inner->GetCurrentFrame(), 1);
    EXPECT_EQ(outer->PendingDeleteCount(), 0u);

    root->SetPausedRecursive(true);
    EXPECT_TRUE(inner->GetPaused());
    root->SetReverseRecursive(true);
    EXPECT_TRUE(outer->GetReverse());
}

TEST_F(InstanceMovieTest, AHandlerMayDeleteItsOwnMovieOrASiblingDuringAnUpdate)
{
    const int32_t baseCount = ui.GetInstanceCount();
    Instance_Movie* first = Make(u"Plain", u"first");
    Instance_Movie* second = Make(u"Plain", u"second");
    InstanceHandle firstHandle = first->GetHandle(), secondHandle = second->GetHandle();
    Recorder killer, victim;
    killer.action = [&](const std::string& what, const InstanceHandle& self) {
        if (what == "frame") {
            secondHandle.Delete(false);
            self.Delete(true);
        }
    };
    first->SetEventHandler(&killer);
    second->SetEventHandler(&victim);
    first->SetPlaying(true);
    second->SetPlaying(true);
    ui.Update();
    // The first movie's frame change went out; its update (queued after it) did not, since the
    // movie was gone by then, and the second movie was not updated at all.
    EXPECT_EQ(killer.Count("frame"), 1u);
    EXPECT_EQ(killer.Count("update"), 0u);
    EXPECT_EQ(victim.Count("update"), 0u);
    EXPECT_EQ(victim.Count("delete"), 1u);
    EXPECT_EQ(firstHandle.Resolve(), nullptr);
    EXPECT_EQ(secondHandle.Resolve(), nullptr);
    ui.Update();
    EXPECT_EQ(ui.GetInstanceCount(), baseCount);
}

TEST_F(InstanceMovieTest, ATimelineThatDeletesItsMovieOnTheWayStopsAtOnce)
{
    Instance_Movie* movie = Make(u"Tracks", u"m");
    InstanceHandle self = movie->GetHandle();
    movie->SetFrame(2);
    Instance_Movie* leaf = HandleEx::ResolveMovie(movie->FindChild(u"leaf"));
    ASSERT_NE(leaf, nullptr);
    Recorder leafHandler;
    // When the leaf leaves the timeline, its handler deletes the whole movie.
    leafHandler.action = [&](const std::string& what, const InstanceHandle&) {
        if (what == "delete")
            self.Delete(false);
    };
    leaf->SetEventHandler(&leafHandler);
    movie->SetFrameMultiplier(10); // several frames in one update
    movie->SetPlaying(true);
    ui.Update();
    EXPECT_EQ(leafHandler.Count("delete"), 1u);
    EXPECT_EQ(self.Resolve(), nullptr);
    ui.Update();
    EXPECT_EQ(ui.GetInstanceCount(), 1);
}

TEST_F(InstanceMovieTest, DeletingWithDetachedHandlersIsSilentAndFreesTheName)
{
    Instance_Movie* movie = Make(u"Plain", u"m");
    Recorder recorder;
    movie->SetEventHandler(&recorder);
    ui.Update();
    EXPECT_EQ(recorder.Count("load"), 1u);
    movie->GetHandle().Delete(true);
    EXPECT_EQ(recorder.Count("delete"), 0u);
    EXPECT_EQ(movie->GetHandle().Resolve(), nullptr);
    InstanceHandle again = root->CreateChild(u"Plain", u"m");
    EXPECT_FALSE(again.IsEmpty());
    EXPECT_EQ(again.AsLiveMovie(), root->FindChild(u"m"));
}
