// The engine globals and the sound objects' methods as scripts call them: the bound names, their
// argument checks, and the services they reach.

#include "engine/bindings/ScriptBindings.h"
#include "engine/script/LuaStack.h"
#include "engine/script/LuaValueRef.h"
#include "tests/script/LuaMgrTestSupport.h"

#include <gtest/gtest.h>

#include <set>

#include <filesystem>
#include <string>

using namespace QuillEngine;
using QuillLua::LuaStackGuard;

namespace {

namespace fs = std::filesystem;

struct ScriptGlobalsFixture : QuillTest::LuaMgrFixture {
    ScriptGlobalsFixture() { Bindings::BindScriptApi(*manager); }
};

struct AudioGlobalsFixture : QuillTest::LuaMgrAudioFixture {
    AudioGlobalsFixture() { Bindings::BindScriptApi(*manager); }
};

} // namespace

TEST_F(ScriptGlobalsFixture, TheApiBindsEverySoundMethodAndGlobal)
{
    EXPECT_EQ(Run("for _, n in ipairs({'Stop', 'SetVolume', 'SetFrequency', 'GetFrequency', 'SetupEQs', 'SetEQGain',\n"
                  "    'IsPlaying', 'SetPosition', 'GetPosition', 'SetLoopPoints', 'SetLoopCount',\n"
                  "    'GetFFTSpectrum'}) do assert(type(SoundMetaTable[n]) == 'function', n) end\n"
                  "for _, n in ipairs({'log', 'console', 'GetMouseX', 'GetMouseY', 'GetMouseButtonDownL',\n"
                  "    'GetMouseButtonDownM', 'GetMouseButtonDownR', 'PlaySound', 'PlaySoundEx', 'IsDebug',\n"
                  "    'IsRelease', 'IsRetail'}) do assert(type(_G[n]) == 'function', n) end\n"
                  "assert(IsRetail() == true and IsDebug() == false and IsRelease() == false)\n"
                  "assert(SoundMetaTable.__index == SoundMetaTable and EmptyMetaTable.Stop == nil)"),
              "");
}

TEST_F(ScriptGlobalsFixture, ConsoleGlobalRunsCommandLines)
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

TEST_F(ScriptGlobalsFixture, MouseGlobalsReadTheLinkedPointer)
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
    Bindings::BindScriptApi(bare);
    bare.GetState()->DoString("x, y, l = GetMouseX(), GetMouseY(), GetMouseButtonDownL()");
    EXPECT_EQ(bare.GetGlobalNumber("x"), 0);
    EXPECT_EQ(bare.GetGlobalNumber("y"), 0);
    LuaStackGuard guard(bare.GetState());
    EXPECT_EQ(lua_type(bare.GetState()->GetCState(), bare.GetState()->GetGlobal("l").GetIndex()), LUA_TBOOLEAN);
    EXPECT_FALSE(bare.GetState()->GetGlobal("l").GetBoolean());
}

TEST_F(ScriptGlobalsFixture, HelloSampleRunsFromTheDataFolder)
{
    const fs::path data = QuillTest::SourceRoot() / "data" / "input";
    ASSERT_TRUE(files.AddSource(new FSLooseFiles(FromUtf8(data.string() + "/"), u"data")));
    EXPECT_TRUE(manager->DoFile(u"Hello.lua"));
    EXPECT_TRUE(manager->DoFile(u"Hello.lua"));
    EXPECT_EQ(manager->GetGlobalNumber("helloCount"), 2);
    EXPECT_EQ(LastOutput(), "Hello from Velvet Aisle");
}

TEST_F(AudioGlobalsFixture, PlaySoundNamesAreAnsiAndUnplayableSoundsAreQuiet)
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

TEST_F(AudioGlobalsFixture, SoundObjectsReachTheirChannel)
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

// Every method of a sound object, walked from a table: each row calls one from a script and checks
// its effect; the rows must name every method SoundMetaTable holds.
TEST_F(AudioGlobalsFixture, EverySoundMethodExistsAndActs)
{
    const SoundHandle played = audio.PlaySound(u"Caf\u00E9", true);
    ASSERT_TRUE(played.IsValid());
    manager->GetState()->GetGlobals().SetValue("snd", manager->CreateSoundObject(played));
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"IsPlaying", "assert(snd:IsPlaying() == true)"},
        {"SetVolume", "snd:SetVolume(0.5)"},
        {"SetFrequency", "snd:SetFrequency(22050)"},
        {"GetFrequency", "assert(snd:GetFrequency() == 22050)"},
        {"SetPosition", "assert(snd:SetPosition(0.5) == true)"},
        {"GetPosition", "local p = snd:GetPosition() assert(p > 0.49 and p < 0.51)"},
        {"SetupEQs", "assert(snd:SetupEQs(2) == true)"},
        {"SetEQGain", "assert(snd:SetEQGain(1, 0.5) == true and snd:SetEQGain(5, 0.5) == false)"},
        {"SetLoopPoints", "assert(snd:SetLoopPoints(0.1, 0.9) == true)"},
        {"SetLoopCount", "assert(snd:SetLoopCount(2) == true)"},
        {"GetFFTSpectrum", "local t = snd:GetFFTSpectrum(64, 0) assert(type(t) == 'table' and table.getn(t) == 64)"},
        {"Stop", "snd:Stop() assert(snd:IsPlaying() == false)"},
    };
    std::set<std::string> named;
    for (const auto& [method, script] : rows) {
        SCOPED_TRACE(method);
        named.insert(method);
        EXPECT_EQ(Run(script.c_str()), "");
        if (method == "SetVolume") {
            EXPECT_NEAR(Mix(), 0.25f, 2e-3f) << "a half-loud sound of level 0.5";
        }
    }
    EXPECT_FALSE(played.IsPlaying());
    Run("names = '' for k, v in pairs(SoundMetaTable) do if type(v) == 'function' then names = names .. k .. ' ' end "
        "end");
    std::set<std::string> held;
    const std::string all = manager->GetGlobalString("names") ? manager->GetGlobalString("names") : "";
    size_t start = 0;
    for (size_t blank; (blank = all.find(' ', start)) != std::string::npos; start = blank + 1)
        held.insert(all.substr(start, blank - start));
    EXPECT_EQ(held, named);
}
