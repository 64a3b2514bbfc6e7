#include "engine/script/LuaMgr.h"

#include "engine/core/audio/Audio.h"
#include "engine/core/console/Console.h"
#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/script/LuaStack.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"
#include "platform/audio/SoundCodec.h"
#include "tests/support/TestEnvironment.h"
#include "tools/ZipWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace QuillEngine;
using QuillLua::LuaStackGuard;

namespace {

namespace fs = std::filesystem;

// A manager wired to its own console and pointer, reading scripts from a loose folder.
struct LuaMgrFixture : ::testing::Test {
    LuaMgrFixture()
    {
        dir = QuillTest::MakeTempDir("luamgr");
        EXPECT_TRUE(files.AddSource(new FSLooseFiles(FromUtf8(dir.string() + "/"), u"input")));
        console.SetQuitRequest([this] { ++quits; });
        LuaMgr::EngineLinks links;
        links.console = [this] { return linked ? &console : nullptr; };
        links.mouseX = [this] { return mouseX; };
        links.mouseY = [this] { return mouseY; };
        links.buttonDown = [this](int32_t button) { return (buttons >> button & 1u) != 0; };
        manager = std::make_unique<LuaMgr>(std::move(links));
        EXPECT_TRUE(manager->Init());
        manager->RegisterGlobals();
    }

    void WriteScript(const std::string& name, std::string_view bytes)
    {
        QuillTest::WriteFile(dir / "script" / name, bytes);
    }

    // Runs a chunk with the state's print output collected (the manager discards it otherwise).
    std::string Run(const char* chunk)
    {
        std::string printed;
        manager->GetState()->SetPrintCallback([&printed](const char16_t* t) { printed += ToUtf8(t); });
        const int top = manager->GetState()->GetTop();
        manager->GetState()->DoString(chunk);
        EXPECT_EQ(manager->GetState()->GetTop(), top);
        manager->GetState()->SetPrintCallback([](const char16_t*) {});
        return printed;
    }

    std::string LastOutput() const { return console.Output().empty() ? "" : ToUtf8(console.Output().back()); }

    fs::path dir;
    FileManager files;
    Console console;
    bool linked = true;
    int quits = 0;
    int32_t mouseX = 0, mouseY = 0;
    uint32_t buttons = 0;
    std::unique_ptr<LuaMgr> manager;
};

} // namespace

