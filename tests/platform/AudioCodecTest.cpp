#include <complex>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/audio/DspMath.h"
#include "platform/audio/SoundCodec.h"
#include "tests/platform/AudioTestSupport.h"

using namespace AudioTest;
namespace pa = QuillPlatform::Audio;

namespace {

struct FormatCase {
    pa::SoundFileFormat format;
    const char* name;
};

class AudioCodecFormatTest : public testing::TestWithParam<FormatCase> {};

// Each format decodes to the rate, channel count and length written, and keeps the signal.
TEST_P(AudioCodecFormatTest, DecodesWhatWasEncoded)
{
    const FormatCase c = GetParam();
    if (!pa::CanEncode(c.format))
        GTEST_SKIP() << "this libsndfile cannot write " << c.name;
    const int rate = 44100;
    const uint32_t frames = 22050;
    const std::vector<float> sine = Sine(441.0f, 0.5f, rate, frames, 2);
    const std::vector<uint8_t> bytes = Encode(c.format, sine, 2, rate);
    ASSERT_FALSE(bytes.empty());

    pa::DecodedSound decoded;
    ASSERT_EQ(pa::DecodeSound(bytes.data(), bytes.size(), decoded), pa::Result::Ok) << c.name;
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(decoded.sampleRate, rate);
    // Lossy coders may pad or trim a frame block at either end.
    EXPECT_NEAR(static_cast<double>(decoded.frames), frames, 2400.0) << c.name;
    int16_t peak = 0;
    for (int16_t s : decoded.samples)
        peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(s)));
    EXPECT_NEAR(peak / 32768.0, 0.5, 0.06) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioCodecFormatTest,
                         testing::Values(FormatCase{pa::SoundFileFormat::Wav, "wav"},
                                         FormatCase{pa::SoundFileFormat::OggVorbis, "ogg"},
                                         FormatCase{pa::SoundFileFormat::Flac, "flac"},
                                         FormatCase{pa::SoundFileFormat::Mp3, "mp3"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A canonical 44-byte PCM WAV header.
std::vector<uint8_t> WavHeader(uint16_t channels, uint32_t rate, uint32_t dataBytes)
{
    std::vector<uint8_t> h(44);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&h[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&h[at], &v, 2); };
    std::memcpy(&h[0], "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, channels);
    put32(24, rate);
    put32(28, rate * channels * 2u);
    put16(32, static_cast<uint16_t>(channels * 2));
    put16(34, 16);
    std::memcpy(&h[36], "data", 4);
    put32(40, dataBytes);
    return h;
}

TEST(AudioCodecTest, RefusesDataThatIsNoUsableSound)
{
    pa::DecodedSound out;
    const std::string junk = "this is not a sound file at all, only text";
    EXPECT_EQ(pa::DecodeSound(reinterpret_cast<const uint8_t*>(junk.data()), junk.size(), out), pa::Result::Format);
    EXPECT_EQ(pa::DecodeSound(nullptr, 0, out), pa::Result::Format);

    // A header with no sample data: nothing to play.
    const std::vector<uint8_t> empty = WavHeader(1, 22050, 0);
    EXPECT_EQ(pa::DecodeSound(empty.data(), empty.size(), out), pa::Result::Format);

    // Too many channels for the mixer to make sense of.
    std::vector<uint8_t> wide = WavHeader(200, 22050, 400 * 4);
    wide.resize(wide.size() + 400 * 4);
    EXPECT_EQ(pa::DecodeSound(wide.data(), wide.size(), out), pa::Result::Format);
    EXPECT_TRUE(out.samples.empty());
}

// A file with more than two channels plays as stereo: each frame keeps its first two channels,
// in order. Eight channels is the most a file may have.
TEST(AudioCodecTest, ExtraChannelsAreDroppedKeepingTheFirstTwoOfEachFrame)
{
    for (uint16_t channels : {4, 8, 9}) {
        const uint32_t frames = 100;
        std::vector<uint8_t> wav = WavHeader(channels, 22050, frames * channels * 2u);
        for (uint32_t f = 0; f < frames; ++f) {
            for (uint16_t c = 0; c < channels; ++c) {
                const int16_t s = static_cast<int16_t>(f * 16 + c);
                wav.push_back(static_cast<uint8_t>(s & 0xFF));
                wav.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
            }
        }
        pa::DecodedSound out;
        if (channels > pa::kMaxFileChannels) {
            EXPECT_EQ(pa::DecodeSound(wav.data(), wav.size(), out), pa::Result::Format) << channels;
            continue;
        }
        ASSERT_EQ(pa::DecodeSound(wav.data(), wav.size(), out), pa::Result::Ok) << channels;
        EXPECT_EQ(out.channels, 2);
        ASSERT_EQ(out.frames, frames);
        ASSERT_EQ(out.samples.size(), frames * 2);
        for (uint32_t f = 0; f < frames; ++f) {
            EXPECT_EQ(out.samples[f * 2], static_cast<int16_t>(f * 16)) << channels << " channels, frame " << f;
            EXPECT_EQ(out.samples[f * 2 + 1], static_cast<int16_t>(f * 16 + 1)) << channels << " channels, frame " << f;
        }
    }
}

TEST(AudioCodecTest, HeaderClaimingMoreDataThanTheFileHoldsDecodesWhatIsThere)
{
    // The data chunk claims 2 GB; the file holds 1000 frames.
    std::vector<uint8_t> wav = WavHeader(1, 22050, 0x7FFFFF00u);
    for (int i = 0; i < 1000; ++i) {
        const int16_t s = static_cast<int16_t>(i * 7);
        wav.push_back(static_cast<uint8_t>(s & 0xFF));
        wav.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
    pa::DecodedSound out;
    ASSERT_EQ(pa::DecodeSound(wav.data(), wav.size(), out), pa::Result::Ok);
    EXPECT_EQ(out.frames, 1000u);
    EXPECT_LE(out.samples.capacity(), 4096u);
    EXPECT_EQ(out.samples[999], static_cast<int16_t>(999 * 7));
}

TEST(AudioCodecTest, PeakingFilterDesignHitsItsGainAtTheCentre)
{
    pa::PeakingBiquad f;
    f.Design(1000.0f, 1.0f, 0.4f, 48000);
    // |H(e^jw)| at the centre.
    const double w = 2.0 * std::numbers::pi * 1000.0 / 48000.0;
    auto mag = [&](double wv) {
        const std::complex<double> z = std::polar(1.0, -wv);
        const auto num = double(f.b0) + double(f.b1) * z + double(f.b2) * z * z;
        const auto den = 1.0 + double(f.a1) * z + double(f.a2) * z * z;
        return std::abs(num / den);
    };
    EXPECT_NEAR(mag(w), 0.4, 1e-3);
    EXPECT_NEAR(mag(w / 16), 1.0, 0.02);
    EXPECT_NEAR(mag(w * 8), 1.0, 0.05);

    // A centre near or past the Nyquist frequency would be unstable: the filter passes through.
    f.Design(22000.0f, 1.0f, 3.0f, 44100);
    EXPECT_TRUE(f.IsIdentity());
}

} // namespace
