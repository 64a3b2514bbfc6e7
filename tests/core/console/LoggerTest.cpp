#include "engine/core/console/Logger.h"

#include <gtest/gtest.h>

using namespace QuillEngine;

TEST(Logger, CommandsChangeTheMaskAndFilter)
{
    Console console;
    Logger logger;
    EXPECT_EQ(Logger::Instance(), &logger);
    ASSERT_TRUE(logger.RegisterCommands(console));
    EXPECT_FALSE(logger.RegisterCommands(console)); // already there

    console.Execute(u"log.disableall", false);
    EXPECT_EQ(logger.Mask(), 0u);
    console.Execute(u"log.enable Audio", false);
    EXPECT_EQ(logger.Mask(), 0x400u);
    console.Execute(u"log.enable INSTANCES", false);
    console.Execute(u"log.enable nonsense", false);
    EXPECT_EQ(logger.Mask(), 0xC00u);
    EXPECT_TRUE(logger.IsEnabled(0x800));
    EXPECT_FALSE(logger.IsEnabled(0x2));

    console.Execute(u"log.enableall", false);
    console.Execute(u"log.disable engine", false);
    EXPECT_EQ(logger.Mask(), 0x1011u);      // "game" and the two lowest odd bits
    console.Execute(u"log.disable", false); // missing argument: an error line, no change
    EXPECT_EQ(logger.Mask(), 0x1011u);
    EXPECT_EQ(console.Output().back(), u"Invalid Param Count - Function \"log.disable\" uses 1 parameters");

    console.Execute(u"log.filteron texture  load", false);
    EXPECT_EQ(logger.Filter(), u"texture  load");
    console.Execute(u"log.filteroff", false);
    EXPECT_EQ(logger.Filter(), u"");

    logger.UnregisterCommands(console);
    console.Execute(u"log.enableall", false);
    EXPECT_EQ(logger.Mask(), 0x1011u);
}

TEST(Logger, CategoryNamesIgnoreCase)
{
    EXPECT_EQ(Logger::CategoryBits(u"rendering"), 0x2u);
    EXPECT_EQ(Logger::CategoryBits(u"FS"), 0x80u);
    EXPECT_EQ(Logger::CategoryBits(u"instances"), 0x800u);
    EXPECT_EQ(Logger::CategoryBits(u"Lua"), 0x2000u);
    EXPECT_EQ(Logger::CategoryBits(u"Engine"), 0xFFFFEFEEu);
    EXPECT_EQ(Logger::CategoryBits(u"gam"), 0u);
}
