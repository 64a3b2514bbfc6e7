#pragma once
// The audio layer: a system of voices mixed into an SDL output device (or into nothing, advanced
// by a clock), sounds decoded from memory, channel groups, peaking-equaliser DSPs and spectra.
//
// Threads: every call comes from one thread (the engine's main thread). With the device output,
// SDL's audio thread mixes under the system's lock; it never allocates and never calls out.
// End-of-channel callbacks run on the calling thread inside System::Update.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/AudioTypes.h"
#include "platform/audio/DspMath.h"

namespace QuillPlatform::Audio {

class System;
class Sound;
class ChannelGroup;

// A DSP of the system's pool, named by slot and generation; a released DSP's id goes stale.
struct DspId {
    uint32_t index = 0;
    uint32_t generation = 0; // 0 = no DSP

    bool IsNull() const { return generation == 0; }
    friend bool operator==(const DspId&, const DspId&) = default;
};

// A channel is a voice slot plus the generation the slot had when the play began. When the
// voice is stopped, stolen or its end has been reported, the generation moves on and every
// call through an older Channel value fails with InvalidHandle (ChannelStolen when stolen).
class Channel {
public:
    using EndCallback = void (*)(Channel channel, EndReason reason, void* userData);

    Channel() = default;
    Channel(System* system, uint32_t index, uint32_t generation)
        : system_(system), index_(index), generation_(generation)
    {
    }

    bool IsNull() const { return system_ == nullptr; }
    // A non-null pointer-sized token for tables keyed by pointer; FromOpaque reverses it.
    void* ToOpaque() const;
    static Channel FromOpaque(System* system, const void* opaque);

    Result Stop() const;
    Result SetPaused(bool paused) const;
    Result GetPaused(bool& paused) const;
    Result SetMute(bool mute) const;
    Result SetVolume(float volume) const; // clamped to [0, 1]
    Result GetVolume(float& volume) const;
    // Playback rate in frames per second (the sound's own rate by default).
    Result SetFrequency(float frequency) const;
    Result GetFrequency(float& frequency) const;
    Result SetPosition(uint32_t milliseconds) const;
    Result GetPosition(uint32_t& milliseconds) const;
    // A voice whose sound has ended stays "not playing" (not an error) until Update reports it.
    Result IsPlaying(bool& playing) const;
    // -1 loops forever, 0 plays once, n plays n + 1 times.
    Result SetLoopCount(int32_t count) const;
    // The loop region; `endMs` is the last millisecond played before jumping back.
    Result SetLoopPoints(uint32_t startMs, uint32_t endMs) const;
    // Null puts the channel back in the master group.
    Result SetChannelGroup(ChannelGroup* group) const;
    Result GetCurrentSound(Sound*& sound) const;
    Result SetEndCallback(EndCallback callback, void* userData) const;
    // The DSP then belongs to the channel: it is released when the channel ends.
    Result AddDsp(DspId dsp) const;
    // `count` values of the channel's recent output on `channelOffset` (0 left, 1 right). The
    // first request on a channel starts recording its output, so it gives zeros.
    Result GetSpectrum(float* values, int count, int channelOffset, SpectrumWindow window) const;

    uint32_t Index() const { return index_; }
    uint32_t Generation() const { return generation_; }
    friend bool operator==(const Channel&, const Channel&) = default;

private:
    friend class System;

    System* system_ = nullptr;
    uint32_t index_ = 0;
    uint32_t generation_ = 0;
};

// Volume, mute and pause over the channels in it and its child groups. Owned by the system.
class ChannelGroup {
public:
    const std::string& Name() const { return name_; }
    Result SetVolume(float volume); // clamped to [0, 1]
    Result GetVolume(float& volume) const;
    Result SetMute(bool mute);
    Result GetMute(bool& mute) const;
    Result SetPaused(bool paused);
    Result GetPaused(bool& paused) const;

private:
    friend class System;
    ChannelGroup(System* system, std::string name, ChannelGroup* parent)
        : system_(system), name_(std::move(name)), parent_(parent)
    {
    }

    System* system_;
    std::string name_;
    ChannelGroup* parent_;
    float volume_ = 1.0f;
    bool mute_ = false;
    bool paused_ = false;
};

struct SoundOptions {
    bool streaming = false; // accepted; sounds are decoded whole either way
};

// Decoded PCM. Destroying a sound stops the channels that play it. A sound outlives its system
// safely: it is then detached and can no longer be played.
class Sound {
public:
    ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    uint32_t Frames() const { return frames_; }
    int Channels() const { return channels_; }
    int SampleRate() const { return sampleRate_; }
    uint32_t LengthMs() const;
    bool IsStreaming() const { return options_.streaming; }
    System* GetSystem() const { return system_; }
    void SetUserData(void* data) { userData_ = data; }
    void* GetUserData() const { return userData_; }

private:
    friend class System;
    Sound() = default;

    System* system_ = nullptr;
    std::vector<int16_t> samples_;
    uint32_t frames_ = 0;
    int channels_ = 0;
    int sampleRate_ = 0;
    SoundOptions options_;
    void* userData_ = nullptr;
};

class System {
public:
    // Microseconds of a monotonic clock; the silent output advances by it.
    using Clock = std::function<uint64_t()>;

    System();
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    // Before Init only.
    Result SetOutput(Output output);
    Output GetOutput() const { return output_; }
    // Allocates `maxChannels` voices (clamped to [1, kMaxChannels]) and opens the output. The
    // device output fails with Output when no device opens; the system then stays uninitialised.
    Result Init(uint32_t maxChannels);
    // Stops everything, closes the output and frees groups and DSPs; sounds are detached.
    void Close();
    bool IsInitialised() const { return initialised_; }

