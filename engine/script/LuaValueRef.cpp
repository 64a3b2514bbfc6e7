#include "engine/script/LuaValueRef.h"

#include <bit>

namespace QuillLua {
namespace {

bool IsCollectable(int type)
{
    return type >= LUA_TSTRING;
}

// Runs `function(L, data)` protected; an error value is dropped.
bool Protected(lua_State* L, lua_CFunction function, void* data)
{
    if (lua_cpcall(L, function, data) == 0) {
        return true;
    }
    lua_pop(L, 1);
    return false;
}

// Pushes the anchor table of a state's handles.
void PushAnchors(lua_State* L, int anchorRef)
{
    lua_rawgeti(L, LUA_REGISTRYINDEX, anchorRef);
}

int StateFunctionTrampoline(lua_State* L)
{
    auto function = *static_cast<LuaValueRef::StateFunction*>(lua_touserdata(L, lua_upvalueindex(1)));
    return function(LuaState::FromCState(L));
}

struct Comparison {
    const LuaValueRef* a;
    const LuaValueRef* b;
    bool less;
    bool result;
};

int CompareProtected(lua_State* L)
{
    auto* c = static_cast<Comparison*>(lua_touserdata(L, 1));
    c->a->Push();
    c->b->Push();
    c->result = c->less ? lua_lessthan(L, -2, -1) != 0 : lua_equal(L, -2, -1) != 0;
    return 0;
}

} // namespace

LuaValueRef::LuaValueRef(LuaState* state)
{
    if (state) {
        state_ = state;
        state->Link(this);
    }
}

LuaValueRef::LuaValueRef(LuaState* state, int stackIndex)
{
    Bind(state, stackIndex);
}

LuaValueRef::LuaValueRef(const LuaValueRef& other)
{
    if (other.state_) {
        other.Push();
        Bind(other.state_, -1);
        lua_pop(other.state_->GetCState(), 1);
    }
}

LuaValueRef& LuaValueRef::operator=(const LuaValueRef& other)
{
    if (this == &other) {
        return *this;
    }
    if (!other.state_) {
        Release();
        if (state_) {
            state_->Unlink(this);
            state_ = nullptr;
        }
        return *this;
    }
    other.Push();
    Bind(other.state_, -1);
    lua_pop(other.state_->GetCState(), 1);
    return *this;
}

LuaValueRef::~LuaValueRef()
{
    Release();
    if (state_) {
        state_->Unlink(this);
    }
}

void LuaValueRef::Release()
{
    if (state_ && IsCollectable(type_) && value_.ref != LUA_NOREF) {
        lua_State* L = state_->GetCState();
        PushAnchors(L, state_->anchorRef_);
        luaL_unref(L, -1, value_.ref);
        lua_pop(L, 1);
    }
    type_ = LUA_TNIL;
    value_.ref = LUA_NOREF;
}

void LuaValueRef::Detach()
{
    type_ = LUA_TNIL;
    value_.ref = LUA_NOREF;
    state_ = nullptr;
    next = prev = this;
}

void LuaValueRef::Bind(LuaState* state, int stackIndex)
{
    lua_State* L = state->GetCState();
    if (stackIndex < 0 && stackIndex > LUA_REGISTRYINDEX) {
        stackIndex = lua_gettop(L) + stackIndex + 1;
    }
    // Take the new value first: the old one may be the same object.
    int type = WideType(L, stackIndex);
    decltype(value_) value{};
    switch (type) {
    case LUA_TNIL:
        break;
    case LUA_TBOOLEAN:
        value.boolean = lua_toboolean(L, stackIndex) != 0;
        break;
    case LUA_TNUMBER:
        value.number = lua_tonumber(L, stackIndex);
        break;
    case LUA_TLIGHTUSERDATA:
        value.pointer = lua_touserdata(L, stackIndex);
        break;
    default:
        PushAnchors(L, state->anchorRef_);
        lua_pushvalue(L, stackIndex);
        value.ref = luaL_ref(L, -2);
        lua_pop(L, 1);
        break;
    }
    Release();
    if (state_ != state) {
        if (state_) {
            state_->Unlink(this);
        }
        state_ = state;
        state->Link(this);
    }
    type_ = type;
    value_ = value;
}

void LuaValueRef::Push() const
{
    if (!state_) {
        return;
    }
    lua_State* L = state_->GetCState();
    switch (type_) {
    case LUA_TNIL:
        lua_pushnil(L);
        break;
    case LUA_TBOOLEAN:
        lua_pushboolean(L, value_.boolean);
        break;
    case LUA_TNUMBER:
        lua_pushnumber(L, value_.number);
        break;
    case LUA_TLIGHTUSERDATA:
        lua_pushlightuserdata(L, value_.pointer);
        break;
    default:
        PushAnchors(L, state_->anchorRef_);
        lua_rawgeti(L, -1, value_.ref);
        lua_remove(L, -2);
        break;
    }
}

bool LuaValueRef::IsCFunction() const
{
    if (type_ != LUA_TFUNCTION) {
        return false;
    }
    Push();
    bool c = lua_iscfunction(state_->GetCState(), -1) != 0;
    lua_pop(state_->GetCState(), 1);
    return c;
}

double LuaValueRef::ToNumber() const
{
    if (type_ == LUA_TNUMBER) {
        return value_.number;
    }
    if (type_ != LUA_TSTRING && type_ != LUA_TWSTRING) {
        return 0;
    }
    LuaStackGuard guard(state_);
    Push();
    double d = 0;
    return ToNumberEx(state_->GetCState(), -1, d) ? d : 0;
}

const char* LuaValueRef::GetString() const
{
    if (type_ != LUA_TSTRING) {
        return nullptr;
    }
    // The anchor keeps the string alive, so its text outlives the pop.
    LuaStackGuard guard(state_);
    Push();
    return lua_tostring(state_->GetCState(), -1);
}

const char* LuaValueRef::ToString()
{
    if (type_ == LUA_TNUMBER) {
        lua_State* L = state_->GetCState();
        lua_pushnumber(L, value_.number);
        lua_tostring(L, -1); // converts the slot in place
        Bind(state_, -1);
        lua_pop(L, 1);
    }
    return GetString();
}

size_t LuaValueRef::GetStrLen() const
{
    if (type_ != LUA_TSTRING && type_ != LUA_TWSTRING) {
        return 0;
    }
    LuaStackGuard guard(state_);
    Push();
    if (type_ == LUA_TWSTRING) {
        size_t n = 0;
        lua_towstring(state_->GetCState(), -1, &n);
        return n;
    }
    return lua_objlen(state_->GetCState(), -1);
}

const char16_t* LuaValueRef::GetWString() const
{
    if (type_ != LUA_TWSTRING) {
        return nullptr;
    }
    LuaStackGuard guard(state_);
    Push();
    return lua_towstring(state_->GetCState(), -1);
}

void* LuaValueRef::GetUserData() const
{
    if (type_ == LUA_TLIGHTUSERDATA) {
        return value_.pointer;
    }
    if (type_ != LUA_TUSERDATA) {
        return nullptr;
    }
    LuaStackGuard guard(state_);
    Push();
    return ToUserData(state_->GetCState(), -1);
}

LuaValueRef LuaValueRef::GetByName(const char* name) const
{
    if (!WritableTable()) {
        return LuaValueRef(state_);
    }
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    Push();
    lua_pushstring(L, name);
    lua_rawget(L, -2);
    return LuaValueRef(state_, -1);
}

LuaValueRef LuaValueRef::GetByIndex(int n) const
{
    if (!WritableTable()) {
        return LuaValueRef(state_);
    }
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    Push();
    lua_rawgeti(L, -1, n);
    return LuaValueRef(state_, -1);
}

template <typename PushValue> void LuaValueRef::SetField(const char* name, PushValue pushValue)
{
    if (!WritableTable()) {
        return;
    }
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    Push();
    lua_pushstring(L, name);
    pushValue(L);
    lua_rawset(L, -3);
}

void LuaValueRef::SetNil(const char* name)
{
    SetField(name, [](lua_State* L) { lua_pushnil(L); });
}
void LuaValueRef::SetBoolean(const char* name, bool value)
{
    SetField(name, [value](lua_State* L) { lua_pushboolean(L, value); });
}
void LuaValueRef::SetInteger(const char* name, int value)
{
    SetField(name, [value](lua_State* L) { lua_pushnumber(L, value); });
}
void LuaValueRef::SetNumber(const char* name, double value)
{
    SetField(name, [value](lua_State* L) { lua_pushnumber(L, value); });
}
void LuaValueRef::SetString(const char* name, const char* text)
{
    SetField(name, [text](lua_State* L) {
        if (text) {
            lua_pushstring(L, text);
        } else {
            lua_pushnil(L);
        }
    });
}
void LuaValueRef::SetWString(const char* name, std::u16string_view text)
{
    SetField(name, [text](lua_State* L) { PushWide(L, text); });
}
void LuaValueRef::SetUserData(const char* name, void* pointer)
{
    SetField(name, [pointer](lua_State* L) { PushBoxedPointer(L, pointer); });
}
void LuaValueRef::SetValue(const char* name, const LuaValueRef& value)
{
    if (value.state_ && value.state_ != state_) {
        return; // values never cross states
    }
    SetField(name, [&value](lua_State* L) {
        if (value.state_) {
            value.Push();
        } else {
            lua_pushnil(L);
        }
    });
}

void LuaValueRef::SetNumberAt(int n, double value)
{
    if (!WritableTable()) {
        return;
    }
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    Push();
    lua_pushnumber(L, value);
    lua_rawseti(L, -2, n);
}

LuaValueRef LuaValueRef::CreateTable(const char* name, int arraySize, int hashSize)
{
    if (!WritableTable()) {
        return LuaValueRef(state_);
    }
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    Push();
    lua_createtable(L, arraySize > 0 ? arraySize : 0, hashSize > 0 ? hashSize : 0);
    lua_pushstring(L, name);
    lua_pushvalue(L, -2);
    lua_rawset(L, -4);
    return LuaValueRef(state_, -1);
}

void LuaValueRef::AssignNil(LuaState* state)
{
    lua_pushnil(state->GetCState());
    Bind(state, -1);
    lua_pop(state->GetCState(), 1);
}
void LuaValueRef::AssignInteger(LuaState* state, int value)
{
    AssignNumber(state, value);
}
void LuaValueRef::AssignNumber(LuaState* state, double value)
{
    lua_pushnumber(state->GetCState(), value);
    Bind(state, -1);
    lua_pop(state->GetCState(), 1);
}
void LuaValueRef::AssignString(LuaState* state, const char* text)
{
    if (text) {
        lua_pushstring(state->GetCState(), text);
    } else {
        lua_pushnil(state->GetCState());
    }
    Bind(state, -1);
    lua_pop(state->GetCState(), 1);
}
void LuaValueRef::AssignNewTable(LuaState* state, int arraySize, int hashSize)
{
    int hash = hashSize > 0 ? int(std::bit_ceil(unsigned(hashSize))) : 0;
    lua_createtable(state->GetCState(), arraySize > 0 ? arraySize : 0, hash);
    Bind(state, -1);
    lua_pop(state->GetCState(), 1);
}

LuaValueRef LuaValueRef::GetMetaTable() const
{
    if (!state_) {
        return LuaValueRef();
    }
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    Push();
    if (!lua_getmetatable(L, -1)) {
        return LuaValueRef(state_);
    }
    return LuaValueRef(state_, -1);
}

void LuaValueRef::SetMetaTable(const LuaValueRef& metatable)
{
    if (!state_ || (metatable.state_ && metatable.state_ != state_)) {
        return;
    }
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    if (type_ == LUA_TTABLE || type_ == LUA_TUSERDATA) {
        Push();
        metatable.state_ ? metatable.Push() : lua_pushnil(L);
        if (lua_istable(L, -1) || lua_isnil(L, -1)) {
            lua_setmetatable(L, -2);
        }
        return;
    }
    metatable.state_ ? metatable.Push() : lua_pushnil(L);
    if (lua_istable(L, -1) || (lua_isnil(L, -1) && type_ != LUA_TWSTRING)) {
        lua_setdefaultmetatable(L, type_);
    }
}

LuaStackRef LuaValueRef::PushStack() const
{
    Push();
    return LuaStackRef(state_, state_ ? lua_gettop(state_->GetCState()) : 0);
}

void LuaValueRef::Register(const char* name, lua_CFunction function, int upvalueCount)
{
    lua_State* L = state_ ? state_->GetCState() : nullptr;
    if (!L) {
        return;
    }
    lua_pushcclosure(L, function, upvalueCount);
    if (type_ == LUA_TTABLE) {
        Push();
        lua_pushstring(L, name);
        lua_pushvalue(L, -3);
        lua_rawset(L, -3);
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

void LuaValueRef::RegisterStateFunction(const char* name, StateFunction function)
{
    if (!state_) {
        return;
    }
    lua_State* L = state_->GetCState();
    *static_cast<StateFunction*>(lua_newuserdata(L, sizeof(StateFunction))) = function;
    Register(name, StateFunctionTrampoline, 1);
}

bool LuaValueRef::operator==(const LuaValueRef& other) const
{
    if (!state_ || !other.state_) {
        return state_ == other.state_ || (IsNil() && other.IsNil());
    }
    if (state_ != other.state_) {
        return false;
    }
    Comparison c{this, &other, false, false};
    return Protected(state_->GetCState(), CompareProtected, &c) && c.result;
}

bool LuaValueRef::operator<(const LuaValueRef& other) const
{
    if (!state_ || state_ != other.state_) {
        return false;
    }
    Comparison c{this, &other, true, false};
    return Protected(state_->GetCState(), CompareProtected, &c) && c.result;
}

LuaTableCursor::LuaTableCursor(const LuaValueRef& table)
    : table_(table), key_(table.GetState()), value_(table.GetState())
{
    done_ = !table.IsTable();
    if (!done_) {
        Next();
    }
}

namespace {

struct CursorStep {
    const LuaValueRef* table;
    LuaValueRef* key;
    LuaValueRef* value;
    bool found;
};

// lua_next raises for a key no longer in the table (a script removed it between steps), so the
// step runs protected.
int CursorStepProtected(lua_State* L)
{
    auto* step = static_cast<CursorStep*>(lua_touserdata(L, 1));
    step->table->Push();
    step->key->Push();
    step->found = lua_next(L, -2) != 0;
    if (step->found) {
        *step->key = LuaValueRef(step->table->GetState(), -2);
        *step->value = LuaValueRef(step->table->GetState(), -1);
    }
    return 0;
}

} // namespace

void LuaTableCursor::Next()
{
    if (done_ || !table_.IsTable()) {
        done_ = true;
        return;
    }
    CursorStep step{&table_, &key_, &value_, false};
    if (!Protected(table_.GetState()->GetCState(), CursorStepProtected, &step) || !step.found) {
        done_ = true;
        key_.AssignNil(table_.GetState());
        value_.AssignNil(table_.GetState());
    }
}

} // namespace QuillLua
