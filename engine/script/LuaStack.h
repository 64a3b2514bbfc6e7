#pragma once
// Stack-slot accessors, a stack-top guard and protected-call support.

#include "engine/script/LuaState.h"

namespace QuillLua {

class LuaValueRef;

// One stack slot; it does not pop.
class LuaStackRef {
public:
    LuaStackRef(LuaState* state, int index) : state_(state), index_(index) {}

    int GetIndex() const { return index_; }
    LuaState* GetState() const { return state_; }
    bool IsNil() const { return lua_isnil(L(), index_); }
    bool IsUserData() const { return lua_isuserdata(L(), index_) && !IsWideString(L(), index_); }
    bool IsNumber() const { return lua_type(L(), index_) == LUA_TNUMBER; }
    bool IsString() const { return lua_type(L(), index_) == LUA_TSTRING; }
    bool IsWString() const { return IsWideString(L(), index_); }
    bool IsBoolean() const { return lua_isboolean(L(), index_); }
    int GetInteger() const { return ToInt32(lua_tonumber(L(), index_)); }
    double GetNumber() const { return lua_tonumber(L(), index_); }
    const char* GetString() const { return lua_type(L(), index_) == LUA_TSTRING ? lua_tostring(L(), index_) : nullptr; }
    void* GetUserData() const { return ToUserData(L(), index_); }
    bool GetBoolean() const { return lua_toboolean(L(), index_) != 0; }

private:
    lua_State* L() const { return state_->GetCState(); }
    LuaState* state_;
    int index_;
};

// Restores the stack top when it goes out of scope.
class LuaStackGuard {
public:
    explicit LuaStackGuard(lua_State* L) : L_(L), top_(lua_gettop(L)) {}
    explicit LuaStackGuard(LuaState* state) : LuaStackGuard(state->GetCState()) {}
    ~LuaStackGuard() { lua_settop(L_, top_); }
    LuaStackGuard(const LuaStackGuard&) = delete;
    LuaStackGuard& operator=(const LuaStackGuard&) = delete;

private:
    lua_State* L_;
    int top_;
};

// A protected call of a function handle with _ALERT as the error handler. Use inside a
// LuaStackGuard: the handler, the function and the results stay on the stack.
class LuaCallHelper {
public:
    LuaCallHelper(LuaState* state, const LuaValueRef& function);

    void PushNumber(double value);
    void PushBoolean(bool value);
    void PushString(const char* text);
    void PushWString(std::u16string_view text);
    void PushUserData(void* pointer);
    void PushValue(const LuaValueRef& value);

    // Calls with the pushed arguments. On success the handler slot is removed and the result is
    // the first result's slot; on failure it is the error value's slot.
    LuaStackRef Run(int resultCount);
    int Status() const { return status_; }

private:
    LuaState* state_;
    int handlerIndex_;
    int argumentCount_ = 0;
    int status_ = 0;
};

} // namespace QuillLua
