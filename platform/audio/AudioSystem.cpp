#include "platform/audio/AudioSystem.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include <SDL.h>

#include "platform/audio/SoundCodec.h"

namespace QuillPlatform::Audio {

namespace {

uint64_t SteadyMicroseconds()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t NextGeneration(uint32_t generation)
{
    return generation == UINT32_MAX ? 1 : generation + 1;
}

bool IsPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

uint32_t MsToFrames(uint32_t ms, int rate)
{
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{ms} * static_cast<uint64_t>(rate) / 1000, UINT32_MAX));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Sound

Sound::~Sound()
{
    if (system_)
        system_->DetachSound(this);
}

uint32_t Sound::LengthMs() const
{
    return sampleRate_ > 0 ? static_cast<uint32_t>(uint64_t{frames_} * 1000 / static_cast<uint64_t>(sampleRate_)) : 0;
}

// ---------------------------------------------------------------------------------------------
// ChannelGroup

Result ChannelGroup::SetVolume(float volume)
{
    if (std::isnan(volume))
        return Result::InvalidParam;
    std::lock_guard guard(system_->lock_);
    volume_ = std::clamp(volume, 0.0f, 1.0f);
    return Result::Ok;
}

Result ChannelGroup::GetVolume(float& volume) const
{
    std::lock_guard guard(system_->lock_);
    volume = volume_;
    return Result::Ok;
}

Result ChannelGroup::SetMute(bool mute)
{
    std::lock_guard guard(system_->lock_);
    mute_ = mute;
    return Result::Ok;
}

Result ChannelGroup::GetMute(bool& mute) const
{
    std::lock_guard guard(system_->lock_);
    mute = mute_;
    return Result::Ok;
}

Result ChannelGroup::SetPaused(bool paused)
{
    std::lock_guard guard(system_->lock_);
    paused_ = paused;
    return Result::Ok;
}

Result ChannelGroup::GetPaused(bool& paused) const
{
    std::lock_guard guard(system_->lock_);
    paused = paused_;
    return Result::Ok;
}

// ---------------------------------------------------------------------------------------------
// System: set-up and tear-down

System::System() : clock_(SteadyMicroseconds) {}

System::~System()
{
    Close();
}

Result System::SetOutput(Output output)
{
    if (initialised_)
        return Result::InvalidParam;
    output_ = output;
    return Result::Ok;
}

Result System::Init(uint32_t maxChannels)
{
    if (initialised_)
        return Result::InvalidParam;
    const uint32_t count = std::clamp<uint32_t>(maxChannels, 1, kMaxChannels);
    outputRate_ = kDefaultOutputRate;

    if (output_ == Output::Device) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return Result::Output;
        sdlAudioUp_ = true;
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(kDefaultOutputRate);
        want.format = AUDIO_F32SYS;
        want.channels = kOutputChannels;
        want.samples = 1024;
        want.callback = &System::DeviceCallback;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (device_ == 0 || have.freq < 8000 || have.freq > 384000) {
            CloseDevice();
            return Result::Output;
        }
        outputRate_ = static_cast<uint32_t>(have.freq);
    }

    voices_.clear();
    voices_.resize(count);
    dsps_.clear();
    dsps_.resize(size_t{count} * kMaxDspsPerChannel);
    master_.reset(new ChannelGroup(this, "master", nullptr));
    groups_.clear();
    pendingEnds_.clear();
    pendingEnds_.reserve(size_t{count} * 2);
    delivering_.clear();
    delivering_.reserve(size_t{count} * 2);
    scratch_.assign(size_t{kMixChunk} * kOutputChannels, 0.0f);
    lastClock_ = clock_ ? clock_() : 0;
    clockRemainder_ = 0;
    initialised_ = true;
    if (device_ != 0)
        SDL_PauseAudioDevice(device_, 0);
    return Result::Ok;
}

void System::CloseDevice()
{
    // Not under lock_: closing waits for the audio thread, which may be waiting for lock_.
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    if (sdlAudioUp_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlAudioUp_ = false;
    }
}

