#pragma once
// The bridge between the scene instances and their script tables. The script layer knows nothing
// of instances (it sees an opaque pointer, a kind and a name); this object, which the engine
// object owns, links the two:
// - it gives every instance a script table when the UserInterface registers it and unhooks the
//   table when the instance is released;
// - it runs a movie's script handlers for the UserInterface and the movies' timelines;
// - it binds the script API (engine/bindings) into the script manager and resolves the self of
//   the instance methods.
//
// Boxed pointers carry no type: a method's self pointer is accepted only while this bridge knows
// it as the pointer of an instance whose handle still resolves to it, of the method's kind.

#include "engine/bindings/InstanceSelf.h"
#include "engine/core/Singleton.h"
#include "engine/graphics/scene/UserInterface.h"

#include <string>
#include <unordered_map>

namespace QuillLua {
class LuaValueRef;
class LuaState;
} // namespace QuillLua

namespace QuillEngine {

class Instance_Base;
class Instance_Movie;

class ScriptBridge : public UserInterface::IScriptHandlers, public IScriptSelfResolver, public Singleton<ScriptBridge> {
public:
    // Binds the instance methods into the current LuaMgr's metatables and installs itself on the
    // current UserInterface, giving every instance already registered there its table.
    ScriptBridge();
    ~ScriptBridge() override;
    ScriptBridge(const ScriptBridge&) = delete;
    ScriptBridge& operator=(const ScriptBridge&) = delete;

    void OnInstanceRegistered(Instance_Base& instance) override;
    void OnInstanceReleased(Instance_Base& instance) override;
    void Call(const InstanceHandle& movie, const char* handler) override;
    void Call(const InstanceHandle& movie, const char* handler, const std::string& text) override;
    void Call(const InstanceHandle& movie, const char* handler, double number) override;

    // The instance's script table, or nil (bound to `state` when given) when it has none.
    static QuillLua::LuaValueRef TableOf(const InstanceHandle& handle, QuillLua::LuaState* state = nullptr);

    // The instance behind a script object's pointer, or null when the pointer names no live
    // instance (of that kind).
    Instance_Base* ResolveSelf(void* pointer) const override;
    Instance_Movie* ResolveSelfMovie(void* pointer) const;

private:
    void BindMethods();
    void CreateTablesBelow(Instance_Base& instance);

    std::unordered_map<const void*, InstanceHandle> live_;
};

} // namespace QuillEngine
