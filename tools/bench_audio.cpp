// Mixer cost: 32 looping channels, each through three peaking-equaliser bands, mixed for 10 s of
// 48 kHz stereo output in device-sized blocks; also the cost of decoding 10 s of Ogg Vorbis and
// of one 1024-value spectrum.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <vector>

#include "platform/audio/AudioSystem.h"
#include "platform/audio/SoundCodec.h"

namespace pa = QuillPlatform::Audio;

namespace {

double Ms(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

std::vector<float> Tone(double hz, int rate, double seconds)
{
    std::vector<float> s(static_cast<size_t>(rate * seconds) * 2);
    for (size_t i = 0; i < s.size() / 2; ++i) {
        const float v = 0.2f * static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * i / rate));
        s[2 * i] = v;
        s[2 * i + 1] = v * 0.8f;
    }
    return s;
}

} // namespace

int main()
{
    constexpr int kChannels = 32;
    constexpr int kBands = 3;
    constexpr uint32_t kSeconds = 10;
    constexpr uint32_t kBlock = 1024;

    pa::System system;
    system.SetClockForTest([] { return 0; });
    if (system.Init(kChannels) != pa::Result::Ok) {
        std::fprintf(stderr, "bench_audio: the audio system did not start\n");
        return 1;
    }
    const uint32_t rate = system.OutputRate();

    // Sounds at 44.1 kHz so every channel resamples, as most game data does.
    std::vector<std::unique_ptr<pa::Sound>> sounds;
    for (int i = 0; i < 4; ++i) {
        const std::vector<float> pcm = Tone(220.0 * (i + 1), 44100, 2.0);
        std::vector<uint8_t> wav;
        pa::EncodeSound(pa::SoundFileFormat::Wav, pcm.data(), static_cast<uint32_t>(pcm.size() / 2), 2, 44100, wav);
        std::unique_ptr<pa::Sound> sound;
        if (system.CreateSound(wav.data(), wav.size(), {}, sound) != pa::Result::Ok)
            return 1;
        sounds.push_back(std::move(sound));
    }
    std::vector<pa::Channel> channels;
    for (int c = 0; c < kChannels; ++c) {
        pa::Channel channel;
        system.PlaySound(sounds[static_cast<size_t>(c) % sounds.size()].get(), false, channel);
        channel.SetLoopCount(-1);
        channel.SetVolume(0.5f);
        float centre = 125.0f;
        for (int b = 0; b < kBands; ++b, centre *= 4) {
            pa::DspId eq;
            system.CreateEqDsp(eq);
            system.SetDspParameter(eq, pa::kEqCentre, centre);
            system.SetDspParameter(eq, pa::kEqGain, 0.4f + 0.5f * b);
            channel.AddDsp(eq);
        }
        channels.push_back(channel);
    }

    std::vector<float> block(size_t{kBlock} * 2);
    const uint32_t total = rate * kSeconds;
    system.MixForTest(block.data(), kBlock); // warm-up
    const auto mixStart = std::chrono::steady_clock::now();
    for (uint32_t done = 0; done < total; done += kBlock)
        system.MixForTest(block.data(), std::min(kBlock, total - done));
    const double mixMs = Ms(std::chrono::steady_clock::now() - mixStart);
    const double realtime = kSeconds * 1000.0 / mixMs;

    // Spectrum of one channel (recording starts on the first request).
    std::vector<float> values(1024);
    channels[0].GetSpectrum(values.data(), 1024, 0, pa::SpectrumWindow::Rectangular);
    system.MixForTest(block.data(), kBlock);
    system.MixForTest(block.data(), kBlock);
    constexpr int kSpectra = 200;
    const auto specStart = std::chrono::steady_clock::now();
    for (int i = 0; i < kSpectra; ++i)
        channels[0].GetSpectrum(values.data(), 1024, 0, pa::SpectrumWindow::Rectangular);
    const double spectrumUs = Ms(std::chrono::steady_clock::now() - specStart) * 1000.0 / kSpectra;

    // Decoding 10 s of stereo Ogg Vorbis.
    const std::vector<float> music = Tone(330.0, 44100, kSeconds);
    std::vector<uint8_t> ogg;
    pa::EncodeSound(pa::SoundFileFormat::OggVorbis, music.data(), static_cast<uint32_t>(music.size() / 2), 2, 44100,
                    ogg);
    const auto decodeStart = std::chrono::steady_clock::now();
    pa::DecodedSound decoded;
    const pa::Result decodeResult = pa::DecodeSound(ogg.data(), ogg.size(), decoded);
    const double decodeMs = Ms(std::chrono::steady_clock::now() - decodeStart);
    if (decodeResult != pa::Result::Ok)
        return 1;

    std::printf("mix: %d channels x %d EQ bands, %u s at %u Hz: %.2f ms (%.1fx real time)\n", kChannels, kBands,
                kSeconds, rate, mixMs, realtime);
    std::printf("spectrum: 1024 values: %.1f us per request\n", spectrumUs);
    std::printf("decode: %u s of stereo Ogg Vorbis (%zu bytes): %.2f ms\n", kSeconds, ogg.size(), decodeMs);
    std::printf("RESULT audio mix_ms=%.2f realtime_ratio=%.1f spectrum_us=%.1f decode_ogg_ms=%.2f\n", mixMs, realtime,
                spectrumUs, decodeMs);
    return 0;
}
