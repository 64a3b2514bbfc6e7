#include "engine/core/strings/EngineString.h"
#include "engine/script/dialect/DialectRuntime.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace QuillLua {
namespace {

void* Allocate(void* ud, void* ptr, size_t, size_t nsize)
{
    (void)ud;
    if (nsize == 0) {
        std::free(ptr);
        return nullptr;
    }
    return std::realloc(ptr, nsize);
}

int Panic(lua_State* L)
{
    std::fprintf(stderr, "unprotected error in a script call: %s\n", lua_tostring(L, -1) ? lua_tostring(L, -1) : "?");
    return 0;
}

const WideHeader* WideBlock(lua_State* L, int index)
{
    if (lua_type(L, index) != LUA_TUSERDATA) {
        return nullptr;
    }
    DialectRuntime& rt = Runtime(L);
    lua_getfenv(L, index);
    bool marked = lua_topointer(L, -1) == rt.wideMarker;
    lua_pop(L, 1);
    if (!marked) {
        return nullptr;
    }
    auto* h = static_cast<const WideHeader*>(lua_touserdata(L, index));
    size_t size = lua_objlen(L, index);
    if (size < sizeof(WideHeader) || size != sizeof(WideHeader) + (size_t(h->length) + 1) * sizeof(char16_t)) {
        return nullptr;
    }
    return h;
}

const char16_t* Units(const WideHeader* h)
{
    return reinterpret_cast<const char16_t*>(h + 1);
}

// Pushes the interned wide string whose UTF-16LE bytes are the string at `keyIndex`; the intern
// table is at `internIndex`.
void PushInterned(lua_State* L, int internIndex, int keyIndex)
{
    lua_pushvalue(L, keyIndex);
    lua_rawget(L, internIndex);
    if (lua_type(L, -1) == LUA_TUSERDATA) {
        return;
    }
    lua_pop(L, 1);
    size_t bytes = 0;
    const char* src = lua_tolstring(L, keyIndex, &bytes);
    size_t length = bytes / 2;
    if (length > 0x7FFFFFF0u) {
        luaL_error(L, "wide string too long");
    }
    auto* h = static_cast<WideHeader*>(lua_newuserdata(L, sizeof(WideHeader) + (length + 1) * sizeof(char16_t)));
    h->length = uint32_t(length);
    h->reserved = 0;
    auto* units = reinterpret_cast<char16_t*>(h + 1);
    for (size_t i = 0; i < length; ++i) {
        units[i] = char16_t(uint8_t(src[2 * i]) | (uint8_t(src[2 * i + 1]) << 8));
    }
    units[length] = 0;
    DialectRuntime& rt = Runtime(L);
    lua_rawgeti(L, LUA_REGISTRYINDEX, rt.wideMarkerRef);
    lua_setfenv(L, -2);
    lua_rawgeti(L, LUA_REGISTRYINDEX, rt.wideMetaRef);
    lua_setmetatable(L, -2);
    lua_pushvalue(L, keyIndex);
    lua_pushvalue(L, -2);
    lua_rawset(L, internIndex);
}

// __q_w(bytes): the wide literal of a translated chunk. Upvalue 1 is the intern table.
int WideLiteral(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TSTRING);
    PushInterned(L, lua_upvalueindex(1), 1);
    return 1;
}

// ---- wide metamethods ------------------------------------------------------------------------
std::u16string ConcatOperand(lua_State* L, int index)
{
    if (const WideHeader* h = WideBlock(L, index)) {
        return std::u16string(Units(h), h->length);
    }
    switch (lua_type(L, index)) {
    case LUA_TNUMBER:
        return NumberToWide(lua_tonumber(L, index));
    case LUA_TSTRING: {
        size_t n = 0;
        const char* s = lua_tolstring(L, index, &n);
        return WidenNarrow(std::string_view(s, n));
    }
    default:
        RaiseAtCaller(L, std::string("attempt to concatenate a ") + WideTypeName(L, index) + " value");
    }
}

