#include "engine/script/LuaMgr.h"

#include "engine/core/audio/Audio.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/script/LuaStack.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"

#include <cstdio>

namespace QuillEngine {

using QuillLua::LuaStackGuard;
using QuillLua::LuaState;
using QuillLua::LuaValueRef;

namespace {

constexpr ConsoleCommandEntry kCommands[] = {
    {u"lua.setglobalstr", 2}, {u"lua.setglobalnum", 2}, {u"lua.getglobalstr", 1},
    {u"lua.getglobalnum", 1}, {u"lua.dostring", 1},     {u"lua.dofile", 1},
};

constexpr char16_t kScriptFolder[] = u"script\\";

// Pushes the globals table's raw value of `name`. Raw access: a metatable a script put on the
// globals cannot raise an error here, outside any protected call.
void PushRawGlobal(lua_State* L, const char* name)
{
    lua_pushstring(L, name);
    lua_rawget(L, LUA_GLOBALSINDEX);
}

// Pops the value on the stack top into the raw global `name`.
void PopRawGlobal(lua_State* L, const char* name)
{
    lua_pushstring(L, name);
    lua_insert(L, -2);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

} // namespace

LuaMgr::LuaMgr() : LuaMgr(EngineLinks{}) {}

LuaMgr::LuaMgr(EngineLinks links) : links_(std::move(links)) {}

LuaMgr::~LuaMgr()
{
    UnregisterCommands();
    if (state_) {
        LuaState::Destroy(state_);
        state_ = nullptr;
    }
}

bool LuaMgr::Init()
{
    if (state_) {
        return true;
    }
    state_ = LuaState::Create(true);
    if (!state_ || !state_->GetCState()) {
        return false;
    }
    state_->SetPrintCallback([](const char16_t*) {});
    CreateMetaTables();
    LuaValueRef globals = state_->GetGlobals();
    globals.SetString("LUA_PATH", kLuaPath);
    globals.SetString("LUA_CPATH", kLuaCPath);
    state_->SetLoadFileCallback(
        [this](const std::string& name, std::string& bytes) { return LoadScriptFile(name, bytes); });
    return true;
}

void LuaMgr::RegisterGlobals()
{
    if (!state_) {
        return;
    }
    Console* console = LinkedConsole();
    if (console && commands_.GetConsole() != console) {
        UnregisterCommands();
        commands_.Register(*console, *this, kCommands);
    }
}

bool LuaMgr::DoFile(const String& name)
{
    FileManager* files = FileManager::Instance();
    if (!state_ || !files) {
        return false;
    }
    const String path = kScriptFolder + name;
    if (!files->Exists(path)) {
        return false;
    }
    // The handle keeps the bytes alive while the script runs, even if it runs this file again.
    const FileHandle file = files->LoadFile(path);
    if (!file.IsValid() || file.Size() == 0) {
        return false;
    }
    // Run with the file's length: a UTF-16 script holds zero bytes, and nothing is copied.
    const std::string chunkName = "@" + ToUtf8(path);
    LuaStackGuard guard(state_);
    std::string error;
    if (state_->DoBuffer(reinterpret_cast<const char*>(file.Data()), file.Size(), chunkName.c_str(), &error) ==
        LUA_ERRSYNTAX)
        ReportBrokenScript(path, error);
    return true;
}

void LuaMgr::ReportBrokenScript(const String& path, const std::string& error)
{
    // Script names ignore case, as their lookups do: one file is reported once.
    String key = path;
    for (char16_t& ch : key)
        if (ch >= u'A' && ch <= u'Z')
            ch = static_cast<char16_t>(ch - u'A' + u'a');
    if (!reportedScripts_.insert(key).second)
        return;
    const std::string text =
        "The script \"" + ToUtf8(path) + "\" has an error and was not run: " + error + ". The game goes on without it.";
    if (scriptErrorReporter_)
        scriptErrorReporter_("Script Error", text);
    else
        std::fprintf(stderr, "Script Error: %s\n", text.c_str());
}

bool LuaMgr::LoadScriptFile(const std::string& name, std::string& bytes)
{
    FileManager* files = FileManager::Instance();
    if (!files) {
        return false;
    }
    const String path = kScriptFolder + FromCp1252(name);
    if (!files->Exists(path)) {
        return false;
    }
    const FileHandle file = files->LoadFile(path);
    if (!file.IsValid() || file.Size() == 0) {
        return false;
    }
    // The loader decodes the bytes (UTF-16LE or UTF-8 by their mark, else one unit per byte).
    bytes.assign(reinterpret_cast<const char*>(file.Data()), file.Size());
    return true;
}

double LuaMgr::GetGlobalNumber(const char* name)
{
    if (!state_ || !name) {
        return 0;
    }
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    PushRawGlobal(L, name);
    return lua_type(L, -1) == LUA_TNUMBER ? lua_tonumber(L, -1) : 0;
}

const char* LuaMgr::GetGlobalString(const char* name)
{
    if (!state_ || !name) {
        return nullptr;
    }
    lua_State* L = state_->GetCState();
    LuaStackGuard guard(L);
    PushRawGlobal(L, name);
    // The global keeps the string alive after the pop.
    return lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
}

void LuaMgr::SetGlobalNumber(const char* name, double value)
{
    if (!state_ || !name) {
        return;
    }
    lua_State* L = state_->GetCState();
    lua_pushnumber(L, value);
    PopRawGlobal(L, name);
}

void LuaMgr::SetGlobalString(const char* name, const char* text)
{
    if (!state_ || !name) {
        return;
    }
    lua_State* L = state_->GetCState();
    if (text) {
        lua_pushstring(L, text);
    } else {
        lua_pushnil(L);
    }
    PopRawGlobal(L, name);
}

void LuaMgr::OnConsoleCommand(const std::vector<String>& arguments, const Handle& /*instance*/)
{
    if (!state_ || arguments.size() < 2) {
        return;
    }
    const String& command = arguments[0];
    const std::string first = ToUtf8(arguments[1]);
    Console* console = commands_.GetConsole() ? commands_.GetConsole() : LinkedConsole();
    auto print = [console](StringView text) {
        if (console) {
            console->PrintLine(text);
        }
    };

    if (command == u"lua.setglobalstr" && arguments.size() >= 3) {
        const std::string text = ToUtf8(arguments[2]);
        lua_State* L = state_->GetCState();
        lua_pushlstring(L, text.data(), text.size());
        PopRawGlobal(L, first.c_str());
    } else if (command == u"lua.setglobalnum" && arguments.size() >= 3) {
        SetGlobalNumber(first.c_str(), ToDouble(arguments[2]));
    } else if (command == u"lua.getglobalstr") {
        // The script's text is data: it is an argument of the format, never the format.
        lua_State* L = state_->GetCState();
        LuaStackGuard guard(L);
        PushRawGlobal(L, first.c_str());
        if (lua_type(L, -1) == LUA_TSTRING) {
            size_t length = 0;
            const char* text = lua_tolstring(L, -1, &length);
            print(Format(u"%s", {std::string_view(text, length)}));
        } else {
            print(u"nil or invalid object");
        }
    } else if (command == u"lua.getglobalnum") {
        print(Format(u"%f", {GetGlobalNumber(first.c_str())}));
    } else if (command == u"lua.dostring") {
        LuaStackGuard guard(state_);
        state_->DoBuffer(first.data(), first.size(), first.c_str());
    } else if (command == u"lua.dofile") {
        DoFile(arguments[1]);
    }
}

void LuaMgr::Log(std::string_view /*text*/)
{
    // Script log output is discarded.
}

void LuaMgr::ExecuteConsole(std::string_view text)
{
    if (Console* console = LinkedConsole()) {
        console->Execute(FromUtf8(text), false);
    }
}

int32_t LuaMgr::GetMouseX() const
{
    return links_.mouseX ? links_.mouseX() : 0;
}

int32_t LuaMgr::GetMouseY() const
{
    return links_.mouseY ? links_.mouseY() : 0;
}

bool LuaMgr::GetMouseButtonDownL() const
{
    return links_.buttonDown && links_.buttonDown(0);
}

bool LuaMgr::GetMouseButtonDownM() const
{
    return links_.buttonDown && links_.buttonDown(2);
}

bool LuaMgr::GetMouseButtonDownR() const
{
    return links_.buttonDown && links_.buttonDown(1);
}

void LuaMgr::PlaySound(std::string_view name)
{
    if (Audio* audio = Audio::Instance()) {
        audio->PlaySound(FromCp1252(name), false);
    }
}

void LuaMgr::PlaySoundEx(std::string_view name, float volume)
{
    if (Audio* audio = Audio::Instance()) {
        const SoundHandle sound = audio->PlaySound(FromCp1252(name), false);
        if (sound.IsValid()) {
            sound.SetVolume(volume);
        }
    }
}

Console* LuaMgr::LinkedConsole() const
{
    return links_.console ? links_.console() : nullptr;
}

void LuaMgr::UnregisterCommands()
{
    // Only from the console they were registered on, and only while it is still the linked one.
    if (commands_.GetConsole() != LinkedConsole()) {
        commands_.Forget();
    }
    commands_.Unregister();
}

} // namespace QuillEngine
