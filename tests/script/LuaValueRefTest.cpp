#include "engine/script/LuaValueRef.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/script/LuaStateTestAccess.h"

using namespace QuillLua;

namespace {

struct ValueRefFixture : ::testing::Test {
    ValueRefFixture() : state(LuaState::Create(true)) {}
    ~ValueRefFixture() override { LuaState::Destroy(state); }

    bool Run(const char* code) { return state->DoString(code) == 0; }
    bool Check(const char* expression)
    {
        std::string code = std::string("__check = (") + expression + ") and true or false";
        if (!Run(code.c_str())) {
            return false;
        }
        return state->GetGlobals()["__check"].GetBoolean();
    }

    LuaState* state;
};

} // namespace

TEST_F(ValueRefFixture, HandleKeepsATableAliveUntilReleased)
{
    ASSERT_TRUE(Run("probe = setmetatable({}, {__mode = 'k'})"));
    auto handle = std::make_unique<LuaValueRef>();
    handle->AssignNewTable(state, 0, 3);
    handle->SetString("name", "kept");
    {
        LuaStackGuard guard(state);
        lua_getglobal(state->GetCState(), "probe");
        handle->Push();
        lua_pushboolean(state->GetCState(), 1);
        lua_rawset(state->GetCState(), -3);
    }
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(Run("collectgarbage() collectgarbage('collect')"));
    }
    EXPECT_TRUE(Check("next(probe) ~= nil and next(probe).name == 'kept'"));
    EXPECT_STREQ(handle->GetByName("name").GetString(), "kept");

    LuaValueRef copy = *handle;
    handle.reset();
    ASSERT_TRUE(Run("collectgarbage()"));
    EXPECT_TRUE(Check("next(probe) ~= nil")); // the copy still holds it
    copy.AssignNil(state);
    ASSERT_TRUE(Run("collectgarbage()"));
    EXPECT_TRUE(Check("next(probe) == nil"));
}

TEST_F(ValueRefFixture, HandlesJoinAndLeaveTheStateList)
{
    int base = LuaStateTestAccess::HandleCount(*state);
    {
        LuaValueRef a(state);
        LuaValueRef b = a;
        LuaValueRef c;
        EXPECT_EQ(LuaStateTestAccess::HandleCount(*state), base + 2);
        c = b;
        EXPECT_EQ(LuaStateTestAccess::HandleCount(*state), base + 3);
        c = LuaValueRef();
        EXPECT_EQ(LuaStateTestAccess::HandleCount(*state), base + 2);
        EXPECT_EQ(c.GetState(), nullptr);
    }
    EXPECT_EQ(LuaStateTestAccess::HandleCount(*state), base);

    // Handles that outlive their state become unbound nils.
    LuaState* other = LuaState::Create(false);
    LuaValueRef orphan;
    orphan.AssignString(other, "text");
    LuaState::Destroy(other);
    EXPECT_EQ(orphan.GetState(), nullptr);
    EXPECT_TRUE(orphan.IsNil());
    EXPECT_EQ(orphan.GetString(), nullptr);
}

TEST_F(ValueRefFixture, ReadsConvertAndTestTypes)
{
    ASSERT_TRUE(Run("t = {n = 4, s = 'str', num = '12.5', w = L'wide', f = print, g = function() end,"
                    "  b = false, [1] = 'one', u = newproxy()}"));
    LuaValueRef t = state->GetGlobals()["t"];
    EXPECT_TRUE(t.IsTable());
    EXPECT_TRUE(t["n"].IsNumber());
    EXPECT_EQ(t["n"].GetNumber(), 4);
    EXPECT_TRUE(t["s"].IsString());
    EXPECT_EQ(t["s"].GetStrLen(), 3u);
    EXPECT_EQ(t["num"].ToNumber(), 12.5);
    EXPECT_EQ(t["s"].ToNumber(), 0);
    EXPECT_TRUE(t["w"].IsWString());
    EXPECT_FALSE(t["w"].IsUserData());
    EXPECT_EQ(t["w"].GetStrLen(), 4u);
    EXPECT_EQ(std::u16string(t["w"].GetWString()), u"wide");
    EXPECT_EQ(t["w"].ToNumber(), 0);
    EXPECT_TRUE(t["f"].IsCFunction());
    EXPECT_TRUE(t["g"].IsFunction());
    EXPECT_FALSE(t["g"].IsCFunction());
    EXPECT_TRUE(t["b"].IsBoolean());
    EXPECT_FALSE(t["b"].GetBoolean());
    EXPECT_TRUE(t["u"].IsUserData());
    EXPECT_STREQ(t.GetByIndex(1).GetString(), "one");
    EXPECT_TRUE(t["missing"].IsNil());
    EXPECT_FALSE(t["missing"].GetBoolean());
    EXPECT_TRUE(t["n"].GetBoolean());

    LuaValueRef n = t["n"];
    EXPECT_STREQ(n.ToString(), "4");
    EXPECT_TRUE(n.IsString());

    // raw reads ignore __index
    ASSERT_TRUE(Run("p = setmetatable({}, {__index = function() error('no') end})"));
    EXPECT_TRUE(state->GetGlobals()["p"]["x"].IsNil());
    // reading from a non-table yields nil
    EXPECT_TRUE(t["s"]["x"].IsNil());
}

