#include "engine/script/LuaState.h"
#include "engine/core/strings/EngineString.h"
#include "engine/script/LuaOutFile.h"
#include "engine/script/LuaStack.h"
#include "engine/script/LuaValueRef.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <map>

using namespace QuillLua;

namespace {

struct StateFixture : ::testing::Test {
    StateFixture()
    {
        state = LuaState::Create(true);
        state->SetPrintCallback([this](const char16_t* text) { printed += QuillEngine::ToUtf8(text); });
    }
    ~StateFixture() override { LuaState::Destroy(state); }

    std::string GlobalType(const char* name)
    {
        LuaStackGuard guard(state);
        state->GetGlobal(name);
        return WideTypeName(state->GetCState(), -1);
    }

    LuaState* state;
    std::string printed;
};

} // namespace

TEST_F(StateFixture, InitInstallsLibrariesAndGlobals)
{
    for (const char* name : {"LOG", "_ALERT", "import", "LuaDumpBinary", "LuaDumpGlobals", "LuaDumpObject",
                             "LuaDumpFile", "towstring", "loadlib", "__pow", "_TRACEBACK"}) {
        EXPECT_EQ(GlobalType(name), "function") << name;
    }
    for (const char* name : {"string", "wstring", "table", "io", "os", "math", "debug", "_LOADED"}) {
        EXPECT_EQ(GlobalType(name), "table") << name;
    }
    EXPECT_EQ(state->DoString("assert(import('x') == false)"), 0);
    EXPECT_EQ(state->GetTop(), 0);

    LuaState* bare = LuaState::Create(false);
    lua_State* L = bare->GetCState();
    lua_getglobal(L, "LOG");
    lua_getglobal(L, "_ALERT");
    lua_getglobal(L, "string");
    EXPECT_TRUE(lua_isfunction(L, 1));
    EXPECT_TRUE(lua_isfunction(L, 2));
    EXPECT_TRUE(lua_isnil(L, 3));
    lua_settop(L, 0);
    // LOG works without the libraries too
    std::string out;
    bare->SetPrintCallback([&out](const char16_t* t) { out += QuillEngine::ToUtf8(t); });
    EXPECT_EQ(bare->DoString("LOG('a', 1, L'w', nil)"), 0);
    EXPECT_EQ(out, "a\t1\tw\tnil\n");
    LuaState::Destroy(bare);
}

TEST_F(StateFixture, ScriptPrintFormatsArgumentsAndReportsBadConversions)
{
    EXPECT_EQ(state->DoString("LOG('x', 2.5, true, L'\\200wide')"), 0);
    EXPECT_EQ(printed, "x\t2.5\ttrue\t\xC3\x88wide\n");
    printed.clear();
    // narrow text is read in the ANSI code page and cut at 199 characters
    EXPECT_EQ(state->DoString("LOG('\\128' .. string.rep('a', 300))"), 0);
    EXPECT_EQ(printed, "\xE2\x82\xAC" + std::string(198, 'a') + "\n");
    printed.clear();
    // a number from tostring is accepted; anything else is an error, reported to _ALERT
    EXPECT_EQ(state->DoString("local old = tostring tostring = function(v) return 7 end LOG({}) tostring = old"), 0);
    EXPECT_EQ(printed, "7\n");
    printed.clear();
    EXPECT_NE(state->DoString("local old = tostring\n"
                              "tostring = function(v) if type(v) == 'table' then return v end return old(v) end\n"
                              "LOG({})"),
              0);
    EXPECT_NE(printed.find("`tostring' must return a string to `print'"), std::string::npos) << printed;
}

TEST_F(StateFixture, DoStringReportsErrorsToAlertWithScriptLines)
{
    EXPECT_NE(state->DoString("local a = 1\nlocal b = a & {}"), 0);
    EXPECT_NE(printed.find(":2: attempt to perform arithmetic on a table value"), std::string::npos) << printed;
    printed.clear();
    EXPECT_NE(state->DoString("while true do break 0 end"), 0);
    EXPECT_NE(printed.find("loop block number out of range"), std::string::npos) << printed;
    printed.clear();
    const char chunk[] = "local t = {}\nreturn t.x.y";
    EXPECT_NE(state->DoBuffer(chunk, sizeof(chunk) - 1, "@script\\intro.lua"), 0);
    EXPECT_NE(printed.find("script\\intro.lua:2: attempt to index field 'x'"), std::string::npos) << printed;
    EXPECT_EQ(state->DoBuffer("return 1, 2", 11, "=results"), 0);
    EXPECT_EQ(state->GetTop(), 0);
}

