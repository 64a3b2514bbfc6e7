// The instance console commands: direct calls, the console path ("root.a.setp 1 2"), the
// inspection printout and commands that meet deleted instances.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/core/console/Console.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/InstanceCommands.h"
#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"

using namespace QuillEngine;

namespace {

const char* const kLibrary = R"(<Library>
  <Definition type="movie" name="Leaf" length="1" fps="60"/>
  <Definition type="movie" name="Walk" length="6" fps="60">
    <Label name="four" frame="4"/>
    <Label name="two" frame="2"/>
  </Definition>
</Library>)";

class InstanceCommandsTest : public ::testing::Test {
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

    Instance_Image* AddImage(Instance_Movie& parent, const String& name)
    {
        EXPECT_TRUE(parent.AdoptChild(std::make_unique<Instance_Image>(&ui, name), true));
        return HandleEx::ResolveImage(parent.FindChild(name));
    }

    void Run(Instance_Base& instance, std::vector<String> words)
    {
        OnInstanceConsoleCommand(instance, words, print);
    }

    UserInterface ui;
    Instance_Movie* root = nullptr;
    std::vector<String> printed;
    InstancePrint print = [this](StringView text) { printed.emplace_back(text); };
};

} // namespace

TEST_F(InstanceCommandsTest, TransformCommandsReadTheirWordsAndMissingWordsReadAsZero)
{
    Instance_Movie* m = HandleEx::ResolveMovie(root->CreateEmptyChild(u"m"));
    ASSERT_NE(m, nullptr);
    Run(*m, {u"setp", u"12.5", u"-3"});
    EXPECT_FLOAT_EQ(m->GetX(), 12.5f);
    EXPECT_FLOAT_EQ(m->GetY(), -3.0f);
    Run(*m, {u"sets", u"2"});
    float sx = 0, sy = 0;
    m->GetScale(sx, sy);
    EXPECT_FLOAT_EQ(sx, 2.0f);
    EXPECT_FLOAT_EQ(sy, 0.0f);
    Run(*m, {u"seta", u"abc"});
    EXPECT_FLOAT_EQ(m->GetOpacity(), 0.0f);
    Run(*m, {u"setr"});
    EXPECT_FLOAT_EQ(m->GetRotation(), 0.0f);
    Run(*m, {u"SETP", u"1", u"1"}); // names are case-sensitive
    EXPECT_FLOAT_EQ(m->GetX(), 12.5f);
    EXPECT_TRUE(printed.empty());
}

TEST_F(InstanceCommandsTest, CoordinateCommandsSkipWordOneAndPrintTheResult)
{
    Instance_Movie* m = HandleEx::ResolveMovie(root->CreateEmptyChild(u"m"));
    m->SetPosition(100, 200);
    Run(*m, {u"ltog", u"0", u"10", u"20"});
    Run(*m, {u"gtol", u"x", u"110", u"220"});
    Run(*m, {u"ltog", u"10", u"20"});
    ASSERT_EQ(printed.size(), 3u);
    EXPECT_EQ(ToUtf8(printed[0]), "Global: 110.000000 220.000000");
    EXPECT_EQ(ToUtf8(printed[1]), "Local: 10.000000 20.000000");
    EXPECT_EQ(ToUtf8(printed[2]), "Global: 120.000000 200.000000");
}

TEST_F(InstanceCommandsTest, SetColorWorksOnImagesOnly)
{
    Instance_Image* image = AddImage(*root, u"pic");
    ASSERT_NE(image, nullptr);
    Run(*image, {u"setcolor", u"0xFF0000"});
    EXPECT_EQ(image->GetColor(), 0xFF0000u);

    Instance_Movie* m = HandleEx::ResolveMovie(root->CreateEmptyChild(u"m"));
    Instance_Image* inner = AddImage(*m, u"inner");
    Run(*m, {u"setcolor", u"0x00FF00"});
    EXPECT_EQ(inner->GetColor(), Instance_Image::kDefaultColor);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(ToUtf8(printed[0]), "Only works on images.");

    Run(*image, {u"setmaterial", u"mask"});
    EXPECT_EQ(image->GetMaterial(), 4u);
    Run(*image, {u"setmaterial", u"maskedalpha"});
    EXPECT_EQ(image->GetMaterial(), 0x10001u);
    Run(*image, {u"setmaterial", u"other"});
    EXPECT_EQ(image->GetMaterial(), 0x10001u);
}

