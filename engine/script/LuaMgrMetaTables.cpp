// The global metatables and the sound script objects.

#include "engine/core/audio/Audio.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"
#include "engine/script/ScriptBinding.h"

#include <algorithm>

namespace QuillEngine {

using QuillLua::LuaState;
using QuillLua::LuaValueRef;

namespace {

constexpr int32_t kMaxSpectrumValues = 4096;

// Boxed pointers carry no type, so a sound method only accepts a pointer the manager made for a
// sound object: an instance table passed as self is refused instead of being read as a sound.
SoundHandle* SoundSelf(void* pointer)
{
    const LuaMgr* manager = LuaMgr::Instance();
    return manager ? manager->FindSoundObject(pointer) : nullptr;
}

void SoundStop(SoundHandle* sound)
{
    sound->Stop();
}
void SoundSetVolume(SoundHandle* sound, float volume)
{
    sound->SetVolume(volume);
}
void SoundSetFrequency(SoundHandle* sound, float frequency)
{
    sound->SetFrequency(frequency);
}
float SoundGetFrequency(SoundHandle* sound)
{
    return sound->GetFrequency();
}
bool SoundSetupEQs(SoundHandle* sound, int32_t count)
{
    return sound->SetupEQs(count);
}
bool SoundSetEQGain(SoundHandle* sound, int32_t band, float gain)
{
    return sound->SetEQGain(band, gain);
}
bool SoundIsPlaying(SoundHandle* sound)
{
    return sound->IsPlaying();
}
bool SoundSetPosition(SoundHandle* sound, float seconds)
{
    return sound->SetPosition(seconds);
}
float SoundGetPosition(SoundHandle* sound)
{
    return sound->GetPosition();
}
bool SoundSetLoopPoints(SoundHandle* sound, float start, float end)
{
    return sound->SetLoopPoints(start, end);
}
bool SoundSetLoopCount(SoundHandle* sound, int32_t count)
{
    return sound->SetLoopCount(count);
}

// `count` spectrum values at keys 1..count, or nil. The count comes from the script: it is
// checked before anything is read, so no size a script passes allocates anything.
LuaValueRef SoundGetFFTSpectrum(SoundHandle* sound, LuaState* state, int32_t count, int32_t channelOffset)
{
    LuaValueRef result(state);
    if (count < 1 || count > kMaxSpectrumValues) {
        return result;
    }
    float values[kMaxSpectrumValues];
    if (!sound->GetSpectrum(values, count, channelOffset)) {
        return result;
    }
    result.AssignNewTable(state, count, 0);
    for (int32_t i = 0; i < count; ++i) {
        result.SetNumberAt(i + 1, values[i]);
    }
    return result;
}

template <class R, class... Args>
void RegisterSoundMethod(const LuaValueRef& table, const char* name, R (*function)(SoundHandle*, Args...))
{
    QuillLua::RegisterDirect(table, name, QuillLua::MakePlainCallee(function, &SoundSelf));
}

} // namespace

void LuaMgr::CreateMetaTables()
{
    LuaValueRef globals = state_->GetGlobals();
    globals.CreateTable("EmptyMetaTable", 0, 0);

    LuaValueRef sound = globals.CreateTable("SoundMetaTable", 0, 16);
    RegisterSoundMethod(sound, "Stop", &SoundStop);
    RegisterSoundMethod(sound, "SetVolume", &SoundSetVolume);
    RegisterSoundMethod(sound, "SetFrequency", &SoundSetFrequency);
    RegisterSoundMethod(sound, "GetFrequency", &SoundGetFrequency);
    RegisterSoundMethod(sound, "SetupEQs", &SoundSetupEQs);
    RegisterSoundMethod(sound, "SetEQGain", &SoundSetEQGain);
    RegisterSoundMethod(sound, "IsPlaying", &SoundIsPlaying);
    RegisterSoundMethod(sound, "SetPosition", &SoundSetPosition);
    RegisterSoundMethod(sound, "GetPosition", &SoundGetPosition);
    RegisterSoundMethod(sound, "SetLoopPoints", &SoundSetLoopPoints);
    RegisterSoundMethod(sound, "SetLoopCount", &SoundSetLoopCount);
    RegisterSoundMethod(sound, "GetFFTSpectrum", &SoundGetFFTSpectrum);
    sound.SetValue("__index", sound);

    // Seam: the movie, image and text metatables carry only "__index" until the instance tree's
    // script methods land; instance tables made with them already read their members through it.
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
