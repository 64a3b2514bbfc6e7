#include "engine/bindings/ScriptBindings.h"

#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"

namespace QuillEngine::Bindings {

using QuillLua::LuaValueRef;

void BindScriptApi(LuaMgr& lua)
{
    QuillLua::LuaState* state = lua.GetState();
    if (!state)
        return;
    const LuaValueRef globals = state->GetGlobals();
    BindSoundMethods(globals.GetByName("SoundMetaTable"));

    const LuaValueRef movie = globals.GetByName("MovieMetaTable");
    BindMovieMethods(movie);
    BindInstanceMethods(movie);
    BindInstanceMethods(globals.GetByName("ImageMetaTable"));
    const LuaValueRef text = globals.GetByName("TextMetaTable");
    BindTextMethods(text);
    BindInstanceMethods(text);

    BindLogGlobals(globals, lua);
    BindInputGlobals(globals, lua);
    BindAudioGlobals(globals, lua);
}

} // namespace QuillEngine::Bindings
