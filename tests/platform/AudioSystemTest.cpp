#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/AudioTestSupport.h"

using namespace AudioTest;
namespace pa = QuillPlatform::Audio;
using pa::Result;

namespace {

constexpr int kRate = 48000; // the silent output's rate: one sound frame per output frame

struct EndLog {
    struct Entry {
        pa::Channel channel;
        pa::EndReason reason;
    };
    std::vector<Entry> entries;

    static void Record(pa::Channel channel, pa::EndReason reason, void* user)
    {
        static_cast<EndLog*>(user)->entries.push_back({channel, reason});
    }
};

class AudioSystemTest : public testing::Test {
protected:
    void SetUp() override
    {
        system.SetClockForTest([this] { return now; });
        ASSERT_EQ(system.SetOutput(pa::Output::NoSound), Result::Ok);
        ASSERT_EQ(system.Init(8), Result::Ok);
        ASSERT_EQ(system.OutputRate(), static_cast<uint32_t>(kRate));
    }

    // Mixes `frames` frames and returns them (interleaved stereo).
    std::vector<float> Mix(uint32_t frames)
    {
        std::vector<float> out(size_t{frames} * 2);
        system.MixForTest(out.data(), frames);
        return out;
    }

    pa::Channel Play(pa::Sound* sound, bool paused = false)
    {
        pa::Channel channel;
        EXPECT_EQ(system.PlaySound(sound, paused, channel), Result::Ok);
        EXPECT_EQ(channel.SetEndCallback(&EndLog::Record, &ends), Result::Ok);
        return channel;
    }

    static uint32_t PositionMs(const pa::Channel& channel)
    {
        uint32_t ms = 0;
        EXPECT_EQ(channel.GetPosition(ms), Result::Ok);
        return ms;
    }

