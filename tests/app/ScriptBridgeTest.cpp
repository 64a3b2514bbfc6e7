// The bridge between scene instances and their script tables: tables made and unhooked with the
// instances, methods reaching live instances only, and handlers run from the tree.

#include "engine/app/ScriptBridge.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace QuillEngine;
using QuillLua::LuaValueRef;

namespace {

struct ScriptBridgeFixture : ::testing::Test {
    ScriptBridgeFixture()
    {
        EXPECT_TRUE(lua.Init());
        bridge = std::make_unique<ScriptBridge>();
        EXPECT_TRUE(ui.CreateRoot());
    }

    void Run(const std::string& code) { lua.GetState()->DoBuffer(code.data(), code.size(), "test"); }
    Instance_Movie* Root() { return HandleEx::ResolveMovie(ui.GetRootHandle()); }

    // Like the engine, the tree goes first, while the bridge and the state still exist.
    LuaMgr lua;
    std::unique_ptr<ScriptBridge> bridge;
    std::unique_ptr<UserInterface> uiOwner = std::make_unique<UserInterface>();
    UserInterface& ui = *uiOwner;
};

TEST_F(ScriptBridgeFixture, ScriptsCreateAndDriveChildren)
{
    Run("b = root:CreateEmptyInstance('play button'); same = (root.play_button == b);"
        "b:SetPosition(3, 4); b:SetX(7); x = b:GetX(); y = b:GetY();"
        "b:SetVisible(false); visible = b:GetVisible();"
        "again = root:CreateEmptyInstance('play button')");
    EXPECT_TRUE(lua.GetState()->GetGlobals().GetByName("same").GetBoolean());
    EXPECT_EQ(lua.GetGlobalNumber("x"), 7);
    EXPECT_EQ(lua.GetGlobalNumber("y"), 4);
    EXPECT_FALSE(lua.GetState()->GetGlobals().GetByName("visible").GetBoolean());
    EXPECT_TRUE(lua.GetState()->GetGlobals().GetByName("again").IsNil());

    const InstanceHandle child = Root()->FindChild(u"play button");
    ASSERT_NE(child.Resolve(), nullptr);
    EXPECT_EQ(child.Resolve()->GetX(), 7.0f);
    EXPECT_FALSE(child.Resolve()->GetVisible());
}

TEST_F(ScriptBridgeFixture, DeletedInstancesLoseTheirTableAndMethods)
{
    Run("b = root:CreateEmptyInstance('gone'); b:DeleteSelf(); member = root.gone;"
        "ok = pcall(function() return b:GetX() end);"
        "direct = pcall(MovieMetaTable.GetX, b)");
    const LuaValueRef globals = lua.GetState()->GetGlobals();
    EXPECT_TRUE(globals.GetByName("member").IsNil());
    EXPECT_FALSE(globals.GetByName("ok").GetBoolean());
    // Even the method taken straight from the metatable refuses the gone instance.
    EXPECT_FALSE(globals.GetByName("direct").GetBoolean());
    EXPECT_FALSE(Root()->FindChild(u"gone").Resolve());
}

TEST_F(ScriptBridgeFixture, ForeignSelfPointersAreRefused)
{
    // Hand-made tables and plain values are no instances.
    Run("fake = { __object = root.__object }; fake2 = setmetatable({}, MovieMetaTable);"
        "real = pcall(MovieMetaTable.GetFrame, fake);"
        "bad = pcall(MovieMetaTable.GetFrame, fake2);"
        "bad2 = pcall(MovieMetaTable.GetFrame, 12)");
    const LuaValueRef globals = lua.GetState()->GetGlobals();
    // The copied boxed pointer is the root's own, so it resolves; the others do not.
    EXPECT_TRUE(globals.GetByName("real").GetBoolean());
    EXPECT_FALSE(globals.GetByName("bad").GetBoolean());
    EXPECT_FALSE(globals.GetByName("bad2").GetBoolean());
}

TEST_F(ScriptBridgeFixture, TreeRunsTheTablesOwnHandlers)
{
    Run("updates = 0; MovieMetaTable.OnFrameChanged = function() inherited = true end;"
        "function root:OnUpdate() updates = updates + 1 end;"
        "function root:OnKeyDown(k) key = k end; function root:OnKeyUp(c) up = c end");
    ui.Update();
    ui.Update();
    EXPECT_EQ(lua.GetGlobalNumber("updates"), 2);
    EXPECT_EQ(lua.GetState()->GetGlobals().GetByName("inherited").GetType(), LUA_TNIL);

    UserInterface::IScriptHandlers* scripts = ui.GetScriptHandlers();
    ASSERT_EQ(scripts, bridge.get());
    scripts->Call(ui.GetRootHandle(), "OnKeyDown", 40.0);
    scripts->Call(ui.GetRootHandle(), "OnKeyUp", std::string("A"));
    EXPECT_EQ(lua.GetGlobalNumber("key"), 40);
    EXPECT_STREQ(lua.GetGlobalString("up"), "A");
    // A stale handle runs nothing.
    scripts->Call(InstanceHandle(), "OnKeyDown", 1.0);
    EXPECT_EQ(lua.GetGlobalNumber("key"), 40);
}

TEST_F(ScriptBridgeFixture, BridgeGoingFirstLeavesTheTreeSafe)
{
    Run("b = root:CreateEmptyInstance('kept')");
    bridge.reset();
    EXPECT_EQ(ui.GetScriptHandlers(), nullptr);
    // Methods find no bridge to vouch for their instance, and updates call nothing.
    Run("function root:OnUpdate() ran = true end; ok = pcall(MovieMetaTable.GetX, b)");
    ui.Update();
    EXPECT_FALSE(lua.GetState()->GetGlobals().GetByName("ok").GetBoolean());
    EXPECT_EQ(lua.GetState()->GetGlobals().GetByName("ran").GetType(), LUA_TNIL);
}

} // namespace