bool Concatenable(lua_State* L, int index)
{
    int t = lua_type(L, index);
    return t == LUA_TNUMBER || t == LUA_TSTRING || WideBlock(L, index);
}

int WideConcat(lua_State* L)
{
    // The wide operand's metamethod came first; the other operand's own "__concat" still gets
    // its turn for values a wide string cannot take.
    for (int other = 1; other <= 2; ++other) {
        if (!Concatenable(L, other) && luaL_getmetafield(L, other, "__concat")) {
            if (lua_tocfunction(L, -1) == WideConcat) {
                lua_pop(L, 1);
                continue;
            }
            lua_pushvalue(L, 1);
            lua_pushvalue(L, 2);
            lua_call(L, 2, 1);
            return 1;
        }
    }
    std::u16string s = ConcatOperand(L, 1);
    s += ConcatOperand(L, 2);
    PushWide(L, s);
    return 1;
}

int CompareWide(lua_State* L)
{
    const WideHeader* a = WideBlock(L, 1);
    const WideHeader* b = WideBlock(L, 2);
    if (!a || !b) {
        RaiseAtCaller(L, std::string("attempt to compare ") + WideTypeName(L, 1) + " with " + WideTypeName(L, 2));
    }
    return std::u16string_view(Units(a), a->length).compare(std::u16string_view(Units(b), b->length));
}
int WideLess(lua_State* L)
{
    lua_pushboolean(L, CompareWide(L) < 0);
    return 1;
}
int WideLessEqual(lua_State* L)
{
    lua_pushboolean(L, CompareWide(L) <= 0);
    return 1;
}

template <typename Op> int WideArith(lua_State* L, Op op)
{
    double a = 0, b = 0;
    if (!ToNumberEx(L, 1, a)) {
        RaiseAtCaller(L, std::string("attempt to perform arithmetic on a ") + WideTypeName(L, 1) + " value");
    }
    if (!ToNumberEx(L, 2, b)) {
        RaiseAtCaller(L, std::string("attempt to perform arithmetic on a ") + WideTypeName(L, 2) + " value");
    }
    lua_pushnumber(L, op(a, b));
    return 1;
}
int WideAdd(lua_State* L)
{
    return WideArith(L, [](double a, double b) { return a + b; });
}
int WideSub(lua_State* L)
{
    return WideArith(L, [](double a, double b) { return a - b; });
}
int WideMul(lua_State* L)
{
    return WideArith(L, [](double a, double b) { return a * b; });
}
int WideDiv(lua_State* L)
{
    return WideArith(L, [](double a, double b) { return a / b; });
}
int WideUnm(lua_State* L)
{
    return WideArith(L, [](double a, double) { return -a; });
}

int WideToString(lua_State* L)
{
    lua_pushfstring(L, "wstring: %p", lua_topointer(L, 1));
    return 1;
}

// ---- bit helpers -----------------------------------------------------------------------------------
bool BitOperands(lua_State* L, int32_t& a, int32_t& b)
{
    // lua_tonumber gives 0 for anything but a number or numeral, so only a 0 needs a closer look.
    double x = lua_tonumber(L, 1);
    double y = lua_tonumber(L, 2);
    if ((x == 0 || y == 0) && (!ToNumberEx(L, 1, x) || !ToNumberEx(L, 2, y))) {
        return false;
    }
    a = ToInt32(x);
    b = ToInt32(y);
    return true;
}

[[noreturn]] void BitError(lua_State* L)
{
    double d;
    int bad = ToNumberEx(L, 1, d) ? 2 : 1;
    RaiseAtCaller(L, std::string("attempt to perform arithmetic on a ") + WideTypeName(L, bad) + " value");
}

