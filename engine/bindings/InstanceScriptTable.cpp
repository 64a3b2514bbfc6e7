#include "engine/bindings/InstanceScriptTable.h"

namespace QuillEngine::Bindings {

const InstanceScriptTable* ScriptTableOf(const Instance_Base* instance)
{
    return instance ? dynamic_cast<const InstanceScriptTable*>(instance->GetScriptObject()) : nullptr;
}

QuillLua::LuaValueRef TableOf(const InstanceHandle& handle, QuillLua::LuaState* state)
{
    if (const InstanceScriptTable* own = ScriptTableOf(handle.Resolve()))
        return own->table;
    return state ? QuillLua::LuaValueRef(state) : QuillLua::LuaValueRef();
}

} // namespace QuillEngine::Bindings
