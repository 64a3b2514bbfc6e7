#include "engine/script/LuaMgr.h"

#include "engine/core/files/FSCompressedSource.h"
#include "engine/script/LuaStack.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"
#include "tests/script/LuaMgrTestSupport.h"
#include "tools/ZipWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace QuillEngine;
using QuillLua::LuaStackGuard;
using QuillTest::LuaMgrFixture;

namespace fs = std::filesystem;

TEST_F(LuaMgrFixture, InitBuildsPathsAndEmptyMetaTables)
{
    EXPECT_EQ(LuaMgr::Instance(), manager.get());
    EXPECT_STREQ(manager->GetGlobalString("LUA_PATH"), "?.lua;input/script/?.lua");
    EXPECT_STREQ(manager->GetGlobalString("LUA_CPATH"), "?.dll;input/dll/?.dll");
    EXPECT_EQ(Run("for _, n in ipairs({'EmptyMetaTable', 'SoundMetaTable', 'MovieMetaTable', 'ImageMetaTable',\n"
                  "                     'TextMetaTable'}) do assert(type(_G[n]) == 'table', n) end\n"
                  "assert(next(EmptyMetaTable) == nil)\n"
                  "for _, n in ipairs({'SoundMetaTable', 'MovieMetaTable', 'ImageMetaTable', 'TextMetaTable'}) do\n"
                  "    local t = _G[n] assert(t.__index == t, n)\n"
                  "    assert(next(t, '__index') == nil and next(t) == '__index', n)\n"
                  "end\n"
                  "-- The manager alone binds no API: that is the binding layer's work.\n"
                  "assert(log == nil and console == nil and PlaySound == nil and GetMouseX == nil)"),
              "");

    // Script errors and LOG output reach nobody once the manager has silenced them; a state of
    // its own would send them to the debug output.
    setenv("QUILL_DEBUG_OUTPUT", "1", 1);
    testing::internal::CaptureStderr();
    manager->GetState()->DoString("LOG('logged') error('failed')");
    const std::string silenced = testing::internal::GetCapturedStderr();
    QuillLua::LuaState* plain = QuillLua::LuaState::Create(true);
    testing::internal::CaptureStderr();
    plain->DoString("LOG('logged') error('failed')");
    const std::string shown = testing::internal::GetCapturedStderr();
    QuillLua::LuaState::Destroy(plain);
    unsetenv("QUILL_DEBUG_OUTPUT");
    EXPECT_EQ(silenced, "");
    EXPECT_NE(shown.find("logged"), std::string::npos);
    EXPECT_NE(shown.find("failed"), std::string::npos);

    manager.reset();
    EXPECT_EQ(LuaMgr::Instance(), nullptr);
}