TEST_F(InstanceCommandsTest, MovieCommandsDriveTheTimelineAndChildren)
{
    Instance_Movie* m = HandleEx::ResolveMovie(root->CreateChild(u"Walk", u"walker"));
    ASSERT_NE(m, nullptr);
    const bool reverse = m->GetReverse();
    Run(*m, {u"reverse"});
    EXPECT_NE(m->GetReverse(), reverse);
    Run(*m, {u"reverse"});
    EXPECT_EQ(m->GetReverse(), reverse);
    Run(*m, {u"start"});
    EXPECT_TRUE(m->GetPlaying());
    Run(*m, {u"stop"});
    EXPECT_FALSE(m->GetPlaying());
    Run(*m, {u"setframe", u"0x3"});
    EXPECT_EQ(m->GetFrame(), 3);
    Run(*m, {u"setframebylabel", u"two"});
    EXPECT_EQ(m->GetFrame(), 2);
    Run(*m, {u"createchild", u"Leaf", u"leaf"});
    Run(*m, {u"createempty", u"box"});
    EXPECT_TRUE(m->HasChild(u"leaf"));
    EXPECT_TRUE(m->HasChild(u"box"));

    Run(*m, {u"list"});
    ASSERT_EQ(printed.size(), 3u);
    EXPECT_EQ(ToUtf8(printed[0]), "walker.leaf instance of Leaf (Movie)");
    EXPECT_EQ(ToUtf8(printed[1]), "walker.box instance of <empty> (Movie)");
    EXPECT_EQ(ToUtf8(printed[2]), "Printed 2 instances");

    printed.clear();
    Instance_Movie* box = HandleEx::ResolveMovie(m->FindChild(u"box"));
    Run(*box, {u"list"});
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(ToUtf8(printed[0]), "Printed 0 instances");
}

TEST_F(InstanceCommandsTest, RecursiveListingExtendsThePrefixPerLevel)
{
    Instance_Movie* a = HandleEx::ResolveMovie(root->CreateEmptyChild(u"a"));
    Instance_Movie* b = HandleEx::ResolveMovie(a->CreateEmptyChild(u"b"));
    AddImage(*b, u"pic");
    int32_t count = 0;
    ListChildren(*root, u"", count, true, print);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(printed.size(), 3u);
    EXPECT_EQ(ToUtf8(printed[0]), "root.a instance of <empty> (Movie)");
    EXPECT_EQ(ToUtf8(printed[1]), "root.a.b instance of <empty> (Movie)");
    EXPECT_EQ(ToUtf8(printed[2]), "root.a.b.pic instance of <empty> (Image)");
}

TEST_F(InstanceCommandsTest, InspectPrintsPathTransformChildrenAndLabels)
{
    Instance_Movie* m = HandleEx::ResolveMovie(root->CreateChild(u"Walk", u"walker"));
    m->CreateEmptyChild(u"x");
    m->CreateEmptyChild(u"y");
    m->SetPosition(5, 6);
    Run(*m, {u"inspect"});
    ASSERT_EQ(printed.size(), 5u);
    EXPECT_EQ(ToUtf8(printed[0]), "-={root.walker}=- (Movie)");
    EXPECT_EQ(ToUtf8(printed[1]).rfind("A: 1.00 P: 5.0 6.0 S: 1.00 1.00 R: 0.000 @ ", 0), 0u) << ToUtf8(printed[1]);
    EXPECT_EQ(ToUtf8(printed[2]), "Frame: 0 / 6, Child Count: 2, Handler: 0x00000000");
    EXPECT_EQ(ToUtf8(printed[3]), "{x, y}");
    EXPECT_EQ(ToUtf8(printed[4]), "Labels: / two @ 2 / four @ 4");

    printed.clear();
    Instance_Image* image = AddImage(*m, u"pic");
    DebugInspect(*image, print);
    ASSERT_EQ(printed.size(), 2u);
    EXPECT_EQ(ToUtf8(printed[0]), "-={root.walker.pic}=- (Image)");
}

