#pragma once
// Generated test signals for the audio layer tests.

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "platform/audio/AudioSystem.h"
#include "platform/audio/SoundCodec.h"

namespace AudioTest {

namespace pa = QuillPlatform::Audio;

inline std::vector<float> Sine(float hz, float amplitude, int rate, uint32_t frames, int channels = 1)
{
    std::vector<float> out(size_t{frames} * static_cast<size_t>(channels));
    for (uint32_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[size_t{i} * channels + c] =
                amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * i / rate));
    return out;
}

inline std::vector<float> Constant(float value, uint32_t frames)
{
    return std::vector<float>(frames, value);
}

inline std::vector<uint8_t> Encode(pa::SoundFileFormat format, const std::vector<float>& samples, int channels,
                                   int rate)
{
    std::vector<uint8_t> bytes;
    const uint32_t frames = static_cast<uint32_t>(samples.size() / static_cast<size_t>(channels));
    EXPECT_TRUE(pa::EncodeSound(format, samples.data(), frames, channels, rate, bytes));
    return bytes;
}

inline std::unique_ptr<pa::Sound> MakeSound(pa::System& system, const std::vector<float>& samples, int rate,
                                            int channels = 1)
{
    const std::vector<uint8_t> wav = Encode(pa::SoundFileFormat::Wav, samples, channels, rate);
    std::unique_ptr<pa::Sound> sound;
    EXPECT_EQ(system.CreateSound(wav.data(), wav.size(), {}, sound), pa::Result::Ok);
    return sound;
}

// Root mean square of one channel of interleaved stereo, skipping `skip` frames of settling.
inline double Rms(const std::vector<float>& stereo, int channel, size_t skip = 0)
{
    double sum = 0;
    size_t n = 0;
    for (size_t i = skip; i < stereo.size() / 2; ++i, ++n)
        sum += double(stereo[2 * i + channel]) * stereo[2 * i + channel];
    return n ? std::sqrt(sum / n) : 0.0;
}

} // namespace AudioTest
