// The value writer: script values as Lua text, and the dump globals built on it.
#include "engine/script/LuaOutFile.h"
#include "engine/script/LuaState.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace QuillLua {
namespace {

const char* const kReserved[] = {"and",    "break",    "continue", "do",   "else",  "elseif", "end", "false",
                                 "for",    "function", "if",       "in",   "local", "nil",    "not", "or",
                                 "repeat", "return",   "then",     "true", "until", "while"};

bool IsIdentifier(std::string_view s)
{
    if (s.empty() || (s[0] >= '0' && s[0] <= '9')) {
        return false;
    }
    for (char c : s) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) {
            return false;
        }
    }
    for (const char* r : kReserved) {
        if (s == r) {
            return false;
        }
    }
    return true;
}

void AppendEscape(std::string& out, unsigned c, bool wide)
{
    switch (c) {
    case 7:
        out += "\\a";
        return;
    case 8:
        out += "\\b";
        return;
    case 9:
        out += "\\t";
        return;
    case 10:
        out += "\\n";
        return;
    case 11:
        out += "\\v";
        return;
    case 12:
        out += "\\f";
        return;
    case 13:
        out += "\\r";
        return;
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    default:
        break;
    }
    if (c >= 32 && c < 127) {
        out += char(c);
        return;
    }
    char buf[8];
    std::snprintf(buf, sizeof(buf), wide ? "\\x%04x" : "\\x%02x", c);
    out += buf;
}

std::string QuoteNarrow(std::string_view s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        AppendEscape(out, c, false);
    }
    return out + "\"";
}

std::string QuoteWide(const char16_t* s, size_t n)
{
    std::string out = "L\"";
    for (size_t i = 0; i < n; ++i) {
        AppendEscape(out, s[i], true);
    }
    return out + "\"";
}

std::string FormatNumber(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%.14g", v);
    return buf;
}

int Absolute(lua_State* L, int index)
{
    return index < 0 && index > LUA_REGISTRYINDEX ? lua_gettop(L) + index + 1 : index;
}

// Keys of a table in writing order; they are kept in a table on the stack while in use.
class KeyList {
public:
    // Pushes the key table. Integer keys 1..skipUpTo are left out; keys that cannot be written as
    // Lua text (tables, functions, userdata) are left out too.
    KeyList(lua_State* L, int table, bool sort, int skipUpTo) : L_(L)
    {
        lua_newtable(L);
        keys_ = lua_gettop(L);
        lua_pushnil(L);
        int n = 0;
        while (lua_next(L, table)) {
            lua_pop(L, 1);
            int t = WideType(L, -1);
            if (t == LUA_TNUMBER) {
                double d = lua_tonumber(L, -1);
                if (d >= 1 && d <= skipUpTo && d == double(int(d))) {
                    continue;
                }
            } else if (t != LUA_TSTRING && t != LUA_TWSTRING && t != LUA_TBOOLEAN) {
                continue;
            }
            lua_pushvalue(L, -1);
            lua_rawseti(L, keys_, ++n);
            Entry e{t == LUA_TNUMBER ? 0 : t == LUA_TSTRING ? 1 : t == LUA_TWSTRING ? 2 : 3, 0, {}, {}, n};
            if (t == LUA_TNUMBER) {
                e.number = lua_tonumber(L, -1);
            } else if (t == LUA_TBOOLEAN) {
                e.number = lua_toboolean(L, -1);
            } else if (t == LUA_TSTRING) {
                size_t len = 0;
                const char* s = lua_tolstring(L, -1, &len);
                e.text.assign(s, len);
            } else {
                size_t len = 0;
                const char16_t* s = lua_towstring(L, -1, &len);
                e.wide.assign(s, len);
            }
            entries_.push_back(std::move(e));
        }
        // Mixed key types are ordered numbers, strings, wide strings, booleans.
        if (sort) {
            std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
                if (a.rank != b.rank) {
                    return a.rank < b.rank;
                }
                if (a.rank == 1) {
                    return a.text < b.text;
                }
                if (a.rank == 2) {
                    return a.wide < b.wide;
                }
                return a.number < b.number;
            });
        }
    }
    ~KeyList() { lua_remove(L_, keys_); }

    size_t Size() const { return entries_.size(); }
    void PushKey(size_t i) const { lua_rawgeti(L_, keys_, entries_[i].slot); }

private:
    struct Entry {
        int rank;
        double number;
        std::string text;
        std::u16string wide;
        int slot;
    };
    lua_State* L_;
    int keys_;
    std::vector<Entry> entries_;
};

int FilePrint(lua_State* L);
int FileIndent(lua_State* L);