    // Advances the silent output by the clock, then reports ended channels to their callbacks.
    Result Update();

    Result CreateSound(const uint8_t* data, size_t size, const SoundOptions& options, std::unique_ptr<Sound>& out);
    Result CreateChannelGroup(const std::string& name, ChannelGroup*& out);
    ChannelGroup* GetMasterChannelGroup() { return master_.get(); }
    // Starts the sound on a free voice, or steals the oldest playing one when none is free.
    Result PlaySound(Sound* sound, bool paused, Channel& out);

    // A peaking equaliser: 1 kHz, one octave, unity gain until its parameters are set.
    Result CreateEqDsp(DspId& out);
    Result SetDspParameter(DspId dsp, int index, float value);
    Result GetDspParameter(DspId dsp, int index, float& value) const;
    Result ReleaseDsp(DspId dsp);

    uint32_t OutputRate() const { return outputRate_; }
    uint32_t MaxChannels() const { return static_cast<uint32_t>(voices_.size()); }
    // Voices started and not yet freed (paused and ended-but-unreported ones included).
    uint32_t ActiveChannelCount() const;

    // Test hooks: the silent output's clock, and mixing `frames` frames into `out` (interleaved
    // stereo) as the device would.
    void SetClockForTest(Clock clock);
    void MixForTest(float* out, uint32_t frames);
    // Test seam: told, as a paused channel is let go, the level its first mixed block will have
    // (its volume times its groups' gains), so a test sees what the mixer thread would take.
    using UnpauseObserver = std::function<void(float level)>;
    void SetUnpauseObserverForTest(UnpauseObserver observer);

private:
    friend class Channel;
    friend class ChannelGroup;
    friend class Sound;

    enum class VoiceState : uint8_t { Free, Playing, Ended };

    struct Voice {
        uint32_t generation = 1;
        VoiceState state = VoiceState::Free;
        bool paused = false;
        bool mute = false;
        float volume = 1.0f;
        Sound* sound = nullptr;
        double position = 0; // in frames of the sound
        double step = 1;     // frames of the sound per output frame
        float frequency = 0;
        int32_t loopCount = 0;
        uint32_t loopStart = 0;
        uint32_t loopEnd = 0; // exclusive
        ChannelGroup* group = nullptr;
        Channel::EndCallback callback = nullptr;
        void* callbackData = nullptr;
        uint32_t dsps[kMaxDspsPerChannel] = {};
        int dspCount = 0;
        uint64_t startOrder = 0;
        uint32_t stolenGeneration = 0; // the generation a newer play took the voice from
        // Recent output per channel for spectra, allocated on the first request.
        std::unique_ptr<float[]> history;
        uint32_t historyPos = 0;
    };

    struct DspSlot {
        uint32_t generation = 1;
        bool live = false;
        int32_t voice = -1; // the voice it is attached to
        float centre = 1000.0f;
        float bandwidth = 1.0f;
        float gain = 1.0f;
        PeakingBiquad filter;
        BiquadState state[kOutputChannels];
    };

    struct PendingEnd {
        uint32_t index;
        uint32_t generation;
        EndReason reason;
        Channel::EndCallback callback;
        void* userData;
    };

    static constexpr uint32_t kHistoryFrames = 2 * kMaxSpectrumValues;
    static constexpr uint32_t kMixChunk = 1024;

    // The voice behind a channel value, or null with the failure in `result`.
    Voice* Resolve(const Channel& channel, Result& result);
    const Voice* Resolve(const Channel& channel, Result& result) const;
    DspSlot* ResolveDsp(DspId dsp);
    void FreeVoice(uint32_t index);
    void RecomputeStep(Voice& voice);
    void RedesignDsp(DspSlot& slot);
    void EnsureEndCapacity();
    void DetachSound(Sound* sound);
    void CloseDevice();

    // Mixing (the caller holds lock_).
    void MixLocked(float* out, uint32_t frames);
    void MixVoice(uint32_t index, Voice& voice, float* out, uint32_t frames);
    template <int kSourceChannels>
    void MixRun(Voice& voice, DspSlot* const* eq, int eqCount, float gain, uint32_t end, uint32_t wrapTo, float* out,
                uint32_t run);
    float GroupGain(const ChannelGroup* group, bool& paused) const;

    static void DeviceCallback(void* user, uint8_t* stream, int length);

    mutable std::mutex lock_;
    Output output_ = Output::NoSound;
    bool initialised_ = false;
    bool updating_ = false;
    uint32_t outputRate_ = kDefaultOutputRate;
    uint32_t device_ = 0;
    bool sdlAudioUp_ = false;

    std::vector<Voice> voices_;
    std::vector<DspSlot> dsps_;
    std::unique_ptr<ChannelGroup> master_;
    std::vector<std::unique_ptr<ChannelGroup>> groups_;
    std::vector<Sound*> sounds_; // live sounds created here (not owned)
    std::vector<PendingEnd> pendingEnds_;
    std::vector<PendingEnd> delivering_;
    uint64_t playCounter_ = 0;

    Clock clock_;
    UnpauseObserver unpauseObserver_;
    uint64_t lastClock_ = 0;
    uint64_t clockRemainder_ = 0; // microseconds x rate not yet turned into frames
    std::vector<float> scratch_;
    std::vector<float> spectrumScratch_; // main thread only
};

} // namespace QuillPlatform::Audio