TEST_F(LuaMgrFixture, DoFileRunsScriptsFromTheFolderOrTheArchive)
{
    WriteScript("Intro.lua", "introRuns = (introRuns or 0) + 1");
    QuillTools::ZipWriter zip;
    zip.Add("script/menus/a.lua", "menuRan = 'archive'");
    zip.Add("script/Empty.lua", "");
    const fs::path archive = QuillTest::MakeTempDir("luamgr-zip") / "data.dat";
    QuillTest::WriteFile(archive, zip.Build());
    ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8(archive.string()), u"data")));

    EXPECT_TRUE(manager->DoFile(u"Intro.lua"));
    EXPECT_TRUE(manager->DoFile(u"intro.LUA"));
    EXPECT_EQ(manager->GetGlobalNumber("introRuns"), 2);
    EXPECT_TRUE(manager->DoFile(u"menus\\a.lua"));
    EXPECT_STREQ(manager->GetGlobalString("menuRan"), "archive");

    // A script that does not compile is named once, with the error; one that fails while
    // running is the script's own business.
    WriteScript("Broken.lua", "x = = 1");
    WriteScript("Throws.lua", "error('at run time')");
    std::vector<std::string> reports;
    manager->SetScriptErrorReporter([&](const std::string&, const std::string& text) { reports.push_back(text); });
    EXPECT_TRUE(manager->DoFile(u"Broken.lua"));
    EXPECT_TRUE(manager->DoFile(u"broken.lua"));
    EXPECT_TRUE(manager->DoFile(u"Throws.lua"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("Broken.lua\" has an error"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find(":1:"), std::string::npos) << reports[0];

    EXPECT_FALSE(manager->DoFile(u"Missing.lua"));
    EXPECT_FALSE(manager->DoFile(u"Empty.lua"));
    EXPECT_FALSE(manager->DoFile(u"..\\outside.lua"));

    // A script that fails still counts as run; the state carries on.
    WriteScript("Broken.lua", "brokenStart = 1\nerror('stop here')\nbrokenEnd = 1");
    WriteScript("Syntax.lua", "x = = 1");
    EXPECT_TRUE(manager->DoFile(u"Broken.lua"));
    EXPECT_TRUE(manager->DoFile(u"Syntax.lua"));
    EXPECT_EQ(manager->GetGlobalNumber("brokenStart"), 1);
    EXPECT_EQ(manager->GetGlobalNumber("brokenEnd"), 0);
    EXPECT_EQ(manager->GetState()->GetTop(), 0);
    EXPECT_TRUE(manager->DoFile(u"Intro.lua"));
    EXPECT_EQ(manager->GetGlobalNumber("introRuns"), 3);
}

TEST_F(LuaMgrFixture, ScriptsInEveryEncodingRunWholeThroughDoFileAndRequire)
{
    // UTF-16LE source holds zero bytes: it runs as a whole, not up to its first zero byte.
    const std::u16string source = u"\uFEFFwideRan = L\"caf\u00E9\"\nwideLength = wstring.len(wideRan)\n";
    std::string utf16;
    for (char16_t unit : source) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    WriteScript("Wide.lua", utf16);
    // UTF-8 with its mark: the wide literal holds the decoded character.
    WriteScript("Utf8.lua", "\xEF\xBB\xBFutf8Length = wstring.len(L\"caf\xC3\xA9\")\nreturn 'utf8'");
    // Unmarked bytes are one unit each.
    WriteScript("Bytes.lua", "bytesLength = wstring.len(L\"caf\xE9\")");

    EXPECT_TRUE(manager->DoFile(u"Wide.lua"));
    EXPECT_EQ(manager->GetGlobalNumber("wideLength"), 4);
    EXPECT_EQ(Run("wideRan = nil\n"
                  "assert(require('Utf8') == 'utf8')\n"
                  "assert(utf8Length == 4)\n"
                  "assert(dofile('Bytes.lua') == nil and bytesLength == 4)\n"
                  "assert(loadfile('Wide.lua'))()\n"
                  "assert(wideLength == 4 and wideRan == L'caf\\233')"),
              "");
}

TEST_F(LuaMgrFixture, ScriptsLoadOnlyThroughTheFileManager)
{
    WriteScript("Lib.lua", "libLoads = (libLoads or 0) + 1\nreturn 'lib'");
    const fs::path outside = dir / "Outside.lua";
    QuillTest::WriteFile(outside, "outsideRan = true");
    const std::string chunk = "assert(require('Lib') == 'lib' and require('Lib') == 'lib' and libLoads == 1)\n"
                              "assert(loadfile('Missing.lua') == nil)\n"
                              "assert(loadfile('" +
                              outside.string() +
                              "') == nil)\n"
                              "assert(loadfile('../Outside.lua') == nil)\n"
                              "assert(not pcall(require, 'Missing'))";
    EXPECT_EQ(Run(chunk.c_str()), "");
    EXPECT_EQ(manager->GetGlobalNumber("outsideRan"), 0);
}

TEST_F(LuaMgrFixture, ConsoleCommandsReadAndWriteGlobals)
{
    console.Execute(u"lua.setglobalstr title Caf\u00E9 %s %n %d", false);
    EXPECT_STREQ(manager->GetGlobalString("title"), "Caf\xC3\xA9 %s %n %d");
    // The text is printed as it stands: it is never used as a format.
    console.Execute(u"lua.getglobalstr title", false);
    EXPECT_EQ(LastOutput(), "Caf\xC3\xA9 %s %n %d");
    console.Execute(u"lua.getglobalstr nothing", false);
    EXPECT_EQ(LastOutput(), "nil or invalid object");
    console.Execute(u"lua.setglobalnum count 42", false);
    console.Execute(u"lua.getglobalstr count", false);
    EXPECT_EQ(LastOutput(), "nil or invalid object");

    console.Execute(u"lua.getglobalnum title", false);
    EXPECT_EQ(LastOutput(), "0.000000");
    console.Execute(u"lua.getglobalnum count", false);
    EXPECT_EQ(LastOutput(), "42.000000");

    // Numbers keep their full precision on the way in and out.
    console.Execute(u"lua.setglobalnum big 16777217", false);
    console.Execute(u"lua.getglobalnum big", false);
    EXPECT_EQ(LastOutput(), "16777217.000000");
    console.Execute(u"lua.setglobalnum tenth 0.1", false);
    EXPECT_EQ(Run("assert(tenth == 0.1 and big == 16777217)"), "");
    manager->SetGlobalNumber("scene", 16777217.5);
    EXPECT_EQ(manager->GetGlobalNumber("scene"), 16777217.5);
    manager->SetGlobalString("replay", "1");
    EXPECT_STREQ(manager->GetGlobalString("replay"), "1");
    manager->SetGlobalString("replay", nullptr);
    EXPECT_EQ(manager->GetGlobalString("replay"), nullptr);

    // Writes are raw: a guard a script put on the globals neither runs nor raises outside a call.
    EXPECT_EQ(Run("setmetatable(_G, {__newindex = function() error('guarded') end,\n"
                  "                  __index = function() error('guarded') end})"),
              "");
    manager->SetGlobalNumber("guardedNumber", 3);
    EXPECT_EQ(manager->GetGlobalNumber("guardedNumber"), 3);
    EXPECT_EQ(manager->GetGlobalNumber("unsetNumber"), 0);
    EXPECT_EQ(Run("setmetatable(_G, nil)"), "");

    console.Execute(u"lua.dostring done = 'yes' .. ' and more'", false);
    EXPECT_STREQ(manager->GetGlobalString("done"), "yes and more");
    console.Execute(u"lua.dostring return 1, 2, 3", false);
    console.Execute(u"lua.dostring error('ignored')", false);
    EXPECT_EQ(manager->GetState()->GetTop(), 0);

    WriteScript("Hi.lua", "hiRan = true");
    console.Execute(u"lua.dofile Hi.lua", false);
    EXPECT_EQ(Run("assert(hiRan == true)"), "");
}

TEST_F(LuaMgrFixture, CommandsLeaveTheConsoleWithTheManager)
{
    // A second registration does not take the commands twice.
    manager->RegisterGlobals();
    console.Execute(u"lua.dostring before = 1", false);
    EXPECT_EQ(manager->GetGlobalNumber("before"), 1);
    manager.reset();
    console.Execute(u"lua.dostring after = 1", false);
    EXPECT_NE(LastOutput().find("lua.dostring"), std::string::npos);

    // Another manager can register them again on the same console.
    manager = std::make_unique<LuaMgr>(LuaMgr::EngineLinks{[this] { return &console; }, {}, {}, {}});
    ASSERT_TRUE(manager->Init());
    manager->RegisterGlobals();
    console.Execute(u"lua.dostring again = 1", false);
    EXPECT_EQ(manager->GetGlobalNumber("again"), 1);
}