TEST_F(StateFixture, LoadFileCallbackFeedsEveryFileLoader)
{
    std::map<std::string, std::string> files = {
        {"lib.lua", "return {value = 0x10 | 1, req = _REQUIREDNAME}"},
        {"main.lua", "result = dofile('other.lua') + 1"},
        {"other.lua", "return 41"},
        {"empty.lua", ""},
    };
    std::vector<std::string> asked;
    state->SetLoadFileCallback([&](const std::string& name, std::string& bytes) {
        asked.push_back(name);
        auto it = files.find(name);
        if (it == files.end()) {
            return false;
        }
        bytes = it->second;
        return true;
    });
    EXPECT_EQ(state->DoString("dofile('main.lua')"), 0) << printed;
    EXPECT_EQ(state->DoString("assert(result == 42)"), 0) << printed;
    EXPECT_EQ(state->DoString("LUA_PATH = 'missing/?.lua;?.lua' local m = require('lib')\n"
                              "assert(m.value == 17 and m.req == 'lib' and _REQUIREDNAME == nil)\n"
                              "assert(require('lib') == m and _LOADED.lib == m)"),
              0)
        << printed;
    EXPECT_NE(std::find(asked.begin(), asked.end(), "missing/lib.lua"), asked.end());
    EXPECT_EQ(
        state->DoString("local f, err = loadfile('empty.lua') assert(f == nil and string.find(err, 'cannot open'))"), 0)
        << printed;
    EXPECT_EQ(state->DoString("local ok, err = pcall(require, 'nothing')\n"
                              "assert(not ok and string.find(err, \"could not load package `nothing'\"))"),
              0)
        << printed;
}

TEST_F(StateFixture, CallHelperRunsProtectedAndStackRefsReadResults)
{
    ASSERT_EQ(state->DoString("function add(a, b) return a + b, 'sum' end function boom() error('bad') end"), 0);
    LuaValueRef globals = state->GetGlobals();
    {
        LuaStackGuard guard(state);
        LuaCallHelper call(state, globals["add"]);
        call.PushNumber(2);
        call.PushNumber(3.5);
        LuaStackRef first = call.Run(2);
        EXPECT_EQ(call.Status(), 0);
        EXPECT_TRUE(first.IsNumber());
        EXPECT_EQ(first.GetInteger(), 5);
        EXPECT_DOUBLE_EQ(first.GetNumber(), 5.5);
        LuaStackRef second(state, first.GetIndex() + 1);
        EXPECT_STREQ(second.GetString(), "sum");
        EXPECT_EQ(state->GetTop(), 2); // the handler slot is gone
    }
    EXPECT_EQ(state->GetTop(), 0);
    {
        LuaStackGuard guard(state);
        LuaCallHelper call(state, globals["boom"]);
        call.Run(0);
        EXPECT_NE(call.Status(), 0);
    }
    EXPECT_NE(printed.find("bad"), std::string::npos);
    EXPECT_EQ(state->GetTop(), 0);

    int dummy = 0;
    LuaStackRef boxed = state->PushUserData(&dummy);
    EXPECT_TRUE(boxed.IsUserData());
    EXPECT_EQ(boxed.GetUserData(), &dummy);
    state->PushBoolean(true);
    state->PushString("s");
    state->PushNumber(9);
    EXPECT_EQ(state->GetTop(), 4);
    state->Remove(1);
    EXPECT_TRUE(LuaStackRef(state, 1).GetBoolean());
    lua_settop(state->GetCState(), 0);
}

TEST_F(StateFixture, BinaryChunksBypassTheFrontEndAndKeepTheirHelpers)
{
    auto dir = QuillTest::MakeTempDir("dumpbinary");
    QuillTest::WriteFile(dir / "src.lua", "return 6 ^ 3, L'w' .. 1, 1 << 4");
    std::string script = "assert(LuaDumpBinary('" + (dir / "src.lua").string() + "', '" + (dir / "out.luac").string() +
                         "'))\nassert(not LuaDumpBinary('" + (dir / "none.lua").string() + "', 'x'))";
    ASSERT_EQ(state->DoString(script.c_str()), 0) << printed;
    std::string binary = QuillTest::ReadFile(dir / "out.luac");
    ASSERT_EQ(binary.substr(0, 4), "\x1bLua");
    // a fresh state reads it back; the wide literal and bit helpers are rebound by name
    LuaState* other = LuaState::Create(true);
    std::string check =
        "local a, b, c = dofile('" + (dir / "out.luac").string() + "') assert(a == 5 and b == L'w1' and c == 16)";
    std::string out;
    other->SetPrintCallback([&out](const char16_t* t) { out += QuillEngine::ToUtf8(t); });
    EXPECT_EQ(other->DoString(check.c_str()), 0) << out;
    LuaState::Destroy(other);
}

TEST(LuaOutFile, PrintIsNotLimitedToAFixedBuffer)
{
    auto dir = QuillTest::MakeTempDir("outfile");
    LuaOutFile file;
    ASSERT_TRUE(file.Open((dir / "big.txt").string().c_str()));
    std::string big(5000, 'x');
    file.Print("%s|%d", big.c_str(), 42);
    file.Write("|raw %s");
    file.Close();
    EXPECT_EQ(QuillTest::ReadFile(dir / "big.txt"), big + "|42|raw %s");
    EXPECT_FALSE(file.Open((dir / "no/such/dir/x.txt").string().c_str()));
}
