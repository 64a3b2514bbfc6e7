#include "engine/app/ScriptBridge.h"

#include "engine/graphics/scene/Instance_Base.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"
#include "engine/script/ScriptBinding.h"

namespace QuillEngine {

using QuillLua::LuaState;
using QuillLua::LuaValueRef;
using QuillLua::MakeMemberCallee;
using QuillLua::MakePlainCallee;
using QuillLua::RegisterDirect;

namespace {

struct ScriptTable final : IInstanceScriptObject {
    explicit ScriptTable(LuaValueRef value) : table(std::move(value)) {}
    LuaValueRef table;
};

const ScriptTable* TableOfInstance(const Instance_Base* instance)
{
    return instance ? dynamic_cast<const ScriptTable*>(instance->GetScriptObject()) : nullptr;
}

Instance_Base* SelfInstance(void* pointer)
{
    const ScriptBridge* bridge = ScriptBridge::Instance();
    return bridge ? bridge->ResolveSelf(pointer) : nullptr;
}

Instance_Movie* SelfMovie(void* pointer)
{
    const ScriptBridge* bridge = ScriptBridge::Instance();
    return bridge ? bridge->ResolveSelfMovie(pointer) : nullptr;
}

Instance_Text* SelfText(void* pointer)
{
    Instance_Base* instance = SelfInstance(pointer);
    return instance && instance->GetType() == Instance_Base::Type_Text ? static_cast<Instance_Text*>(instance)
                                                                       : nullptr;
}

// ---- movie methods ----

LuaValueRef MovieCreateInstance(Instance_Movie* movie, LuaState* state, std::string_view definition,
                                std::string_view name)
{
    return ScriptBridge::TableOf(movie->CreateChild(FromCp1252(definition), FromCp1252(name)), state);
}

LuaValueRef MovieCreateEmptyInstance(Instance_Movie* movie, LuaState* state, std::string_view name)
{
    return ScriptBridge::TableOf(movie->CreateEmptyChild(FromCp1252(name)), state);
}

void MovieAddAsGlobalHandler(Instance_Movie* movie)
{
    if (UserInterface* ui = movie->GetUserInterface())
        ui->AddGlobalHandler(movie->GetHandle());
}

void MovieDeleteSelf(Instance_Movie* movie)
{
    if (Instance_Movie* parent = HandleEx::ResolveMovie(movie->GetParent()))
        parent->RemoveChild(movie->Name());
}

bool MovieSetFrameFromLabel(Instance_Movie* movie, std::string_view label)
{
    return movie->SetFrameFromLabel(FromCp1252(label));
}

// Seam: particle emitters are not attached to movies until the particle emitters land; the
// manager provides no emitter definition yet, so creating one does nothing, as for an unknown
// definition, and there is nothing to delete.
void MovieCreateParticleEmitter(Instance_Movie*, std::string_view, std::string_view, float, float) {}
void MovieDeleteAllParticleEmitters(Instance_Movie*) {}

void BindMovieOwn(const LuaValueRef& table)
{
    RegisterDirect(table, "CreateInstance", MakePlainCallee(&MovieCreateInstance, &SelfMovie));
    RegisterDirect(table, "CreateEmptyInstance", MakePlainCallee(&MovieCreateEmptyInstance, &SelfMovie));
    RegisterDirect(table, "CreateParticleEmitter", MakePlainCallee(&MovieCreateParticleEmitter, &SelfMovie));
    RegisterDirect(table, "DeleteAllParticleEmitters", MakePlainCallee(&MovieDeleteAllParticleEmitters, &SelfMovie));
    RegisterDirect(table, "AddAsGlobalHandler", MakePlainCallee(&MovieAddAsGlobalHandler, &SelfMovie));
    RegisterDirect(table, "DeleteSelf", MakePlainCallee(&MovieDeleteSelf, &SelfMovie));
    RegisterDirect(table, "SetFrame", MakeMemberCallee(&Instance_Movie::SetFrame, &SelfMovie));
    RegisterDirect(table, "GetFrame", MakeMemberCallee(&Instance_Movie::GetFrame, &SelfMovie));
    RegisterDirect(table, "GetNumFrames", MakeMemberCallee(&Instance_Movie::GetNumFrames, &SelfMovie));
    RegisterDirect(table, "SetFrameFromLabel", MakePlainCallee(&MovieSetFrameFromLabel, &SelfMovie));
    RegisterDirect(table, "SetFrameMultiplier", MakeMemberCallee(&Instance_Movie::SetFrameMultiplier, &SelfMovie));
    RegisterDirect(table, "SetPlaying", MakeMemberCallee(&Instance_Movie::SetPlaying, &SelfMovie));
    RegisterDirect(table, "SetPlayingRecursive", MakeMemberCallee(&Instance_Movie::SetPlayingRecursive, &SelfMovie));
    RegisterDirect(table, "SetPaused", MakeMemberCallee(&Instance_Movie::SetPaused, &SelfMovie));
    RegisterDirect(table, "SetPausedRecursive", MakeMemberCallee(&Instance_Movie::SetPausedRecursive, &SelfMovie));
    RegisterDirect(table, "SetReverse", MakeMemberCallee(&Instance_Movie::SetReverse, &SelfMovie));
    RegisterDirect(table, "SetReverseRecursive", MakeMemberCallee(&Instance_Movie::SetReverseRecursive, &SelfMovie));
}

// ---- text methods ----

void TextSetText(Instance_Text* text, std::string_view value)
{
    text->SetText(FromUtf8(value));
}

void TextSetFont(Instance_Text* text, std::string_view face, int32_t size, bool bold, bool italic)
{
    text->SetFont(FromUtf8(face), size, bold, italic);
}

void BindTextOwn(const LuaValueRef& table)
{
    RegisterDirect(table, "SetText", MakePlainCallee(&TextSetText, &SelfText));
    RegisterDirect(table, "SetFont", MakePlainCallee(&TextSetFont, &SelfText));
}

// ---- common instance methods ----

void InstanceSetColor(Instance_Base* instance, uint32_t color)
{
    instance->SetColor(color);
}

void BindCommon(const LuaValueRef& table)
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

} // namespace

ScriptBridge::ScriptBridge()
{
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
}

void ScriptBridge::BindMethods()
{
    LuaMgr* lua = LuaMgr::Instance();
    LuaState* state = lua ? lua->GetState() : nullptr;
    if (!state)
        return;
    const LuaValueRef globals = state->GetGlobals();
    // Own methods first, then the common ones, which replace an own method of the same name.
    const LuaValueRef movie = globals.GetByName("MovieMetaTable");
    BindMovieOwn(movie);
    BindCommon(movie);
    BindCommon(globals.GetByName("ImageMetaTable"));
    const LuaValueRef text = globals.GetByName("TextMetaTable");
    BindTextOwn(text);
    BindCommon(text);
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
    const ScriptTable* parent = TableOfInstance(HandleEx::ResolveInstance(instance.GetParent()));
    LuaValueRef table = lua->CreateInstanceObject(static_cast<void*>(&instance), instance.GetType(), instance.Name(),
                                                  parent ? parent->table : LuaValueRef());
    instance.SetScriptObject(std::make_unique<ScriptTable>(std::move(table)));
    live_[&instance] = instance.GetHandle();
}

void ScriptBridge::OnInstanceReleased(Instance_Base& instance)
{
    live_.erase(&instance);
    const ScriptTable* own = TableOfInstance(&instance);
    LuaMgr* lua = LuaMgr::Instance();
    if (!own || !lua)
        return;
    // Only the Instance_Base part is used: the instance may be in its destructor.
    const ScriptTable* parent = TableOfInstance(HandleEx::ResolveInstance(instance.Instance_Base::GetParent()));
    lua->ReleaseInstanceObject(own->table, instance.Name(), parent ? parent->table : LuaValueRef());
}

void ScriptBridge::Call(const InstanceHandle& movie, const char* handler)
{
    LuaMgr* lua = LuaMgr::Instance();
    const ScriptTable* own = TableOfInstance(movie.Resolve());
    if (lua && own)
        lua->CallHandler(own->table, handler);
}

void ScriptBridge::Call(const InstanceHandle& movie, const char* handler, const std::string& text)
{
    LuaMgr* lua = LuaMgr::Instance();
    const ScriptTable* own = TableOfInstance(movie.Resolve());
    if (lua && own)
        lua->CallHandlerArgs(own->table, handler, std::string_view(text));
}

void ScriptBridge::Call(const InstanceHandle& movie, const char* handler, double number)
{
    LuaMgr* lua = LuaMgr::Instance();
    const ScriptTable* own = TableOfInstance(movie.Resolve());
    if (lua && own)
        lua->CallHandlerArgs(own->table, handler, number);
}

LuaValueRef ScriptBridge::TableOf(const InstanceHandle& handle, LuaState* state)
{
    if (const ScriptTable* own = TableOfInstance(handle.Resolve()))
        return own->table;
    return state ? LuaValueRef(state) : LuaValueRef();
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