class ValueWriter {
public:
    ValueWriter(lua_State* L, LuaOutFile& sink, int flags, int maxDepth)
        : L_(L), sink_(sink), flags_(flags), maxDepth_(unsigned(maxDepth))
    {
    }

    bool Write(int key, int value, int depth)
    {
        key = key ? Absolute(L_, key) : 0;
        value = Absolute(L_, value);
        int type = WideType(L_, value);
        if (type == LUA_TNIL) {
            return false;
        }
        if (type == LUA_TFUNCTION || type == LUA_TUSERDATA || type == LUA_TLIGHTUSERDATA || type == LUA_TTHREAD) {
            if (!(flags_ & LuaState::kDumpFunctions) || !key) {
                return false;
            }
            std::string line = "-- " + KeyText(key);
            if (type == LUA_TFUNCTION) {
                lua_Debug ar;
                lua_pushvalue(L_, value);
                lua_getinfo(L_, ">S", &ar);
                char buf[32];
                std::snprintf(buf, sizeof(buf), " %d'\r\n", ar.linedefined);
                line += " = '!!!FUNCTION!!! " + std::string(ar.source ? ar.source : "?") + buf;
            } else {
                line += " = '!!!USERDATA!!!'\r\n";
            }
            sink_.Write(line);
            return true;
        }
        const void* table = type == LUA_TTABLE ? lua_topointer(L_, value) : nullptr;
        if (table && std::find(path_.begin(), path_.end(), table) != path_.end()) {
            return false; // a cycle: the table is already being written on this path
        }
        std::string prefix = unsigned(depth) < maxDepth_ ? std::string(size_t(std::max(depth, 0)), '\t') : " ";
        if (key) {
            prefix += KeyText(key) + " = ";
        }
        if (table && depth != -1 && HasFormattedWrite(value)) {
            sink_.Write(prefix);
            return CallFormattedWrite(key, value, depth);
        }
        if (!(table && depth == -1)) {
            sink_.Write(prefix);
        }
        switch (type) {
        case LUA_TBOOLEAN:
            sink_.Write(lua_toboolean(L_, value) ? "true" : "false");
            break;
        case LUA_TNUMBER:
            sink_.Write(FormatNumber(lua_tonumber(L_, value)));
            break;
        case LUA_TSTRING: {
            size_t n = 0;
            const char* s = lua_tolstring(L_, value, &n);
            sink_.Write(QuoteNarrow({s, n}));
            break;
        }
        case LUA_TWSTRING: {
            size_t n = 0;
            const char16_t* s = lua_towstring(L_, value, &n);
            sink_.Write(QuoteWide(s, n));
            break;
        }
        case LUA_TTABLE:
            path_.push_back(table);
            WriteTable(value, depth);
            path_.pop_back();
            return true;
        default:
            break;
        }
        if (depth == 0 && maxDepth_ != 0) {
            sink_.Write("\r\n");
        }
        return true;
    }

private:
    std::string KeyText(int key)
    {
        switch (WideType(L_, key)) {
        case LUA_TNUMBER:
            return "[" + FormatNumber(lua_tonumber(L_, key)) + "]";
        case LUA_TSTRING: {
            size_t n = 0;
            const char* s = lua_tolstring(L_, key, &n);
            std::string_view text(s, n);
            return IsIdentifier(text) ? std::string(text) : "[" + QuoteNarrow(text) + "]";
        }
        case LUA_TWSTRING: {
            size_t n = 0;
            const char16_t* s = lua_towstring(L_, key, &n);
            return "[" + QuoteWide(s, n) + "]";
        }
        case LUA_TBOOLEAN:
            return lua_toboolean(L_, key) ? "[true]" : "[false]";
        default:
            return "[?]";
        }
    }

    bool HasFormattedWrite(int value)
    {
        lua_getfield(L_, value, "FormattedWrite");
        bool has = lua_isfunction(L_, -1);
        lua_pop(L_, 1);
        return has;
    }

    bool CallFormattedWrite(int key, int value, int depth)
    {
        const std::pair<const char*, lua_CFunction> helpers[] = {{"LuaFilePrint", FilePrint},
                                                                 {"LuaFileIndent", FileIndent}};
        for (const auto& [name, function] : helpers) {
            lua_getglobal(L_, name);
            bool absent = lua_isnil(L_, -1);
            lua_pop(L_, 1);
            if (absent) {
                lua_register(L_, name, function);
            }
        }
        lua_getfield(L_, value, "FormattedWrite");
        lua_pushvalue(L_, value);
        lua_pushlightuserdata(L_, &sink_);
        key ? lua_pushvalue(L_, key) : lua_pushnil(L_);
        lua_pushnumber(L_, depth);
        lua_pushnumber(L_, flags_);
        lua_call(L_, 5, 0);
        return true;
    }