void System::Close()
{
    CloseDevice();
    std::lock_guard guard(lock_);
    for (Sound* sound : sounds_)
        sound->system_ = nullptr;
    sounds_.clear();
    voices_.clear();
    dsps_.clear();
    groups_.clear();
    master_.reset();
    pendingEnds_.clear();
    initialised_ = false;
}

void System::SetClockForTest(Clock clock)
{
    std::lock_guard guard(lock_);
    clock_ = std::move(clock);
    lastClock_ = clock_ ? clock_() : 0;
    clockRemainder_ = 0;
}

void System::SetUnpauseObserverForTest(UnpauseObserver observer)
{
    std::lock_guard guard(lock_);
    unpauseObserver_ = std::move(observer);
}

void System::MixForTest(float* out, uint32_t frames)
{
    std::lock_guard guard(lock_);
    MixLocked(out, frames);
}

uint32_t System::ActiveChannelCount() const
{
    std::lock_guard guard(lock_);
    uint32_t n = 0;
    for (const Voice& v : voices_)
        n += v.state != VoiceState::Free ? 1 : 0;
    return n;
}

// ---------------------------------------------------------------------------------------------
// System: update and end reports

Result System::Update()
{
    if (!initialised_)
        return Result::NotReady;
    // A callback that calls Update again gets nothing: the reports in hand are being delivered.
    if (updating_)
        return Result::Ok;
    updating_ = true;
    {
        std::lock_guard guard(lock_);
        if (output_ == Output::NoSound && clock_) {
            const uint64_t now = clock_();
            const uint64_t elapsed = now >= lastClock_ ? now - lastClock_ : 0;
            lastClock_ = now;
            // After a long stall the silent output catches up by one second at most.
            const uint64_t total = std::min<uint64_t>(elapsed, 1000000) * outputRate_ + clockRemainder_;
            uint64_t frames = total / 1000000;
            clockRemainder_ = total % 1000000;
            while (frames > 0) {
                const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(frames, kMixChunk));
                MixLocked(scratch_.data(), n);
                frames -= n;
            }
        }
        delivering_.swap(pendingEnds_);
        EnsureEndCapacity();
    }
    for (size_t i = 0; i < delivering_.size(); ++i) {
        const PendingEnd end = delivering_[i];
        if (end.callback)
            end.callback(Channel(this, end.index, end.generation), end.reason, end.userData);
        std::lock_guard guard(lock_);
        if (!initialised_)
            break; // closed by the callback
        if (end.reason == EndReason::Finished && end.index < voices_.size()) {
            Voice& v = voices_[end.index];
            if (v.state == VoiceState::Ended && v.generation == end.generation)
                FreeVoice(end.index);
        }
    }
    delivering_.clear();
    updating_ = false;
    return Result::Ok;
}

void System::EnsureEndCapacity()
{
    // The audio thread appends reports without allocating: there must always be room for every
    // voice to end once more than what is queued already.
    const size_t needed = pendingEnds_.size() + voices_.size() + 1;
    if (pendingEnds_.capacity() < needed)
        pendingEnds_.reserve(needed * 2);
}

// ---------------------------------------------------------------------------------------------
// System: sounds, groups, plays

Result System::CreateSound(const uint8_t* data, size_t size, const SoundOptions& options, std::unique_ptr<Sound>& out)
{
    out.reset();
    if (!initialised_)
        return Result::NotReady;
    DecodedSound decoded;
    const Result result = DecodeSound(data, size, decoded);
    if (result != Result::Ok)
        return result;
    std::unique_ptr<Sound> sound(new Sound());
    sound->system_ = this;
    sound->samples_ = std::move(decoded.samples);
    sound->frames_ = decoded.frames;
    sound->channels_ = decoded.channels;
    sound->sampleRate_ = decoded.sampleRate;
    sound->options_ = options;
    std::lock_guard guard(lock_);
    sounds_.push_back(sound.get());
    out = std::move(sound);
    return Result::Ok;
}

