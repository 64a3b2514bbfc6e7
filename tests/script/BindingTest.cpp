#include "engine/script/ScriptBinding.h"

#include "engine/core/strings/EngineString.h"
#include "engine/script/LuaStack.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuillLua;

namespace {

struct Probe {
    float x = 0;
    int32_t frame = 0;
    bool visible = false;
    std::string text;
    int calls = 0;
    uint32_t colour = 0;

    void SetX(float value)
    {
        x = value;
        ++calls;
    }
    void SetFrame(int32_t value)
    {
        frame = value;
        ++calls;
    }
    void SetVisible(bool value)
    {
        visible = value;
        ++calls;
    }
    bool GetVisible() const { return visible; }
    uint32_t GetColour() const { return colour; }
    void SetTextAndShow(std::string_view value, bool show)
    {
        text = value;
        visible = show;
        ++calls;
    }
};

// A plain-function method: the object comes first.
float Twice(Probe* probe, float value)
{
    probe->x = value * 2;
    return probe->x;
}

// A script value result built in the calling state.
LuaValueRef Frames(Probe* probe, LuaState* state, int32_t count)
{
    LuaValueRef table(state);
    if (count > 0 && count <= 16) {
        table.AssignNewTable(state, count, 0);
        for (int32_t i = 0; i < count; ++i) {
            table.SetNumberAt(i + 1, probe->frame + i);
        }
    }
    return table;
}

// A global bound to an object.
struct Counter {
    int32_t total = 0;
    int32_t Add(int32_t value) { return total += value; }
    void Nothing() {}
};

Probe* g_refusedProbe = nullptr;

// Refuses one particular object, as an adapter refuses an object of another kind.
Probe* PickyAdapter(void* pointer)
{
    return pointer == g_refusedProbe ? nullptr : static_cast<Probe*>(pointer);
}

struct BindingFixture : ::testing::Test {
    BindingFixture()
    {
        state = LuaState::Create(true);
        state->SetPrintCallback([this](const char16_t* text) { printed += QuillEngine::ToUtf8(text); });
        LuaValueRef globals = state->GetGlobals();
        LuaValueRef meta = globals.CreateTable("ProbeMeta", 0, 0);
        meta.SetValue("__index", meta);
        RegisterDirect(meta, "SetX", MakeMemberCallee(&Probe::SetX));
        RegisterDirect(meta, "SetFrame", MakeMemberCallee(&Probe::SetFrame));
        RegisterDirect(meta, "SetVisible", MakeMemberCallee(&Probe::SetVisible));
        RegisterDirect(meta, "GetVisible", MakeMemberCallee(&Probe::GetVisible));
        RegisterDirect(meta, "GetColour", MakeMemberCallee(&Probe::GetColour));
        RegisterDirect(meta, "SetTextAndShow", MakeMemberCallee(&Probe::SetTextAndShow));
        RegisterDirect(meta, "Twice", MakePlainCallee(&Twice));
        RegisterDirect(meta, "Frames", MakePlainCallee(&Frames));
        RegisterDirect(meta, "Picky", MakeMemberCallee(&Probe::SetX, &PickyAdapter));
        RegisterDirect(globals, "Add", MakeBoundCallee(&counter, &Counter::Add));
        RegisterDirect(globals, "Nothing", MakeBoundCallee(&counter, &Counter::Nothing));

        obj.AssignNewTable(state, 0, 1);
        obj.SetUserData("__object", &probe);
        obj.SetMetaTable(meta);
        globals.SetValue("obj", obj);
        other.AssignNewTable(state, 0, 1);
        other.SetUserData("__object", &otherProbe);
        other.SetMetaTable(meta);
        globals.SetValue("other", other);
    }
    ~BindingFixture() override { LuaState::Destroy(state); }

    // Runs a chunk; returns what reached _ALERT (the error message, if any) without the chunk
    // position in front of it.
    std::string Run(const char* chunk)
    {
        printed.clear();
        const int top = state->GetTop();
        state->DoString(chunk);
        EXPECT_EQ(state->GetTop(), top);
        const size_t position = printed.find("\"]:");
        if (position != std::string::npos) {
            const size_t text = printed.find(": ", position + 3);
            return text == std::string::npos ? printed : printed.substr(text + 2);
        }
        return printed;
    }

