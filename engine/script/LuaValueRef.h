#pragma once
// Handles on script values held by engine code, and a table cursor.
//
// A handle bound to a state sits in that state's handle list from construction (or assignment)
// to destruction. Collectable values are anchored in a private registry table while a handle
// holds them, so they survive collections; when the state goes, its handles become unbound nils.

#include "engine/script/LuaStack.h"

#include <string_view>

namespace QuillLua {

class LuaValueRef : private LuaHandleLink {
public:
    using StateFunction = int (*)(LuaState* state);

    LuaValueRef() = default;
    explicit LuaValueRef(LuaState* state);        // nil, bound to the state
    LuaValueRef(LuaState* state, int stackIndex); // the value in a stack slot
    LuaValueRef(const LuaValueRef& other);
    LuaValueRef& operator=(const LuaValueRef& other);
    ~LuaValueRef();

    LuaState* GetState() const { return state_; }
    // Dialect type: LUA_TWSTRING for wide strings, LUA_TNIL for an unbound handle.
    int GetType() const { return type_; }

    bool IsNil() const { return type_ == LUA_TNIL; }
    bool IsBoolean() const { return type_ == LUA_TBOOLEAN; }
    bool IsNumber() const { return type_ == LUA_TNUMBER; }
    bool IsString() const { return type_ == LUA_TSTRING; }
    bool IsWString() const { return type_ == LUA_TWSTRING; }
    bool IsTable() const { return type_ == LUA_TTABLE; }
    bool IsFunction() const { return type_ == LUA_TFUNCTION; }
    bool IsCFunction() const;
    bool IsUserData() const { return type_ == LUA_TUSERDATA || type_ == LUA_TLIGHTUSERDATA; }

    double GetNumber() const { return type_ == LUA_TNUMBER ? value_.number : 0; }
    // Numbers, numeric strings and wide numerals; 0 otherwise.
    double ToNumber() const;
    // The text of a string (null otherwise); valid while the handle holds it.
    const char* GetString() const;
    // As GetString, but a number is first converted in place to its string.
    const char* ToString();
    // Bytes of a string, units of a wide string, else 0.
    size_t GetStrLen() const;
    const char16_t* GetWString() const;
    bool GetBoolean() const { return type_ != LUA_TNIL && !(type_ == LUA_TBOOLEAN && !value_.boolean); }
    void* GetUserData() const;

    // Raw table reads (no metamethods); nil when this is not a table.
    LuaValueRef GetByName(const char* name) const;
    LuaValueRef GetByIndex(int n) const;
    LuaValueRef operator[](const char* name) const { return GetByName(name); }

    // Raw table writes by name.
    void SetNil(const char* name);
    void SetBoolean(const char* name, bool value);
    void SetInteger(const char* name, int value);
    void SetNumber(const char* name, double value);
    void SetString(const char* name, const char* text); // null stores nil
    void SetWString(const char* name, std::u16string_view text);
    void SetUserData(const char* name, void* pointer); // a new boxed pointer
    void SetValue(const char* name, const LuaValueRef& value);
    void SetNumberAt(int n, double value);
    LuaValueRef CreateTable(const char* name, int arraySize, int hashSize);

    void AssignNil(LuaState* state);
    void AssignInteger(LuaState* state, int value);
    void AssignNumber(LuaState* state, double value);
    void AssignString(LuaState* state, const char* text);
    void AssignNewTable(LuaState* state, int arraySize, int hashSize);

    LuaValueRef GetMetaTable() const;
    // For a value that is neither a table nor a userdata this sets the type's default metatable.
    void SetMetaTable(const LuaValueRef& metatable);

    LuaStackRef PushStack() const;
    // A native closure under `name`, taking `upvalueCount` upvalues from the stack top.
    void Register(const char* name, lua_CFunction function, int upvalueCount = 0);
    void RegisterStateFunction(const char* name, StateFunction function);

    // Raw equality or "__eq"; the less-than with "__lt". Run protected: an error counts as false.
    bool operator==(const LuaValueRef& other) const;
    bool operator!=(const LuaValueRef& other) const { return !(*this == other); }
    bool operator<(const LuaValueRef& other) const;

    // Pushes the value (nil when unbound) onto the state's stack.
    void Push() const;

private:
    friend class LuaState;

    void Bind(LuaState* state, int stackIndex);
    void Release();
    void Detach(); // the state is going away
    bool WritableTable() const { return state_ && type_ == LUA_TTABLE; }
    template <typename PushValue> void SetField(const char* name, PushValue pushValue);

    LuaState* state_ = nullptr;
    int type_ = LUA_TNIL;
    union {
        double number;
        bool boolean;
        void* pointer;
        int ref;
    } value_{};
};

// Walks a table: the array part in index order, then the hash part.
class LuaTableCursor {
public:
    explicit LuaTableCursor(const LuaValueRef& table);
    // The cursor keeps a reference to the table handle, which must outlive it.
    explicit LuaTableCursor(LuaValueRef&& table) = delete;

    bool IsDone() const { return done_; }
    void Next();
    const LuaValueRef& GetKey() const { return key_; }
    const LuaValueRef& GetValue() const { return value_; }

private:
    const LuaValueRef& table_;
    LuaValueRef key_;
    LuaValueRef value_;
    bool done_ = true;
};

} // namespace QuillLua
