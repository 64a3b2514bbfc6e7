// Fuzzes the dialect front end. Beyond "no crash, no hang": whatever the front end accepts must
// compile on Lua 5.1 (only 5.1's own size limits may still refuse it), in both source readings.
#include "engine/script/dialect/DialectTranslator.h"
#include "engine/script/dialect/LuaDialect.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool IsLimitError(const char* message)
{
    const char* const limits[] = {"too many", "overflow", "has more than",    "too complex",
                                  "too long", "C levels", "not enough memory"};
    for (const char* l : limits) {
        if (std::strstr(message, l)) {
            return true;
        }
    }
    return false;
}

void Check(lua_State* L, std::u16string_view units, QuillLua::SourceEncoding encoding)
{
    QuillLua::DialectResult r = QuillLua::TranslateDialect(units, encoding, "=fuzz");
    if (!r.ok) {
        return;
    }
    if (luaL_loadbuffer(L, r.code.data(), r.code.size(), "=fuzz") != 0) {
        const char* message = lua_tostring(L, -1);
        if (!IsLimitError(message)) {
            std::fprintf(stderr, "accepted dialect source does not compile: %s\n--- translation ---\n%s\n", message,
                         r.code.c_str());
            std::abort();
        }
    }
    lua_settop(L, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static lua_State* L = [] {
        lua_State* state = QuillLua::NewDialectState();
        QuillLua::OpenDialectLibs(state);
        return state;
    }();
    static int runs = 0;
    if (size > 64 * 1024) {
        return 0;
    }
    std::u16string bytes(data, data + size);
    Check(L, bytes, QuillLua::SourceEncoding::Bytes);
    std::u16string wide(size / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i) {
        wide[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    }
    Check(L, wide, QuillLua::SourceEncoding::Utf16);
    // the loader path too (BOM detection, helper binding); precompiled chunks are trusted data
    // read by Lua itself, so they stay out of the fuzzer's way
    if (size < 1 || data[0] != 0x1B) {
        QuillLua::LoadDialectBuffer(L, reinterpret_cast<const char*>(data), size, "=fuzz");
        lua_settop(L, 0);
    }
    if (++runs % 1000 == 0) {
        lua_gc(L, LUA_GCCOLLECT, 0);
    }
    return 0;
}