int BitAnd(lua_State* L)
{
    int32_t a, b;
    if (!BitOperands(L, a, b)) {
        BitError(L);
    }
    lua_pushnumber(L, a & b);
    return 1;
}
int BitOr(lua_State* L)
{
    int32_t a, b;
    if (!BitOperands(L, a, b)) {
        BitError(L);
    }
    lua_pushnumber(L, a | b);
    return 1;
}
int BitShl(lua_State* L)
{
    int32_t a, b;
    if (!BitOperands(L, a, b)) {
        BitError(L);
    }
    lua_pushnumber(L, int32_t(uint32_t(a) << (uint32_t(b) & 31)));
    return 1;
}
int BitShr(lua_State* L)
{
    int32_t a, b;
    if (!BitOperands(L, a, b)) {
        BitError(L);
    }
    lua_pushnumber(L, int32_t(uint32_t(a) >> (uint32_t(b) & 31)));
    return 1;
}
// ^ : exclusive or on two numbers, otherwise the "__pow" metamethod of either operand.
int BitXor(lua_State* L)
{
    int32_t a, b;
    if (BitOperands(L, a, b)) {
        lua_pushnumber(L, a ^ b);
        return 1;
    }
    lua_settop(L, 2);
    if (!luaL_getmetafield(L, 1, "__pow") && !luaL_getmetafield(L, 2, "__pow")) {
        BitError(L);
    }
    lua_insert(L, 1);
    lua_call(L, 2, 1);
    return 1;
}

int TableNext(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_settop(L, 2);
    if (lua_next(L, 1)) {
        return 2;
    }
    lua_pushnil(L);
    return 1;
}

// __q_in(f, s, c): generic for over a table walks it with next, as 5.0 did.
int ForIn(lua_State* L)
{
    if (lua_type(L, 1) == LUA_TTABLE) {
        lua_settop(L, 1);
        lua_pushcfunction(L, TableNext);
        lua_insert(L, 1);
        lua_pushnil(L);
        return 3;
    }
    return lua_gettop(L);
}

} // namespace

DialectRuntime& Runtime(lua_State* L)
{
    void* ud = nullptr;
    lua_getallocf(L, &ud);
    return *static_cast<DialectRuntime*>(ud);
}

void RaiseAtCaller(lua_State* L, const std::string& message)
{
    luaL_where(L, 1);
    lua_pushlstring(L, message.data(), message.size());
    lua_concat(L, 2);
    lua_error(L);
    std::abort(); // lua_error does not return
}

lua_State* NewDialectState()
{
    auto* rt = new DialectRuntime;
    lua_State* L = lua_newstate(Allocate, rt);
    if (!L) {
        delete rt;
        return nullptr;
    }
    lua_atpanic(L, Panic);
    InstallWideRuntime(L);
    return L;
}

void CloseDialectState(lua_State* L)
{
    if (!L) {
        return;
    }
    DialectRuntime* rt = &Runtime(L);
    lua_close(L);
    delete rt;
}

void* lua_getstateuserdata(lua_State* L)
{
    return Runtime(L).stateUserData;
}
void lua_setstateuserdata(lua_State* L, void* data)
{
    Runtime(L).stateUserData = data;
}
void SetLoadFileCallback(lua_State* L, LoadFileCallback callback)
{
    Runtime(L).loadFile = std::move(callback);
}

void SetWideMetamethods(lua_State* L, int table)
{
    table = table < 0 ? lua_gettop(L) + table + 1 : table;
    const luaL_Reg methods[] = {{"__concat", WideConcat}, {"__lt", WideLess}, {"__le", WideLessEqual},
                                {"__add", WideAdd},       {"__sub", WideSub}, {"__mul", WideMul},
                                {"__div", WideDiv},       {"__unm", WideUnm}, {"__tostring", WideToString},
                                {nullptr, nullptr}};
    for (const luaL_Reg* r = methods; r->name; ++r) {
        lua_pushcfunction(L, r->func);
        lua_setfield(L, table, r->name);
    }
}

