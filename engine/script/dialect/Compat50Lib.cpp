// The standard libraries opened with Lua 5.0's behaviour where 5.1 changed it.
#include "engine/script/dialect/DialectRuntime.h"

namespace QuillLua {
namespace {

void CallOpen(lua_State* L, lua_CFunction open, const char* name)
{
    lua_pushcfunction(L, open);
    lua_pushstring(L, name);
    lua_call(L, 1, 0);
}

// ---- base ----------------------------------------------------------------------------------------
int Base_type(lua_State* L)
{
    luaL_checkany(L, 1);
    lua_pushstring(L, WideTypeName(L, 1));
    return 1;
}

int Base_towstring(lua_State* L)
{
    luaL_checkany(L, 1);
    if (IsWideString(L, 1)) {
        lua_settop(L, 1);
        return 1;
    }
    if (lua_type(L, 1) == LUA_TNUMBER) {
        PushWide(L, NumberToWide(lua_tonumber(L, 1)));
        return 1;
    }
    PushWide(L, WidenNarrow(ToStringNarrow(L, 1)));
    return 1;
}

// collectgarbage([limit]): 5.0 sets a threshold in KB and collects when usage is above it;
// 5.1's option strings are accepted too.
int Base_collectgarbage(lua_State* L)
{
    if (lua_type(L, 1) == LUA_TSTRING) {
        lua_pushvalue(L, lua_upvalueindex(1));
        lua_insert(L, 1);
        lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
        return lua_gettop(L);
    }
    double limit = luaL_optnumber(L, 1, 0);
    double used = lua_gc(L, LUA_GCCOUNT, 0) * 1024.0 + lua_gc(L, LUA_GCCOUNTB, 0);
    if (limit * 1024.0 <= used) {
        lua_gc(L, LUA_GCCOLLECT, 0);
    }
    return 0;
}

int Base_loadlib(lua_State* L)
{
    lua_pushnil(L);
    lua_pushliteral(L, "dynamic libraries are not available");
    lua_pushliteral(L, "absent");
    return 3;
}

// ---- table sizes: 5.0's getn/setn with the `n` field -------------------------------------------------
int NumberField(lua_State* L, int t)
{
    lua_pushliteral(L, "n");
    lua_rawget(L, t);
    int n = lua_type(L, -1) == LUA_TNUMBER ? int(lua_tonumber(L, -1)) : -1;
    lua_pop(L, 1);
    return n;
}

int GetN(lua_State* L, int t)
{
    int n = NumberField(L, t);
    if (n >= 0) {
        return n;
    }
    lua_rawgeti(L, LUA_REGISTRYINDEX, Runtime(L).sizesRef);
    lua_pushvalue(L, t);
    lua_rawget(L, -2);
    n = lua_type(L, -1) == LUA_TNUMBER ? int(lua_tonumber(L, -1)) : -1;
    lua_pop(L, 2);
    if (n >= 0) {
        return n;
    }
    for (n = 0;; ++n) {
        lua_rawgeti(L, t, n + 1);
        bool end = lua_isnil(L, -1);
        lua_pop(L, 1);
        if (end) {
            return n;
        }
    }
}

void SetN(lua_State* L, int t, int n)
{
    if (NumberField(L, t) >= 0) {
        lua_pushliteral(L, "n");
        lua_pushnumber(L, n);
        lua_rawset(L, t);
        return;
    }
    lua_rawgeti(L, LUA_REGISTRYINDEX, Runtime(L).sizesRef);
    lua_pushvalue(L, t);
    lua_pushnumber(L, n);
    lua_rawset(L, -3);
    lua_pop(L, 1);
}

int Table_getn(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_pushnumber(L, GetN(L, 1));
    return 1;
}

int Table_setn(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    SetN(L, 1, luaL_checkint(L, 2));
    return 0;
}

int Table_insert(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    int n = GetN(L, 1) + 1;
    int pos;
    if (lua_gettop(L) == 2) {
        pos = n;
    } else {
        pos = luaL_checkint(L, 2);
        if (pos > n) {
            n = pos;
        }
        lua_settop(L, 3);
    }
    SetN(L, 1, n);
    for (int i = n; i > pos; --i) {
        lua_rawgeti(L, 1, i - 1);
        lua_rawseti(L, 1, i);
    }
    lua_rawseti(L, 1, pos);
    return 0;
}

int Table_remove(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    int n = GetN(L, 1);
    int pos = luaL_optint(L, 2, n);
    if (n <= 0) {
        return 0;
    }
    SetN(L, 1, n - 1);
    lua_rawgeti(L, 1, pos);
    for (; pos < n; ++pos) {
        lua_rawgeti(L, 1, pos + 1);
        lua_rawseti(L, 1, pos);
    }
    lua_pushnil(L);
    lua_rawseti(L, 1, n);
    return 1;
}

int Table_foreachi(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    int n = GetN(L, 1);
    for (int i = 1; i <= n; ++i) {
        lua_pushvalue(L, 2);
        lua_pushnumber(L, i);
        lua_rawgeti(L, 1, i);
        lua_call(L, 2, 1);
        if (!lua_isnil(L, -1)) {
            return 1;
        }
        lua_pop(L, 1);
    }
    return 0;
}

int Table_concat(lua_State* L)
{
    size_t sepLength = 0;
    const char* sep = luaL_optlstring(L, 2, "", &sepLength);
    luaL_checktype(L, 1, LUA_TTABLE);
    int i = luaL_optint(L, 3, 1);
    int last = luaL_opt(L, luaL_checkint, 4, GetN(L, 1));
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    for (; i <= last; ++i) {
        lua_rawgeti(L, 1, i);
        if (!lua_isstring(L, -1)) {
            return luaL_error(L, "table contains non-strings");
        }
        luaL_addvalue(&b);
        if (i != last) {
            luaL_addlstring(&b, sep, sepLength);
        }
    }
    luaL_pushresult(&b);
    return 1;
}

// Sorts t[1..getn(t)] with 5.1's sort (upvalue 1), through a copy when `n` says otherwise.
int Table_sort(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_settop(L, 2);
    int n = GetN(L, 1);
    if (size_t(n) == lua_objlen(L, 1)) {
        lua_pushvalue(L, lua_upvalueindex(1));
        lua_pushvalue(L, 1);
        lua_pushvalue(L, 2);
        lua_call(L, 2, 0);
        return 0;
    }
    lua_createtable(L, n, 0);
    for (int i = 1; i <= n; ++i) {
        lua_rawgeti(L, 1, i);
        lua_rawseti(L, 3, i);
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_pushvalue(L, 3);
    lua_pushvalue(L, 2);
    lua_call(L, 2, 0);
    for (int i = 1; i <= n; ++i) {
        lua_rawgeti(L, 3, i);
        lua_rawseti(L, 1, i);
    }
    return 0;
}

int Base_unpack(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    int n = GetN(L, 1);
    luaL_checkstack(L, n, "table too big to unpack");
    for (int i = 1; i <= n; ++i) {
        lua_rawgeti(L, 1, i);
    }
    return n;
}

// Calls the replacement function (upvalue 1) with the captures; a nil or false result stands
// for an empty replacement, as it did in 5.0 (5.1 keeps the match instead).
int String_gsubReplacement(lua_State* L)
{
    const int n = lua_gettop(L);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, n, 1);
    if (!lua_toboolean(L, -1)) {
        lua_pop(L, 1);
        lua_pushliteral(L, "");
    }
    return 1;
}

// string.gsub through 5.1's (upvalue 1), with a replacement function wrapped for 5.0's rule.
int String_gsub(lua_State* L)
{
    if (lua_isfunction(L, 3)) {
        lua_pushvalue(L, 3);
        lua_pushcclosure(L, String_gsubReplacement, 1);
        lua_replace(L, 3);
    }
    const int n = lua_gettop(L);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, n, LUA_MULTRET);
    return lua_gettop(L);
}

void SetFunction(lua_State* L, int table, const char* name, lua_CFunction f)
{
    lua_pushcfunction(L, f);
    lua_setfield(L, table, name);
}

} // namespace