    uint64_t now = 0;
    pa::System system;
    EndLog ends;
};

TEST_F(AudioSystemTest, FinishedChannelIsReportedOnceInsideUpdateThenGoesStale)
{
    auto sound = MakeSound(system, Constant(0.25f, 4800), kRate); // 100 ms
    const pa::Channel channel = Play(sound.get());
    Mix(4799);
    bool playing = false;
    ASSERT_EQ(channel.IsPlaying(playing), Result::Ok);
    EXPECT_TRUE(playing);

    Mix(10);
    // Ended, but the report waits for Update: the channel still answers, as not playing.
    ASSERT_EQ(channel.IsPlaying(playing), Result::Ok);
    EXPECT_FALSE(playing);
    EXPECT_TRUE(ends.entries.empty());

    system.Update();
    ASSERT_EQ(ends.entries.size(), 1u);
    EXPECT_EQ(ends.entries[0].channel, channel);
    EXPECT_EQ(ends.entries[0].reason, pa::EndReason::Finished);
    EXPECT_EQ(channel.IsPlaying(playing), Result::InvalidHandle);
    EXPECT_EQ(channel.SetVolume(0.5f), Result::InvalidHandle);

    system.Update();
    EXPECT_EQ(ends.entries.size(), 1u);
    EXPECT_EQ(system.ActiveChannelCount(), 0u);
}

TEST_F(AudioSystemTest, StoppedChannelReportsNothingAndItsStaleValueCannotTouchTheVoiceReusingItsSlot)
{
    auto sound = MakeSound(system, Constant(0.5f, 4800), kRate);
    const pa::Channel first = Play(sound.get());
    ASSERT_EQ(first.Stop(), Result::Ok);
    EXPECT_EQ(first.Stop(), Result::InvalidHandle);

    const pa::Channel second = Play(sound.get());
    EXPECT_EQ(second.Index(), first.Index()); // same slot, new generation
    EXPECT_NE(second.ToOpaque(), first.ToOpaque());
    EXPECT_EQ(first.SetVolume(0.0f), Result::InvalidHandle);
    float volume = 0;
    ASSERT_EQ(second.GetVolume(volume), Result::Ok);
    EXPECT_EQ(volume, 1.0f);
    EXPECT_EQ(pa::Channel::FromOpaque(&system, second.ToOpaque()), second);

    Mix(9600);
    system.Update();
    ASSERT_EQ(ends.entries.size(), 1u); // only the second, which finished
    EXPECT_EQ(ends.entries[0].channel, second);
}

TEST_F(AudioSystemTest, LoopPointsRepeatTheRegionAndTheLoopCountEndsIt)
{
    auto sound = MakeSound(system, Constant(0.5f, kRate), kRate); // 1 s
    const pa::Channel channel = Play(sound.get());
    ASSERT_EQ(channel.SetLoopPoints(200, 400), Result::Ok); // frames 9600 to 19200 inclusive
    ASSERT_EQ(channel.SetLoopCount(-1), Result::Ok);
    Mix(24000); // 19201 to the loop end, 4799 into the second pass
    EXPECT_EQ(PositionMs(channel), (9600u + 4799u) * 1000u / kRate);
    Mix(kRate * 5);
    uint32_t ms = PositionMs(channel);
    EXPECT_GE(ms, 200u);
    EXPECT_LE(ms, 400u);

    // One more pass, then on to the end of the sound.
    ASSERT_EQ(channel.SetPosition(0), Result::Ok);
    ASSERT_EQ(channel.SetLoopCount(1), Result::Ok);
    const uint32_t total = 19201 + 9601 + (kRate - 19201);
    Mix(total - 1);
    bool playing = false;
    ASSERT_EQ(channel.IsPlaying(playing), Result::Ok);
    EXPECT_TRUE(playing);
    Mix(2);
    ASSERT_EQ(channel.IsPlaying(playing), Result::Ok);
    EXPECT_FALSE(playing);

    // Regions outside the sound are refused.
    const pa::Channel other = Play(sound.get());
    EXPECT_EQ(other.SetLoopPoints(500, 400), Result::InvalidParam);
    EXPECT_EQ(other.SetLoopPoints(200, 5000), Result::InvalidParam);
    EXPECT_EQ(other.SetLoopPoints(1000, 1000), Result::InvalidParam);
    EXPECT_EQ(other.SetLoopPoints(0, 1000), Result::Ok); // the end, rounded, is the last frame
    EXPECT_EQ(other.SetLoopCount(-2), Result::InvalidParam);
}

TEST_F(AudioSystemTest, PauseHoldsThePositionAndSeekAndFrequencyMoveIt)
{
    auto sound = MakeSound(system, Constant(0.5f, kRate), kRate);
    const pa::Channel channel = Play(sound.get(), true);
    Mix(4800);
    EXPECT_EQ(PositionMs(channel), 0u);
    ASSERT_EQ(channel.SetPaused(false), Result::Ok);
    Mix(4800);
    EXPECT_EQ(PositionMs(channel), 100u);

    ASSERT_EQ(channel.SetPosition(750), Result::Ok);
    EXPECT_EQ(PositionMs(channel), 750u);
    EXPECT_EQ(channel.SetPosition(1000), Result::InvalidParam);
    EXPECT_EQ(PositionMs(channel), 750u);

    ASSERT_EQ(channel.SetFrequency(2.0f * kRate), Result::Ok);
    float frequency = 0;
    ASSERT_EQ(channel.GetFrequency(frequency), Result::Ok);
    EXPECT_EQ(frequency, 2.0f * kRate);
    Mix(4800);
    EXPECT_EQ(PositionMs(channel), 950u);
    EXPECT_EQ(channel.SetFrequency(0.0f), Result::InvalidParam);
    EXPECT_EQ(channel.SetFrequency(-100.0f), Result::InvalidParam);
    EXPECT_EQ(channel.SetFrequency(1e9f), Result::InvalidParam);
}

TEST_F(AudioSystemTest, GroupVolumeMuteAndPauseApplyToTheirChannels)
{
    auto sound = MakeSound(system, Constant(0.5f, kRate), kRate);
    pa::ChannelGroup* music = nullptr;
    ASSERT_EQ(system.CreateChannelGroup("Music", music), Result::Ok);
    const pa::Channel channel = Play(sound.get());
    ASSERT_EQ(channel.SetChannelGroup(music), Result::Ok);
    ASSERT_EQ(channel.SetVolume(0.5f), Result::Ok);
    ASSERT_EQ(music->SetVolume(0.5f), Result::Ok);
    std::vector<float> out = Mix(16);
    EXPECT_NEAR(out[0], 0.125f, 1e-3);
    EXPECT_NEAR(out[1], 0.125f, 1e-3);

    ASSERT_EQ(music->SetMute(true), Result::Ok);
    out = Mix(16);
    EXPECT_EQ(out[8], 0.0f);
    ASSERT_EQ(music->SetMute(false), Result::Ok);
    ASSERT_EQ(system.GetMasterChannelGroup()->SetMute(true), Result::Ok);
    out = Mix(16);
    EXPECT_EQ(out[8], 0.0f);
    ASSERT_EQ(system.GetMasterChannelGroup()->SetMute(false), Result::Ok);

    // Muting keeps time running; pausing the group stops it.
    EXPECT_EQ(PositionMs(channel), 1u);
    ASSERT_EQ(music->SetPaused(true), Result::Ok);
    Mix(4800);
    EXPECT_EQ(PositionMs(channel), 1u);

    pa::System other;
    other.SetClockForTest([] { return 0; });
    ASSERT_EQ(other.Init(1), Result::Ok);
    pa::ChannelGroup* foreign = nullptr;
    ASSERT_EQ(other.CreateChannelGroup("x", foreign), Result::Ok);
    EXPECT_EQ(channel.SetChannelGroup(foreign), Result::InvalidParam);
    EXPECT_EQ(music->SetVolume(std::nanf("")), Result::InvalidParam);
}

TEST_F(AudioSystemTest, PeakingEqualiserCutsItsCentreFrequencyAndLeavesOthers)
{
    auto measure = [&](float hz, bool withEq) {
        auto sound = MakeSound(system, Sine(hz, 0.5f, kRate, kRate / 2), kRate);
        const pa::Channel channel = Play(sound.get());
        if (withEq) {
            pa::DspId eq;
            EXPECT_EQ(system.CreateEqDsp(eq), Result::Ok);
            EXPECT_EQ(system.SetDspParameter(eq, pa::kEqCentre, 1000.0f), Result::Ok);
            EXPECT_EQ(system.SetDspParameter(eq, pa::kEqBandwidth, 1.0f), Result::Ok);
            EXPECT_EQ(system.SetDspParameter(eq, pa::kEqGain, 0.4f), Result::Ok);
            EXPECT_EQ(channel.AddDsp(eq), Result::Ok);
        }
        const double rms = Rms(Mix(kRate / 4), 0, 2400);
        channel.Stop();
        return rms;
    };
    EXPECT_NEAR(measure(1000.0f, true) / measure(1000.0f, false), 0.4, 0.02);
    EXPECT_NEAR(measure(8000.0f, true) / measure(8000.0f, false), 1.0, 0.05);
    EXPECT_NEAR(measure(125.0f, true) / measure(125.0f, false), 1.0, 0.05);
}

TEST_F(AudioSystemTest, EqualiserParametersAreCheckedAndTheDspDiesWithItsChannel)
{
    pa::DspId eq;
    ASSERT_EQ(system.CreateEqDsp(eq), Result::Ok);
    EXPECT_EQ(system.SetDspParameter(eq, pa::kEqGain, 0.0f), Result::InvalidParam);
    EXPECT_EQ(system.SetDspParameter(eq, pa::kEqCentre, 1e6f), Result::InvalidParam);
    EXPECT_EQ(system.SetDspParameter(eq, 7, 1.0f), Result::InvalidParam);
    float gain = 0;
    ASSERT_EQ(system.GetDspParameter(eq, pa::kEqGain, gain), Result::Ok);
    EXPECT_EQ(gain, 1.0f);

    auto sound = MakeSound(system, Constant(0.5f, 480), kRate);
    const pa::Channel a = Play(sound.get());
    ASSERT_EQ(a.AddDsp(eq), Result::Ok);
    const pa::Channel b = Play(sound.get());
    EXPECT_EQ(b.AddDsp(eq), Result::InvalidParam); // one channel at a time
    Mix(960);
    system.Update();
    EXPECT_EQ(system.SetDspParameter(eq, pa::kEqGain, 2.0f), Result::InvalidHandle);

    // Channels that end give their DSPs back: the pool never runs dry.
    for (int round = 0; round < 200; ++round) {
        const pa::Channel c = Play(sound.get());
        for (int band = 0; band < pa::kMaxDspsPerChannel; ++band) {
            pa::DspId d;
            ASSERT_EQ(system.CreateEqDsp(d), Result::Ok) << round;
            ASSERT_EQ(c.AddDsp(d), Result::Ok);
        }
        pa::DspId extra;
        ASSERT_EQ(system.CreateEqDsp(extra), Result::Ok);
        EXPECT_EQ(c.AddDsp(extra), Result::OutOfResources);
        EXPECT_EQ(system.ReleaseDsp(extra), Result::Ok);
        c.Stop();
    }
}

TEST_F(AudioSystemTest, SpectrumOfASinePeaksAtItsBin)
{
    constexpr int kCount = 1024;                      // bins of 48000 / 2048 Hz
    const float hz = 40.0f * kRate / (2.0f * kCount); // centred on bin 40
    auto sound = MakeSound(system, Sine(hz, 0.5f, kRate, kRate), kRate);
    const pa::Channel channel = Play(sound.get());
    std::vector<float> values(kCount, -1.0f);
    ASSERT_EQ(channel.GetSpectrum(values.data(), kCount, 0, pa::SpectrumWindow::Rectangular), Result::Ok);
    EXPECT_EQ(*std::max_element(values.begin(), values.end()), 0.0f); // recording has just begun

    Mix(4 * kCount);
    for (int offset : {0, 1}) {
        ASSERT_EQ(channel.GetSpectrum(values.data(), kCount, offset, pa::SpectrumWindow::Rectangular), Result::Ok);
        const auto peak = std::max_element(values.begin(), values.end());
        EXPECT_EQ(peak - values.begin(), 40);
        EXPECT_NEAR(*peak, 0.5f, 0.01f);
        EXPECT_LT(values[45], 0.01f);
    }
    ASSERT_EQ(channel.GetSpectrum(values.data(), kCount, 0, pa::SpectrumWindow::Hann), Result::Ok);
    const auto hannPeak = std::max_element(values.begin(), values.end());
    EXPECT_EQ(hannPeak - values.begin(), 40);
    EXPECT_NEAR(*hannPeak, 0.5f, 0.02f);

    EXPECT_EQ(channel.GetSpectrum(values.data(), 1000, 0, pa::SpectrumWindow::Rectangular), Result::InvalidParam);
    EXPECT_EQ(channel.GetSpectrum(values.data(), 8192, 0, pa::SpectrumWindow::Rectangular), Result::InvalidParam);
    EXPECT_EQ(channel.GetSpectrum(values.data(), 64, 2, pa::SpectrumWindow::Rectangular), Result::InvalidParam);
}

TEST_F(AudioSystemTest, PlayingPastTheChannelCountStealsTheOldestAndReportsEveryChannel)
{
    auto sound = MakeSound(system, Constant(0.1f, 480), kRate);
    std::vector<pa::Channel> channels;
    for (int i = 0; i < 1000; ++i)
        channels.push_back(Play(sound.get()));
    EXPECT_EQ(channels[991].SetVolume(1.0f), Result::ChannelStolen); // taken by the last play
    EXPECT_EQ(channels[0].SetVolume(1.0f), Result::InvalidHandle);   // its slot moved on since
    EXPECT_EQ(system.ActiveChannelCount(), 8u);
    Mix(960);
    system.Update();
    ASSERT_EQ(ends.entries.size(), 1000u);
    const auto stolen = std::count_if(ends.entries.begin(), ends.entries.end(),
                                      [](const auto& e) { return e.reason == pa::EndReason::Stolen; });
    EXPECT_EQ(stolen, 992);
    EXPECT_EQ(system.ActiveChannelCount(), 0u);
}

TEST_F(AudioSystemTest, CallbacksMayPlayStopAndUpdateAgain)
{
    auto sound = MakeSound(system, Constant(0.1f, 480), kRate);
    struct Context {
        pa::System* system;
        pa::Sound* sound;
        std::vector<pa::Channel> started;
        int calls = 0;
    } context{&system, sound.get(), {}, 0};
    auto callback = [](pa::Channel, pa::EndReason, void* user) {
        auto* c = static_cast<Context*>(user);
        ++c->calls;
        c->system->Update(); // ignored: the reports are being delivered
        pa::Channel next;
        if (c->system->PlaySound(c->sound, false, next) == Result::Ok)
            c->started.push_back(next);
    };
    for (int i = 0; i < 3; ++i) {
        pa::Channel ch;
        ASSERT_EQ(system.PlaySound(sound.get(), false, ch), Result::Ok);
        ASSERT_EQ(ch.SetEndCallback(callback, &context), Result::Ok);
    }
    Mix(600);
    system.Update();
    EXPECT_EQ(context.calls, 3);
    ASSERT_EQ(context.started.size(), 3u);
    for (const pa::Channel& ch : context.started) {
        bool playing = false;
        ASSERT_EQ(ch.IsPlaying(playing), Result::Ok);
        EXPECT_TRUE(playing);
    }
}

TEST_F(AudioSystemTest, SilentOutputAdvancesWithTheClock)
{
    auto sound = MakeSound(system, Constant(0.1f, kRate), kRate);
    const pa::Channel channel = Play(sound.get());
    now += 250000; // 250 ms
    system.Update();
    EXPECT_EQ(PositionMs(channel), 250u);
    now += 10 * 1000000ull; // a long stall catches up by one second at most, and ends the sound
    system.Update();
    bool playing = true;
    EXPECT_EQ(channel.IsPlaying(playing), Result::InvalidHandle);
    EXPECT_EQ(ends.entries.size(), 1u);
}

TEST_F(AudioSystemTest, DestroyingASoundStopsItsChannelsAndSoundsMayOutliveTheirSystem)
{
    auto sound = MakeSound(system, Constant(0.1f, kRate), kRate);
    const pa::Channel channel = Play(sound.get());
    sound.reset();
    bool playing = false;
    EXPECT_EQ(channel.IsPlaying(playing), Result::InvalidHandle);
    Mix(100);

    auto survivor = MakeSound(system, Constant(0.1f, kRate), kRate);
    const pa::Channel second = Play(survivor.get());
    system.Close();
    EXPECT_EQ(survivor->GetSystem(), nullptr);
    EXPECT_EQ(second.Stop(), Result::InvalidHandle);
    pa::Channel none;
    EXPECT_EQ(system.PlaySound(survivor.get(), false, none), Result::NotReady);
    survivor.reset();
}

TEST(AudioSystemInitTest, ChannelCountFromDataIsClampedAndInitRunsOnce)
{
    pa::System none;
    ASSERT_EQ(none.Init(0), Result::Ok);
    EXPECT_EQ(none.MaxChannels(), 1u);
    EXPECT_EQ(none.Init(4), Result::InvalidParam);
    pa::System huge;
    ASSERT_EQ(huge.Init(0xFFFFFFFFu), Result::Ok);
    EXPECT_EQ(huge.MaxChannels(), pa::kMaxChannels);
    pa::Channel channel;
    EXPECT_EQ(pa::System().PlaySound(nullptr, false, channel), Result::NotReady);
    EXPECT_EQ(none.PlaySound(nullptr, false, channel), Result::InvalidParam);
}

TEST(AudioDeviceTest, DeviceOutputOpensOnTheDummyDriver)
{
    pa::System system;
    ASSERT_EQ(system.SetOutput(pa::Output::Device), Result::Ok);
    ASSERT_EQ(system.Init(4), Result::Ok);
    EXPECT_EQ(system.GetOutput(), pa::Output::Device);
    EXPECT_GE(system.OutputRate(), 8000u);
    EXPECT_EQ(system.SetOutput(pa::Output::NoSound), Result::InvalidParam); // not after Init
    auto sound = MakeSound(system, Sine(440.0f, 0.3f, 48000, 4800), 48000);
    // Main-thread traffic while the driver's thread mixes; results only, no timing.
    std::vector<float> values(256);
    for (int i = 0; i < 2000; ++i) {
        pa::Channel channel;
        ASSERT_EQ(system.PlaySound(sound.get(), false, channel), Result::Ok);
        EXPECT_EQ(channel.SetLoopCount(i % 3 - 1), Result::Ok);
        EXPECT_EQ(channel.SetVolume(0.5f), Result::Ok);
        pa::DspId eq;
        if (system.CreateEqDsp(eq) == Result::Ok) {
            system.SetDspParameter(eq, pa::kEqGain, 2.0f);
            channel.AddDsp(eq);
        }
        channel.GetSpectrum(values.data(), 256, 0, pa::SpectrumWindow::Rectangular);
        if (i % 7 == 0)
            channel.Stop();
        system.Update();
    }
    system.Close();
    EXPECT_FALSE(system.IsInitialised());
}

} // namespace
