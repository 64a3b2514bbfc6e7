#pragma once
// The engine's script host: owns the script state, builds the (empty) metatables, reads scripts
// through the file manager, registers the "lua." console commands, and runs script files by name.
// What scripts can call is bound by the engine's binding layer (engine/bindings), which fills the
// metatables and binds the globals below to this object.
//
// Script errors, and whatever scripts print through LOG and _ALERT, go nowhere: the engine
// carries on after a failed script.

#include "engine/core/console/Console.h"
#include "engine/core/console/ConsoleCommands.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/Singleton.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace QuillLua {
class LuaState;
class LuaValueRef;
} // namespace QuillLua

namespace QuillEngine {

class SoundHandle;

class LuaMgr : public IConsoleHandler, public Singleton<LuaMgr> {
public:
    // What the manager reads from services above the core. The engine object wires these when it
    // creates the manager; each is asked at the time of use, and a missing one reads as nothing
    // (no console, the mouse at 0,0 with no button down).
    struct EngineLinks {
        std::function<Console*()> console;
        std::function<int32_t()> mouseX;
        std::function<int32_t()> mouseY;
        // Button 0 left, 1 right, 2 middle.
        std::function<bool(int32_t)> buttonDown;
    };

    static constexpr const char* kLuaPath = "?.lua;input/script/?.lua";
    static constexpr const char* kLuaCPath = "?.dll;input/dll/?.dll";

    LuaMgr();
    explicit LuaMgr(EngineLinks links);
    ~LuaMgr() override;
    LuaMgr(const LuaMgr&) = delete;
    LuaMgr& operator=(const LuaMgr&) = delete;

    // Creates the state with its libraries, silences its print output, builds the metatables,
    // sets LUA_PATH and LUA_CPATH and installs the file loader. False when no state could be made.
    bool Init();
    // Registers the "lua." console commands on the linked console. Needs Init.
    void RegisterGlobals();
    // Runs "script\" + name from the file manager. True when the file was found, had data and was
    // run, whether or not the script itself succeeded.
    bool DoFile(const String& name);
    // A script file that does not compile is reported once per file, naming it and the error
    // (then handled as any failed script: the program carries on). By default on stderr.
    using ScriptErrorReporter = std::function<void(const std::string& captionUtf8, const std::string& textUtf8)>;
    void SetScriptErrorReporter(ScriptErrorReporter reporter) { scriptErrorReporter_ = std::move(reporter); }

    // The state's globals by name. A global that is not a number reads as 0; one that is not a
    // (narrow) string reads as null, valid until the global changes.
    double GetGlobalNumber(const char* name);
    const char* GetGlobalString(const char* name);
    void SetGlobalNumber(const char* name, double value);
    void SetGlobalString(const char* name, const char* text);

    // A script object for a played sound: a table whose metatable is SoundMetaTable. The
    // engine hands none out by itself; the handle copies live as long as the manager.
    QuillLua::LuaValueRef CreateSoundObject(const SoundHandle& sound);
    // The sound behind a pointer taken from a script object, or null when the pointer is not one
    // that CreateSoundObject made.
    SoundHandle* FindSoundObject(void* pointer) const;

    QuillLua::LuaState* GetState() const { return state_; }

    // ---- instance script objects ----
    // Instance kinds as the scene numbers them; any other kind gets a table without metatable.
    enum InstanceKind : int32_t { Kind_Movie = 0, Kind_Image = 1, Kind_Text = 2 };

    // A new script table for a scene instance: its metatable by `kind`, its "__object" member a
    // boxed pointer to `object`. An instance named exactly "root" becomes the global `root`; any
    // other is set in `parentTable` under ScriptKey(name) (replacing an earlier member), except
    // under "__object", which would replace the parent's own pointer: such a child is reached
    // through its instance only. Nil when there is no state.
    QuillLua::LuaValueRef CreateInstanceObject(void* object, int32_t kind, StringView name,
                                               const QuillLua::LuaValueRef& parentTable);
    // Unhooks a destroyed instance's table: the parent's member under ScriptKey(name) is cleared
    // when the parent table is given and that member is still this table (a newer child of the
    // same name keeps its entry); the boxed pointer to `object` that the table holds is zeroed, in
    // every table a script copied it to, so that no method reaches the dead instance (or another
    // one made later at its address); and the table's metatable becomes EmptyMetaTable, so that
    // a script still holding it finds no methods on it.
    void ReleaseInstanceObject(void* object, const QuillLua::LuaValueRef& table, StringView name,
                               const QuillLua::LuaValueRef& parentTable);
    // True when the table itself (not its metatable) holds a function under `name`.
    bool HasHandler(const QuillLua::LuaValueRef& table, const char* name) const;
    // table[name](table [, argument]) as a protected call with _ALERT as error handler; results
    // are dropped and the stack is left as it was. Nothing when HasHandler is false.
    void CallHandler(const QuillLua::LuaValueRef& table, const char* name);
    void CallHandlerArgs(const QuillLua::LuaValueRef& table, const char* name, std::string_view text);
    void CallHandlerArgs(const QuillLua::LuaValueRef& table, const char* name, double number);
    // The key of an instance in its parent's table: UTF-8, every space replaced by "_".
    static std::string ScriptKey(StringView name);

    void OnConsoleCommand(const std::vector<String>& arguments, const Handle& instance) override;

    // The operations behind the script globals (bound by engine/bindings).
    void Log(std::string_view text);
    void ExecuteConsole(std::string_view text);
    int32_t GetMouseX() const;
    int32_t GetMouseY() const;
    bool GetMouseButtonDownL() const;
    bool GetMouseButtonDownM() const;
    bool GetMouseButtonDownR() const;
    void PlaySound(std::string_view name);
    void PlaySoundEx(std::string_view name, float volume);
    bool IsDebug() const { return false; }
    bool IsRelease() const { return false; }
    bool IsRetail() const { return true; }

private:
    void CreateMetaTables();
    // Pushes table[name] when HasHandler holds; false (nothing pushed) otherwise.
    bool PushHandler(const QuillLua::LuaValueRef& table, const char* name) const;
    void RunHandler(int argumentCount);
    template <class PushArguments>
    void CallHandlerWith(const QuillLua::LuaValueRef& table, const char* name, int argumentCount,
                         PushArguments pushArguments);
    bool LoadScriptFile(const std::string& name, std::string& bytes);
    Console* LinkedConsole() const;
    void UnregisterCommands();

    void ReportBrokenScript(const String& path, const std::string& error);

    QuillLua::LuaState* state_ = nullptr;
    EngineLinks links_;
    ConsoleCommands commands_;
    ScriptErrorReporter scriptErrorReporter_;
    std::set<String> reportedScripts_;
    std::vector<std::unique_ptr<SoundHandle>> soundObjects_;
};

} // namespace QuillEngine
