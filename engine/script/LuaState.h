#pragma once
// The engine's wrapper of one script state: libraries, the script print and panic functions,
// the dump globals, and the list of value handles that keep script values alive.

#include "engine/script/dialect/LuaDialect.h"

#include <functional>
#include <string>

namespace QuillLua {

class LuaOutFile;
class LuaStackRef;
class LuaValueRef;

// Links of the state's list of live value handles.
struct LuaHandleLink {
    LuaHandleLink* next = this;
    LuaHandleLink* prev = this;
};

class LuaState {
public:
    using PrintCallback = std::function<void(const char16_t* text)>;

    // Value writer flags.
    enum DumpFlags { kDumpSort = 1, kDumpFunctions = 2, kDumpAddresses = 4 };

    static LuaState* Create(bool openLibraries);
    static void Destroy(LuaState* state);
    // The wrapper that owns a Lua state (its state user data).
    static LuaState* FromCState(lua_State* L);

    LuaState(const LuaState&) = delete;
    LuaState& operator=(const LuaState&) = delete;

    // Opens the libraries when asked and registers the dump globals; always installs LOG and
    // _ALERT (ScriptPrint) and the panic function.
    void Init(bool openLibraries);

    lua_State* GetCState() const { return L_; }
    LuaValueRef GetGlobals();
    LuaStackRef GetGlobal(const char* name);
    int GetTop() const { return lua_gettop(L_); }
    void Remove(int index) { lua_remove(L_, index); }
    LuaStackRef PushNumber(int value);
    LuaStackRef PushBoolean(bool value);
    LuaStackRef PushString(const char* text);
    // A new userdata holding the pointer (a boxed pointer).
    LuaStackRef PushUserData(void* pointer);
    int PCall(int argumentCount, int resultCount, int errorHandlerIndex)
    {
        return lua_pcall(L_, argumentCount, resultCount, errorHandlerIndex);
    }
    // Compiles and runs a chunk (its results are dropped); an error goes to _ALERT. Returns the
    // Lua status code.
    int DoString(const char* text);
    // As DoString, for a buffer with its own chunk name ("@file" for files).
    // `error`, when given, receives the message of a failed load or run.
    int DoBuffer(const char* data, size_t size, const char* chunkName, std::string* error = nullptr);

    void SetPrintCallback(PrintCallback callback) { print_ = std::move(callback); }
    // Passes text to the print callback, or to the debug output when none is set.
    void Print(const char16_t* text);
    void SetLoadFileCallback(LoadFileCallback callback);

    // Writes `key` (stack index, 0 for none) = value (stack index) as Lua text; see LuaValueWriter.
    bool DumpValue(LuaOutFile& sink, int keyIndex, int valueIndex, int flags, int depth, int maxDepth);

    // LOG and _ALERT: prints the arguments, tab-separated, through Print.
    static int ScriptPrint(lua_State* L);
    // Last resort for an error outside any protected call: reported, then Lua ends the process.
    static int Panic(lua_State* L);

private:
    friend class LuaValueRef;
    friend struct LuaStateTestAccess;

    LuaState();
    ~LuaState();

    void Link(LuaHandleLink* handle);
    void Unlink(LuaHandleLink* handle);

    lua_State* L_ = nullptr;
    bool owner_ = false;
    LuaHandleLink handles_;
    PrintCallback print_;
    int anchorRef_ = LUA_NOREF; // registry slot of the table that anchors handle values
};

} // namespace QuillLua
