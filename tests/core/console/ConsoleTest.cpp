#include "engine/core/console/Console.h"

#include <vector>

#include <gtest/gtest.h>

#include "engine/core/HandleTable.h"

using namespace QuillEngine;

namespace {

struct RecordingHandler : IConsoleHandler {
    std::vector<std::vector<String>> calls;
    std::vector<Handle> instances;
    void OnConsoleCommand(const std::vector<String>& arguments, const Handle& instance) override
    {
        calls.push_back(arguments);
        instances.push_back(instance);
    }
};

// A scene of two instances: "root.hud" (a movie) and "root.hud.score" (an image).
struct FakeScene : IConsoleSceneLink {
    HandleTable table;
    int hud = 0, score = 0;
    Handle hudHandle = table.Create(&hud);
    Handle scoreHandle = table.Create(&score);

    Handle FindInstance(StringView path) override
    {
        if (path == u"root.hud")
            return hudHandle;
        if (path == u"root.hud.score")
            return scoreHandle;
        return Handle{};
    }
    bool IsImage(const Handle& h) override { return h == scoreHandle; }
    bool CompleteInstancePath(StringView word, String& full) override
    {
        if (word.size() >= 3 && String(u"root.hud").starts_with(word) && word != u"root.hud") {
            full = u"root.hud";
            return true;
        }
        return false;
    }
    bool CompleteChildPath(const Handle& parent, StringView partial, String& child) override
    {
        if (parent == hudHandle && !partial.empty() && String(u"score").starts_with(partial) && partial != u"score") {
            child = u"root.hud.score";
            return true;
        }
        return false;
    }
};

} // namespace

TEST(Console, LastParameterTakesTheRestOfTheLine)
{
    Console console;
    console.Execute(u"echo   a  b ", false);
    ASSERT_EQ(console.Output().size(), 1u);
    EXPECT_EQ(console.Output()[0], u"a  b");

    RecordingHandler handler;
    ASSERT_TRUE(console.RegisterCommand(u"audio.setclassvolume", 2, &handler));
    ASSERT_TRUE(console.RegisterCommand(u"game.reset", 0, &handler));
    console.Execute(u"audio.setclassvolume music  0.5 extra words", false);
    console.Execute(u"  game.reset  now please ", false);
    ASSERT_EQ(handler.calls.size(), 2u);
    EXPECT_EQ(handler.calls[0], (std::vector<String>{u"audio.setclassvolume", u"music", u"0.5 extra words"}));
    EXPECT_EQ(handler.calls[1], (std::vector<String>{u"game.reset  now please"}));
    EXPECT_TRUE(handler.instances[0].IsEmpty());
}

TEST(Console, ErrorsArePrintedWithTheirTexts)
{
    Console console;
    RecordingHandler handler;
    console.RegisterCommand(u"audio.setclassvolume", 2, &handler);
    console.RegisterCommand(u"audio.setenabled", 1, &handler);
    int redraws = 0;
    console.SetRedrawRequest([&] { ++redraws; });

    console.Execute(u"audio.setclassvolume music", false);
    console.Execute(u"audio.setdisabled 1", false);
    console.Execute(u"video.mode 1", false);
    console.Execute(u"echo", false);
    ASSERT_EQ(console.Output().size(), 4u);
    EXPECT_EQ(console.Output()[0], u"Invalid Param Count - Function \"audio.setclassvolume\" uses 2 parameters");
    EXPECT_EQ(console.Output()[1], u"Function \"audio.setdisabled\" wasn't found");
    EXPECT_EQ(console.Output()[2], u"Couldn't find namespace for function video.mode");
    EXPECT_EQ(console.Output()[3], u"Invalid Param Count - Function \"echo\" uses 1 parameters");
    EXPECT_TRUE(handler.calls.empty());
    // Every line that reached a namespace asks for a redraw; the missing namespace does not.
    EXPECT_EQ(redraws, 3);
}