    void LineBreak(bool on)
    {
        if (on) {
            sink_.Write("\r\n");
        }
    }

    void WriteTable(int table, int depth)
    {
        bool braces = depth != -1;
        bool lines = unsigned(depth + 1) < maxDepth_;
        std::string tabs(size_t(std::max(depth, 0)), '\t');
        if (braces) {
            if (lines) {
                sink_.Write("\r\n" + tabs);
            }
            if (flags_ & LuaState::kDumpAddresses) {
                char buf[48];
                std::snprintf(buf, sizeof(buf), "{ --%8" PRIxPTR "\r\n", uintptr_t(lua_topointer(L_, table)));
                sink_.Write(buf);
            } else {
                sink_.Write("{");
                LineBreak(lines);
            }
        }
        int sequence = 0;
        for (;; ++sequence) {
            lua_rawgeti(L_, table, sequence + 1);
            if (lua_isnil(L_, -1)) {
                lua_pop(L_, 1);
                break;
            }
            if (sequence > 0 && braces) {
                sink_.Write(",");
                LineBreak(lines);
            }
            Write(0, -1, depth + 1);
            lua_pop(L_, 1);
        }
        KeyList keys(L_, table, flags_ & LuaState::kDumpSort, sequence);
        if (sequence > 0 && braces) {
            sink_.Write(keys.Size() > 0 ? ", " : ",");
            LineBreak(lines);
        }
        for (size_t i = 0; i < keys.Size(); ++i) {
            keys.PushKey(i);
            lua_pushvalue(L_, -1);
            lua_rawget(L_, table);
            if (Write(-2, -1, depth + 1) && braces) {
                sink_.Write(",");
                LineBreak(lines);
            }
            lua_pop(L_, 2);
        }
        if (!braces) {
            return;
        }
        if (lines) {
            sink_.Write(tabs);
        }
        sink_.Write("}");
        if (depth == 0) {
            if (maxDepth_ > 1) {
                sink_.Write("\r\n\r\n");
            } else if (maxDepth_ != 0) {
                sink_.Write("\r\n");
            }
        }
    }

    lua_State* L_;
    LuaOutFile& sink_;
    int flags_;
    unsigned maxDepth_;
    std::vector<const void*> path_;
};

LuaOutFile* SinkArgument(lua_State* L, int arg)
{
    if (lua_type(L, arg) == LUA_TLIGHTUSERDATA || lua_type(L, arg) == LUA_TUSERDATA) {
        return static_cast<LuaOutFile*>(ToUserData(L, arg));
    }
    return nullptr;
}