void System::DetachSound(Sound* sound)
{
    std::lock_guard guard(lock_);
    for (uint32_t i = 0; i < voices_.size(); ++i)
        if (voices_[i].sound == sound && voices_[i].state != VoiceState::Free)
            FreeVoice(i);
    std::erase(sounds_, sound);
}

Result System::CreateChannelGroup(const std::string& name, ChannelGroup*& out)
{
    out = nullptr;
    if (!initialised_)
        return Result::NotReady;
    std::unique_ptr<ChannelGroup> group(new ChannelGroup(this, name, master_.get()));
    std::lock_guard guard(lock_);
    groups_.push_back(std::move(group));
    out = groups_.back().get();
    return Result::Ok;
}

Result System::PlaySound(Sound* sound, bool paused, Channel& out)
{
    out = Channel();
    std::lock_guard guard(lock_);
    if (!initialised_)
        return Result::NotReady;
    if (!sound || sound->system_ != this)
        return Result::InvalidParam;

    uint32_t index = UINT32_MAX;
    for (uint32_t i = 0; i < voices_.size() && index == UINT32_MAX; ++i)
        if (voices_[i].state == VoiceState::Free)
            index = i;
    if (index == UINT32_MAX) {
        // Steal the oldest playing voice; its owner hears of it as an ended channel. Voices that
        // ended and await their report are taken only when nothing plays (their report stays).
        uint64_t oldest = UINT64_MAX;
        for (const VoiceState wanted : {VoiceState::Playing, VoiceState::Ended}) {
            for (uint32_t i = 0; i < voices_.size(); ++i) {
                if (voices_[i].state == wanted && voices_[i].startOrder < oldest) {
                    oldest = voices_[i].startOrder;
                    index = i;
                }
            }
            if (index != UINT32_MAX)
                break;
        }
        Voice& victim = voices_[index];
        if (victim.state == VoiceState::Playing) {
            EnsureEndCapacity();
            pendingEnds_.push_back({index, victim.generation, EndReason::Stolen, victim.callback, victim.callbackData});
        }
        victim.stolenGeneration = victim.generation;
        FreeVoice(index);
    }

    EnsureEndCapacity();
    Voice& v = voices_[index];
    v.state = VoiceState::Playing;
    v.paused = paused;
    v.mute = false;
    v.volume = 1.0f;
    v.sound = sound;
    v.position = 0;
    v.frequency = static_cast<float>(sound->sampleRate_);
    RecomputeStep(v);
    v.loopCount = 0;
    v.loopStart = 0;
    v.loopEnd = sound->frames_;
    v.group = master_.get();
    v.startOrder = ++playCounter_;
    if (v.history)
        std::fill_n(v.history.get(), size_t{kHistoryFrames} * kOutputChannels, 0.0f);
    v.historyPos = 0;
    out = Channel(this, index, v.generation);
    return Result::Ok;
}

void System::FreeVoice(uint32_t index)
{
    Voice& v = voices_[index];
    for (int i = 0; i < v.dspCount; ++i) {
        DspSlot& slot = dsps_[v.dsps[i]];
        slot.live = false;
        slot.voice = -1;
        slot.generation = NextGeneration(slot.generation);
    }
    v.dspCount = 0;
    v.state = VoiceState::Free;
    v.generation = NextGeneration(v.generation);
    v.sound = nullptr;
    v.callback = nullptr;
    v.callbackData = nullptr;
    v.group = nullptr;
}

void System::RecomputeStep(Voice& v)
{
    v.step = static_cast<double>(v.frequency) / static_cast<double>(outputRate_);
}

System::Voice* System::Resolve(const Channel& channel, Result& result)
{
    if (!initialised_ || channel.system_ != this || channel.index_ >= voices_.size()) {
        result = Result::InvalidHandle;
        return nullptr;
    }
    Voice& v = voices_[channel.index_];
    if (v.generation != channel.generation_ || v.state == VoiceState::Free) {
        result = v.stolenGeneration == channel.generation_ ? Result::ChannelStolen : Result::InvalidHandle;
        return nullptr;
    }
    result = Result::Ok;
    return &v;
}