TEST(Console, RegistrationRules)
{
    Console console;
    RecordingHandler first, second;
    EXPECT_TRUE(console.RegisterCommand(u"audio.playsound", 1, &first));
    EXPECT_FALSE(console.RegisterCommand(u"audio.playsound", 1, &second));
    console.Execute(u"audio.playsound click", false);
    EXPECT_EQ(first.calls.size(), 1u);
    EXPECT_TRUE(second.calls.empty());

    EXPECT_FALSE(console.RegisterCommand(u"a..b", 0, &first));
    EXPECT_FALSE(console.RegisterCommand(u"a.", 0, &first));
    EXPECT_FALSE(console.RegisterCommand(u".a", 0, &first));
    EXPECT_FALSE(console.RegisterCommand(u"", 0, &first));
    EXPECT_FALSE(console.RegisterCommand(u"x.y", 0, nullptr));
    EXPECT_FALSE(console.RegisterCommand(u"x.y", -1, &first));
    EXPECT_FALSE(console.RegisterCommand(u"echo", 1, &first)); // the console's own

    String name;
    EXPECT_EQ(console.FindNamespace(u"a.b", name), nullptr);
    ConsoleNamespace* ns = console.FindNamespace(u" audio . playsound ", name);
    ASSERT_NE(ns, nullptr);
    EXPECT_EQ(ns->name, u"audio");
    EXPECT_EQ(name, u"playsound");

    console.UnregisterCommand(u"audio.playsound");
    console.Execute(u"audio.playsound click", false);
    EXPECT_EQ(console.Output().back(), u"Function \"audio.playsound\" wasn't found");
    EXPECT_TRUE(console.RegisterCommand(u"audio.playsound", 1, &second));
}

TEST(Console, HandlerMayUnregisterItsOwnCommand)
{
    struct SelfRemover : IConsoleHandler {
        Console* console = nullptr;
        int calls = 0;
        void OnConsoleCommand(const std::vector<String>&, const Handle&) override
        {
            ++calls;
            console->UnregisterCommand(u"once.only");
        }
    } remover;
    Console console;
    remover.console = &console;
    console.RegisterCommand(u"once.only", 0, &remover);
    console.Execute(u"once.only", false);
    console.Execute(u"once.only", false);
    EXPECT_EQ(remover.calls, 1);
}

TEST(Console, ExitAsksTheEngineToQuit)
{
    Console console;
    int quits = 0;
    console.Execute(u"exit", false); // no engine attached: nothing happens
    console.SetQuitRequest([&] { ++quits; });
    console.Execute(u"exit", true);
    EXPECT_EQ(quits, 1);
}

TEST(Console, HistoryKeepsTheFortyNewestTypedLines)
{
    Console console;
    for (int i = 0; i < 45; ++i)
        console.Execute(u"echo " + Widen(std::to_string(i)), true);
    console.Execute(u"echo not typed", false);
    console.Execute(u"   ", true);
    ASSERT_EQ(console.History().size(), 40u);
    EXPECT_EQ(console.History().front(), u"echo 5");
    EXPECT_EQ(console.History().back(), u"echo 44");
    EXPECT_EQ(console.InputLine(), u"|");
    EXPECT_EQ(console.CursorIndex(), 0);
}