    LuaState* state;
    std::string printed;
    Probe probe;
    Probe otherProbe;
    Counter counter;
    LuaValueRef obj;
    LuaValueRef other;
};

} // namespace

TEST_F(BindingFixture, ArgumentsMustHaveTheExactType)
{
    EXPECT_EQ(Run("obj:SetX('10')"), "bad argument #1 to `SetX' (bad argument)\n");
    EXPECT_EQ(Run("obj:SetVisible(nil)"), "bad argument #1 to `SetVisible' (bad argument)\n");
    EXPECT_EQ(Run("obj:SetVisible(1)"), "bad argument #1 to `SetVisible' (bad argument)\n");
    EXPECT_EQ(Run("obj:SetX(L'10')"), "bad argument #1 to `SetX' (bad argument)\n");
    // A missing argument fails its test; nothing is nil-tolerant.
    EXPECT_EQ(Run("obj:SetFrame()"), "bad argument #1 to `SetFrame' (bad argument)\n");
    // A number is not a text either.
    EXPECT_EQ(Run("obj:SetTextAndShow(5, true)"), "bad argument #1 to `SetTextAndShow' (bad argument)\n");
    // Every test runs before the callee: a bad second argument leaves the first unused.
    EXPECT_EQ(Run("obj:SetTextAndShow('a', 'yes')"), "bad argument #2 to `SetTextAndShow' (bad argument)\n");
    // Called with a dot, self counts as argument 1.
    EXPECT_EQ(Run("obj.SetX(obj, 'x')"), "bad argument #2 to `SetX' (bad argument)\n");
    EXPECT_EQ(Run("Add('1')"), "bad argument #1 to `Add' (bad argument)\n");
    EXPECT_EQ(probe.calls, 0);
    EXPECT_EQ(counter.total, 0);

    // The error ends the chunk: the statements after it do not run.
    EXPECT_NE(Run("obj:SetX('1') obj:SetX(2)"), "");
    EXPECT_EQ(probe.calls, 0);
}

TEST_F(BindingFixture, ArgumentsConvert)
{
    EXPECT_EQ(Run("obj:SetFrame(3.9)"), "");
    EXPECT_EQ(probe.frame, 3);
    EXPECT_EQ(Run("obj:SetFrame(-1.5)"), "");
    EXPECT_EQ(probe.frame, -1);
    EXPECT_EQ(Run("obj:SetFrame(4294967297)"), "");
    EXPECT_EQ(probe.frame, 1);
    EXPECT_EQ(Run("obj:SetX(0.1)"), "");
    EXPECT_EQ(probe.x, 0.1f);
    EXPECT_EQ(Run("obj:SetVisible(true, 'extra', 3)"), "");
    EXPECT_TRUE(probe.visible);
    EXPECT_EQ(Run("obj:SetTextAndShow('a\\0b', false)"), "");
    EXPECT_EQ(probe.text, std::string("a\0b", 3));
    EXPECT_FALSE(probe.visible);
    EXPECT_EQ(probe.calls, 6);
    EXPECT_EQ(otherProbe.calls, 0);
}

TEST_F(BindingFixture, ResultsOfEachCalleeForm)
{
    probe.visible = true;
    probe.colour = 0xFFFFFFFF;
    probe.frame = 7;
    EXPECT_EQ(Run("assert(obj:GetVisible() == true)\n"
                  "assert(obj:GetColour() == 4294967295)\n"
                  "assert(obj:Twice(1.25) == 2.5)\n"
                  "assert(Add(2) == 2 and Add(3) == 5)\n"
                  "assert(select('#', Nothing()) == 0)\n"
                  "assert(select('#', obj:SetX(1)) == 0)\n"
                  "local t = obj:Frames(3)\n"
                  "assert(type(t) == 'table' and t[1] == 7 and t[3] == 9 and t[4] == nil)\n"
                  "assert(obj:Frames(0) == nil and select('#', obj:Frames(0)) == 1)\n"),
              "");
    EXPECT_EQ(probe.x, 1.0f);
    EXPECT_EQ(counter.total, 5);
    // The injected state takes no script position: the count is argument 1.
    EXPECT_EQ(Run("obj:Frames('3')"), "bad argument #1 to `Frames' (bad argument)\n");
}

