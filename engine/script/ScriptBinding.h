#pragma once
// Binding engine operations to script names.
//
// A callee (a plain function, a member function, or a member function bound to one object) is
// stored by value in a userdata that becomes upvalue 1 of a native closure; the closure is set
// under a name in a table. One `ScriptDispatcher` and one `ScriptCallWrapper` are instantiated
// per callee type, so binding an operation of any supported signature needs no new code.
//
// Parameter types and the script value each requires (exact Lua type, no coercion):
//   float, double            number (float: rounded to single precision)
//   int32_t, uint32_t        number, truncated toward zero to 32 bits
//   bool                     boolean (nil is refused)
//   const char*, string_view string (its bytes; the callee decides how to read them)
//   LuaState*                no script argument: the calling state
// Results: void pushes nothing; numbers, bool and LuaValueRef (nil when unbound) push one value.

#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"

#include <array>
#include <cstdint>
#include <new>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace QuillLua {

// Raises the argument error as the script sees it: "bad argument #n to `name' (extra)", or for
// a method call, where n does not count self, "calling `name' on bad self (extra)" when the
// error is in self.
[[noreturn]] void ScriptArgError(lua_State* L, int argument, const char* extra);

// The object of a method call (argument 1): a boxed pointer's pointer, or the pointer in the
// boxed pointer that the table's "__object" member holds. Raises the script error otherwise.
void* GetScriptSelf(lua_State* L);

namespace Binding {

template <class T> struct Arg;

template <> struct Arg<float> {
    static constexpr int kSlots = 1;
    static bool Test(lua_State* L, int i) { return lua_type(L, i) == LUA_TNUMBER; }
    static float Get(lua_State* L, int i) { return static_cast<float>(lua_tonumber(L, i)); }
};
template <> struct Arg<double> {
    static constexpr int kSlots = 1;
    static bool Test(lua_State* L, int i) { return lua_type(L, i) == LUA_TNUMBER; }
    static double Get(lua_State* L, int i) { return lua_tonumber(L, i); }
};
template <> struct Arg<int32_t> {
    static constexpr int kSlots = 1;
    static bool Test(lua_State* L, int i) { return lua_type(L, i) == LUA_TNUMBER; }
    static int32_t Get(lua_State* L, int i) { return ToInt32(lua_tonumber(L, i)); }
};
template <> struct Arg<uint32_t> {
    static constexpr int kSlots = 1;
    static bool Test(lua_State* L, int i) { return lua_type(L, i) == LUA_TNUMBER; }
    static uint32_t Get(lua_State* L, int i) { return static_cast<uint32_t>(ToInt32(lua_tonumber(L, i))); }
};
template <> struct Arg<bool> {
    static constexpr int kSlots = 1;
    static bool Test(lua_State* L, int i) { return lua_type(L, i) == LUA_TBOOLEAN; }
    static bool Get(lua_State* L, int i) { return lua_toboolean(L, i) != 0; }
};
template <> struct Arg<const char*> {
    static constexpr int kSlots = 1;
    static bool Test(lua_State* L, int i) { return lua_type(L, i) == LUA_TSTRING; }
    static const char* Get(lua_State* L, int i) { return lua_tostring(L, i); }
};
template <> struct Arg<std::string_view> {
    static constexpr int kSlots = 1;
    static bool Test(lua_State* L, int i) { return lua_type(L, i) == LUA_TSTRING; }
    static std::string_view Get(lua_State* L, int i)
    {
        size_t length = 0;
        const char* text = lua_tolstring(L, i, &length);
        return std::string_view(text, length);
    }
};
template <> struct Arg<LuaState*> {
    static constexpr int kSlots = 0;
    static bool Test(lua_State*, int) { return true; }
    static LuaState* Get(lua_State* L, int) { return LuaState::FromCState(L); }
};

template <class R> struct Result;
template <> struct Result<bool> {
    static void Push(lua_State* L, bool v) { lua_pushboolean(L, v); }
};
template <> struct Result<float> {
    static void Push(lua_State* L, float v) { lua_pushnumber(L, v); }
};
template <> struct Result<double> {
    static void Push(lua_State* L, double v) { lua_pushnumber(L, v); }
};
template <> struct Result<int32_t> {
    static void Push(lua_State* L, int32_t v) { lua_pushnumber(L, v); }
};
template <> struct Result<uint32_t> {
    static void Push(lua_State* L, uint32_t v) { lua_pushnumber(L, v); }
};
template <> struct Result<LuaValueRef> {
    static void Push(lua_State* L, const LuaValueRef& v)
    {
        if (v.GetState() && v.GetState()->GetCState() == L) {
            v.Push();
        } else {
            lua_pushnil(L);
        }
    }
};

template <class T> using Plain = std::remove_cv_t<std::remove_reference_t<T>>;

// Stack offset of each parameter from the first script argument.
template <class... Args> constexpr std::array<int, sizeof...(Args) + 1> Offsets()
{
    std::array<int, sizeof...(Args) + 1> offsets{};
    constexpr int slots[] = {Arg<Plain<Args>>::kSlots..., 0};
    int at = 0;
    for (size_t i = 0; i < sizeof...(Args); ++i) {
        offsets[i] = at;
        at += slots[i];
    }
    offsets[sizeof...(Args)] = at;
    return offsets;
}

// Tests every argument, then converts them, calls `call` and pushes its result.
template <class R, class... Args, class Call, size_t... I>
int CallWrapper(lua_State* L, int first, Call&& call, std::index_sequence<I...>)
{
    constexpr auto offsets = Offsets<Args...>();
    (
        [&] {
            if (!Arg<Plain<Args>>::Test(L, first + offsets[I])) {
                ScriptArgError(L, first + offsets[I], "bad argument");
            }
        }(),
        ...);
    if constexpr (std::is_void_v<R>) {
        call(Arg<Plain<Args>>::Get(L, first + offsets[I])...);
        return 0;
    } else {
        Result<Plain<R>>::Push(L, call(Arg<Plain<Args>>::Get(L, first + offsets[I])...));
        return 1;
    }
}

} // namespace Binding