void InstallWideRuntime(lua_State* L)
{
    DialectRuntime& rt = Runtime(L);
    lua_newtable(L);
    rt.wideMarker = lua_topointer(L, -1);
    rt.wideMarkerRef = luaL_ref(L, LUA_REGISTRYINDEX);
    lua_newtable(L);
    rt.boxMarker = lua_topointer(L, -1);
    rt.boxMarkerRef = luaL_ref(L, LUA_REGISTRYINDEX);

    lua_newtable(L); // intern table, weak values
    lua_newtable(L);
    lua_pushliteral(L, "v");
    lua_setfield(L, -2, "__mode");
    lua_setmetatable(L, -2);
    lua_pushvalue(L, -1);
    rt.internRef = luaL_ref(L, LUA_REGISTRYINDEX);

    lua_newtable(L); // the first wide metatable; the wstring library replaces it
    SetWideMetamethods(L, -1);
    lua_pushvalue(L, -1);
    lua_setfield(L, -2, "__index");
    rt.wideMetaRef = luaL_ref(L, LUA_REGISTRYINDEX);

    lua_newtable(L); // table.setn sizes, weak keys
    lua_newtable(L);
    lua_pushliteral(L, "k");
    lua_setfield(L, -2, "__mode");
    lua_setmetatable(L, -2);
    rt.sizesRef = luaL_ref(L, LUA_REGISTRYINDEX);

    const lua_CFunction helpers[kHelperCount] = {nullptr, BitAnd, BitOr, BitXor, BitShl, BitShr, ForIn};
    for (int i = 0; i < kHelperCount; ++i) {
        if (i == 0) {
            lua_pushvalue(L, -1); // intern table as upvalue
            lua_pushcclosure(L, WideLiteral, 1);
        } else {
            lua_pushcfunction(L, helpers[i]);
        }
        rt.helperRefs[i] = luaL_ref(L, LUA_REGISTRYINDEX);
    }
    lua_pop(L, 1); // intern table
}

int WideType(lua_State* L, int index)
{
    int t = lua_type(L, index);
    return (t == LUA_TUSERDATA && WideBlock(L, index)) ? LUA_TWSTRING : t;
}

const char* WideTypeName(lua_State* L, int index)
{
    int t = WideType(L, index);
    return t == LUA_TWSTRING ? "wstring" : lua_typename(L, t);
}

bool IsWideString(lua_State* L, int index)
{
    return WideBlock(L, index) != nullptr;
}

bool lua_iswstring(lua_State* L, int index)
{
    return lua_type(L, index) == LUA_TNUMBER || IsWideString(L, index);
}

const char16_t* lua_towstring(lua_State* L, int index, size_t* length)
{
    if (lua_type(L, index) == LUA_TNUMBER) {
        index = index < 0 && index > LUA_REGISTRYINDEX ? lua_gettop(L) + index + 1 : index;
        PushWide(L, NumberToWide(lua_tonumber(L, index)));
        lua_replace(L, index);
    }
    const WideHeader* h = WideBlock(L, index);
    if (!h) {
        if (length) {
            *length = 0;
        }
        return nullptr;
    }
    if (length) {
        *length = h->length;
    }
    return Units(h);
}

void lua_pushlwstring(lua_State* L, const char16_t* units, size_t length)
{
    DialectRuntime& rt = Runtime(L);
    lua_rawgeti(L, LUA_REGISTRYINDEX, rt.internRef);
    std::string key(length * 2, '\0');
    for (size_t i = 0; i < length; ++i) {
        key[2 * i] = char(units[i] & 0xFF);
        key[2 * i + 1] = char(units[i] >> 8);
    }
    lua_pushlstring(L, key.data(), key.size());
    int top = lua_gettop(L);
    PushInterned(L, top - 1, top);
    lua_replace(L, top - 1);
    lua_pop(L, 1);
}

void lua_pushwstring(lua_State* L, const char16_t* units)
{
    if (!units) {
        lua_pushnil(L);
        return;
    }
    lua_pushlwstring(L, units, std::char_traits<char16_t>::length(units));
}

