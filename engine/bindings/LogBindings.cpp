// Logging, console and build-kind globals.

#include "engine/bindings/ScriptBindings.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/ScriptBinding.h"

namespace QuillEngine::Bindings {

void BindLogGlobals(const QuillLua::LuaValueRef& globals, LuaMgr& lua)
{
    using QuillLua::MakeBoundCallee;
    using QuillLua::RegisterDirect;
    RegisterDirect(globals, "log", MakeBoundCallee(&lua, &LuaMgr::Log));
    RegisterDirect(globals, "console", MakeBoundCallee(&lua, &LuaMgr::ExecuteConsole));
    RegisterDirect(globals, "IsDebug", MakeBoundCallee(&lua, &LuaMgr::IsDebug));
    RegisterDirect(globals, "IsRelease", MakeBoundCallee(&lua, &LuaMgr::IsRelease));
    RegisterDirect(globals, "IsRetail", MakeBoundCallee(&lua, &LuaMgr::IsRetail));
}

} // namespace QuillEngine::Bindings
