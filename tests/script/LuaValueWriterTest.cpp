#include "engine/core/strings/EngineString.h"
#include "engine/script/LuaOutFile.h"
#include "engine/script/LuaValueRef.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

using namespace QuillLua;

namespace {

class StringSink : public LuaOutFile {
public:
    bool Open(const char*) override { return true; }
    void Close() override {}
    void Write(std::string_view text) override { out += text; }
    std::string out;
};

struct WriterFixture : ::testing::Test {
    WriterFixture() : state(LuaState::Create(true))
    {
        state->SetPrintCallback([this](const char16_t* t) { printed += QuillEngine::ToUtf8(t); });
    }
    ~WriterFixture() override { LuaState::Destroy(state); }

    // Dumps global `name` with the given flags through the engine API.
    std::string Dump(const char* name, int flags = LuaState::kDumpSort, int depth = 0, int maxDepth = -1)
    {
        StringSink sink;
        LuaStackGuard guard(state);
        lua_pushstring(state->GetCState(), name);
        lua_getglobal(state->GetCState(), name);
        state->DumpValue(sink, -2, -1, flags, depth, maxDepth);
        return sink.out;
    }

    LuaState* state;
    std::string printed;
};

} // namespace

TEST_F(WriterFixture, ScalarsAndQuoting)
{
    ASSERT_EQ(state->DoString("x = 5 s = 'say \"hi\"\\n\\1\\\\' w = L'a' .. wstring.char(0x4E2D, 9) y = 0.1 b = false"),
              0);
    EXPECT_EQ(Dump("x"), "x = 5\r\n");
    EXPECT_EQ(Dump("s"), "s = \"say \\\"hi\\\"\\n\\x01\\\\\"\r\n");
    EXPECT_EQ(Dump("w"), "w = L\"a\\x4e2d\\t\"\r\n");
    EXPECT_EQ(Dump("y"), "y = 0.1\r\n");
    EXPECT_EQ(Dump("b"), "b = false\r\n");
    EXPECT_EQ(Dump("nothing"), "");
    EXPECT_EQ(Dump("x", 0, 0, 0), " x = 5"); // depth not below max depth: one space instead of tabs
}

TEST_F(WriterFixture, TablesNestAndKeysAreValidLua)
{
    ASSERT_EQ(state->DoString("t = {1, 2, sub = {a = 'x'}, ['a b'] = 3, [10] = 4, ['and'] = 5, [L'k'] = 6, f = print}"),
              0);
    EXPECT_EQ(Dump("t"), "t = \r\n{\r\n"
                         "\t1,\r\n"
                         "\t2, \r\n"
                         "\t[10] = 4,\r\n"
                         "\t[\"a b\"] = 3,\r\n"
                         "\t[\"and\"] = 5,\r\n"
                         "\tsub = \r\n\t{\r\n\t\ta = \"x\",\r\n\t},\r\n"
                         "\t[L\"k\"] = 6,\r\n"
                         "}\r\n\r\n");
    // the text reads back as the same table
    std::string text = Dump("t");
    std::string script = text +
                         "\nassert(t[1] == 1 and t[10] == 4 and t['a b'] == 3 and t['and'] == 5 and t.sub.a == 'x'"
                         " and t[L'k'] == 6)";
    EXPECT_EQ(state->DoString(script.c_str()), 0) << printed;

    ASSERT_EQ(state->DoString("seq = {1, 2} empty = {}"), 0);
    EXPECT_EQ(Dump("seq"), "seq = \r\n{\r\n\t1,\r\n\t2,\r\n}\r\n\r\n");
    EXPECT_EQ(Dump("empty"), "empty = \r\n{\r\n}\r\n\r\n");
    // max depth 1: everything on one line
    EXPECT_EQ(Dump("seq", LuaState::kDumpSort, 0, 1), "seq = { 1, 2,}\r\n");
}

TEST_F(WriterFixture, FunctionsAndUserdataOnlyWhenAsked)
{
    ASSERT_EQ(state->DoString("t = {f = print, u = newproxy(), n = 1}\nfunction lf()\nend"), 0);
    EXPECT_EQ(Dump("t"), "t = \r\n{\r\n\tn = 1,\r\n}\r\n\r\n");
    std::string all = Dump("t", LuaState::kDumpSort | LuaState::kDumpFunctions);
    EXPECT_NE(all.find("-- f = '!!!FUNCTION!!! =[C] -1'\r\n"), std::string::npos) << all;
    EXPECT_NE(all.find("-- u = '!!!USERDATA!!!'\r\n"), std::string::npos) << all;
    std::string lf = Dump("lf", LuaState::kDumpFunctions);
    EXPECT_EQ(lf.rfind("-- lf = '!!!FUNCTION!!! t = {f = print", 0), 0u) << lf;
    EXPECT_NE(lf.find(" 2'\r\n"), std::string::npos) << lf;
}

TEST_F(WriterFixture, CyclesDoNotRecurseForever)
{
    ASSERT_EQ(state->DoString("c = {name = 'c'} c.self = c c.inner = {back = c}"), 0);
    EXPECT_EQ(Dump("c"), "c = \r\n{\r\n\tinner = \r\n\t{\r\n\t},\r\n\tname = \"c\",\r\n}\r\n\r\n");
}

TEST_F(WriterFixture, FormattedWriteTakesOver)
{
    ASSERT_EQ(state->DoString("obj = {v = 3}\n"
                              "function obj.FormattedWrite(self, file, key, depth, flags)\n"
                              "  LuaFileIndent(file, depth + 1) LuaFilePrint(file, 'custom(%d) %s', self.v, key)\n"
                              "end"),
              0);
    EXPECT_EQ(Dump("obj"), "obj = \tcustom(3) obj");
}

TEST_F(WriterFixture, DumpGlobalsAndDumpObjectWriteFiles)
{
    auto dir = QuillTest::MakeTempDir("dumps");
    std::string globals = (dir / "globals.lua").string();
    std::string object = (dir / "object.lua").string();
    std::string script = "x = 5 t = {k = 'v'}\n"
                         "assert(LuaDumpGlobals('" +
                         globals +
                         "'))\n"
                         "assert(LuaDumpObject('" +
                         object +
                         "', 'key', {1, L'w'}, true, 0))\n"
                         "assert(not LuaDumpGlobals('" +
                         (dir / "no/dir/x").string() +
                         "'))\n"
                         "assert(LuaDumpFile('@debug', 'k', 1))";
    ASSERT_EQ(state->DoString(script.c_str()), 0) << printed;
    std::string text = QuillTest::ReadFile(globals);
    EXPECT_NE(text.find("x = 5\r\n"), std::string::npos);
    EXPECT_NE(text.find("t = \r\n{\r\n\tk = \"v\",\r\n}\r\n\r\n"), std::string::npos);
    EXPECT_EQ(text.find("_G = "), std::string::npos);
    EXPECT_NE(text.find("_LOADED = "), std::string::npos);
    EXPECT_EQ(QuillTest::ReadFile(object), "key = \r\n{\r\n\t1,\r\n\tL\"w\",\r\n}\r\n\r\n");
}
