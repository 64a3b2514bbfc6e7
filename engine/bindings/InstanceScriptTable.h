#pragma once
// The script table an instance keeps as its script object.

#include "engine/graphics/scene/Instance_Base.h"
#include "engine/script/LuaValueRef.h"

namespace QuillEngine {

struct InstanceScriptTable final : IInstanceScriptObject {
    explicit InstanceScriptTable(QuillLua::LuaValueRef value) : table(std::move(value)) {}
    QuillLua::LuaValueRef table;
};

namespace Bindings {

// The instance's table, or null when it has none.
const InstanceScriptTable* ScriptTableOf(const Instance_Base* instance);
// The instance's script table, or nil (bound to `state` when given) when it has none.
QuillLua::LuaValueRef TableOf(const InstanceHandle& handle, QuillLua::LuaState* state = nullptr);

} // namespace Bindings
} // namespace QuillEngine