void OpenBaseLib(lua_State* L)
{
    CallOpen(L, luaopen_base, "");
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    int g = lua_gettop(L);
    RegisterLoaderFunctions(L);
    SetFunction(L, g, "type", Base_type);
    SetFunction(L, g, "towstring", Base_towstring);
    SetFunction(L, g, "unpack", Base_unpack);
    lua_getfield(L, g, "collectgarbage");
    lua_pushcclosure(L, Base_collectgarbage, 1);
    lua_setfield(L, g, "collectgarbage");
    lua_pushliteral(L, "Lua 5.0");
    lua_setfield(L, g, "_VERSION");
    lua_newtable(L);
    lua_setfield(L, g, "_LOADED");
    lua_pop(L, 1);
}

void OpenTableLib(lua_State* L)
{
    CallOpen(L, luaopen_table, LUA_TABLIBNAME);
    lua_getglobal(L, LUA_TABLIBNAME);
    int t = lua_gettop(L);
    SetFunction(L, t, "getn", Table_getn);
    SetFunction(L, t, "setn", Table_setn);
    SetFunction(L, t, "insert", Table_insert);
    SetFunction(L, t, "remove", Table_remove);
    SetFunction(L, t, "foreachi", Table_foreachi);
    SetFunction(L, t, "concat", Table_concat);
    lua_getfield(L, t, "sort");
    lua_pushcclosure(L, Table_sort, 1);
    lua_setfield(L, t, "sort");
    lua_pop(L, 1);
}

