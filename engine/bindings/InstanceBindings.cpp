// Methods of every instance table: movies, images and texts alike.

#include "engine/bindings/InstanceSelf.h"
#include "engine/bindings/ScriptBindings.h"
#include "engine/graphics/scene/Instance_Base.h"
#include "engine/script/ScriptBinding.h"

namespace QuillEngine::Bindings {

using QuillLua::LuaValueRef;
using QuillLua::MakeMemberCallee;
using QuillLua::MakePlainCallee;
using QuillLua::RegisterDirect;

namespace {

void InstanceSetColor(Instance_Base* instance, uint32_t color)
{
    instance->SetColor(color);
}

} // namespace

void BindInstanceMethods(const LuaValueRef& table)
{
    using B = Instance_Base;
    RegisterDirect(table, "SetMaterial", MakeMemberCallee(&B::SetMaterial, &SelfInstance));
    RegisterDirect(table, "SetInputEnabled", MakeMemberCallee(&B::SetInputEnabled, &SelfInstance));
    RegisterDirect(table, "SetOpacity", MakeMemberCallee(&B::SetOpacity, &SelfInstance));
    RegisterDirect(table, "SetColor", MakePlainCallee(&InstanceSetColor, &SelfInstance));
    RegisterDirect(table, "SetAllowFiltering", MakeMemberCallee(&B::SetAllowFiltering, &SelfInstance));
    RegisterDirect(table, "SetPosition", MakeMemberCallee(&B::SetPosition, &SelfInstance));
    RegisterDirect(table, "SetX", MakeMemberCallee(&B::SetX, &SelfInstance));
    RegisterDirect(table, "SetY", MakeMemberCallee(&B::SetY, &SelfInstance));
    RegisterDirect(table, "GetX", MakeMemberCallee(&B::GetX, &SelfInstance));
    RegisterDirect(table, "GetY", MakeMemberCallee(&B::GetY, &SelfInstance));
    RegisterDirect(table, "GlobalToLocalX", MakeMemberCallee(&B::GlobalToLocalX, &SelfInstance));
    RegisterDirect(table, "GlobalToLocalY", MakeMemberCallee(&B::GlobalToLocalY, &SelfInstance));
    RegisterDirect(table, "GetWidth", MakeMemberCallee(&B::GetWidth, &SelfInstance));
    RegisterDirect(table, "GetHeight", MakeMemberCallee(&B::GetHeight, &SelfInstance));
    RegisterDirect(table, "GetVisible", MakeMemberCallee(&B::GetVisible, &SelfInstance));
    RegisterDirect(table, "SetRegistrationPoint", MakeMemberCallee(&B::SetRegistrationPoint, &SelfInstance));
    RegisterDirect(table, "SetRotation", MakeMemberCallee(&B::SetRotation, &SelfInstance));
    RegisterDirect(table, "SetScale", MakeMemberCallee(&B::SetScale, &SelfInstance));
    RegisterDirect(table, "SetVisible", MakeMemberCallee(&B::SetVisible, &SelfInstance));
    RegisterDirect(table, "MoveToFront", MakeMemberCallee(&B::MoveToFront, &SelfInstance));
    RegisterDirect(table, "MoveToBack", MakeMemberCallee(&B::MoveToBack, &SelfInstance));
    RegisterDirect(table, "SetDropShadow", MakeMemberCallee(&B::SetDropShadow, &SelfInstance));
    // Seam: the Canvas* methods are bound here when render canvases land on instances.
}

} // namespace QuillEngine::Bindings
