// The movie's own methods. A movie table also carries the instance methods
// (InstanceBindings.cpp), which replace an own method of the same name.

#include "engine/bindings/InstanceScriptTable.h"
#include "engine/bindings/InstanceSelf.h"
#include "engine/bindings/ScriptBindings.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/ScriptBinding.h"

namespace QuillEngine::Bindings {

using QuillLua::LuaState;
using QuillLua::LuaValueRef;
using QuillLua::MakeMemberCallee;
using QuillLua::MakePlainCallee;
using QuillLua::RegisterDirect;

namespace {

LuaValueRef MovieCreateInstance(Instance_Movie* movie, LuaState* state, std::string_view definition,
                                std::string_view name)
{
    return TableOf(movie->CreateChild(FromCp1252(definition), FromCp1252(name)), state);
}

LuaValueRef MovieCreateEmptyInstance(Instance_Movie* movie, LuaState* state, std::string_view name)
{
    return TableOf(movie->CreateEmptyChild(FromCp1252(name)), state);
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

} // namespace

void BindMovieMethods(const LuaValueRef& table)
{
    using M = Instance_Movie;
    RegisterDirect(table, "CreateInstance", MakePlainCallee(&MovieCreateInstance, &SelfMovie));
    RegisterDirect(table, "CreateEmptyInstance", MakePlainCallee(&MovieCreateEmptyInstance, &SelfMovie));
    RegisterDirect(table, "CreateParticleEmitter", MakePlainCallee(&MovieCreateParticleEmitter, &SelfMovie));
    RegisterDirect(table, "DeleteAllParticleEmitters", MakePlainCallee(&MovieDeleteAllParticleEmitters, &SelfMovie));
    RegisterDirect(table, "AddAsGlobalHandler", MakePlainCallee(&MovieAddAsGlobalHandler, &SelfMovie));
    RegisterDirect(table, "DeleteSelf", MakePlainCallee(&MovieDeleteSelf, &SelfMovie));
    RegisterDirect(table, "SetFrame", MakeMemberCallee(&M::SetFrame, &SelfMovie));
    RegisterDirect(table, "GetFrame", MakeMemberCallee(&M::GetFrame, &SelfMovie));
    RegisterDirect(table, "GetNumFrames", MakeMemberCallee(&M::GetNumFrames, &SelfMovie));
    RegisterDirect(table, "SetFrameFromLabel", MakePlainCallee(&MovieSetFrameFromLabel, &SelfMovie));
    RegisterDirect(table, "SetFrameMultiplier", MakeMemberCallee(&M::SetFrameMultiplier, &SelfMovie));
    RegisterDirect(table, "SetPlaying", MakeMemberCallee(&M::SetPlaying, &SelfMovie));
    RegisterDirect(table, "SetPlayingRecursive", MakeMemberCallee(&M::SetPlayingRecursive, &SelfMovie));
    RegisterDirect(table, "SetPaused", MakeMemberCallee(&M::SetPaused, &SelfMovie));
    RegisterDirect(table, "SetPausedRecursive", MakeMemberCallee(&M::SetPausedRecursive, &SelfMovie));
    RegisterDirect(table, "SetReverse", MakeMemberCallee(&M::SetReverse, &SelfMovie));
    RegisterDirect(table, "SetReverseRecursive", MakeMemberCallee(&M::SetReverseRecursive, &SelfMovie));
}

} // namespace QuillEngine::Bindings
