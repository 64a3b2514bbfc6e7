#include "game/screens/ScreenBindings.h"

#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/ScriptBinding.h"

using namespace QuillEngine;

namespace {

constexpr const char* kScriptGlobals[] = {"CloseAndSave", "CloseAndCancel", "ScreenEvent"};

} // namespace

ScreenBindings::ScreenBindings(IScreenCalls& screens, LuaMgr* lua) : m_screens(screens), m_lua(lua)
{
    if (!m_lua || !m_lua->GetState())
        return;
    using QuillLua::MakeBoundCallee;
    using QuillLua::RegisterDirect;
    const QuillLua::LuaValueRef globals = m_lua->GetState()->GetGlobals();
    RegisterDirect(globals, "CloseAndSave", MakeBoundCallee(this, &ScreenBindings::CloseAndSave));
    RegisterDirect(globals, "CloseAndCancel", MakeBoundCallee(this, &ScreenBindings::CloseAndCancel));
    RegisterDirect(globals, "ScreenEvent", MakeBoundCallee(this, &ScreenBindings::ScreenEvent));
    m_bound = true;
}

ScreenBindings::~ScreenBindings()
{
    // The script manager may have gone first; its state went with it then.
    if (!m_bound || LuaMgr::Instance() != m_lua || !m_lua->GetState())
        return;
    QuillLua::LuaValueRef globals = m_lua->GetState()->GetGlobals();
    for (const char* name : kScriptGlobals)
        globals.SetNil(name);
}

void ScreenBindings::CloseAndSave(std::string_view name)
{
    m_screens.Close(FromUtf8(name), true);
}

void ScreenBindings::CloseAndCancel(std::string_view name)
{
    m_screens.Close(FromUtf8(name), false);
}

void ScreenBindings::ScreenEvent(std::string_view event, std::string_view argument)
{
    m_screens.ScreenEvent(FromUtf8(event), FromUtf8(argument));
}
