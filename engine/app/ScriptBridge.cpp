#include "engine/app/ScriptBridge.h"

#include "engine/bindings/InstanceScriptTable.h"
#include "engine/bindings/ScriptBindings.h"
#include "engine/graphics/scene/Instance_Base.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"

namespace QuillEngine {

using QuillLua::LuaState;
using QuillLua::LuaValueRef;

using Bindings::ScriptTableOf;

ScriptBridge::ScriptBridge()
{
    Bindings::SetSelfResolver(this);
    BindMethods();
    if (UserInterface* ui = UserInterface::Instance()) {
        ui->SetScriptHandlers(this);
        if (Instance_Base* root = ui->GetRootHandle().Resolve())
            CreateTablesBelow(*root);
    }
}

ScriptBridge::~ScriptBridge()
{
    UserInterface* ui = UserInterface::Instance();
    if (ui && ui->GetScriptHandlers() == this)
        ui->SetScriptHandlers(nullptr);
    if (Bindings::GetSelfResolver() == this)
        Bindings::SetSelfResolver(nullptr);
}

void ScriptBridge::BindMethods()
{
    if (LuaMgr* lua = LuaMgr::Instance())
        Bindings::BindScriptApi(*lua);
}

void ScriptBridge::CreateTablesBelow(Instance_Base& instance)
{
    if (!instance.GetScriptObject() && instance.GetHandle().Resolve() == &instance)
        OnInstanceRegistered(instance);
    if (instance.GetType() != Instance_Base::Type_Movie)
        return;
    const auto& movie = static_cast<Instance_Movie&>(instance);
    for (int32_t i = 0; i < movie.GetChildCount(); ++i)
        if (Instance_Base* child = movie.GetChild(i).Resolve())
            CreateTablesBelow(*child);
}

void ScriptBridge::OnInstanceRegistered(Instance_Base& instance)
{
    LuaMgr* lua = LuaMgr::Instance();
    if (!lua || !lua->GetState())
        return;
    const InstanceScriptTable* parent = ScriptTableOf(HandleEx::ResolveInstance(instance.GetParent()));
    LuaValueRef table = lua->CreateInstanceObject(static_cast<void*>(&instance), instance.GetType(), instance.Name(),
                                                  parent ? parent->table : LuaValueRef());
    instance.SetScriptObject(std::make_unique<InstanceScriptTable>(std::move(table)));
    live_[&instance] = instance.GetHandle();
}

void ScriptBridge::OnInstanceReleased(Instance_Base& instance)
{
    live_.erase(&instance);
    const InstanceScriptTable* own = ScriptTableOf(&instance);
    LuaMgr* lua = LuaMgr::Instance();
    if (!own || !lua)
        return;
    // Only the Instance_Base part is used: the instance may be in its destructor.
    const InstanceScriptTable* parent = ScriptTableOf(HandleEx::ResolveInstance(instance.Instance_Base::GetParent()));
    lua->ReleaseInstanceObject(&instance, own->table, instance.Name(), parent ? parent->table : LuaValueRef());
}

void ScriptBridge::Call(const InstanceHandle& movie, const char* handler)
{
    LuaMgr* lua = LuaMgr::Instance();
    const InstanceScriptTable* own = ScriptTableOf(movie.Resolve());
    if (lua && own)
        lua->CallHandler(own->table, handler);
}

void ScriptBridge::Call(const InstanceHandle& movie, const char* handler, const std::string& text)
{
    LuaMgr* lua = LuaMgr::Instance();
    const InstanceScriptTable* own = ScriptTableOf(movie.Resolve());
    if (lua && own)
        lua->CallHandlerArgs(own->table, handler, std::string_view(text));
}

void ScriptBridge::Call(const InstanceHandle& movie, const char* handler, double number)
{
    LuaMgr* lua = LuaMgr::Instance();
    const InstanceScriptTable* own = ScriptTableOf(movie.Resolve());
    if (lua && own)
        lua->CallHandlerArgs(own->table, handler, number);
}

LuaValueRef ScriptBridge::TableOf(const InstanceHandle& handle, LuaState* state)
{
    return Bindings::TableOf(handle, state);
}

Instance_Base* ScriptBridge::ResolveSelf(void* pointer) const
{
    const auto it = live_.find(pointer);
    if (it == live_.end())
        return nullptr;
    Instance_Base* instance = it->second.Resolve();
    return instance == pointer ? instance : nullptr;
}

Instance_Movie* ScriptBridge::ResolveSelfMovie(void* pointer) const
{
    Instance_Base* instance = ResolveSelf(pointer);
    return instance && instance->GetType() == Instance_Base::Type_Movie ? static_cast<Instance_Movie*>(instance)
                                                                        : nullptr;
}

} // namespace QuillEngine