const System::Voice* System::Resolve(const Channel& channel, Result& result) const
{
    return const_cast<System*>(this)->Resolve(channel, result);
}

// ---------------------------------------------------------------------------------------------
// DSPs

System::DspSlot* System::ResolveDsp(DspId dsp)
{
    if (dsp.IsNull() || dsp.index >= dsps_.size())
        return nullptr;
    DspSlot& slot = dsps_[dsp.index];
    return slot.live && slot.generation == dsp.generation ? &slot : nullptr;
}

Result System::CreateEqDsp(DspId& out)
{
    out = DspId{};
    std::lock_guard guard(lock_);
    if (!initialised_)
        return Result::NotReady;
    for (uint32_t i = 0; i < dsps_.size(); ++i) {
        DspSlot& slot = dsps_[i];
        if (slot.live)
            continue;
        const uint32_t generation = slot.generation;
        slot = DspSlot{};
        slot.generation = generation;
        slot.live = true;
        RedesignDsp(slot);
        out = DspId{i, generation};
        return Result::Ok;
    }
    return Result::OutOfResources;
}

void System::RedesignDsp(DspSlot& slot)
{
    slot.filter.Design(slot.centre, slot.bandwidth, slot.gain, outputRate_);
}

Result System::SetDspParameter(DspId dsp, int index, float value)
{
    std::lock_guard guard(lock_);
    DspSlot* slot = ResolveDsp(dsp);
    if (!slot)
        return Result::InvalidHandle;
    if (!std::isfinite(value))
        return Result::InvalidParam;
    switch (index) {
    case kEqCentre:
        if (value < kEqMinCentre || value > kEqMaxCentre)
            return Result::InvalidParam;
        slot->centre = value;
        break;
    case kEqBandwidth:
        if (value < kEqMinBandwidth || value > kEqMaxBandwidth)
            return Result::InvalidParam;
        slot->bandwidth = value;
        break;
    case kEqGain:
        if (value < kEqMinGain || value > kEqMaxGain)
            return Result::InvalidParam;
        slot->gain = value;
        break;
    default:
        return Result::InvalidParam;
    }
    RedesignDsp(*slot);
    return Result::Ok;
}

Result System::GetDspParameter(DspId dsp, int index, float& value) const
{
    std::lock_guard guard(lock_);
    const DspSlot* slot = const_cast<System*>(this)->ResolveDsp(dsp);
    if (!slot)
        return Result::InvalidHandle;
    switch (index) {
    case kEqCentre:
        value = slot->centre;
        return Result::Ok;
    case kEqBandwidth:
        value = slot->bandwidth;
        return Result::Ok;
    case kEqGain:
        value = slot->gain;
        return Result::Ok;
    default:
        return Result::InvalidParam;
    }
}

Result System::ReleaseDsp(DspId dsp)
{
    std::lock_guard guard(lock_);
    DspSlot* slot = ResolveDsp(dsp);
    if (!slot)
        return Result::InvalidHandle;
    if (slot->voice >= 0) {
        Voice& v = voices_[static_cast<size_t>(slot->voice)];
        auto* end = std::remove(v.dsps, v.dsps + v.dspCount, dsp.index);
        v.dspCount = static_cast<int>(end - v.dsps);
    }
    slot->live = false;
    slot->voice = -1;
    slot->generation = NextGeneration(slot->generation);
    return Result::Ok;
}

// ---------------------------------------------------------------------------------------------
// Channel

void* Channel::ToOpaque() const
{
    static_assert(sizeof(uintptr_t) >= 8, "the token packs two 32-bit words");
    if (!system_)
        return nullptr;
    return reinterpret_cast<void*>((uintptr_t{generation_} << 32) | (uintptr_t{index_} + 1));
}

Channel Channel::FromOpaque(System* system, const void* opaque)
{
    const auto bits = reinterpret_cast<uintptr_t>(opaque);
    if (!system || (bits & 0xFFFFFFFFu) == 0)
        return Channel();
    return Channel(system, static_cast<uint32_t>((bits & 0xFFFFFFFFu) - 1), static_cast<uint32_t>(bits >> 32));
}

