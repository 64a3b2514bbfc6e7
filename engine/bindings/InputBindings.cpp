// The pointer globals. The manager reads the pointer through the links the engine gave it.

#include "engine/bindings/ScriptBindings.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/ScriptBinding.h"

namespace QuillEngine::Bindings {

void BindInputGlobals(const QuillLua::LuaValueRef& globals, LuaMgr& lua)
{
    using QuillLua::MakeBoundCallee;
    using QuillLua::RegisterDirect;
    RegisterDirect(globals, "GetMouseX", MakeBoundCallee(&lua, &LuaMgr::GetMouseX));
    RegisterDirect(globals, "GetMouseY", MakeBoundCallee(&lua, &LuaMgr::GetMouseY));
    RegisterDirect(globals, "GetMouseButtonDownL", MakeBoundCallee(&lua, &LuaMgr::GetMouseButtonDownL));
    RegisterDirect(globals, "GetMouseButtonDownM", MakeBoundCallee(&lua, &LuaMgr::GetMouseButtonDownM));
    RegisterDirect(globals, "GetMouseButtonDownR", MakeBoundCallee(&lua, &LuaMgr::GetMouseButtonDownR));
}

} // namespace QuillEngine::Bindings
