// The `wstring` library (string functions on 16-bit units) and `lualex`.
#include "engine/script/dialect/DialectRuntime.h"
#include "engine/script/dialect/WidePattern.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace QuillLua {
namespace {

std::u16string_view CheckWide(lua_State* L, int arg)
{
    size_t n = 0;
    const char16_t* s = luaL_checklwstring(L, arg, &n);
    return {s, n};
}

// Relative position: negative counts from the end.
ptrdiff_t RelativePosition(ptrdiff_t pos, size_t length)
{
    return pos >= 0 ? pos : ptrdiff_t(length) + pos + 1;
}

char16_t AsciiLower(char16_t c)
{
    return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
}
char16_t AsciiUpper(char16_t c)
{
    return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c;
}

int W_len(lua_State* L)
{
    lua_pushnumber(L, double(CheckWide(L, 1).size()));
    return 1;
}

int W_sub(lua_State* L)
{
    std::u16string_view s = CheckWide(L, 1);
    ptrdiff_t i = RelativePosition(luaL_checkinteger(L, 2), s.size());
    ptrdiff_t j = RelativePosition(luaL_optinteger(L, 3, -1), s.size());
    if (i < 1) {
        i = 1;
    }
    if (j > ptrdiff_t(s.size())) {
        j = ptrdiff_t(s.size());
    }
    if (i <= j) {
        PushWide(L, s.substr(size_t(i - 1), size_t(j - i + 1)));
    } else {
        PushWide(L, u"");
    }
    return 1;
}

template <char16_t (*Map)(char16_t)> int W_case(lua_State* L)
{
    std::u16string s(CheckWide(L, 1));
    for (char16_t& c : s) {
        c = Map(c);
    }
    PushWide(L, s);
    return 1;
}

int W_rep(lua_State* L)
{
    std::u16string_view s = CheckWide(L, 1);
    lua_Integer n = luaL_checkinteger(L, 2);
    if (n <= 0 || s.empty()) {
        PushWide(L, u"");
        return 1;
    }
    constexpr size_t kMaxUnits = size_t(1) << 28;
    if (size_t(n) > kMaxUnits / s.size()) {
        return luaL_error(L, "resulting string too large");
    }
    std::u16string out;
    out.reserve(s.size() * size_t(n));
    for (lua_Integer k = 0; k < n; ++k) {
        out += s;
    }
    PushWide(L, out);
    return 1;
}

int W_byte(lua_State* L)
{
    std::u16string_view s = CheckWide(L, 1);
    ptrdiff_t i = RelativePosition(luaL_optinteger(L, 2, 1), s.size());
    luaL_argcheck(L, i >= 1 && size_t(i) <= s.size(), 2, "out of range");
    lua_pushnumber(L, s[size_t(i - 1)]);
    return 1;
}

int W_char(lua_State* L)
{
    int n = lua_gettop(L);
    std::u16string out;
    out.reserve(size_t(n));
    for (int i = 1; i <= n; ++i) {
        double v = luaL_checknumber(L, i);
        luaL_argcheck(L, v >= 0 && v <= 65535 && v == std::floor(v), i, "invalid value");
        out += char16_t(v);
    }
    PushWide(L, out);
    return 1;
}

int PushCapture(lua_State* L, WidePattern& m, int i, const char16_t* s, const char16_t* e)
{
    if (i >= m.CaptureCount()) {
        if (i == 0) {
            PushWide(L, std::u16string_view(s, size_t(e - s)));
            return 1;
        }
        luaL_error(L, "invalid capture index");
    }
    const WidePattern::Capture& c = m.CaptureAt(i);
    if (c.length == WidePattern::kPosition) {
        lua_pushnumber(L, double(c.init - m.SubjectBegin() + 1));
    } else if (c.length < 0) {
        luaL_error(L, "unfinished capture");
    } else {
        PushWide(L, std::u16string_view(c.init, size_t(c.length)));
    }
    return 1;
}

int PushCaptures(lua_State* L, WidePattern& m, const char16_t* s, const char16_t* e)
{
    int n = (m.CaptureCount() == 0 && s) ? 1 : m.CaptureCount();
    luaL_checkstack(L, n, "too many captures");
    for (int i = 0; i < n; ++i) {
        PushCapture(L, m, i, s, e);
    }
    return n;
}

int W_find(lua_State* L)
{
    std::u16string_view s = CheckWide(L, 1);
    std::u16string_view p = CheckWide(L, 2);
    ptrdiff_t init = RelativePosition(luaL_optinteger(L, 3, 1), s.size());
    luaL_argcheck(L, init >= 1 && size_t(init) <= s.size() + 1, 3, "out of range");
    size_t start = size_t(init - 1);
    if (lua_toboolean(L, 4) || WidePattern::IsPlain(p)) {
        size_t at = s.find(p, start);
        if (at == std::u16string_view::npos) {
            lua_pushnil(L);
            return 1;
        }
        lua_pushnumber(L, double(at + 1));
        lua_pushnumber(L, double(at + p.size()));
        return 2;
    }
    try {
        bool anchor = !p.empty() && p[0] == '^';
        WidePattern m(s, anchor ? p.substr(1) : p);
        const char16_t* from = s.data() + start;
        do {
            if (const char16_t* e = m.MatchAt(from)) {
                lua_pushnumber(L, double(from - s.data() + 1));
                lua_pushnumber(L, double(e - s.data()));
                return PushCaptures(L, m, nullptr, nullptr) + 2;
            }
        } while (from++ < m.SubjectEnd() && !anchor);
    } catch (const PatternError& e) {
        return luaL_error(L, "%s", e.what());
    }
    lua_pushnil(L);
    return 1;
}

// Iterator of gfind: upvalues subject, pattern, position.
int GfindStep(lua_State* L)
{
    size_t sn = 0, pn = 0;
    const char16_t* s = lua_towstring(L, lua_upvalueindex(1), &sn);
    const char16_t* p = lua_towstring(L, lua_upvalueindex(2), &pn);
    size_t pos = size_t(lua_tonumber(L, lua_upvalueindex(3)));
    try {
        WidePattern m({s, sn}, {p, pn});
        for (const char16_t* from = s + pos; from <= s + sn; ++from) {
            if (const char16_t* e = m.MatchAt(from)) {
                size_t next = size_t(e - s);
                if (e == from) {
                    ++next; // an empty match moves on by one unit
                }
                lua_pushnumber(L, double(next));
                lua_replace(L, lua_upvalueindex(3));
                return PushCaptures(L, m, from, e);
            }
        }
    } catch (const PatternError& e) {
        return luaL_error(L, "%s", e.what());
    }
    return 0;
}

int W_gfind(lua_State* L)
{
    CheckWide(L, 1);
    CheckWide(L, 2);
    lua_settop(L, 2);
    lua_pushnumber(L, 0);
    lua_pushcclosure(L, GfindStep, 3);
    return 1;
}

void AddReplacement(lua_State* L, WidePattern& m, const char16_t* s, const char16_t* e, std::u16string& out)
{
    if (lua_iswstring(L, 3) || lua_type(L, 3) == LUA_TSTRING) {
        std::u16string narrowRepl;
        std::u16string_view repl;
        if (lua_type(L, 3) == LUA_TSTRING) {
            size_t n = 0;
            const char* t = lua_tolstring(L, 3, &n);
            narrowRepl = WidenNarrow({t, n});
            repl = narrowRepl;
        } else {
            size_t n = 0;
            const char16_t* t = lua_towstring(L, 3, &n);
            repl = {t, n};
        }
        for (size_t i = 0; i < repl.size(); ++i) {
            char16_t c = repl[i];
            if (c != '%' || i + 1 >= repl.size()) {
                out += c;
                continue;
            }
            c = repl[++i];
            if (c < '0' || c > '9') {
                out += c;
                continue;
            }
            if (c == '0') {
                out.append(s, size_t(e - s));
                continue;
            }
            PushCapture(L, m, c - '1', s, e);
            size_t n = 0;
            const char16_t* cap = lua_towstring(L, -1, &n);
            out.append(cap, n);
            lua_pop(L, 1);
        }
        return;
    }
    if (lua_isfunction(L, 3)) {
        lua_pushvalue(L, 3);
        int n = PushCaptures(L, m, s, e);
        lua_call(L, n, 1);
        // A function's nil or false means "replace with nothing", as in 5.0's string library.
        if (!lua_toboolean(L, -1)) {
            lua_pop(L, 1);
            return;
        }
    } else if (lua_istable(L, 3)) {
        PushCapture(L, m, 0, s, e);
        lua_gettable(L, 3);
    } else {
        luaL_argerror(L, 3, "string or function expected");
    }
    if (!lua_toboolean(L, -1)) {
        out.append(s, size_t(e - s));
    } else if (lua_iswstring(L, -1)) {
        size_t n = 0;
        const char16_t* r = lua_towstring(L, -1, &n);
        out.append(r, n);
    } else if (lua_type(L, -1) == LUA_TSTRING) {
        size_t n = 0;
        const char* r = lua_tolstring(L, -1, &n);
        out += WidenNarrow({r, n});
    } else {
        luaL_error(L, "invalid replacement value (a %s)", WideTypeName(L, -1));
    }
    lua_pop(L, 1);
}

int W_gsub(lua_State* L)
{
    std::u16string_view s = CheckWide(L, 1);
    std::u16string_view p = CheckWide(L, 2);
    luaL_checkany(L, 3);
    lua_Integer maxN = luaL_optinteger(L, 4, lua_Integer(s.size()) + 1);
    bool anchor = !p.empty() && p[0] == '^';
    std::u16string out;
    lua_Integer count = 0;
    try {
        WidePattern m(s, anchor ? p.substr(1) : p);
        const char16_t* src = s.data();
        const char16_t* end = s.data() + s.size();
        while (count < maxN) {
            const char16_t* e = m.MatchAt(src);
            if (e) {
                ++count;
                AddReplacement(L, m, src, e, out);
            }
            if (e && e > src) {
                src = e;
            } else if (src < end) {
                out += *src++;
            } else {
                break;
            }
            if (anchor) {
                break;
            }
        }
        out.append(src, size_t(end - src));
    } catch (const PatternError& e) {
        return luaL_error(L, "%s", e.what());
    }
    PushWide(L, out);
    lua_pushnumber(L, double(count));
    return 2;
}

// ---- format ------------------------------------------------------------------------------------
void AppendAscii(std::u16string& out, const char* s, int n)
{
    for (int i = 0; i < n; ++i) {
        out += char16_t(uint8_t(s[i]));
    }
}

void AppendHex(std::u16string& out, unsigned value, int digits)
{
    static const char kHex[] = "0123456789abcdef";
    for (int d = digits - 1; d >= 0; --d) {
        out += char16_t(kHex[(value >> (4 * d)) & 0xF]);
    }
}

// The quoting writer: a wide string as L"..." (\x with four digits above 255 or unprintable),
// a narrow one as "..." (\x with two digits).
void AppendQuoted(lua_State* L, int arg, std::u16string& out)
{
    bool wide = IsWideString(L, arg);
    std::u16string text;
    if (wide) {
        size_t n = 0;
        const char16_t* s = lua_towstring(L, arg, &n);
        text.assign(s, n);
        out += u"L\"";
    } else {
        size_t n = 0;
        const char* s = luaL_checklstring(L, arg, &n);
        for (size_t i = 0; i < n; ++i) {
            text += char16_t(uint8_t(s[i]));
        }
        out += u'"';
    }
    for (char16_t c : text) {
        switch (c) {
        case 7:
            out += u"\\a";
            break;
        case 8:
            out += u"\\b";
            break;
        case 9:
            out += u"\\t";
            break;
        case 10:
            out += u"\\n";
            break;
        case 11:
            out += u"\\v";
            break;
        case 12:
            out += u"\\f";
            break;
        case 13:
            out += u"\\r";
            break;
        case '"':
            out += u"\\\"";
            break;
        case '\\':
            out += u"\\\\";
            break;
        default:
            if (c >= 32 && c < 127) {
                out += c;
            } else if (wide) {
                out += u"\\x";
                AppendHex(out, c, 4);
            } else {
                out += u"\\x";
                AppendHex(out, c, 2);
            }
        }
    }
    out += u'"';
}

int W_format(lua_State* L)
{
    std::u16string_view fmt = CheckWide(L, 1);
    int arg = 1;
    std::u16string out;
    char buf[512];
    for (size_t i = 0; i < fmt.size(); ++i) {
        char16_t c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i >= fmt.size()) {
            return luaL_error(L, "invalid format (ends with `%%')");
        }
        if (fmt[i] == '%') {
            out += u'%';
            continue;
        }
        ++arg;
        // flags, width and precision: at most 2 digits each, as the narrow format
        std::string directive = "%";
        while (i < fmt.size() && std::strchr("-+ #0", char(fmt[i] < 128 ? fmt[i] : 1)) && directive.size() < 6) {
            directive += char(fmt[i++]);
        }
        for (int d = 0; d < 2 && i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9'; ++d) {
            directive += char(fmt[i++]);
        }
        bool hasPrecision = false;
        if (i < fmt.size() && fmt[i] == '.') {
            hasPrecision = true;
            directive += char(fmt[i++]);
            for (int d = 0; d < 2 && i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9'; ++d) {
                directive += char(fmt[i++]);
            }
        }
        if (i >= fmt.size() || (fmt[i] >= '0' && fmt[i] <= '9')) {
            return luaL_error(L, "invalid format (width or precision too long)");
        }
        char16_t conv = fmt[i];
        int n = 0;
        switch (conv) {
        case 'c':
            out += char16_t(ToInt32(luaL_checknumber(L, arg)));
            continue;
        case 'd':
        case 'i':
        case 'o':
        case 'u':
        case 'x':
        case 'X': {
            double v = luaL_checknumber(L, arg);
            long long iv = (v >= -9.2e18 && v <= 9.2e18) ? (long long)v : 0;
            directive += "ll";
            directive += char(conv == 'i' ? 'd' : conv);
            n = std::snprintf(buf, sizeof(buf), directive.c_str(), iv);
            break;
        }
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
            directive += char(conv);
            n = std::snprintf(buf, sizeof(buf), directive.c_str(), double(luaL_checknumber(L, arg)));
            break;
        case 'q':
            AppendQuoted(L, arg, out);
            continue;
        case 's': {
            std::u16string text;
            if (lua_type(L, arg) == LUA_TSTRING) {
                size_t len = 0;
                const char* s = lua_tolstring(L, arg, &len);
                text = WidenNarrow({s, len});
            } else {
                size_t len = 0;
                const char16_t* s = luaL_checklwstring(L, arg, &len);
                text.assign(s, len);
            }
            // width and precision in units
            bool left = directive.find('-') != std::string::npos;
            size_t pos = 1;
            while (pos < directive.size() && std::strchr("-+ #0", directive[pos])) {
                ++pos;
            }
            size_t width = 0, precision = text.size();
            while (pos < directive.size() && directive[pos] != '.') {
                width = width * 10 + size_t(directive[pos++] - '0');
            }
            if (hasPrecision) {
                precision = 0;
                for (++pos; pos < directive.size(); ++pos) {
                    precision = precision * 10 + size_t(directive[pos] - '0');
                }
            }
            if (text.size() > precision) {
                text.resize(precision);
            }
            size_t pad = width > text.size() ? width - text.size() : 0;
            if (!left) {
                out.append(pad, u' ');
            }
            out += text;
            if (left) {
                out.append(pad, u' ');
            }
            continue;
        }
        default:
            return luaL_error(L, "invalid option to `format'");
        }
        AppendAscii(out, buf, n < 0 ? 0 : std::min(n, int(sizeof(buf) - 1)));
    }
    PushWide(L, out);
    return 1;
}