#define QUILL_RESOLVE_VOICE(v)                                                                                         \
    if (!system_)                                                                                                      \
        return Result::InvalidHandle;                                                                                  \
    std::lock_guard guard(system_->lock_);                                                                             \
    Result resolved;                                                                                                   \
    auto* v = system_->Resolve(*this, resolved);                                                                       \
    if (!v)                                                                                                            \
        return resolved;

Result Channel::Stop() const
{
    QUILL_RESOLVE_VOICE(v)
    // A stopped channel reports no end.
    std::erase_if(system_->pendingEnds_, [this](const System::PendingEnd& e) {
        return e.index == index_ && e.generation == generation_ && e.reason == EndReason::Finished;
    });
    system_->FreeVoice(index_);
    return Result::Ok;
}

Result Channel::SetPaused(bool paused) const
{
    QUILL_RESOLVE_VOICE(v)
    if (v->paused && !paused && system_->unpauseObserver_) {
        bool groupPaused = false;
        const float gain = system_->GroupGain(v->group, groupPaused);
        system_->unpauseObserver_(v->mute ? 0.0f : v->volume * gain);
    }
    v->paused = paused;
    return Result::Ok;
}

Result Channel::GetPaused(bool& paused) const
{
    QUILL_RESOLVE_VOICE(v)
    paused = v->paused;
    return Result::Ok;
}

Result Channel::SetMute(bool mute) const
{
    QUILL_RESOLVE_VOICE(v)
    v->mute = mute;
    return Result::Ok;
}

Result Channel::SetVolume(float volume) const
{
    if (std::isnan(volume))
        return Result::InvalidParam;
    QUILL_RESOLVE_VOICE(v)
    v->volume = std::clamp(volume, 0.0f, 1.0f);
    return Result::Ok;
}

Result Channel::GetVolume(float& volume) const
{
    QUILL_RESOLVE_VOICE(v)
    volume = v->volume;
    return Result::Ok;
}

Result Channel::SetFrequency(float frequency) const
{
    if (!std::isfinite(frequency) || frequency <= 0)
        return Result::InvalidParam;
    QUILL_RESOLVE_VOICE(v)
    // Beyond 16 output frames per frame the interpolation is meaningless; refuse it.
    if (frequency > 16.0f * static_cast<float>(system_->outputRate_))
        return Result::InvalidParam;
    v->frequency = frequency;
    system_->RecomputeStep(*v);
    return Result::Ok;
}

Result Channel::GetFrequency(float& frequency) const
{
    QUILL_RESOLVE_VOICE(v)
    frequency = v->frequency;
    return Result::Ok;
}

Result Channel::SetPosition(uint32_t milliseconds) const
{
    QUILL_RESOLVE_VOICE(v)
    const uint32_t frame = MsToFrames(milliseconds, v->sound->SampleRate());
    if (frame >= v->sound->Frames())
        return Result::InvalidParam;
    v->position = frame;
    return Result::Ok;
}

Result Channel::GetPosition(uint32_t& milliseconds) const
{
    QUILL_RESOLVE_VOICE(v)
    milliseconds = static_cast<uint32_t>(v->position * 1000.0 / v->sound->SampleRate());
    return Result::Ok;
}

Result Channel::IsPlaying(bool& playing) const
{
    QUILL_RESOLVE_VOICE(v)
    playing = v->state == System::VoiceState::Playing;
    return Result::Ok;
}

Result Channel::SetLoopCount(int32_t count) const
{
    if (count < -1)
        return Result::InvalidParam;
    QUILL_RESOLVE_VOICE(v)
    v->loopCount = count;
    return Result::Ok;
}

