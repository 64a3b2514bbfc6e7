#include "engine/script/ScriptBinding.h"

#include <cstdlib>
#include <cstring>

namespace QuillLua {

void ScriptArgError(lua_State* L, int argument, const char* extra)
{
    lua_Debug ar{};
    const char* name = nullptr;
    if (lua_getstack(L, 0, &ar) && lua_getinfo(L, "n", &ar)) {
        name = ar.name;
        if (ar.namewhat && std::strcmp(ar.namewhat, "method") == 0) {
            --argument;
            if (argument == 0) {
                luaL_error(L, "calling `%s' on bad self (%s)", name ? name : "?", extra);
            }
        }
    }
    luaL_error(L, "bad argument #%d to `%s' (%s)", argument, name ? name : "?", extra);
    std::abort(); // luaL_error does not return
}

void* GetScriptSelf(lua_State* L)
{
    switch (lua_type(L, 1)) {
    case LUA_TUSERDATA:
        // Only a boxed pointer holds an object pointer; a wide string or any other block does not.
        if (IsBoxedPointer(L, 1)) {
            return *static_cast<void**>(lua_touserdata(L, 1));
        }
        break;
    case LUA_TTABLE: {
        lua_getfield(L, 1, "__object");
        if (!IsBoxedPointer(L, -1)) {
            luaL_error(L, "The table does not have a userdata member called __object.");
        }
        void* self = *static_cast<void**>(lua_touserdata(L, -1));
        lua_pop(L, 1);
        return self;
    }
    default:
        break;
    }
    ScriptArgError(L, 1, "must be userdata or a table with a userdata member called __object");
}

} // namespace QuillLua
