// Script tables of scene instances and the calls of their event handlers.

#include "engine/script/LuaMgr.h"
#include "engine/script/LuaStack.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"
#include "engine/script/dialect/LuaDialect.h"

namespace QuillEngine {

using QuillLua::LuaStackGuard;
using QuillLua::LuaValueRef;

namespace {

// The member every instance table keeps its instance's pointer in; no child may be linked under it.
constexpr char kObjectKey[] = "__object";

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
    table.SetUserData(kObjectKey, object);
    const std::string key = ScriptKey(name);
    if (name == u"root") {
        LuaValueRef(globals).SetValue("root", table);
    } else if (key != kObjectKey && parentTable.IsTable() && parentTable.GetState() == state_) {
        LuaValueRef(parentTable).SetValue(key.c_str(), table);
    }
    return table;
}

void LuaMgr::ReleaseInstanceObject(void* object, const LuaValueRef& table, StringView name,
                                   const LuaValueRef& parentTable)
{
    if (!state_) {
        return;
    }
    const bool ownTable = table.IsTable() && table.GetState() == state_;
    const std::string key = ScriptKey(name);
    if (ownTable && key != kObjectKey && parentTable.IsTable() && parentTable.GetState() == state_ &&
        parentTable.GetByName(key.c_str()) == table) {
        LuaValueRef(parentTable).SetNil(key.c_str());
    }
    if (!ownTable) {
        return;
    }
    // The boxed pointer is shared by every table a script copied it to: zeroing it cuts them all.
    // One that a script swapped in from another instance is not ours to zero.
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    table.Push();
    lua_pushstring(L, kObjectKey);
    lua_rawget(L, -2);
    if (object && QuillLua::IsBoxedPointer(L, -1)) {
        void** boxed = static_cast<void**>(lua_touserdata(L, -1));
        if (*boxed == object) {
            *boxed = nullptr;
        }
    }
    // Always, with or without a parent: the table must not keep methods for a gone instance.
    LuaValueRef(table).SetMetaTable(state_->GetGlobals().GetByName("EmptyMetaTable"));
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