// The converting call of one signature: the script arguments start at stack index `first`.
template <class R, class... Args, class Call> int ScriptCallWrapper(lua_State* L, int first, Call&& call)
{
    return Binding::CallWrapper<R, Args...>(L, first, std::forward<Call>(call), std::index_sequence_for<Args...>{});
}

// ---- callee forms ------------------------------------------------------------------------------

// A method as a plain function whose first parameter is the object.
template <class Self, class R, class... Args> struct PlainCallee {
    static constexpr bool kMethod = true;
    using Object = Self;
    R (*function)(Self*, Args...);
    // Maps the script object's pointer to the callee's object; null refuses the call.
    Self* (*adapt)(void*);

    template <class... A> R Call(Self* self, A&&... a) const { return function(self, std::forward<A>(a)...); }
};

// A method as a member function. `adapt` selects the sub-object the member belongs to (for
// example one interface of an instance) and may refuse an object of the wrong kind with null.
template <class C, class Fn, class R, class... Args> struct MemberCallee {
    static constexpr bool kMethod = true;
    using Object = C;
    Fn function;
    C* (*adapt)(void*);

    template <class... A> R Call(C* self, A&&... a) const { return (self->*function)(std::forward<A>(a)...); }
};

// A script global: a member function called on a fixed object; no script object is involved.
template <class C, class Fn, class R, class... Args> struct BoundCallee {
    static constexpr bool kMethod = false;
    C* object;
    Fn function;

    template <class... A> R Call(A&&... a) const { return (object->*function)(std::forward<A>(a)...); }
};

template <class T> T* StaticSelf(void* pointer)
{
    return static_cast<T*>(pointer);
}

template <class Self, class R, class... Args>
PlainCallee<Self, R, Args...> MakePlainCallee(R (*function)(Self*, Args...), Self* (*adapt)(void*) = &StaticSelf<Self>)
{
    return {function, adapt};
}

