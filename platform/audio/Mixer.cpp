// The mixing half of the audio system: runs on SDL's audio thread (device output) or inside
// Update (silent output), always with the system's lock held. Nothing here allocates.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/audio/AudioSystem.h"

namespace QuillPlatform::Audio {

void System::DeviceCallback(void* user, uint8_t* stream, int length)
{
    auto* system = static_cast<System*>(user);
    auto* out = reinterpret_cast<float*>(stream);
    const uint32_t frames = static_cast<uint32_t>(length) / (sizeof(float) * kOutputChannels);
    std::lock_guard guard(system->lock_);
    if (!system->initialised_) {
        std::memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    system->MixLocked(out, frames);
}

float System::GroupGain(const ChannelGroup* group, bool& paused) const
{
    float gain = 1.0f;
    paused = false;
    for (const ChannelGroup* g = group; g; g = g->parent_) {
        gain *= g->mute_ ? 0.0f : g->volume_;
        paused = paused || g->paused_;
    }
    return gain;
}

void System::MixLocked(float* out, uint32_t frames)
{
    std::fill_n(out, size_t{frames} * kOutputChannels, 0.0f);
    for (uint32_t i = 0; i < voices_.size(); ++i) {
        Voice& v = voices_[i];
        if (v.state == VoiceState::Playing)
            MixVoice(i, v, out, frames);
    }
    for (size_t i = 0; i < size_t{frames} * kOutputChannels; ++i)
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

void System::MixVoice(uint32_t index, Voice& v, float* out, uint32_t frames)
{
    bool groupPaused = false;
    const float groupGain = GroupGain(v.group, groupPaused);
    if (v.paused || groupPaused)
        return;
    const float gain = v.mute ? 0.0f : groupGain;

    DspSlot* eq[kMaxDspsPerChannel];
    int eqCount = 0;
    for (int d = 0; d < v.dspCount; ++d) {
        DspSlot& slot = dsps_[v.dsps[d]];
        if (!slot.filter.IsIdentity())
            eq[eqCount++] = &slot;
    }

    uint32_t i = 0;
    while (i < frames) {
        // Bring the position back inside what plays, looping or ending.
        for (;;) {
            const bool looping = v.loopCount != 0;
            const uint32_t end = looping ? v.loopEnd : v.sound->frames_;
            if (v.position < end)
                break;
            if (!looping) {
                v.state = VoiceState::Ended;
                // Room is guaranteed by EnsureEndCapacity on the main thread.
                if (pendingEnds_.size() < pendingEnds_.capacity())
                    pendingEnds_.push_back({index, v.generation, EndReason::Finished, v.callback, v.callbackData});
                return;
            }
            v.position -= static_cast<double>(v.loopEnd - v.loopStart);
            if (v.position < v.loopStart)
                v.position = v.loopStart;
            if (v.loopCount > 0)
                --v.loopCount;
        }
        // The run of output frames before the position reaches the end of what plays.
        const bool looping = v.loopCount != 0;
        const uint32_t end = looping ? v.loopEnd : v.sound->frames_;
        const double reach = std::ceil((end - v.position) / v.step);
        const uint32_t run = static_cast<uint32_t>(std::min<double>(reach, frames - i));
        const uint32_t wrapTo = looping ? v.loopStart : end - 1;
        float* dst = out + size_t{2} * i;
        if (v.sound->channels_ == 1)
            MixRun<1>(v, eq, eqCount, gain, end, wrapTo, dst, run);
        else
            MixRun<2>(v, eq, eqCount, gain, end, wrapTo, dst, run);
        i += run;
    }
}

template <int kSourceChannels>
void System::MixRun(Voice& v, DspSlot* const* eq, int eqCount, float gain, uint32_t end, uint32_t wrapTo, float* out,
                    uint32_t run)
{
    constexpr float kScale = 1.0f / 32768.0f;
    const int16_t* pcm = v.sound->samples_.data();
    float* history = v.history.get();
    double position = v.position;
    const double step = v.step;
    const float volume = v.volume;
    for (uint32_t k = 0; k < run; ++k) {
        // Rounding in the accumulated position must never read past the end.
        const uint32_t f0 = std::min(static_cast<uint32_t>(position), end - 1);
        const float frac = static_cast<float>(position - f0);
        // The frame after the last one is the loop start (looping) or the last one again.
        const uint32_t f1 = f0 + 1 < end ? f0 + 1 : wrapTo;
        float sample[kOutputChannels];
        for (int c = 0; c < kOutputChannels; ++c) {
            const int src = kSourceChannels == 1 ? 0 : c;
            const float a = pcm[size_t{f0} * kSourceChannels + src] * kScale;
            const float b = pcm[size_t{f1} * kSourceChannels + src] * kScale;
            float s = a + (b - a) * frac;
            for (int e = 0; e < eqCount; ++e)
                s = eq[e]->state[c].Process(eq[e]->filter, s);
            sample[c] = s * volume;
        }
        if (history) {
            history[v.historyPos] = sample[0];
            history[kHistoryFrames + v.historyPos] = sample[1];
            v.historyPos = v.historyPos + 1 == kHistoryFrames ? 0 : v.historyPos + 1;
        }
        out[2 * k] += sample[0] * gain;
        out[2 * k + 1] += sample[1] * gain;
        position += step;
    }
    v.position = position;
}

} // namespace QuillPlatform::Audio
