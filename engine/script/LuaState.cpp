#include "engine/script/LuaState.h"

#include "engine/core/strings/EngineString.h"
#include "engine/script/dialect/DialectRuntime.h"
#include "engine/script/LuaOutFile.h"
#include "engine/script/LuaValueRef.h"

#include <cstdio>
#include <cstring>

namespace QuillLua {

// Globals registered with the libraries (LuaValueWriter.cpp).
void RegisterDumpGlobals(lua_State* L);

namespace {

int Import(lua_State* L)
{
    lua_pushboolean(L, 0);
    return 1;
}

// Calls the global converter `fn` (at stack index fnIndex) on argument i; falls back to the
// built-in conversion when the global is missing.
void ConvertForPrint(lua_State* L, int fnIndex, int i)
{
    if (lua_isfunction(L, fnIndex)) {
        lua_pushvalue(L, fnIndex);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        return;
    }
    if (IsWideString(L, i)) {
        lua_pushvalue(L, i);
        return;
    }
    std::string text = ToStringNarrow(L, i);
    lua_pushlstring(L, text.data(), text.size());
}

} // namespace

LuaState::LuaState()
{
    L_ = NewDialectState();
    owner_ = true;
    lua_setstateuserdata(L_, this);
    lua_newtable(L_);
    anchorRef_ = luaL_ref(L_, LUA_REGISTRYINDEX);
}

LuaState::~LuaState()
{
    // Handles that outlive the state become unbound nils.
    while (handles_.next != &handles_) {
        auto* handle = static_cast<LuaValueRef*>(handles_.next);
        handles_.next = handle->next;
        handle->Detach();
    }
    handles_.prev = &handles_;
    if (owner_) {
        CloseDialectState(L_);
    }
}

LuaState* LuaState::Create(bool openLibraries)
{
    auto* state = new LuaState;
    state->Init(openLibraries);
    return state;
}

void LuaState::Destroy(LuaState* state)
{
    delete state;
}

LuaState* LuaState::FromCState(lua_State* L)
{
    return static_cast<LuaState*>(lua_getstateuserdata(L));
}

void LuaState::Init(bool openLibraries)
{
    int top = lua_gettop(L_);
    if (openLibraries) {
        OpenDialectLibs(L_);
        lua_register(L_, "import", Import);
        RegisterDumpGlobals(L_);
    }
    lua_settop(L_, top);
    lua_register(L_, "LOG", ScriptPrint);
    lua_register(L_, "_ALERT", ScriptPrint);
    lua_atpanic(L_, Panic);
}

void LuaState::Link(LuaHandleLink* handle)
{
    handle->next = &handles_;
    handle->prev = handles_.prev;
    handles_.prev->next = handle;
    handles_.prev = handle;
}

void LuaState::Unlink(LuaHandleLink* handle)
{
    handle->prev->next = handle->next;
    handle->next->prev = handle->prev;
    handle->next = handle->prev = handle;
}

LuaValueRef LuaState::GetGlobals()
{
    lua_pushvalue(L_, LUA_GLOBALSINDEX);
    LuaValueRef globals(this, -1);
    lua_pop(L_, 1);
    return globals;
}

LuaStackRef LuaState::GetGlobal(const char* name)
{
    lua_pushvalue(L_, LUA_GLOBALSINDEX);
    lua_pushstring(L_, name);
    lua_rawget(L_, -2);
    lua_remove(L_, -2);
    return LuaStackRef(this, lua_gettop(L_));
}

LuaStackRef LuaState::PushNumber(int value)
{
    lua_pushnumber(L_, value);
    return LuaStackRef(this, lua_gettop(L_));
}

LuaStackRef LuaState::PushBoolean(bool value)
{
    lua_pushboolean(L_, value);
    return LuaStackRef(this, lua_gettop(L_));
}

LuaStackRef LuaState::PushString(const char* text)
{
    lua_pushstring(L_, text);
    return LuaStackRef(this, lua_gettop(L_));
}

LuaStackRef LuaState::PushUserData(void* pointer)
{
    PushBoxedPointer(L_, pointer);
    return LuaStackRef(this, lua_gettop(L_));
}

int LuaState::DoString(const char* text) { return DoBuffer(text, std::strlen(text), text); }

int LuaState::DoBuffer(const char* data, size_t size, const char* chunkName, std::string* error)
{
    int status = LoadDialectBuffer(L_, data, size, chunkName);
    if (status == 0) {
        status = lua_pcall(L_, 0, 0, 0);
    }
    if (status != 0) {
        if (error) {
            const char* message = lua_tostring(L_, -1);
            *error = message ? message : "(no message)";
        }
        // the message goes to _ALERT, itself called protected
        lua_getglobal(L_, "_ALERT");
        if (lua_isfunction(L_, -1)) {
            lua_insert(L_, -2);
            if (lua_pcall(L_, 1, 0, 0) != 0) {
                lua_pop(L_, 1);
            }
        } else {
            lua_pop(L_, 2);
        }
    }
    return status;
}

void LuaState::Print(const char16_t* text)
{
    if (print_) {
        print_(text);
    } else {
        DebugOutput(QuillEngine::ToUtf8(text));
    }
}

void LuaState::SetLoadFileCallback(LoadFileCallback callback)
{
    QuillLua::SetLoadFileCallback(L_, std::move(callback));
}

int LuaState::ScriptPrint(lua_State* L)
{
    LuaState* self = FromCState(L);
    int n = lua_gettop(L);
    lua_getglobal(L, "towstring");
    lua_getglobal(L, "tostring");
    for (int i = 1; i <= n; ++i) {
        ConvertForPrint(L, IsWideString(L, i) ? n + 1 : n + 2, i);
        std::u16string piece;
        if (IsWideString(L, -1)) {
            piece = lua_towstring(L, -1);
        } else if (lua_type(L, -1) == LUA_TSTRING || lua_type(L, -1) == LUA_TNUMBER) {
            size_t len = 0;
            const char* s = lua_tolstring(L, -1, &len);
            constexpr size_t kMaxNarrow = 199;
            piece = QuillEngine::FromCp1252(std::string_view(s, std::min(len, kMaxNarrow)));
        } else {
            return luaL_error(L, "`tostring' must return a string to `print'");
        }
        lua_pop(L, 1);
        if (self) {
            if (i > 1) {
                self->Print(u"\t");
            }
            self->Print(piece.c_str());
        }
    }
    if (self) {
        self->Print(u"\n");
    }
    return 0;
}

int LuaState::Panic(lua_State* L)
{
    const char* message = lua_tostring(L, -1);
    std::fprintf(stderr, "script panic: unprotected error: %s\n", message ? message : "(no message)");
    return 0; // Lua ends the process
}

} // namespace QuillLua
