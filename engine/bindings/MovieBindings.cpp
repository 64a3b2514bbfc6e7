// The movie's own methods. A movie table also carries the instance methods
// (InstanceBindings.cpp), which replace an own method of the same name.

#include "engine/bindings/ScriptBindings.h"

#include <algorithm>
#include <cmath>

#include "engine/bindings/InstanceScriptTable.h"
#include "engine/bindings/InstanceSelf.h"
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

// A script coordinate in whole units: truncated, saturated at the 32-bit range, 0 for NaN.
int32_t WholeUnits(float value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int32_t>(std::clamp(std::trunc(static_cast<double>(value)), -2147483648.0, 2147483647.0));
}

// Loads the effect file `definition` (a file loaded before keeps its definitions) and makes its
// emitter `name` on this movie at (x, y); nothing, and no error, when the file or the emitter
// does not exist. The movie places emitters at whole units.
void MovieCreateParticleEmitter(Instance_Movie* movie, std::string_view definition, std::string_view name, float x,
                                float y)
{
    movie->CreateParticleEmitter(FromCp1252(definition), FromCp1252(name), WholeUnits(x), WholeUnits(y));
}

void MovieDeleteAllParticleEmitters(Instance_Movie* movie)
{
    movie->DeleteAllParticleEmitters();
}

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
