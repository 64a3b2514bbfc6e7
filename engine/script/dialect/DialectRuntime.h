#pragma once
// Per-state record of the dialect runtime (private to engine/script).

#include "engine/script/dialect/DialectTranslator.h"
#include "engine/script/dialect/LuaDialect.h"

namespace QuillLua {

struct DialectRuntime {
    void* stateUserData = nullptr;
    LoadFileCallback loadFile;
    const void* wideMarker = nullptr; // environment table shared by every wide string
    const void* boxMarker = nullptr;  // environment table shared by every boxed pointer
    int wideMarkerRef = LUA_NOREF;
    int boxMarkerRef = LUA_NOREF;
    int internRef = LUA_NOREF;   // weak-valued: UTF-16LE bytes -> wide string
    int wideMetaRef = LUA_NOREF; // default metatable of wide strings
    int sizesRef = LUA_NOREF;    // weak-keyed: table -> size set by table.setn
    int helperRefs[kHelperCount] = {};
};

DialectRuntime& Runtime(lua_State* L);

// Header of a wide string's userdata block; the units and a zero unit follow.
struct WideHeader {
    uint32_t length;
    uint32_t reserved;
};

// Installs the wide-string metatable, intern table and dialect helpers into a new state.
void InstallWideRuntime(lua_State* L);
// Metamethods shared by the runtime's first wide metatable and the `wstring` table.
void SetWideMetamethods(lua_State* L, int table);
// The library table functions of `wstring` (len, sub, ..., lualex) and string.lualex.
void RegisterWStringFunctions(lua_State* L, int table);
int StringLualex(lua_State* L);
// Value as narrow text the way tostring does (metamethod "__tostring" honoured).
std::string ToStringNarrow(lua_State* L, int index);

} // namespace QuillLua

namespace QuillLua {
// Registers the dialect's loadstring, loadfile, dofile, load and require in the globals.
void RegisterLoaderFunctions(lua_State* L);
} // namespace QuillLua