const char16_t* luaL_checklwstring(lua_State* L, int arg, size_t* length)
{
    const char16_t* s = lua_towstring(L, arg, length);
    if (!s) {
        std::string msg = std::string("wstring expected, got ") + WideTypeName(L, arg);
        luaL_argerror(L, arg, msg.c_str());
    }
    return s;
}

const char16_t* luaL_optlwstring(lua_State* L, int arg, const char16_t* def, size_t* length)
{
    if (lua_isnoneornil(L, arg)) {
        if (length) {
            *length = def ? std::char_traits<char16_t>::length(def) : 0;
        }
        return def;
    }
    return luaL_checklwstring(L, arg, length);
}

std::u16string WidenNarrow(std::string_view bytes)
{
    bool ascii = true;
    for (unsigned char c : bytes) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        return std::u16string(bytes.begin(), bytes.end());
    }
    return QuillEngine::IsValidUtf8(bytes) ? QuillEngine::FromUtf8(bytes) : QuillEngine::FromCp1252(bytes);
}

std::u16string NumberToWide(double value)
{
    char buf[64];
    int n = std::snprintf(buf, sizeof(buf), "%.16g", value);
    return std::u16string(buf, buf + n);
}

bool ToNumberEx(lua_State* L, int index, double& out)
{
    int t = lua_type(L, index);
    if (t == LUA_TNUMBER || t == LUA_TSTRING) {
        if (!lua_isnumber(L, index)) {
            return false;
        }
        out = lua_tonumber(L, index);
        return true;
    }
    const WideHeader* h = WideBlock(L, index);
    if (!h || h->length == 0 || h->length > 200) {
        return false;
    }
    std::string narrow;
    for (uint32_t i = 0; i < h->length; ++i) {
        char16_t u = Units(h)[i];
        if (u == 0 || u >= 0x80) {
            return false;
        }
        narrow += char(u);
    }
    lua_pushlstring(L, narrow.data(), narrow.size());
    bool ok = lua_isnumber(L, -1) != 0;
    out = ok ? lua_tonumber(L, -1) : 0;
    lua_pop(L, 1);
    return ok;
}

void luaL_wbuffinit(lua_State* L, luaL_WBuffer* buffer)
{
    buffer->L = L;
    buffer->units.clear();
}
void luaL_addlwstring(luaL_WBuffer* buffer, const char16_t* units, size_t length)
{
    buffer->units.append(units, length);
}
void luaL_addwstring(luaL_WBuffer* buffer, const char16_t* units)
{
    buffer->units.append(units);
}
void luaL_addwchar(luaL_WBuffer* buffer, char16_t unit)
{
    buffer->units.push_back(unit);
}
void luaL_pushwresult(luaL_WBuffer* buffer)
{
    PushWide(buffer->L, buffer->units);
}

namespace {

// Pushes a value of a type whose metatable is shared by every value of that type (its default
// metatable); false, with nothing pushed, for tables and userdata, which carry their own.
bool PushRepresentative(lua_State* L, int type)
{
    switch (type) {
    case LUA_TNIL:
        lua_pushnil(L);
        break;
    case LUA_TBOOLEAN:
        lua_pushboolean(L, 0);
        break;
    case LUA_TLIGHTUSERDATA:
        lua_pushlightuserdata(L, nullptr);
        break;
    case LUA_TNUMBER:
        lua_pushnumber(L, 0);
        break;
    case LUA_TSTRING:
        lua_pushliteral(L, "");
        break;
    case LUA_TFUNCTION:
        lua_pushcfunction(L, TableNext);
        break;
    case LUA_TTHREAD:
        lua_pushthread(L);
        break;
    default:
        return false;
    }
    return true;
}

} // namespace

void lua_getdefaultmetatable(lua_State* L, int type)
{
    switch (type) {
    case LUA_TWSTRING:
        lua_rawgeti(L, LUA_REGISTRYINDEX, Runtime(L).wideMetaRef);
        return;
    default:
        if (!PushRepresentative(L, type)) {
            lua_pushnil(L);
            return; // tables and userdata carry their own
        }
    }
    if (!lua_getmetatable(L, -1)) {
        lua_pushnil(L);
    }
    lua_remove(L, -2);
}

