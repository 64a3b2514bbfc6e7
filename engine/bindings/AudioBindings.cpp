// The sound-playing globals. They return nothing: a script gets no sound object from them.

#include "engine/bindings/ScriptBindings.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/ScriptBinding.h"

namespace QuillEngine::Bindings {

void BindAudioGlobals(const QuillLua::LuaValueRef& globals, LuaMgr& lua)
{
    using QuillLua::MakeBoundCallee;
    using QuillLua::RegisterDirect;
    RegisterDirect(globals, "PlaySound", MakeBoundCallee(&lua, &LuaMgr::PlaySound));
    RegisterDirect(globals, "PlaySoundEx", MakeBoundCallee(&lua, &LuaMgr::PlaySoundEx));
}

} // namespace QuillEngine::Bindings
