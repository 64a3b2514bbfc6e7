// Script tables of scene instances and the calls of their event handlers.

#include "engine/script/LuaMgr.h"
#include "engine/script/LuaStack.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"

namespace QuillEngine {

using QuillLua::LuaStackGuard;
using QuillLua::LuaValueRef;

namespace {

const char* MetaTableName(int32_t kind)
{
    switch (kind) {
    case LuaMgr::Kind_Movie:
        return "MovieMetaTable";
    case LuaMgr::Kind_Image:
        return "ImageMetaTable";
    case LuaMgr::Kind_Text:
        return "TextMetaTable";
    default:
        return nullptr;
    }
}

} // namespace

std::string LuaMgr::ScriptKey(StringView name)
{
    std::string key = ToUtf8(name);
    for (char& c : key) {
        if (c == ' ') {
            c = '_';
        }
    }
    return key;
}

LuaValueRef LuaMgr::CreateInstanceObject(void* object, int32_t kind, StringView name, const LuaValueRef& parentTable)
{
    if (!state_) {
        return LuaValueRef();
    }
    const LuaValueRef globals = state_->GetGlobals();
    LuaValueRef table;
    table.AssignNewTable(state_, 0, 4);
    if (const char* metaName = MetaTableName(kind)) {
        table.SetMetaTable(globals.GetByName(metaName));
    }
    table.SetUserData("__object", object);
    if (name == u"root") {
        LuaValueRef(globals).SetValue("root", table);
    } else if (parentTable.IsTable() && parentTable.GetState() == state_) {
        LuaValueRef(parentTable).SetValue(ScriptKey(name).c_str(), table);
    }
    return table;
}

void LuaMgr::ReleaseInstanceObject(const LuaValueRef& table, StringView name, const LuaValueRef& parentTable)
{
    if (!state_) {
        return;
    }
    if (parentTable.IsTable() && parentTable.GetState() == state_) {
        LuaValueRef(parentTable).SetNil(ScriptKey(name).c_str());
    }
    // Always, with or without a parent: the table must not keep methods for a gone instance.
    if (table.IsTable() && table.GetState() == state_) {
        LuaValueRef(table).SetMetaTable(state_->GetGlobals().GetByName("EmptyMetaTable"));
    }
}

bool LuaMgr::PushHandler(const LuaValueRef& table, const char* name) const
{
    if (!state_ || !name || table.GetState() != state_ || !table.IsTable()) {
        return false;
    }
    lua_State* L = state_->GetCState();
    table.Push();
    lua_pushstring(L, name);
    lua_rawget(L, -2);
    lua_remove(L, -2);
    if (lua_type(L, -1) != LUA_TFUNCTION) {
        lua_pop(L, 1);
        return false;
    }
    return true;
}

bool LuaMgr::HasHandler(const LuaValueRef& table, const char* name) const
{
    if (!PushHandler(table, name)) {
        return false;
    }
    lua_pop(state_->GetCState(), 1);
    return true;
}

// Expects the error handler, the function, self and the arguments on the stack.
void LuaMgr::RunHandler(int argumentCount)
{
    lua_State* L = state_->GetCState();
    lua_pcall(L, argumentCount + 1, 0, -(argumentCount + 3));
}

// Calls the handler `name` of a script table with the table as self, then the arguments
// `pushArguments` pushes; errors go to _ALERT and the stack is left as it was.
template <class PushArguments>
void LuaMgr::CallHandlerWith(const LuaValueRef& table, const char* name, int argumentCount,
                             PushArguments pushArguments)
{
    if (!state_) {
        return;
    }
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    lua_getglobal(L, "_ALERT");
    if (!PushHandler(table, name)) {
        return;
    }
    table.Push();
    pushArguments(L);
    RunHandler(argumentCount);
}

void LuaMgr::CallHandler(const LuaValueRef& table, const char* name)
{
    CallHandlerWith(table, name, 0, [](lua_State*) {});
}

void LuaMgr::CallHandlerArgs(const LuaValueRef& table, const char* name, std::string_view text)
{
    CallHandlerWith(table, name, 1, [text](lua_State* L) { lua_pushlstring(L, text.data(), text.size()); });
}

void LuaMgr::CallHandlerArgs(const LuaValueRef& table, const char* name, double number)
{
    CallHandlerWith(table, name, 1, [number](lua_State* L) { lua_pushnumber(L, number); });
}

} // namespace QuillEngine
