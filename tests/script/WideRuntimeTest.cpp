#include "engine/script/dialect/LuaDialect.h"
#include "tests/script/DialectTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace QuillLua;
using QuillTest::DialectState;

TEST(WideRuntime, PushInternsAndConverts)
{
    DialectState s;
    lua_State* L = s.L;
    lua_pushlwstring(L, u"abc", 3);
    lua_pushwstring(L, u"abc");
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
    EXPECT_EQ(lua_topointer(L, -1), lua_topointer(L, -2));
    EXPECT_TRUE(IsWideString(L, -1));
    EXPECT_EQ(WideType(L, -1), LUA_TWSTRING);
    EXPECT_STREQ(WideTypeName(L, -1), "wstring");
    lua_pushlwstring(L, u"a\0b", 3); // embedded zero units are kept
    size_t n = 0;
    const char16_t* units = lua_towstring(L, -1, &n);
    EXPECT_EQ(std::u16string(units, n), std::u16string(u"a\0b", 3));
    EXPECT_EQ(units[3], 0);
    lua_pushwstring(L, nullptr);
    EXPECT_TRUE(lua_isnil(L, -1));

    lua_pushnumber(L, 0.1);
    EXPECT_TRUE(lua_iswstring(L, -1));
    EXPECT_FALSE(IsWideString(L, -1));
    units = lua_towstring(L, -1, &n);
    EXPECT_EQ(std::u16string(units, n), u"0.1");
    EXPECT_TRUE(IsWideString(L, -1)); // converted in place
    lua_pushnumber(L, 1.0 / 3);
    EXPECT_EQ(std::u16string(lua_towstring(L, -1)), u"0.3333333333333333");
    lua_pushstring(L, "narrow");
    EXPECT_FALSE(lua_iswstring(L, -1));
    EXPECT_EQ(lua_towstring(L, -1), nullptr);
    // a userdata of another kind is not a wide string
    lua_newuserdata(L, 16);
    EXPECT_FALSE(IsWideString(L, -1));
    EXPECT_EQ(WideType(L, -1), LUA_TUSERDATA);
    lua_settop(L, 0);
}

TEST(WideRuntime, CheckedArgumentsNameTheWideType)
{
    DialectState s;
    lua_register(s.L, "needwide", [](lua_State* L) {
        size_t n = 0;
        luaL_checklwstring(L, 1, &n);
        lua_pushnumber(L, double(n));
        return 1;
    });
    EXPECT_EQ(s.Eval("needwide(L'abcd')"), "number:4");
    EXPECT_EQ(s.Eval("needwide(12)"), "number:2");
    std::string err = s.Eval("needwide('x')");
    EXPECT_NE(err.find("bad argument #1 to 'needwide' (wstring expected, got string)"), std::string::npos) << err;
    EXPECT_NE(s.Eval("wstring.len({})").find("wstring expected, got table"), std::string::npos);
}

TEST(WideRuntime, WideStringsAreCollectedWhenUnused)
{
    DialectState s;
    ASSERT_EQ(s.Run("probe = setmetatable({}, {__mode = 'k'}) probe[wstring.rep(L'x', 100)] = true"), "");
    ASSERT_EQ(s.Run("keep = wstring.rep(L'y', 100) probe[keep] = true collectgarbage()"), "");
    EXPECT_EQ(s.Eval("probe[wstring.rep(L'x', 100)]"), "nil:nil");
    EXPECT_EQ(s.Eval("probe[wstring.rep(L'y', 100)]"), "boolean:true");
}