TEST_F(LuaMgrFixture, InitBuildsPathsMetaTablesAndGlobals)
{
    EXPECT_EQ(LuaMgr::Instance(), manager.get());
    EXPECT_STREQ(manager->GetGlobalString("LUA_PATH"), "?.lua;input/script/?.lua");
    EXPECT_STREQ(manager->GetGlobalString("LUA_CPATH"), "?.dll;input/dll/?.dll");
    EXPECT_EQ(Run("for _, n in ipairs({'EmptyMetaTable', 'SoundMetaTable', 'MovieMetaTable', 'ImageMetaTable',\n"
                  "                     'TextMetaTable'}) do assert(type(_G[n]) == 'table', n) end\n"
                  "assert(next(EmptyMetaTable) == nil)\n"
                  "assert(SoundMetaTable.__index == SoundMetaTable and MovieMetaTable.__index == MovieMetaTable)\n"
                  "for _, n in ipairs({'Stop', 'SetVolume', 'SetFrequency', 'GetFrequency', 'SetupEQs', 'SetEQGain',\n"
                  "    'IsPlaying', 'SetPosition', 'GetPosition', 'SetLoopPoints', 'SetLoopCount',\n"
                  "    'GetFFTSpectrum'}) do assert(type(SoundMetaTable[n]) == 'function', n) end\n"
                  "for _, n in ipairs({'log', 'console', 'GetMouseX', 'GetMouseY', 'GetMouseButtonDownL',\n"
                  "    'GetMouseButtonDownM', 'GetMouseButtonDownR', 'PlaySound', 'PlaySoundEx', 'IsDebug',\n"
                  "    'IsRelease', 'IsRetail'}) do assert(type(_G[n]) == 'function', n) end\n"
                  "assert(IsRetail() == true and IsDebug() == false and IsRelease() == false)"),
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

TEST_F(LuaMgrFixture, ConsoleGlobalRunsCommandLines)
{
    EXPECT_EQ(Run("console('echo caf\\195\\169 50%')"), "");
    EXPECT_EQ(LastOutput(), "caf\xC3\xA9 50%");
    EXPECT_EQ(Run("console('nosuch')"), "");
    EXPECT_EQ(LastOutput(), "Function \"nosuch\" wasn't found");
    EXPECT_EQ(Run("console('no.such')"), "");
    EXPECT_EQ(LastOutput(), "Couldn't find namespace for function no.such");
    EXPECT_EQ(Run("console('exit')"), "");
    EXPECT_EQ(quits, 1);
    // Not typed in: no history, and the input line stays.
    console.SetInput(u"typed");
    EXPECT_EQ(Run("console('lua.dostring viaConsole = 1')"), "");
    EXPECT_EQ(manager->GetGlobalNumber("viaConsole"), 1);
    EXPECT_TRUE(console.History().empty());
    EXPECT_EQ(ToUtf8(console.InputLine()).rfind("typed", 0), 0u);

    const size_t lines = console.Output().size();
    EXPECT_EQ(Run("assert(select('#', log('quiet')) == 0)"), "");
    EXPECT_EQ(console.Output().size(), lines);

    EXPECT_NE(Run("log(1)").find("bad argument #1 to `log' (bad argument)"), std::string::npos);
    EXPECT_NE(Run("console()").find("bad argument #1 to `console' (bad argument)"), std::string::npos);
    EXPECT_NE(Run("PlaySound(true)").find("bad argument #1 to `PlaySound' (bad argument)"), std::string::npos);
    EXPECT_NE(Run("PlaySoundEx('x', '0.5')").find("bad argument #2 to `PlaySoundEx' (bad argument)"),
              std::string::npos);

    // A script that re-enters itself through the console ends at the script nesting limit.
    EXPECT_EQ(Run("depth = 0\n"
                  "function Again() depth = depth + 1 console('lua.dostring Again()') end\n"
                  "Again()"),
              "");
    EXPECT_GT(manager->GetGlobalNumber("depth"), 10);
    EXPECT_LT(manager->GetGlobalNumber("depth"), 1000);
    EXPECT_EQ(manager->GetState()->GetTop(), 0);
    EXPECT_EQ(Run("assert(IsRetail())"), "");

    // With no console linked the global does nothing.
    linked = false;
    EXPECT_EQ(Run("console('exit')"), "");
    EXPECT_EQ(quits, 1);
}

TEST_F(LuaMgrFixture, MouseGlobalsReadTheLinkedPointer)
{
    mouseX = 321;
    mouseY = -7;
    buttons = 1u << 2; // middle
    EXPECT_EQ(Run("assert(GetMouseX() == 321 and GetMouseY() == -7)\n"
                  "assert(GetMouseButtonDownM() and not GetMouseButtonDownL() and not GetMouseButtonDownR())"),
              "");
    buttons = 1u << 0 | 1u << 1; // left and right
    EXPECT_EQ(Run("assert(GetMouseButtonDownL() and GetMouseButtonDownR() and not GetMouseButtonDownM())"), "");

    // An unlinked manager reads no pointer.
    manager.reset();
    LuaMgr bare;
    ASSERT_TRUE(bare.Init());
    bare.RegisterGlobals();
    bare.GetState()->DoString("x, y, l = GetMouseX(), GetMouseY(), GetMouseButtonDownL()");
    EXPECT_EQ(bare.GetGlobalNumber("x"), 0);
    EXPECT_EQ(bare.GetGlobalNumber("y"), 0);
    LuaStackGuard guard(bare.GetState());
    EXPECT_EQ(lua_type(bare.GetState()->GetCState(), bare.GetState()->GetGlobal("l").GetIndex()), LUA_TBOOLEAN);
    EXPECT_FALSE(bare.GetState()->GetGlobal("l").GetBoolean());
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

TEST_F(LuaMgrFixture, HelloSampleRunsFromTheDataFolder)
{
    const fs::path data = QuillTest::SourceRoot() / "data" / "input";
    ASSERT_TRUE(files.AddSource(new FSLooseFiles(FromUtf8(data.string() + "/"), u"data")));
    EXPECT_TRUE(manager->DoFile(u"Hello.lua"));
    EXPECT_TRUE(manager->DoFile(u"Hello.lua"));
    EXPECT_EQ(manager->GetGlobalNumber("helloCount"), 2);
    EXPECT_EQ(LastOutput(), "Hello from Velvet Aisle");
}

namespace {

constexpr int kRate = 48000;

// The manager with a working audio service beside it.
struct LuaMgrAudioFixture : LuaMgrFixture {
    LuaMgrAudioFixture()
    {
        std::vector<uint8_t> wav;
        const std::vector<float> samples(kRate, 0.5f);
        EXPECT_TRUE(QuillPlatform::Audio::EncodeSound(QuillPlatform::Audio::SoundFileFormat::Wav, samples.data(),
                                                      static_cast<uint32_t>(samples.size()), 1, kRate, wav));
        QuillTest::WriteFile(dir / "Sounds/Level.wav", std::string(wav.begin(), wav.end()));
        QuillTest::WriteFile(dir / "Audio/Audio.xml", "<Audio>\n"
                                                      "    <Sound name=\"Caf\xC3\xA9\" source=\"Sounds\\Level.wav\"/>\n"
                                                      "    <Sound name=\"Gone\" source=\"Sounds\\Gone.wav\"/>\n"
                                                      "</Audio>");
        cache.SetFrameSource([] { return 0u; });
        audio.SetClockForTest([] { return 0; });
        EXPECT_TRUE(audio.Init(8));
        EXPECT_TRUE(audio.LoadDefinitions());
    }

    float Mix()
    {
        std::vector<float> out(8);
        audio.GetSystem()->MixForTest(out.data(), 4);
        return out[0];
    }

    XmlCache xmlCache{&files};
    ResourceCache cache;
    Audio audio{&cache};
};

} // namespace

TEST_F(LuaMgrAudioFixture, PlaySoundNamesAreAnsiAndUnplayableSoundsAreQuiet)
{
    // Names are read in the ANSI code page: byte E9 is e-acute.
    EXPECT_EQ(Run("PlaySoundEx('Caf\\233', 0.25)"), "");
    EXPECT_EQ(audio.LiveChannelCount(), 1u);
    EXPECT_NEAR(Mix(), 0.125f, 2e-3f);

    EXPECT_EQ(Run("PlaySound('Caf\\233')"), "");
    EXPECT_EQ(audio.LiveChannelCount(), 2u);

    // No such sound, or a sound whose file is missing: nothing plays and no error is raised.
    EXPECT_EQ(Run("assert(select('#', PlaySoundEx('Nothing', 0.5)) == 0)\n"
                  "PlaySoundEx('Gone', 0.5) PlaySound('Gone') PlaySound('')"),
              "");
    EXPECT_EQ(audio.LiveChannelCount(), 2u);
}

TEST_F(LuaMgrAudioFixture, SoundObjectsReachTheirChannel)
{
    const SoundHandle played = audio.PlaySound(u"Caf\u00E9", true);
    ASSERT_TRUE(played.IsValid());
    QuillLua::LuaValueRef object = manager->CreateSoundObject(played);
    manager->GetState()->GetGlobals().SetValue("snd", object);
    EXPECT_EQ(Run("assert(snd:IsPlaying() == true)\n"
                  "snd:SetVolume(0.5)\n"
                  "assert(snd:SetLoopCount(2) == true)\n"
                  "assert(snd:GetFFTSpectrum(3, 0) == nil and snd:GetFFTSpectrum(-1, 0) == nil)\n"
                  "assert(snd:GetFFTSpectrum(1000000000, 0) == nil)"),
              "");
    EXPECT_NEAR(Mix(), 0.25f, 2e-3f);
    EXPECT_EQ(Run("local t = snd:GetFFTSpectrum(64, 0)\n"
                  "assert(type(t) == 'table' and table.getn(t) == 64)"),
              "");

    // Boxed pointers carry no type: an object that is not a sound object is refused.
    manager->GetState()->GetGlobals().SetUserData("fake", &audio);
    EXPECT_NE(Run("setmetatable({__object = fake}, SoundMetaTable):Stop()")
                  .find("calling `Stop' on bad self (the object is not of this kind)"),
              std::string::npos);
    EXPECT_TRUE(played.IsPlaying());
    // Any table holding a sound object's pointer reaches that sound.
    EXPECT_EQ(Run("SoundMetaTable.Stop({__object = snd.__object})"), "");
    EXPECT_FALSE(played.IsPlaying());
}
