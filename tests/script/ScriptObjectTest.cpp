// Instance script tables in the script manager: creation and naming, release, and the calls of
// the handlers a table holds itself.

#include "engine/script/LuaMgr.h"
#include "engine/script/LuaStack.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuillEngine;
using QuillLua::LuaValueRef;

namespace {

struct ScriptObjectFixture : ::testing::Test {
    ScriptObjectFixture() { EXPECT_TRUE(lua.Init()); }

    void Run(const std::string& code) { lua.GetState()->DoBuffer(code.data(), code.size(), "test"); }
    LuaValueRef Global(const char* name) { return lua.GetState()->GetGlobals().GetByName(name); }
    int Top() { return lua_gettop(lua.GetState()->GetCState()); }

    LuaMgr lua;
    int objectA = 0;
    int objectB = 0;
};

TEST_F(ScriptObjectFixture, TablesAreNamedInTheirParentOrAsTheGlobalRoot)
{
    const LuaValueRef root = lua.CreateInstanceObject(&objectA, LuaMgr::Kind_Movie, u"root", LuaValueRef());
    ASSERT_TRUE(root.IsTable());
    EXPECT_TRUE(Global("root") == root);
    EXPECT_TRUE(root.GetMetaTable() == Global("MovieMetaTable"));
    EXPECT_EQ(root.GetByName("__object").GetUserData(), &objectA);

    const LuaValueRef button = lua.CreateInstanceObject(&objectB, LuaMgr::Kind_Image, u"play button", root);
    EXPECT_TRUE(root.GetByName("play_button") == button);
    EXPECT_TRUE(root.GetByName("play button").IsNil());
    EXPECT_TRUE(button.GetMetaTable() == Global("ImageMetaTable"));

    // A child named "root" replaces the global, not a member of its parent.
    const LuaValueRef inner = lua.CreateInstanceObject(&objectB, LuaMgr::Kind_Text, u"root", button);
    EXPECT_TRUE(Global("root") == inner);
    EXPECT_TRUE(button.GetByName("root").IsNil());
    EXPECT_TRUE(inner.GetMetaTable() == Global("TextMetaTable"));

    // The later of two same-named children takes the key; an unknown kind gets no metatable.
    const LuaValueRef second = lua.CreateInstanceObject(&objectA, 7, u"play button", root);
    EXPECT_TRUE(root.GetByName("play_button") == second);
    EXPECT_TRUE(second.GetMetaTable().IsNil());

    // Names are keyed in UTF-8.
    const LuaValueRef wide = lua.CreateInstanceObject(&objectA, LuaMgr::Kind_Movie, u"caf\u00e9 sign", root);
    EXPECT_TRUE(root.GetByName("caf\xc3\xa9_sign") == wide);
}

TEST_F(ScriptObjectFixture, ReleaseUnhooksTheTableAndEmptiesItsMethods)
{
    LuaValueRef root = lua.CreateInstanceObject(&objectA, LuaMgr::Kind_Movie, u"root", LuaValueRef());
    const LuaValueRef child = lua.CreateInstanceObject(&objectB, LuaMgr::Kind_Movie, u"a b", root);
    Run("held = root.a_b; MovieMetaTable.Probe = function() return 5 end; before = held:Probe()");
    EXPECT_EQ(lua.GetGlobalNumber("before"), 5);

    lua.ReleaseInstanceObject(&objectB, child, u"a b", root);
    EXPECT_TRUE(root.GetByName("a_b").IsNil());
    EXPECT_TRUE(child.GetMetaTable() == Global("EmptyMetaTable"));
    // The script still holds the table, but calling a method on it fails.
    Run("after = 1; after = held:Probe()");
    EXPECT_EQ(lua.GetGlobalNumber("after"), 1);

    // Without a parent table the methods still go.
    lua.ReleaseInstanceObject(&objectA, root, u"root", LuaValueRef());
    EXPECT_TRUE(root.GetMetaTable() == Global("EmptyMetaTable"));
}

TEST_F(ScriptObjectFixture, ReleaseTouchesOnlyWhatBelongsToTheReleasedInstance)
{
    int objectC = 0;
    const LuaValueRef root = lua.CreateInstanceObject(&objectA, LuaMgr::Kind_Movie, u"root", LuaValueRef());

    // A newer child of the same name keeps its entry when the older one goes.
    const LuaValueRef older = lua.CreateInstanceObject(&objectB, LuaMgr::Kind_Movie, u"twin", root);
    const LuaValueRef newer = lua.CreateInstanceObject(&objectC, LuaMgr::Kind_Movie, u"twin", root);
    lua.ReleaseInstanceObject(&objectB, older, u"twin", root);
    EXPECT_TRUE(root.GetByName("twin") == newer);
    lua.ReleaseInstanceObject(&objectC, newer, u"twin", root);
    EXPECT_TRUE(root.GetByName("twin").IsNil());

    // The pointer the table holds dies with the instance, in every table a script copied it to;
    // another instance's pointer that a script put in the table is left alone.
    Run("copy = { __object = root.twin }");
    EXPECT_EQ(older.GetByName("__object").GetUserData(), nullptr);
    const LuaValueRef child = lua.CreateInstanceObject(&objectB, LuaMgr::Kind_Movie, u"child", root);
    Run("copy = { __object = root.child.__object }");
    lua.ReleaseInstanceObject(&objectB, child, u"child", root);
    EXPECT_EQ(child.GetByName("__object").GetUserData(), nullptr);
    EXPECT_EQ(Global("copy").GetByName("__object").GetUserData(), nullptr);
    const LuaValueRef swapped = lua.CreateInstanceObject(&objectB, LuaMgr::Kind_Movie, u"swapped", root);
    Run("root.swapped.__object = root.__object");
    lua.ReleaseInstanceObject(&objectB, swapped, u"swapped", root);
    EXPECT_EQ(root.GetByName("__object").GetUserData(), &objectA);

    // A child named "__object" gets its own table but never replaces its parent's pointer.
    const LuaValueRef odd = lua.CreateInstanceObject(&objectC, LuaMgr::Kind_Image, u"__object", root);
    ASSERT_TRUE(odd.IsTable());
    EXPECT_EQ(odd.GetByName("__object").GetUserData(), &objectC);
    EXPECT_EQ(root.GetByName("__object").GetUserData(), &objectA);
    lua.ReleaseInstanceObject(&objectC, odd, u"__object", root);
    EXPECT_EQ(root.GetByName("__object").GetUserData(), &objectA);
}

TEST_F(ScriptObjectFixture, HandlersAreReadFromTheTableItselfOnly)
{
    const LuaValueRef root = lua.CreateInstanceObject(&objectA, LuaMgr::Kind_Movie, u"root", LuaValueRef());
    Run("calls = 0; MovieMetaTable.OnLoad = function() calls = calls + 100 end;"
        "root.OnUpdate = function(self) calls = calls + 1; same = (self == root) end;"
        "root.NotAFunction = 3");
    EXPECT_FALSE(lua.HasHandler(root, "OnLoad"));
    EXPECT_TRUE(lua.HasHandler(root, "OnUpdate"));
    EXPECT_FALSE(lua.HasHandler(root, "NotAFunction"));
    EXPECT_FALSE(lua.HasHandler(LuaValueRef(), "OnUpdate"));

    const int top = Top();
    lua.CallHandler(root, "OnLoad");
    lua.CallHandler(root, "OnUpdate");
    lua.CallHandler(root, "Missing");
    EXPECT_EQ(lua.GetGlobalNumber("calls"), 1);
    EXPECT_TRUE(Global("same").GetBoolean());
    EXPECT_EQ(Top(), top);
}

TEST_F(ScriptObjectFixture, HandlerArgumentsAndErrors)
{
    const LuaValueRef root = lua.CreateInstanceObject(&objectA, LuaMgr::Kind_Movie, u"root", LuaValueRef());
    Run("function root:OnKeyDown(k) key = k; return 1, 2, 3 end;"
        "function root:OnCharDown(c) char = c; charLength = string.len(c) end;"
        "function root:OnLabelHit(l) error('broken ' .. l) end");
    const int top = Top();
    lua.CallHandlerArgs(root, "OnKeyDown", 65.0);
    lua.CallHandlerArgs(root, "OnCharDown", std::string_view("\0", 1));
    lua.CallHandlerArgs(root, "OnLabelHit", std::string_view("end"));
    EXPECT_EQ(Top(), top);
    EXPECT_EQ(lua.GetGlobalNumber("key"), 65);
    EXPECT_EQ(lua.GetGlobalNumber("charLength"), 1);
    // The failed handler ended only itself: the next call still runs.
    lua.CallHandlerArgs(root, "OnKeyDown", 13.0);
    EXPECT_EQ(lua.GetGlobalNumber("key"), 13);
}

TEST(ScriptObjectWithoutState, CallsDoNothing)
{
    LuaMgr lua; // never initialised
    EXPECT_TRUE(lua.CreateInstanceObject(nullptr, LuaMgr::Kind_Movie, u"root", LuaValueRef()).IsNil());
    lua.CallHandler(LuaValueRef(), "OnLoad");
    lua.ReleaseInstanceObject(nullptr, LuaValueRef(), u"x", LuaValueRef());
    EXPECT_FALSE(lua.HasHandler(LuaValueRef(), "OnLoad"));
}

} // namespace