Result Channel::SetLoopPoints(uint32_t startMs, uint32_t endMs) const
{
    QUILL_RESOLVE_VOICE(v)
    const uint32_t frames = v->sound->Frames();
    const uint32_t start = MsToFrames(startMs, v->sound->SampleRate());
    uint32_t last = MsToFrames(endMs, v->sound->SampleRate());
    // A loop end at the sound's length (rounded) means its last frame; anything further is wrong.
    if (last > frames || start >= frames)
        return Result::InvalidParam;
    last = std::min(last, frames - 1);
    if (last < start)
        return Result::InvalidParam;
    v->loopStart = start;
    v->loopEnd = last + 1;
    return Result::Ok;
}

Result Channel::SetChannelGroup(ChannelGroup* group) const
{
    QUILL_RESOLVE_VOICE(v)
    if (!group) {
        v->group = system_->master_.get();
        return Result::Ok;
    }
    const bool ours =
        group == system_->master_.get() || std::any_of(system_->groups_.begin(), system_->groups_.end(),
                                                       [group](const auto& g) { return g.get() == group; });
    if (!ours)
        return Result::InvalidParam;
    v->group = group;
    return Result::Ok;
}

Result Channel::GetCurrentSound(Sound*& sound) const
{
    sound = nullptr;
    QUILL_RESOLVE_VOICE(v)
    sound = v->sound;
    return Result::Ok;
}

Result Channel::SetEndCallback(EndCallback callback, void* userData) const
{
    QUILL_RESOLVE_VOICE(v)
    v->callback = callback;
    v->callbackData = userData;
    return Result::Ok;
}

Result Channel::AddDsp(DspId dsp) const
{
    QUILL_RESOLVE_VOICE(v)
    System::DspSlot* slot = system_->ResolveDsp(dsp);
    if (!slot)
        return Result::InvalidHandle;
    if (slot->voice >= 0)
        return Result::InvalidParam; // already on a channel
    if (v->dspCount >= kMaxDspsPerChannel)
        return Result::OutOfResources;
    slot->voice = static_cast<int32_t>(index_);
    for (BiquadState& s : slot->state)
        s = BiquadState{};
    v->dsps[v->dspCount++] = dsp.index;
    return Result::Ok;
}

Result Channel::GetSpectrum(float* values, int count, int channelOffset, SpectrumWindow window) const
{
    if (!values || !IsPowerOfTwo(count) || count < kMinSpectrumValues || count > kMaxSpectrumValues ||
        channelOffset < 0 || channelOffset >= kOutputChannels)
        return Result::InvalidParam;
    if (!system_)
        return Result::InvalidHandle;
    const size_t window2 = size_t{2} * static_cast<size_t>(count);
    // Main-thread scratch: the samples in order, then the transform's work area.
    std::vector<float>& scratch = system_->spectrumScratch_;
    {
        std::unique_ptr<float[]> fresh;
        std::unique_lock guard(system_->lock_);
        Result resolved;
        System::Voice* v = system_->Resolve(*this, resolved);
        if (!v)
            return resolved;
        if (!v->history) {
            // Allocated outside the lock so the audio thread never waits on the allocator.
            guard.unlock();
            fresh.reset(new float[size_t{System::kHistoryFrames} * kOutputChannels]());
            guard.lock();
            v = system_->Resolve(*this, resolved);
            if (!v)
                return resolved;
            if (!v->history) {
                v->history = std::move(fresh);
                v->historyPos = 0;
            }
        }
        if (scratch.size() < window2 * 3)
            scratch.resize(size_t{kMaxSpectrumValues} * 6);
        const float* ring = v->history.get() + size_t(channelOffset) * System::kHistoryFrames;
        uint32_t pos =
            (v->historyPos + System::kHistoryFrames - static_cast<uint32_t>(window2)) % System::kHistoryFrames;
        for (size_t i = 0; i < window2; ++i) {
            scratch[i] = ring[pos];
            pos = (pos + 1) % System::kHistoryFrames;
        }
    }
    MagnitudeSpectrum(scratch.data(), count, window, scratch.data() + window2, values);
    return Result::Ok;
}

#undef QUILL_RESOLVE_VOICE

} // namespace QuillPlatform::Audio