TEST_F(BindingFixture, SelfIsABoxedPointerOrATableHoldingOne)
{
    // The boxed pointer itself, and a table that inherits "__object" through "__index".
    EXPECT_EQ(Run("ProbeMeta.SetX(obj.__object, 4)\n"
                  "local child = setmetatable({}, {__index = other})\n"
                  "child:SetX(7)"),
              "");
    EXPECT_EQ(probe.x, 4.0f);
    EXPECT_EQ(otherProbe.x, 7.0f);

    const std::string missing = "The table does not have a userdata member called __object.\n";
    EXPECT_EQ(Run("setmetatable({}, ProbeMeta):SetX(1)"), missing);
    EXPECT_EQ(Run("setmetatable({__object = 5}, ProbeMeta):SetX(1)"), missing);
    EXPECT_EQ(Run("setmetatable({__object = {}}, ProbeMeta):SetX(1)"), missing);
    // A wide string is a userdata, but holds no object pointer.
    EXPECT_EQ(Run("setmetatable({__object = L'abcdefgh'}, ProbeMeta):SetX(1)"), missing);

    const std::string notSelf = "must be userdata or a table with a userdata member called __object";
    EXPECT_EQ(Run("obj.SetX(5, 1)"), "bad argument #1 to `SetX' (" + notSelf + ")\n");
    EXPECT_EQ(Run("ProbeMeta.SetX(L'abcdefgh', 1)"), "bad argument #1 to `SetX' (" + notSelf + ")\n");
    // A callee's userdata is no object either.
    {
        lua_State* L = state->GetCState();
        LuaStackGuard guard(L);
        state->GetGlobal("ProbeMeta");
        lua_getfield(L, -1, "SetX");
        lua_pushvalue(L, -1);
        ASSERT_NE(lua_getupvalue(L, -1, 1), nullptr);
        ASSERT_EQ(lua_type(L, -1), LUA_TUSERDATA);
        lua_remove(L, -2);
        lua_pushnumber(L, 1);
        ASSERT_NE(lua_pcall(L, 2, 0, 0), 0);
        EXPECT_STREQ(lua_tostring(L, -1), ("bad argument #1 to `?' (" + notSelf + ")").c_str());
    }
    // Method syntax on a value that is no object.
    EXPECT_EQ(Run("getmetatable('').__index.SetX = ProbeMeta.SetX; ('s'):SetX(1)"),
              "calling `SetX' on bad self (" + notSelf + ")\n");
    EXPECT_EQ(probe.calls + otherProbe.calls, 2);

    // An adapter may refuse an object of the wrong kind.
    g_refusedProbe = &otherProbe;
    EXPECT_EQ(Run("obj:Picky(9)"), "");
    EXPECT_EQ(probe.x, 9.0f);
    EXPECT_EQ(Run("other:Picky(9)"), "calling `Picky' on bad self (the object is not of this kind)\n");
    EXPECT_EQ(otherProbe.x, 7.0f);
    g_refusedProbe = nullptr;
}

TEST_F(BindingFixture, ExtraUpvaluesFollowTheCallee)
{
    lua_State* L = state->GetCState();
    lua_pushstring(L, "second");
    RegisterDirect(state->GetGlobals(), "AddToo", MakeBoundCallee(&counter, &Counter::Add), 1);
    EXPECT_EQ(state->GetTop(), 0);
    EXPECT_EQ(Run("assert(AddToo(4) == 4)"), "");
    state->GetGlobal("AddToo");
    ASSERT_NE(lua_getupvalue(L, -1, 2), nullptr);
    EXPECT_STREQ(lua_tostring(L, -1), "second");
    lua_settop(L, 0);

    // A registration into something that is not a table changes nothing and leaves the stack.
    lua_pushstring(L, "dropped");
    RegisterDirect(LuaValueRef(state), "Lost", MakeBoundCallee(&counter, &Counter::Add), 1);
    EXPECT_EQ(state->GetTop(), 0);
}
