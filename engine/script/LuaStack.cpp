#include "engine/script/LuaStack.h"

#include "engine/script/LuaValueRef.h"

namespace QuillLua {

LuaCallHelper::LuaCallHelper(LuaState* state, const LuaValueRef& function) : state_(state)
{
    lua_State* L = state->GetCState();
    lua_getglobal(L, "_ALERT");
    handlerIndex_ = lua_gettop(L);
    if (function.GetState() == state) {
        function.Push();
    } else {
        lua_pushnil(L);
    }
}

void LuaCallHelper::PushNumber(double value)
{
    lua_pushnumber(state_->GetCState(), value);
    ++argumentCount_;
}

void LuaCallHelper::PushBoolean(bool value)
{
    lua_pushboolean(state_->GetCState(), value);
    ++argumentCount_;
}

void LuaCallHelper::PushString(const char* text)
{
    lua_pushstring(state_->GetCState(), text);
    ++argumentCount_;
}

void LuaCallHelper::PushWString(std::u16string_view text)
{
    PushWide(state_->GetCState(), text);
    ++argumentCount_;
}

void LuaCallHelper::PushUserData(void* pointer)
{
    PushBoxedPointer(state_->GetCState(), pointer);
    ++argumentCount_;
}

void LuaCallHelper::PushValue(const LuaValueRef& value)
{
    if (value.GetState() == state_) {
        value.Push();
    } else {
        lua_pushnil(state_->GetCState());
    }
    ++argumentCount_;
}

LuaStackRef LuaCallHelper::Run(int resultCount)
{
    lua_State* L = state_->GetCState();
    status_ = lua_pcall(L, argumentCount_, resultCount, handlerIndex_);
    argumentCount_ = 0;
    if (status_ == 0) {
        lua_remove(L, handlerIndex_);
        return LuaStackRef(state_, handlerIndex_);
    }
    return LuaStackRef(state_, handlerIndex_ + 1);
}

} // namespace QuillLua