// ---- lualex ------------------------------------------------------------------------------------
bool IsHex(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(char16_t c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// Decodes backslash escapes; `emit(unit, decoded)` receives each unit.
template <typename Emit> void Lualex(std::u16string_view s, bool wide, Emit emit)
{
    size_t i = 0;
    while (i < s.size()) {
        char16_t c = s[i];
        if (c != '\\' || i + 1 >= s.size()) {
            emit(c, false); // a trailing backslash stays as it is
            ++i;
            continue;
        }
        char16_t e = s[i + 1];
        i += 2;
        switch (e) {
        case 'a':
            emit(7, true);
            break;
        case 'b':
            emit(8, true);
            break;
        case 'f':
            emit(12, true);
            break;
        case 'n':
            emit(10, true);
            break;
        case 'r':
            emit(13, true);
            break;
        case 't':
            emit(9, true);
            break;
        case 'v':
            emit(11, true);
            break;
        case 'x':
            if (i < s.size() && IsHex(s[i])) {
                unsigned value = 0;
                int maxDigits = wide ? 4 : 2;
                for (int d = 0; d < maxDigits && i < s.size() && IsHex(s[i]); ++d) {
                    value = value * 16 + unsigned(HexValue(s[i++]));
                }
                emit(char16_t(value), true);
            } else {
                emit(e, false);
            }
            break;
        default:
            if (e >= '0' && e <= '9') {
                unsigned value = unsigned(e - '0');
                for (int d = 1; d < 3 && i < s.size() && s[i] >= '0' && s[i] <= '9'; ++d) {
                    value = value * 10 + unsigned(s[i++] - '0');
                }
                emit(char16_t(value), true);
            } else {
                emit(e, false);
            }
        }
    }
}

bool WideFlag(lua_State* L, int arg)
{
    return lua_type(L, arg) == LUA_TNUMBER && lua_tonumber(L, arg) != 0;
}

int W_lualex(lua_State* L)
{
    std::u16string_view s = CheckWide(L, 1);
    std::u16string out;
    out.reserve(s.size());
    Lualex(s, WideFlag(L, 2), [&](char16_t u, bool) { out += u; });
    PushWide(L, out);
    return 1;
}

} // namespace

// string.lualex: a decoded unit above 255, or any decoded unit in wide mode, is written as two
// bytes, low byte first.
int StringLualex(lua_State* L)
{
    size_t n = 0;
    const char* s = luaL_checklstring(L, 1, &n);
    bool wide = WideFlag(L, 2);
    std::u16string units(n, u'\0');
    for (size_t i = 0; i < n; ++i) {
        units[i] = char16_t(uint8_t(s[i]));
    }
    std::string out;
    out.reserve(n);
    Lualex(units, wide, [&](char16_t u, bool decoded) {
        if (decoded && (wide || u > 255)) {
            out += char(u & 0xFF);
            out += char(u >> 8);
        } else {
            out += char(u & 0xFF);
        }
    });
    lua_pushlstring(L, out.data(), out.size());
    return 1;
}

void RegisterWStringFunctions(lua_State* L, int table)
{
    const luaL_Reg functions[] = {{"len", W_len},
                                  {"sub", W_sub},
                                  {"lower", W_case<AsciiLower>},
                                  {"upper", W_case<AsciiUpper>},
                                  {"rep", W_rep},
                                  {"byte", W_byte},
                                  {"char", W_char},
                                  {"find", W_find},
                                  {"gfind", W_gfind},
                                  {"gsub", W_gsub},
                                  {"format", W_format},
                                  {"lualex", W_lualex},
                                  {nullptr, nullptr}};
    for (const luaL_Reg* r = functions; r->name; ++r) {
        lua_pushcfunction(L, r->func);
        lua_setfield(L, table, r->name);
    }
}

} // namespace QuillLua