void OpenIoLib(lua_State* L)
{
    CallOpen(L, luaopen_io, LUA_IOLIBNAME);
    CallOpen(L, luaopen_os, LUA_OSLIBNAME);
}

void OpenStringLib(lua_State* L)
{
    CallOpen(L, luaopen_string, LUA_STRLIBNAME);
    lua_getglobal(L, LUA_STRLIBNAME);
    SetFunction(L, lua_gettop(L), "lualex", StringLualex);
    lua_getfield(L, -1, "gsub");
    lua_pushcclosure(L, String_gsub, 1);
    lua_setfield(L, -2, "gsub");
    lua_setdefaultmetatable(L, LUA_TSTRING);
}

void OpenWStringLib(lua_State* L)
{
    lua_newtable(L);
    int t = lua_gettop(L);
    RegisterWStringFunctions(L, t);
    SetWideMetamethods(L, t);
    lua_pushvalue(L, t);
    lua_setglobal(L, "wstring");
    lua_setdefaultmetatable(L, LUA_TWSTRING);
}

void OpenMathLib(lua_State* L)
{
    CallOpen(L, luaopen_math, LUA_MATHLIBNAME);
    lua_getglobal(L, LUA_MATHLIBNAME);
    lua_getfield(L, -1, "pow");
    lua_setglobal(L, "__pow");
    lua_pop(L, 1);
}

void OpenDebugLib(lua_State* L)
{
    CallOpen(L, luaopen_debug, LUA_DBLIBNAME);
    lua_getglobal(L, LUA_DBLIBNAME);
    lua_getfield(L, -1, "traceback");
    lua_setglobal(L, "_TRACEBACK");
    lua_pop(L, 1);
}

void OpenLoadLib(lua_State* L)
{
    lua_pushcfunction(L, Base_loadlib);
    lua_setglobal(L, "loadlib");
}

void OpenDialectLibs(lua_State* L)
{
    OpenBaseLib(L);
    OpenTableLib(L);
    OpenIoLib(L);
    OpenStringLib(L);
    OpenWStringLib(L);
    OpenMathLib(L);
    OpenDebugLib(L);
    OpenLoadLib(L);
}

} // namespace QuillLua
