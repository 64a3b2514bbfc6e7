#pragma once
// A dialect state with every library open, and helpers to run snippets in it.

#include "engine/script/dialect/LuaDialect.h"

#include <string>

namespace QuillTest {

class DialectState {
public:
    DialectState()
    {
        L = QuillLua::NewDialectState();
        QuillLua::OpenDialectLibs(L);
    }
    ~DialectState() { QuillLua::CloseDialectState(L); }
    DialectState(const DialectState&) = delete;
    DialectState& operator=(const DialectState&) = delete;

    // Runs dialect source; returns "" on success, else the error message.
    std::string Run(const std::string& source, const char* chunk = "=test")
    {
        int status = QuillLua::LoadDialectBuffer(L, source.data(), source.size(), chunk);
        if (status == 0) {
            status = lua_pcall(L, 0, 0, 0);
        }
        if (status == 0) {
            return "";
        }
        std::string msg = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(no message)";
        lua_pop(L, 1);
        return msg;
    }

    // Evaluates one dialect expression and returns type(v) .. ":" .. the value as narrow text
    // (wide strings as UTF-8), or "error:" + message.
    std::string Eval(const std::string& expression)
    {
        std::string err = Run("__result = " + expression);
        if (!err.empty()) {
            return "error:" + err;
        }
        lua_getglobal(L, "__result");
        std::string out = QuillLua::WideTypeName(L, -1);
        out += ':';
        if (QuillLua::IsWideString(L, -1)) {
            size_t n = 0;
            const char16_t* s = QuillLua::lua_towstring(L, -1, &n);
            for (size_t i = 0; i < n; ++i) {
                if (s[i] < 0x80) {
                    out += char(s[i]);
                } else {
                    char buf[12];
                    std::snprintf(buf, sizeof(buf), "\\x%04x", unsigned(s[i]));
                    out += buf;
                }
            }
        } else if (lua_isstring(L, -1) || lua_isboolean(L, -1) || lua_isnil(L, -1)) {
            lua_getglobal(L, "tostring");
            lua_pushvalue(L, -2);
            lua_call(L, 1, 1);
            out += lua_tostring(L, -1);
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
        return out;
    }

    lua_State* L;
};

} // namespace QuillTest