TEST_F(ValueRefFixture, WritesCreateAndRegister)
{
    LuaValueRef g = state->GetGlobals();
    LuaValueRef t = g.CreateTable("made", 2, 2);
    t.SetInteger("i", 3);
    t.SetNumber("d", 0.5);
    t.SetBoolean("yes", true);
    t.SetString("s", "text");
    t.SetString("gone", nullptr);
    t.SetWString("w", u"\u4E2D");
    int target = 0;
    t.SetUserData("p", &target);
    t.SetNumberAt(1, 11);
    t.SetValue("self", t);
    t.SetNil("i");
    EXPECT_TRUE(Check("made.i == nil and made.d == 0.5 and made.yes and made.s == 'text' and made.gone == nil"));
    EXPECT_TRUE(Check("made[1] == 11 and made.self == made and made.w == wstring.char(0x4E2D)"));
    EXPECT_EQ(t["p"].GetUserData(), &target);
    EXPECT_TRUE(t["p"].IsUserData());

    g.Register(
        "twice",
        [](lua_State* L) {
            lua_pushnumber(L, lua_tonumber(L, 1) * 2 + lua_tonumber(L, lua_upvalueindex(1)));
            return 1;
        },
        (lua_pushnumber(state->GetCState(), 1), 1));
    EXPECT_TRUE(Check("twice(4) == 9"));
    g.RegisterStateFunction("handles", [](LuaState* s) {
        lua_pushnumber(s->GetCState(), LuaStateTestAccess::HandleCount(*s));
        return 1;
    });
    EXPECT_TRUE(Check("type(handles()) == 'number' and handles() > 0"));
    EXPECT_EQ(state->GetTop(), 0);
}

TEST_F(ValueRefFixture, MetatablesAndProtectedComparisons)
{
    ASSERT_TRUE(Run("mt = {__eq = function(a, b) return a.id == b.id end,"
                    "      __lt = function(a, b) return a.id < b.id end}\n"
                    "a = setmetatable({id = 1}, mt) b = setmetatable({id = 1}, mt) c = setmetatable({id = 2}, mt)\n"
                    "bad = setmetatable({}, {__lt = function() error('nope') end})"));
    LuaValueRef g = state->GetGlobals();
    EXPECT_TRUE(g["a"] == g["b"]);
    EXPECT_FALSE(g["a"] == g["c"]);
    EXPECT_TRUE(g["a"] < g["c"]);
    EXPECT_FALSE(g["c"] < g["a"]);
    EXPECT_FALSE(g["bad"] < g["bad"]);  // the error is caught, not a panic
    EXPECT_FALSE(g["a"] < g["string"]); // comparing a table with a table without __lt raises too
    EXPECT_TRUE(g["a"].GetMetaTable() == g["mt"]);
    EXPECT_EQ(state->GetTop(), 0);

    // a number gets the per-type default metatable
    LuaValueRef number;
    number.AssignNumber(state, 5);
    LuaValueRef meta;
    meta.AssignNewTable(state, 0, 1);
    meta.SetString("tag", "numbers");
    number.SetMetaTable(meta);
    EXPECT_TRUE(Check("getmetatable(7).tag == 'numbers' and (7).tag == 'numbers'"));
    EXPECT_TRUE(number.GetMetaTable() == meta);
    LuaValueRef nil(state);
    number.SetMetaTable(nil);
    EXPECT_TRUE(Check("getmetatable(7) == nil"));
}

TEST_F(ValueRefFixture, CursorWalksArrayThenHash)
{
    ASSERT_TRUE(Run("t = {'a', 'b', 'c', x = 1, y = 2}"));
    LuaValueRef t = state->GetGlobals()["t"];
    std::vector<std::string> keys;
    for (LuaTableCursor c(t); !c.IsDone(); c.Next()) {
        LuaValueRef k = c.GetKey();
        keys.push_back(k.IsNumber() ? std::to_string(int(k.GetNumber())) : k.GetString());
    }
    ASSERT_EQ(keys.size(), 5u);
    EXPECT_EQ(keys[0], "1");
    EXPECT_EQ(keys[1], "2");
    EXPECT_EQ(keys[2], "3");
    // a key removed while walking ends the walk instead of raising
    LuaTableCursor c(t);
    ASSERT_TRUE(Run("t[1] = nil collectgarbage() t.z = {} t[1] = nil"));
    c.Next();
    EXPECT_EQ(state->GetTop(), 0);

    LuaValueRef none;
    EXPECT_TRUE(LuaTableCursor(none).IsDone());
}