TEST(WideRuntime, BitConversionsWrapModulo32Bits)
{
    EXPECT_EQ(ToInt32(3.9), 3);
    EXPECT_EQ(ToInt32(-3.9), -3);
    EXPECT_EQ(ToInt32(4294967296.0 + 5), 5);
    EXPECT_EQ(ToInt32(3e9), int32_t(3000000000u));
    EXPECT_EQ(ToInt32(-4294967297.0), -1);
    EXPECT_EQ(ToInt32(1e300), 0);
    EXPECT_EQ(ToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(ToInt32(std::numeric_limits<double>::infinity()), 0);
    DialectState s;
    EXPECT_EQ(s.Eval("(0/0) | 0"), "number:0");
    EXPECT_EQ(s.Eval("-8 >> 1"), "number:2147483644");
    EXPECT_EQ(s.Eval("1 << -1"), "number:-2147483648");
    EXPECT_EQ(s.Eval("3e9 & 0xFFFFFFFF"), "number:-1294967296");
}

TEST(WideRuntime, DefaultMetatablesAndStateData)
{
    DialectState s;
    lua_State* L = s.L;
    lua_getdefaultmetatable(L, LUA_TWSTRING);
    lua_getglobal(L, "wstring");
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
    lua_settop(L, 0);
    lua_getdefaultmetatable(L, LUA_TSTRING);
    lua_getglobal(L, "string");
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
    lua_settop(L, 0);
    lua_getdefaultmetatable(L, LUA_TTABLE);
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_settop(L, 0);

    // a new wide metatable reaches wide strings that already exist; __index is added
    ASSERT_EQ(s.Run("old = L'existing'"), "");
    ASSERT_EQ(s.Run("newmeta = {shout = function(self) return self .. L'!' end, __concat = wstring.__concat}"), "");
    lua_getglobal(L, "newmeta");
    lua_setdefaultmetatable(L, LUA_TWSTRING);
    EXPECT_EQ(s.Eval("old:shout()"), "wstring:existing!");
    EXPECT_EQ(s.Eval("(L'new'):shout()"), "wstring:new!");
    EXPECT_EQ(s.Eval("newmeta.__index == newmeta"), "boolean:true");
    lua_settop(L, 0);

    int marker = 0;
    EXPECT_EQ(lua_getstateuserdata(L), nullptr);
    lua_setstateuserdata(L, &marker);
    EXPECT_EQ(lua_getstateuserdata(L), &marker);
}

TEST(WideRuntime, BoxedPointersAndBuffers)
{
    DialectState s;
    lua_State* L = s.L;
    int target = 0;
    PushBoxedPointer(L, &target);
    EXPECT_TRUE(IsBoxedPointer(L, -1));
    EXPECT_EQ(ToUserData(L, -1), &target);
    void* block = lua_newuserdata(L, sizeof(void*));
    EXPECT_FALSE(IsBoxedPointer(L, -1)); // same size, but not a boxed pointer
    EXPECT_EQ(ToUserData(L, -1), block);
    lua_pushlightuserdata(L, &target);
    EXPECT_EQ(ToUserData(L, -1), &target);
    lua_settop(L, 0);

    luaL_WBuffer b;
    luaL_wbuffinit(L, &b);
    luaL_addwstring(&b, u"ab");
    luaL_addlwstring(&b, u"cdef", 2);
    luaL_addwchar(&b, u'\u4E2D');
    luaL_pushwresult(&b);
    size_t n = 0;
    EXPECT_EQ(std::u16string(lua_towstring(L, -1, &n)), u"abcd\u4E2D");
    lua_settop(L, 0);

    EXPECT_EQ(WidenNarrow("plain"), u"plain");
    EXPECT_EQ(WidenNarrow("\xC3\xA9"), u"\u00E9");         // valid UTF-8
    EXPECT_EQ(WidenNarrow("\xE9t\x80"), u"\u00E9t\u20AC"); // otherwise the ANSI code page
}

// Both ends of wstring.sub are inclusive and count from the end when negative, as string.sub's
// do: one position gives one character.
TEST(WideRuntime, SubTakesBothEndsInclusively)
{
    DialectState s;
    EXPECT_EQ(s.Eval("wstring.sub(L'abcd', 2, 2)"), "wstring:b");
    EXPECT_EQ(s.Eval("wstring.sub(L'abcd', 1, 1)"), "wstring:a");
    EXPECT_EQ(s.Eval("wstring.sub(L'abcd', -1, -1)"), "wstring:d");
    EXPECT_EQ(s.Eval("wstring.sub(L'abcd', 2, 3)"), "wstring:bc");
    EXPECT_EQ(s.Eval("wstring.sub(L'abcd', 3, 2)"), "wstring:");
    EXPECT_EQ(s.Eval("wstring.sub(L'abcd', 0, 9)"), "wstring:abcd");
    EXPECT_EQ(s.Eval("wstring.sub(L'abcd', 5, 5)"), "wstring:");
}
