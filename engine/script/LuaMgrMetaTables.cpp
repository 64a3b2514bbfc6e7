// The global metatables and the sound script objects. The metatables are made empty here; the
// engine's binding layer (engine/bindings) fills them with the methods.

#include "engine/core/audio/Audio.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"

#include <algorithm>

namespace QuillEngine {

using QuillLua::LuaValueRef;

void LuaMgr::CreateMetaTables()
{
    LuaValueRef globals = state_->GetGlobals();
    globals.CreateTable("EmptyMetaTable", 0, 0);

    LuaValueRef sound = globals.CreateTable("SoundMetaTable", 0, 16);
    sound.SetValue("__index", sound);
    for (const char* name : {"MovieMetaTable", "ImageMetaTable", "TextMetaTable"}) {
        LuaValueRef table = globals.CreateTable(name, 0, 64);
        table.SetValue("__index", table);
    }
}

LuaValueRef LuaMgr::CreateSoundObject(const SoundHandle& sound)
{
    if (!state_) {
        return LuaValueRef();
    }
    soundObjects_.push_back(std::make_unique<SoundHandle>(sound));
    LuaValueRef object;
    object.AssignNewTable(state_, 0, 1);
    object.SetUserData("__object", soundObjects_.back().get());
    object.SetMetaTable(state_->GetGlobals().GetByName("SoundMetaTable"));
    return object;
}

SoundHandle* LuaMgr::FindSoundObject(void* pointer) const
{
    const auto it = std::find_if(soundObjects_.begin(), soundObjects_.end(),
                                 [pointer](const std::unique_ptr<SoundHandle>& s) { return s.get() == pointer; });
    return it == soundObjects_.end() ? nullptr : it->get();
}

} // namespace QuillEngine
