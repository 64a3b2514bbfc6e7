#include "engine/core/strings/EngineString.h"
#include "engine/script/dialect/DialectRuntime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace QuillLua {
namespace {

bool IsBinaryChunk(const char* data, size_t size)
{
    return size >= 4 && std::memcmp(data, LUA_SIGNATURE, 4) == 0;
}

int LoadTranslated(lua_State* L, std::u16string_view units, SourceEncoding encoding, const char* chunkName)
{
    DialectResult r = TranslateDialect(units, encoding, chunkName);
    if (!r.ok) {
        lua_pushlstring(L, r.error.data(), r.error.size());
        return LUA_ERRSYNTAX;
    }
    int status = luaL_loadbuffer(L, r.code.data(), r.code.size(), chunkName);
    if (status != 0 || r.helpers == 0) {
        return status;
    }
    // The translated chunk returns the script's function, a closure over the helpers.
    status = lua_pcall(L, 0, 1, 0);
    if (status != 0) {
        return status;
    }
    BindDialectHelpers(L, -1);
    return 0;
}

int LoadBytes(lua_State* L, const char* data, size_t size, const char* chunkName, bool skipHashLine)
{
    if (IsBinaryChunk(data, size)) {
        int status = luaL_loadbuffer(L, data, size, chunkName);
        if (status == 0) {
            BindDialectHelpers(L, -1);
        }
        return status;
    }
    std::u16string units;
    SourceEncoding encoding = SourceEncoding::Bytes;
    auto* b = reinterpret_cast<const unsigned char*>(data);
    if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        encoding = SourceEncoding::Utf16;
        units.resize((size - 2) / 2);
        for (size_t i = 0; i < units.size(); ++i) {
            units[i] = char16_t(b[2 + 2 * i] | (b[3 + 2 * i] << 8));
        }
    } else if (size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        encoding = SourceEncoding::Utf8;
        units = QuillEngine::FromUtf8(std::string_view(data + 3, size - 3));
    } else {
        units.assign(b, b + size);
    }
    std::u16string_view view = units;
    if (skipHashLine && !view.empty() && view[0] == u'#') {
        size_t nl = view.find(u'\n');
        view = nl == std::u16string_view::npos ? std::u16string_view() : view.substr(nl);
    }
    return LoadTranslated(L, view, encoding, chunkName);
}

int LoadResult(lua_State* L, int status)
{
    if (status == 0) {
        return 1;
    }
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

int Base_loadstring(lua_State* L)
{
    size_t n = 0;
    const char* s = luaL_checklstring(L, 1, &n);
    const char* chunk = luaL_optstring(L, 2, s);
    return LoadResult(L, LoadDialectBuffer(L, s, n, chunk));
}

int Base_loadfile(lua_State* L)
{
    const char* name = luaL_optstring(L, 1, nullptr);
    return LoadResult(L, LoadDialectFile(L, name));
}

int Base_dofile(lua_State* L)
{
    const char* name = luaL_optstring(L, 1, nullptr);
    int base = lua_gettop(L);
    if (LoadDialectFile(L, name) != 0) {
        lua_error(L);
    }
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - base;
}

int Base_load(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TFUNCTION);
    const char* chunk = luaL_optstring(L, 2, "=(load)");
    std::string source;
    for (;;) {
        lua_pushvalue(L, 1);
        lua_call(L, 0, 1);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            break;
        }
        if (!lua_isstring(L, -1)) {
            luaL_error(L, "reader function must return a string");
        }
        size_t n = 0;
        const char* piece = lua_tolstring(L, -1, &n);
        lua_pop(L, 1);
        if (n == 0) {
            break;
        }
        source.append(piece, n);
    }
    return LoadResult(L, LoadDialectBuffer(L, source.data(), source.size(), chunk));
}