template <class C, class R, class... Args>
MemberCallee<C, R (C::*)(Args...), R, Args...> MakeMemberCallee(R (C::*function)(Args...),
                                                                C* (*adapt)(void*) = &StaticSelf<C>)
{
    return {function, adapt};
}

template <class C, class R, class... Args>
MemberCallee<C, R (C::*)(Args...) const, R, Args...> MakeMemberCallee(R (C::*function)(Args...) const,
                                                                      C* (*adapt)(void*) = &StaticSelf<C>)
{
    return {function, adapt};
}

template <class C, class R, class... Args>
BoundCallee<C, R (C::*)(Args...), R, Args...> MakeBoundCallee(C* object, R (C::*function)(Args...))
{
    return {object, function};
}

template <class C, class R, class... Args>
BoundCallee<C, R (C::*)(Args...) const, R, Args...> MakeBoundCallee(C* object, R (C::*function)(Args...) const)
{
    return {object, function};
}

// ---- dispatch ----------------------------------------------------------------------------------

namespace Binding {

template <class Callee> struct CalleeSignature;
template <class Self, class R, class... Args> struct CalleeSignature<PlainCallee<Self, R, Args...>> {
    template <class Call> static int Run(lua_State* L, int first, Call&& call)
    {
        return ScriptCallWrapper<R, Args...>(L, first, std::forward<Call>(call));
    }
};
template <class C, class Fn, class R, class... Args> struct CalleeSignature<MemberCallee<C, Fn, R, Args...>> {
    template <class Call> static int Run(lua_State* L, int first, Call&& call)
    {
        return ScriptCallWrapper<R, Args...>(L, first, std::forward<Call>(call));
    }
};
template <class C, class Fn, class R, class... Args> struct CalleeSignature<BoundCallee<C, Fn, R, Args...>> {
    template <class Call> static int Run(lua_State* L, int first, Call&& call)
    {
        return ScriptCallWrapper<R, Args...>(L, first, std::forward<Call>(call));
    }
};

} // namespace Binding

// The registered closure of one callee type.
template <class Callee> int ScriptDispatcher(lua_State* L)
{
    const Callee& callee = *static_cast<const Callee*>(lua_touserdata(L, lua_upvalueindex(1)));
    using Signature = Binding::CalleeSignature<Callee>;
    if constexpr (Callee::kMethod) {
        auto* self = callee.adapt(GetScriptSelf(L));
        if (!self) {
            ScriptArgError(L, 1, "the object is not of this kind");
        }
        return Signature::Run(L, 2, [&](auto&&... a) { return callee.Call(self, std::forward<decltype(a)>(a)...); });
    } else {
        return Signature::Run(L, 1, [&](auto&&... a) { return callee.Call(std::forward<decltype(a)>(a)...); });
    }
}

// Sets table[name] to a closure over `callee`. The closure's upvalues are the callee's userdata
// followed by `extraUpvalues` values taken from the stack top.
template <class Callee>
void RegisterDirect(const LuaValueRef& table, const char* name, const Callee& callee, int extraUpvalues = 0)
{
    static_assert(std::is_trivially_copyable_v<Callee> && std::is_trivially_destructible_v<Callee>,
                  "a callee lives in a userdata that is never finalised");
    LuaState* state = table.GetState();
    if (!state) {
        return;
    }
    lua_State* L = state->GetCState();
    if (!table.IsTable()) {
        lua_pop(L, extraUpvalues);
        return;
    }
    new (lua_newuserdata(L, sizeof(Callee))) Callee(callee);
    if (extraUpvalues > 0) {
        lua_insert(L, -(extraUpvalues + 1));
    }
    lua_pushcclosure(L, &ScriptDispatcher<Callee>, extraUpvalues + 1);
    table.Push();
    lua_pushstring(L, name);
    lua_pushvalue(L, -3);
    lua_rawset(L, -3);
    lua_pop(L, 2);
}

} // namespace QuillLua
