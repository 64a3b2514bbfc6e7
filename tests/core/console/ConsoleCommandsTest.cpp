// A table of console commands held for as long as its owner lives.

#include "engine/core/console/ConsoleCommands.h"
#include "engine/core/console/Logger.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace QuillEngine;

namespace {

struct CountingHandler : IConsoleHandler {
    void OnConsoleCommand(const std::vector<String>& arguments, const Handle&) override
    {
        last = arguments.empty() ? String() : arguments[0];
        ++calls;
    }
    String last;
    int calls = 0;
};

constexpr ConsoleCommandEntry kTable[] = {{u"demo.one", 0}, {u"demo.two", 1}, {u"taken", 0}};

} // namespace

TEST(ConsoleCommands, HoldsOnlyWhatItRegisteredAndLetsGoOnce)
{
    Console console;
    CountingHandler ours;
    CountingHandler other;
    ASSERT_TRUE(console.RegisterCommand(u"taken", 0, &other));
    {
        std::optional<ConsoleCommands> commands;
        commands.emplace();
        EXPECT_FALSE(commands->Register(console, ours, kTable)); // "taken" stays with its owner
        EXPECT_EQ(commands->Count(), 2u);
        EXPECT_EQ(commands->GetConsole(), &console);
        console.Execute(u"demo.two x", false);
        console.Execute(u"taken", false);
        EXPECT_EQ(ours.calls, 1);
        EXPECT_EQ(other.calls, 1);

        // Moving hands the registration over; the moved-from object lets nothing go.
        ConsoleCommands moved = std::move(*commands);
        commands.reset();
        console.Execute(u"demo.one", false);
        EXPECT_EQ(ours.calls, 2);
    }
    // Ours are gone, the other handler's command is not.
    console.Execute(u"demo.one", false);
    console.Execute(u"taken", false);
    EXPECT_EQ(ours.calls, 2);
    EXPECT_EQ(other.calls, 2);
    EXPECT_NE(ToUtf8(console.Output().back()).find("demo.one"), std::string::npos);

    // Forget drops the registration without calling the console: the commands stay.
    ConsoleCommands forgotten(console, ours, kTable);
    forgotten.Forget();
    forgotten.Unregister();
    console.Execute(u"demo.one", false);
    EXPECT_EQ(ours.calls, 3);
}

TEST(ConsoleCommands, LoggerLeavesACommandItCouldNotTake)
{
    Console console;
    CountingHandler other;
    ASSERT_TRUE(console.RegisterCommand(u"log.enable", 1, &other));
    {
        Logger logger;
        EXPECT_FALSE(logger.RegisterCommands(console));
        logger.UnregisterCommands(console);
    }
    console.Execute(u"log.enable audio", false);
    EXPECT_EQ(other.calls, 1);
}