// 5.0 require: _LOADED, LUA_PATH (global, else the environment, else "?;?.lua"), _REQUIREDNAME.
int Base_require(lua_State* L)
{
    const char* name = luaL_checkstring(L, 1);
    lua_settop(L, 1);
    lua_getglobal(L, "_LOADED");
    if (!lua_istable(L, 2)) {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_setglobal(L, "_LOADED");
    }
    lua_getfield(L, 2, name);
    if (lua_toboolean(L, -1)) {
        return 1;
    }
    lua_pop(L, 1);
    std::string path;
    lua_getglobal(L, "LUA_PATH");
    if (lua_isstring(L, -1)) {
        path = lua_tostring(L, -1);
    } else if (const char* env = std::getenv("LUA_PATH")) {
        path = env;
    } else {
        path = "?;?.lua";
    }
    lua_pop(L, 1);
    bool loaded = false;
    size_t pos = 0;
    while (!loaded && pos <= path.size()) {
        size_t end = path.find(';', pos);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string file;
        for (size_t i = pos; i < end; ++i) {
            if (path[i] == '?') {
                file += name;
            } else {
                file += path[i];
            }
        }
        pos = end + 1;
        if (file.empty()) {
            continue;
        }
        int status = LoadDialectFile(L, file.c_str());
        if (status == 0) {
            loaded = true;
        } else if (status == LUA_ERRFILE) {
            lua_pop(L, 1);
        } else {
            luaL_error(L, "error loading package `%s' (%s)", name, lua_tostring(L, -1));
        }
    }
    if (!loaded) {
        luaL_error(L, "could not load package `%s' from path `%s'", name, path.c_str());
    }
    // stack: name, _LOADED, chunk
    lua_pushboolean(L, 1);
    lua_setfield(L, 2, name); // guards against loops
    lua_getglobal(L, "_REQUIREDNAME");
    lua_insert(L, 3); // name, _LOADED, old, chunk
    lua_pushvalue(L, 1);
    lua_setglobal(L, "_REQUIREDNAME");
    int status = lua_pcall(L, 0, 1, 0);
    lua_pushvalue(L, 3);
    lua_setglobal(L, "_REQUIREDNAME");
    if (status != 0) {
        lua_pushnil(L);
        lua_setfield(L, 2, name);
        lua_error(L);
    }
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        lua_pushboolean(L, 1);
    }
    lua_pushvalue(L, -1);
    lua_setfield(L, 2, name);
    return 1;
}

} // namespace

void BindDialectHelpers(lua_State* L, int index)
{
    index = index < 0 && index > LUA_REGISTRYINDEX ? lua_gettop(L) + index + 1 : index;
    if (lua_type(L, index) != LUA_TFUNCTION || lua_iscfunction(L, index)) {
        return;
    }
    DialectRuntime& rt = Runtime(L);
    for (int i = 1;; ++i) {
        const char* name = lua_getupvalue(L, index, i);
        if (!name) {
            break;
        }
        lua_pop(L, 1);
        for (int h = 0; h < kHelperCount; ++h) {
            if (std::strcmp(name, kHelperNames[h]) == 0) {
                lua_rawgeti(L, LUA_REGISTRYINDEX, rt.helperRefs[h]);
                lua_setupvalue(L, index, i);
                break;
            }
        }
    }
}

int LoadDialectBuffer(lua_State* L, const char* data, size_t size, const char* chunkName)
{
    return LoadBytes(L, data, size, chunkName, false);
}

int LoadDialectUnits(lua_State* L, std::u16string_view units, const char* chunkName)
{
    return LoadTranslated(L, units, SourceEncoding::Utf16, chunkName);
}

int LoadDialectFile(lua_State* L, const char* name)
{
    std::string bytes;
    std::string chunk;
    if (!name) {
        chunk = "=stdin";
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof(buf), stdin)) > 0) {
            bytes.append(buf, n);
        }
    } else {
        chunk = std::string("@") + name;
        DialectRuntime& rt = Runtime(L);
        bool found;
        if (rt.loadFile) {
            found = rt.loadFile(name, bytes) && !bytes.empty();
        } else {
            FILE* f = std::fopen(name, "rb");
            found = f != nullptr;
            if (f) {
                char buf[8192];
                size_t n;
                while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) {
                    bytes.append(buf, n);
                }
                found = !std::ferror(f);
                std::fclose(f);
            }
        }
        if (!found) {
            lua_pushfstring(L, "cannot open %s", name);
            return LUA_ERRFILE;
        }
    }
    return LoadBytes(L, bytes.data(), bytes.size(), chunk.c_str(), true);
}

int DoDialectString(lua_State* L, const char* text)
{
    int status = LoadDialectBuffer(L, text, std::strlen(text), text);
    if (status == 0) {
        status = lua_pcall(L, 0, LUA_MULTRET, 0);
    }
    return status;
}

void RegisterLoaderFunctions(lua_State* L)
{
    const luaL_Reg functions[] = {{"loadstring", Base_loadstring}, {"loadfile", Base_loadfile},
                                  {"dofile", Base_dofile},         {"load", Base_load},
                                  {"require", Base_require},       {nullptr, nullptr}};
    for (const luaL_Reg* r = functions; r->name; ++r) {
        lua_pushcfunction(L, r->func);
        lua_setglobal(L, r->name);
    }
}

} // namespace QuillLua