void lua_setdefaultmetatable(lua_State* L, int type)
{
    if (lua_istable(L, -1)) {
        lua_getfield(L, -1, "__index");
        bool hasIndex = !lua_isnil(L, -1);
        lua_pop(L, 1);
        if (!hasIndex) {
            lua_pushvalue(L, -1);
            lua_setfield(L, -2, "__index");
        }
    } else if (!lua_isnil(L, -1) || type == LUA_TWSTRING) {
        luaL_error(L, "default metatable must be a table");
    }
    DialectRuntime& rt = Runtime(L);
    switch (type) {
    case LUA_TWSTRING: {
        // Wide strings are userdata with their own metatable slot: retarget the existing ones.
        lua_pushvalue(L, -1);
        lua_rawseti(L, LUA_REGISTRYINDEX, rt.wideMetaRef);
        lua_rawgeti(L, LUA_REGISTRYINDEX, rt.internRef);
        lua_pushnil(L);
        while (lua_next(L, -2)) {
            lua_pushvalue(L, -4);
            lua_setmetatable(L, -2);
            lua_pop(L, 1);
        }
        lua_pop(L, 2);
        return;
    }
    default:
        if (!PushRepresentative(L, type)) {
            lua_pop(L, 1);
            return;
        }
    }
    lua_insert(L, -2);
    lua_setmetatable(L, -2);
    lua_pop(L, 1);
}

void PushBoxedPointer(lua_State* L, void* pointer)
{
    auto** slot = static_cast<void**>(lua_newuserdata(L, sizeof(void*)));
    *slot = pointer;
    lua_rawgeti(L, LUA_REGISTRYINDEX, Runtime(L).boxMarkerRef);
    lua_setfenv(L, -2);
}

bool IsBoxedPointer(lua_State* L, int index)
{
    if (lua_type(L, index) != LUA_TUSERDATA || lua_objlen(L, index) != sizeof(void*)) {
        return false;
    }
    lua_getfenv(L, index);
    bool boxed = lua_topointer(L, -1) == Runtime(L).boxMarker;
    lua_pop(L, 1);
    return boxed;
}

void* ToUserData(lua_State* L, int index)
{
    if (IsBoxedPointer(L, index)) {
        return *static_cast<void**>(lua_touserdata(L, index));
    }
    return lua_touserdata(L, index);
}

int32_t ToInt32(double value)
{
    if (value >= -2147483648.0 && value < 2147483648.0) {
        return int32_t(value); // truncates toward zero
    }
    if (!std::isfinite(value)) {
        return 0;
    }
    double m = std::fmod(std::trunc(value), 4294967296.0);
    if (m < 0) {
        m += 4294967296.0;
    }
    return int32_t(uint32_t(m));
}

std::string ToStringNarrow(lua_State* L, int index)
{
    index = index < 0 && index > LUA_REGISTRYINDEX ? lua_gettop(L) + index + 1 : index;
    if (luaL_callmeta(L, index, "__tostring")) {
        size_t n = 0;
        const char* s = lua_tolstring(L, -1, &n);
        std::string out = s ? std::string(s, n) : std::string();
        lua_pop(L, 1);
        return out;
    }
    char buf[64];
    switch (lua_type(L, index)) {
    case LUA_TNUMBER:
    case LUA_TSTRING: {
        lua_pushvalue(L, index);
        size_t n = 0;
        const char* s = lua_tolstring(L, -1, &n);
        std::string out(s, n);
        lua_pop(L, 1);
        return out;
    }
    case LUA_TBOOLEAN:
        return lua_toboolean(L, index) ? "true" : "false";
    case LUA_TNIL:
        return "nil";
    default:
        std::snprintf(buf, sizeof(buf), "%s: %p", WideTypeName(L, index), lua_topointer(L, index));
        return buf;
    }
}

} // namespace QuillLua
