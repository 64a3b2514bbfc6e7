// Methods of sound objects (the tables LuaMgr::CreateSoundObject makes).

#include "engine/bindings/ScriptBindings.h"
#include "engine/core/audio/Audio.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/ScriptBinding.h"

namespace QuillEngine::Bindings {

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

void BindSoundMethods(const LuaValueRef& table)
{
    RegisterSoundMethod(table, "Stop", &SoundStop);
    RegisterSoundMethod(table, "SetVolume", &SoundSetVolume);
    RegisterSoundMethod(table, "SetFrequency", &SoundSetFrequency);
    RegisterSoundMethod(table, "GetFrequency", &SoundGetFrequency);
    RegisterSoundMethod(table, "SetupEQs", &SoundSetupEQs);
    RegisterSoundMethod(table, "SetEQGain", &SoundSetEQGain);
    RegisterSoundMethod(table, "IsPlaying", &SoundIsPlaying);
    RegisterSoundMethod(table, "SetPosition", &SoundSetPosition);
    RegisterSoundMethod(table, "GetPosition", &SoundGetPosition);
    RegisterSoundMethod(table, "SetLoopPoints", &SoundSetLoopPoints);
    RegisterSoundMethod(table, "SetLoopCount", &SoundSetLoopCount);
    RegisterSoundMethod(table, "GetFFTSpectrum", &SoundGetFFTSpectrum);
}

} // namespace QuillEngine::Bindings