TEST_F(InstanceCommandsTest, ConsoleLinesReachInstancesByPath)
{
    Console console;
    CInstanceCommands commands(ui, console);
    Instance_Movie* hud = HandleEx::ResolveMovie(root->CreateEmptyChild(u"hud"));
    Instance_Image* score = AddImage(*hud, u"score");

    console.Execute(u"root.hud.score.setp 7 8", false);
    EXPECT_FLOAT_EQ(score->GetX(), 7.0f);
    EXPECT_FLOAT_EQ(score->GetY(), 8.0f);
    console.Execute(u"root.hud.createempty inner", false);
    EXPECT_TRUE(hud->HasChild(u"inner"));
    console.Execute(u"root.hud.score.setcolor 0x0000FF", false);
    EXPECT_EQ(score->GetColor(), 0x0000FFu);
    console.Execute(u"root.hud.setp 1", false);
    EXPECT_EQ(ToUtf8(console.Output().back()), "Invalid Param Count - Function \"setp\" uses 2 parameters");
    console.Execute(u"root.list", false);
    EXPECT_EQ(ToUtf8(console.Output().back()), "Printed 1 instances");

    String completed;
    EXPECT_TRUE(commands.CompleteInstancePath(u"ro", completed));
    EXPECT_EQ(ToUtf8(completed), "root");
    EXPECT_TRUE(commands.CompleteChildPath(hud->GetHandle(), u"sc", completed));
    EXPECT_EQ(ToUtf8(completed), "root.hud.score");
    EXPECT_TRUE(commands.FindInstance(u"rootx").IsEmpty());
    EXPECT_TRUE(commands.FindInstance(u"root.nothing").IsEmpty());

    // Ctrl+right-click's printer goes to the same output.
    commands.Inspect(hud->GetHandle());
    EXPECT_EQ(ToUtf8(console.Output()[console.Output().size() - 4]), "-={root.hud}=- (Movie)");
}

TEST_F(InstanceCommandsTest, DeletedInstancesAreNoLongerAddressed)
{
    Console console;
    CInstanceCommands commands(ui, console);
    Instance_Movie* hud = HandleEx::ResolveMovie(root->CreateEmptyChild(u"hud"));
    const InstanceHandle hudHandle = hud->GetHandle();
    hud->CreateEmptyChild(u"child");

    console.Execute(u"root.hud.delete", false);
    EXPECT_EQ(hudHandle.Resolve(), nullptr);
    // Before the root's next update the movie still exists, marked: nothing reaches it.
    const size_t before = console.Output().size();
    console.Execute(u"root.hud.createempty late", false);
    EXPECT_EQ(ToUtf8(console.Output().back()), "Couldn't find namespace for function root.hud.createempty");
    EXPECT_EQ(console.Output().size(), before + 1);
    // A handle taken before the deletion does nothing either.
    commands.OnConsoleCommand({u"createempty", u"late"}, hudHandle);
    commands.Inspect(hudHandle);
    EXPECT_EQ(console.Output().size(), before + 1);
    ui.Update();
    EXPECT_FALSE(root->HasChild(u"hud"));

    // The root cannot be deleted.
    console.Execute(u"root.delete", false);
    EXPECT_NE(ui.GetRootHandle().Resolve(), nullptr);
}

TEST_F(InstanceCommandsTest, DeepAndLongPathsResolveAndComplete)
{
    Console console;
    CInstanceCommands commands(ui, console);
    const String longName(300, u'n');
    Instance_Movie* level = root;
    String path = u"root";
    for (int i = 0; i < 40; ++i) {
        level = HandleEx::ResolveMovie(level->CreateEmptyChild(longName));
        ASSERT_NE(level, nullptr);
        path += u"." + longName;
    }
    EXPECT_TRUE(commands.FindInstance(path) == level->GetHandle());
    console.Execute(path + u".setp 3 4", false);
    EXPECT_FLOAT_EQ(level->GetX(), 3.0f);
    console.Execute(path + u".inspect", false);
    // A movie without a definition prints four lines.
    EXPECT_TRUE(console.Output()[console.Output().size() - 4] == u"-={" + path + u"}=- (Movie)");
}

TEST_F(InstanceCommandsTest, TheConsoleSkipsInstanceCommandsOnceTheLinkIsGone)
{
    Console console;
    root->CreateEmptyChild(u"hud");
    {
        CInstanceCommands commands(ui, console);
    }
    console.Execute(u"root.hud.setp 1 2", false);
    EXPECT_EQ(ToUtf8(console.Output().back()), "Couldn't find namespace for function root.hud.setp");
}