TEST(Console, CompletesNamespacesAndFunctions)
{
    Console console;
    RecordingHandler h;
    console.RegisterCommand(u"audio.playsound", 1, &h);
    console.RegisterCommand(u"audio.setenabled", 1, &h);
    console.RegisterCommand(u"audio.fx.reverb", 1, &h);

    // Nothing while the cursor is not at the end (a new console has cursor -1).
    console.Complete();
    EXPECT_EQ(console.Completion(), u"");

    const auto suggest = [&](const char16_t* text) {
        console.SetInput(text);
        console.Complete();
        return console.Completion();
    };
    EXPECT_EQ(suggest(u"aud"), u"audio.");
    EXPECT_EQ(suggest(u"audio"), u"audio.");
    EXPECT_EQ(suggest(u"audio.pl"), u"audio.playsound");
    EXPECT_EQ(suggest(u"audio.playsound"), u"audio.playsound");
    EXPECT_EQ(suggest(u"audio.f"), u"audio.fx.");
    EXPECT_EQ(suggest(u"ec"), u"echo");
    EXPECT_EQ(suggest(u"audio.zz"), u"");
    EXPECT_EQ(suggest(u"nothing.pl"), u"");
    EXPECT_EQ(suggest(u"audio.playsound cl"), u""); // only the first word completes
    EXPECT_EQ(suggest(u""), u"");
}

TEST(Console, InstanceCommandsComeBeforeTheTree)
{
    Console console;
    FakeScene scene;
    RecordingHandler instanceHandler, treeHandler;
    console.SetSceneLink(&scene);
    console.AddInstanceCommand({u"hide", 0, &instanceHandler, false});
    console.AddInstanceCommand({u"setalpha", 1, &instanceHandler, true});
    console.RegisterCommand(u"root.hud.hide", 0, &treeHandler);

    console.Execute(u"root.hud.hide", false);
    console.Execute(u"root.hud.score.setalpha 0.5", false);
    console.Execute(u"root.hud.setalpha 0.5", false); // images only: falls through to the tree
    console.Execute(u"root.hud.score.setalpha", false);
    ASSERT_EQ(instanceHandler.calls.size(), 2u);
    EXPECT_EQ(instanceHandler.calls[0], (std::vector<String>{u"hide"}));
    EXPECT_EQ(instanceHandler.instances[0], scene.hudHandle);
    EXPECT_EQ(instanceHandler.calls[1], (std::vector<String>{u"setalpha", u"0.5"}));
    EXPECT_EQ(instanceHandler.instances[1], scene.scoreHandle);
    EXPECT_TRUE(treeHandler.calls.empty());
    ASSERT_EQ(console.Output().size(), 2u);
    EXPECT_EQ(console.Output()[0], u"Function \"root.hud.setalpha\" wasn't found");
    EXPECT_EQ(console.Output()[1], u"Invalid Param Count - Function \"setalpha\" uses 1 parameters");

    const auto suggest = [&](const char16_t* text) {
        console.SetInput(text);
        console.Complete();
        return console.Completion();
    };
    EXPECT_EQ(suggest(u"roo"), u"root.hud");
    EXPECT_EQ(suggest(u"root.hud.sc"), u"root.hud.score");
    EXPECT_EQ(suggest(u"root.hud.h"), u"root.hud.hide");
    EXPECT_EQ(suggest(u"root.hud.set"), u""); // images only
    EXPECT_EQ(suggest(u"root.hud.score.set"), u"root.hud.score.setalpha");
}

TEST(Console, LogPageShowsTheNewestTwentyFiveLinesFromTheBottom)
{
    Console console;
    ConsolePrintBuffer page(console);
    ConsolePrintBuffer::Line lines[ConsolePrintBuffer::kMaxLines];
    EXPECT_EQ(page.Layout(0, 600, lines), 0u);
    for (int i = 0; i < 30; ++i)
        console.PrintLine(Widen(std::to_string(i)));
    ASSERT_EQ(page.Layout(5, 600, lines), 25u);
    EXPECT_EQ(*lines[0].text, u"29");
    EXPECT_FLOAT_EQ(lines[0].y, 570);
    EXPECT_EQ(*lines[24].text, u"5");
    EXPECT_FLOAT_EQ(lines[24].y, 600 - 20 * 24 - 30);
    EXPECT_FLOAT_EQ(lines[24].x, 5);
    EXPECT_EQ(String(ConsolePrintBuffer::Title()), u"Log");
}
