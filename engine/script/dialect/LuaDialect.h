#pragma once
// The script dialect's runtime on Lua 5.1: wide strings (interned full userdata whose metatable
// is the `wstring` table), per-type default metatables, state user data, the load-file
// callback, loading through the dialect front end, and the dialect's libraries.
//
// A state must come from NewDialectState(): the runtime keeps its per-state record behind
// the allocator's user pointer.

#include <lua.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace QuillLua {

// Type tag of wide strings, after the stock tags (thread is 8). lua_type() still reports
// LUA_TUSERDATA for them; use WideType() for the dialect's view.
constexpr int LUA_TWSTRING = 9;

// Reads a script file by name: true with the file's bytes, false when there is no such file.
// Empty bytes make the load fail too.
using LoadFileCallback = std::function<bool(const std::string& name, std::string& bytes)>;

// ---- states ------------------------------------------------------------------------------------
lua_State* NewDialectState();
void CloseDialectState(lua_State* L);

void* lua_getstateuserdata(lua_State* L);
void lua_setstateuserdata(lua_State* L, void* data);
void SetLoadFileCallback(lua_State* L, LoadFileCallback callback);

// Dialect type of a slot: LUA_TWSTRING for a wide string, otherwise lua_type().
int WideType(lua_State* L, int index);
const char* WideTypeName(lua_State* L, int index);

// ---- wide strings -------------------------------------------------------------------------------
// A wide string or a number (which converts).
bool lua_iswstring(lua_State* L, int index);
bool IsWideString(lua_State* L, int index); // a wide string only
// Units of a wide string (zero-terminated); a number is replaced in its slot by its wide form
// ("%.16g"). Null for any other value.
const char16_t* lua_towstring(lua_State* L, int index, size_t* length = nullptr);
void lua_pushlwstring(lua_State* L, const char16_t* units, size_t length);
void lua_pushwstring(lua_State* L, const char16_t* units); // null pushes nil
inline void PushWide(lua_State* L, std::u16string_view s)
{
    lua_pushlwstring(L, s.data(), s.size());
}
const char16_t* luaL_checklwstring(lua_State* L, int arg, size_t* length);
const char16_t* luaL_optlwstring(lua_State* L, int arg, const char16_t* def, size_t* length);

// Narrow text as wide: UTF-8 when the bytes are valid UTF-8, else the ANSI code page.
std::u16string WidenNarrow(std::string_view bytes);
// Number as text for wide coercions ("%.16g").
std::u16string NumberToWide(double value);
// A number, a numeric narrow string or a wide numeral as a number.
bool ToNumberEx(lua_State* L, int index, double& out);

// Wide string buffer: collects units, yields one interned wide string.
struct luaL_WBuffer {
    lua_State* L = nullptr;
    std::u16string units;
};
void luaL_wbuffinit(lua_State* L, luaL_WBuffer* buffer);
void luaL_addlwstring(luaL_WBuffer* buffer, const char16_t* units, size_t length);
void luaL_addwstring(luaL_WBuffer* buffer, const char16_t* units);
void luaL_addwchar(luaL_WBuffer* buffer, char16_t unit);
void luaL_pushwresult(luaL_WBuffer* buffer);

// ---- default metatables ---------------------------------------------------------------------------
// Pushes the default metatable of a type (nil when none).
void lua_getdefaultmetatable(lua_State* L, int type);
// Pops a table (or nil) and makes it the default metatable of values of `type` (not tables or
// userdata). A table without "__index" gets "__index" = itself, so keys are read from it.
void lua_setdefaultmetatable(lua_State* L, int type);

// ---- boxed pointers ------------------------------------------------------------------------------
// A full userdata that holds exactly one pointer.
void PushBoxedPointer(lua_State* L, void* pointer);
bool IsBoxedPointer(lua_State* L, int index);
// A light userdata's pointer, a boxed pointer's stored pointer, else a full userdata's block.
void* ToUserData(lua_State* L, int index);

// ---- bit operations --------------------------------------------------------------------------------
// Truncates toward zero and wraps modulo 2^32 (NaN and infinities give 0).
int32_t ToInt32(double value);

// ---- loading --------------------------------------------------------------------------------------
// Every loader runs dialect source through the front end; precompiled chunks bypass it.
// Source bytes starting FF FE are UTF-16LE, EF BB BF UTF-8, anything else one unit per byte.
int LoadDialectBuffer(lua_State* L, const char* data, size_t size, const char* chunkName);
int LoadDialectUnits(lua_State* L, std::u16string_view units, const char* chunkName);
// A file through the load-file callback (else the disk); chunk name "@" + name; a first line
// starting with '#' is skipped. Null reads standard input.
int LoadDialectFile(lua_State* L, const char* name);
int DoDialectString(lua_State* L, const char* text);
// Binds the dialect helpers to the upvalues of a loaded chunk at `index` that name them.
void BindDialectHelpers(lua_State* L, int index);

// ---- libraries -----------------------------------------------------------------------------------
// The libraries with the dialect's 5.0 behaviour; OpenDialectLibs opens them all in this order.
void OpenBaseLib(lua_State* L);
void OpenTableLib(lua_State* L);
void OpenIoLib(lua_State* L); // io and os, as one library
void OpenStringLib(lua_State* L);
void OpenWStringLib(lua_State* L);
void OpenMathLib(lua_State* L);
void OpenDebugLib(lua_State* L);
void OpenLoadLib(lua_State* L);
void OpenDialectLibs(lua_State* L);

// Raises "chunk:line: message" positioned at the calling script line.
[[noreturn]] void RaiseAtCaller(lua_State* L, const std::string& message);

} // namespace QuillLua
