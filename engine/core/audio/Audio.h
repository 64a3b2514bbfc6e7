#pragma once
// The engine's sound service: named sounds from "Audio\Audio.xml" in sound classes (channel
// groups whose volumes the options set), played on channels named by handles. Finished channels
// are reported to one IAudioCallbackHandler from inside Update, on the main thread.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "engine/core/console/Console.h"
#include "engine/core/console/ConsoleCommands.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/Handle.h"
#include "engine/core/HandleTable.h"
#include "engine/core/Singleton.h"
#include "platform/audio/AudioSystem.h"

namespace QuillEngine {

class ResourceCache;

class IAudioCallbackHandler {
public:
    virtual ~IAudioCallbackHandler() = default;
    // A channel started by PlaySound has finished (or lost its voice to a newer sound). The
    // handle is still valid during the call.
    virtual void OnSoundEnded(const Handle& handle) = 0;
};

// A played channel as the game and scripts hold it; also the result of Audio::PlaySound. Every
// operation resolves the handle first: a stale or empty handle does nothing (see each result).
class SoundHandle {
public:
    SoundHandle() = default;
    explicit SoundHandle(const Handle& h) : handle(h) {}

    bool IsValid() const;
    void Pause() const;
    bool Resume() const;
    // Stops the channel and releases its handle.
    bool Stop() const;
    bool SetVolume(float volume) const;
    float GetFrequency() const; // 0 when stale
    bool SetFrequency(float frequency) const;
    float GetPosition() const; // seconds; -1 when stale
    bool SetPosition(float seconds) const;
    bool IsPlaying() const;
    bool SetLoopPoints(float startSeconds, float endSeconds) const;
    bool SetLoopCount(int32_t count) const; // -1 forever
    // `count` spectrum values (a power of two, 2 to 4096) of output channel `channelOffset`.
    bool GetSpectrum(float* values, int32_t count, int32_t channelOffset) const;
    // Adds `count` peaking bands (125 Hz doubling per band, one octave, gain 0.4); once per
    // channel, at most kMaxEqBands.
    bool SetupEQs(int32_t count);
    // `band` counts from 1.
    bool SetEQGain(int32_t band, float gain) const;

    // The eighth band sits at 16 kHz; further doublings pass what the output can carry.
    static constexpr int32_t kMaxEqBands = 8;

    Handle handle;
    int32_t value = 0;
    std::vector<QuillPlatform::Audio::DspId> eqs;

    friend bool operator==(const SoundHandle& a, const SoundHandle& b) { return a.handle == b.handle; }
};
using SoundPlayResult = SoundHandle;

class Audio : public IConsoleHandler, public Singleton<Audio> {
public:
    static constexpr uint32_t kChannelHandleValue = 3;

    explicit Audio(ResourceCache* cache);
    ~Audio() override;
    Audio(const Audio&) = delete;
    Audio& operator=(const Audio&) = delete;

    // Creates the audio system: the output device when enabled (silent output when no device
    // opens), else the silent output, and the class "default". False when neither works.
    bool Init(uint32_t channelCount);
    // A change re-creates the system; the sound and class definitions and the class volumes
    // are restored when definitions had been loaded.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return enabled_; }
    // Reads "Audio\Audio.xml". A missing file shuts audio down (false).
    bool LoadDefinitions();

    SoundPlayResult PlaySound(const String& name, bool loop);
    // Once per fixed step: advances the system, reports finished channels, forgets dead ones and
    // marks the sounds in use as used.
    void Update();
    void MuteAll(bool mute);
    bool IsMuted() const { return muted_; }
    // The game's pause. Resuming resumes only the channels this pause paused.
    void PauseAll(bool paused);
    void SetClassVolume(const String& className, float volume);
    bool GetClassVolume(const String& className, float& volume) const;
    void SetCallbackHandler(IAudioCallbackHandler* handler) { callbackHandler_ = handler; }
    QuillPlatform::Audio::System* GetSystem() const { return system_.get(); }
    // Gives back every sound resource, releases the system, forgets sounds, classes, channels.
    void ReleaseAll();

    // Registers the "audio." commands on `console`; they are unregistered by the destructor.
    bool RegisterCommands(Console& console);
    void UnregisterCommands();
    void OnConsoleCommand(const std::vector<String>& arguments, const Handle& instance) override;

    uint32_t ChannelCount() const { return channelCount_; }
    bool HasSound(const String& name) const { return sounds_.count(name) != 0; }
    bool HasClass(const String& name) const { return classes_.count(name) != 0; }
    size_t LiveChannelCount() const { return channels_.size(); }

    // The live channel behind a handle of this service.
    bool ResolveChannel(const Handle& handle, QuillPlatform::Audio::Channel& channel) const;
    // Releases the handle of a channel stopped through it.
    void ReleaseChannelHandle(const Handle& handle) { channelHandles_.Release(handle); }

    // Test hook: the clock of the silent output, kept across re-creations of the system.
    void SetClockForTest(QuillPlatform::Audio::System::Clock clock);

private:
    struct SoundDef {
        uint32_t resourceId = 0;
        float defaultVolume = 1.0f;
        QuillPlatform::Audio::ChannelGroup* group = nullptr;
    };
    struct ChannelEntry {
        QuillPlatform::Audio::Channel channel;
        bool pausedByPauseAll = false;
    };

    static void OnChannelEndThunk(QuillPlatform::Audio::Channel channel, QuillPlatform::Audio::EndReason reason,
                                  void* user);
    void OnChannelEnded(const QuillPlatform::Audio::Channel& channel);
    void RemoveChannel(const QuillPlatform::Audio::Channel& channel);
    void Reinitialise();

    bool enabled_ = false;
    ResourceCache* resourceCache_;
    uint32_t channelCount_ = 0;
    std::vector<ChannelEntry> channels_;
    std::unique_ptr<QuillPlatform::Audio::System> system_;
    // A system released from inside its own Update lives until that call has returned.
    std::unique_ptr<QuillPlatform::Audio::System> retiredSystem_;
    std::map<String, SoundDef> sounds_;
    std::map<String, QuillPlatform::Audio::ChannelGroup*> classes_;
    QuillPlatform::Audio::ChannelGroup* defaultGroup_ = nullptr;
    HandleTable channelHandles_;
    IAudioCallbackHandler* callbackHandler_ = nullptr;
    bool muted_ = false;

    ConsoleCommands commands_;
    QuillPlatform::Audio::System::Clock testClock_;
    // Definitions were loaded, so a re-created system loads them again.
    bool definitionsLoaded_ = false;
    std::map<String, float> savedClassVolumes_;
    bool inUpdate_ = false;
    bool reinitPending_ = false;
};

} // namespace QuillEngine