// LuaFilePrint(sink, format, ...): string.format's text written to the sink.
int FilePrint(lua_State* L)
{
    LuaOutFile* sink = SinkArgument(L, 1);
    luaL_argcheck(L, sink, 1, "file expected");
    lua_getglobal(L, "string");
    lua_getfield(L, -1, "format");
    lua_remove(L, -2);
    lua_replace(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    size_t n = 0;
    const char* text = lua_tolstring(L, -1, &n);
    if (text) {
        sink->Write({text, n});
    }
    return 0;
}

int FileIndent(lua_State* L)
{
    LuaOutFile* sink = SinkArgument(L, 1);
    luaL_argcheck(L, sink, 1, "file expected");
    int n = luaL_checkint(L, 2);
    if (n > 0) {
        sink->Write(std::string(size_t(std::min(n, 1000)), '\t'));
    }
    return 0;
}

// The sink named by argument 1: a file name (opened "wb"), "@..." for the debug output when
// allowed, or a userdata pointing at a sink. Null when it cannot be opened.
LuaOutFile* OpenSink(lua_State* L, bool allowDebug, std::unique_ptr<LuaOutFile>& owned)
{
    if (lua_type(L, 1) == LUA_TSTRING) {
        const char* name = lua_tostring(L, 1);
        if (allowDebug && name[0] == '@') {
            owned = std::make_unique<LuaDebugOutFile>();
        } else {
            owned = std::make_unique<LuaOutFile>();
        }
        if (!owned->Open(name)) {
            return nullptr;
        }
        return owned.get();
    }
    return SinkArgument(L, 1);
}

bool OptBoolean(lua_State* L, int arg, bool def)
{
    return lua_isnoneornil(L, arg) ? def : lua_toboolean(L, arg) != 0;
}

int DumpGlobals(lua_State* L)
{
    std::unique_ptr<LuaOutFile> owned;
    LuaOutFile* sink = OpenSink(L, false, owned);
    if (!sink) {
        lua_pushboolean(L, 0);
        return 1;
    }
    int flags =
        (OptBoolean(L, 2, true) ? LuaState::kDumpSort : 0) | (OptBoolean(L, 4, false) ? LuaState::kDumpFunctions : 0);
    int maxDepth = luaL_optint(L, 3, -1);
    ValueWriter writer(L, *sink, flags, maxDepth);
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    int globals = lua_gettop(L);
    {
        KeyList keys(L, globals, flags & LuaState::kDumpSort, 0);
        for (size_t i = 0; i < keys.Size(); ++i) {
            keys.PushKey(i);
            lua_pushvalue(L, -1);
            lua_rawget(L, globals);
            if (!lua_rawequal(L, -1, globals)) {
                writer.Write(-2, -1, 0);
            }
            lua_pop(L, 2);
        }
    }
    if (owned) {
        owned->Close();
    }
    lua_pushboolean(L, 1);
    return 1;
}

// LuaDumpObject / LuaDumpFile (file, key, value, sort, depth, max depth, functions)
int DumpObject(lua_State* L)
{
    std::unique_ptr<LuaOutFile> owned;
    LuaOutFile* sink = OpenSink(L, true, owned);
    if (!sink) {
        lua_pushboolean(L, 0);
        return 1;
    }
    lua_settop(L, 7);
    int flags =
        (OptBoolean(L, 4, true) ? LuaState::kDumpSort : 0) | (OptBoolean(L, 7, false) ? LuaState::kDumpFunctions : 0);
    int depth = luaL_optint(L, 5, 0);
    int maxDepth = luaL_optint(L, 6, -1);
    ValueWriter writer(L, *sink, flags, maxDepth);
    bool wrote = writer.Write(lua_isnil(L, 2) ? 0 : 2, 3, depth);
    if (owned) {
        owned->Close();
    }
    lua_pushboolean(L, wrote);
    return 1;
}

// LuaDumpBinary(source, destination): the source loaded through the file loader, written as a
// precompiled chunk of this build.
int DumpBinaryWriter(lua_State*, const void* data, size_t size, void* file)
{
    return std::fwrite(data, 1, size, static_cast<FILE*>(file)) == size ? 0 : 1;
}

int DumpBinary(lua_State* L)
{
    const char* source = luaL_checkstring(L, 1);
    const char* destination = luaL_checkstring(L, 2);
    if (LoadDialectFile(L, source) != 0) {
        lua_pushboolean(L, 0);
        return 1;
    }
    FILE* f = std::fopen(destination, "wb");
    if (!f) {
        lua_pushboolean(L, 0);
        return 1;
    }
    bool ok = lua_dump(L, DumpBinaryWriter, f) == 0;
    ok = std::fclose(f) == 0 && ok;
    lua_pushboolean(L, ok);
    return 1;
}

struct DumpCall {
    LuaOutFile* sink;
    bool hasKey;
    int flags, depth, maxDepth;
    bool wrote;
};

// Arguments: key, value, the DumpCall.
int DumpValueProtected(lua_State* L)
{
    auto* c = static_cast<DumpCall*>(lua_touserdata(L, 3));
    ValueWriter writer(L, *c->sink, c->flags, c->maxDepth);
    c->wrote = writer.Write(c->hasKey ? 1 : 0, 2, c->depth);
    return 0;
}

} // namespace

void RegisterDumpGlobals(lua_State* L)
{
    lua_register(L, "LuaDumpBinary", DumpBinary);
    lua_register(L, "LuaDumpGlobals", DumpGlobals);
    lua_register(L, "LuaDumpObject", DumpObject);
    lua_register(L, "LuaDumpFile", DumpObject);
}

bool LuaState::DumpValue(LuaOutFile& sink, int keyIndex, int valueIndex, int flags, int depth, int maxDepth)
{
    keyIndex = keyIndex ? Absolute(L_, keyIndex) : 0;
    valueIndex = Absolute(L_, valueIndex);
    DumpCall call{&sink, keyIndex != 0, flags, depth, maxDepth, false};
    lua_pushcfunction(L_, DumpValueProtected);
    keyIndex ? lua_pushvalue(L_, keyIndex) : lua_pushnil(L_);
    lua_pushvalue(L_, valueIndex);
    lua_pushlightuserdata(L_, &call);
    if (lua_pcall(L_, 3, 0, 0) != 0) {
        lua_pop(L_, 1);
        return false;
    }
    return call.wrote;
}

} // namespace QuillLua
