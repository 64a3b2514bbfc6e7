#include "engine/core/audio/Audio.h"

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/console/Console.h"
#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/audio/ResourceSound.h"
#include "engine/core/xml/XmlCache.h"
#include "platform/audio/SoundCodec.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
namespace pa = QuillPlatform::Audio;

namespace {

constexpr int kRate = 48000;

const char* const kAudioXml = R"(<Audio>
    <ClassDef name="Music"/>
    <ClassDef name="Effects"/>
    <Sound name="Click" source="Sounds\Click.flac" class="Effects"/>
    <Sound name="Theme" source="Music\Theme.ogg" class="Music" streaming="1"/>
    <Sound name="Half" source="Sounds\Level.wav" defaultvolume="0.5"/>
    <Sound name="Level" source="Sounds\Level.wav" defaultvolume=""/>
    <Sound name="Stray" source="Sounds\Level.wav" class="Nowhere"/>
</Audio>)";

std::string Encode(pa::SoundFileFormat format, const std::vector<float>& samples)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(pa::EncodeSound(format, samples.data(), static_cast<uint32_t>(samples.size()), 1, kRate, bytes));
    return std::string(bytes.begin(), bytes.end());
}

class RecordingHandler : public IAudioCallbackHandler {
public:
    void OnSoundEnded(const Handle& handle) override
    {
        EXPECT_TRUE(handle.IsValid());
        ended.push_back(handle);
        if (onEnded)
            onEnded(handle);
    }
    std::vector<Handle> ended;
    std::function<void(const Handle&)> onEnded;
};

class AudioTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir = QuillTest::MakeTempDir("audio");
        QuillTest::WriteFile(dir / "Sounds/Level.wav",
                             Encode(pa::SoundFileFormat::Wav, std::vector<float>(kRate, 0.5f)));
        QuillTest::WriteFile(dir / "Sounds/Click.flac",
                             Encode(pa::SoundFileFormat::Flac, std::vector<float>(kRate / 10, 0.25f)));
        std::vector<float> sine(kRate);
        for (int i = 0; i < kRate; ++i)
            sine[i] = 0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 440.0 * i / kRate));
        QuillTest::WriteFile(dir / "Music/Theme.ogg", Encode(pa::SoundFileFormat::OggVorbis, sine));
        WriteDefinitions(kAudioXml);
        ASSERT_TRUE(files.AddSource(new FSLooseFiles(FromUtf8(dir.string() + "/"), u"input")));
        cache.SetFrameSource([this] { return frame; });
        audio.SetClockForTest([] { return 0; });
        ASSERT_TRUE(audio.Init(8));
        audio.SetCallbackHandler(&handler);
    }

    void WriteDefinitions(const std::string& xml)
    {
        QuillTest::WriteFile(dir / "Audio/Audio.xml", xml);
        xmlCache.Unload(u"Audio\\Audio.xml");
    }

    // Mixes `frames` frames and returns the first left sample.
    float Mix(uint32_t frames)
    {
        std::vector<float> out(size_t{frames} * 2);
        audio.GetSystem()->MixForTest(out.data(), frames);
        return out[0];
    }

    std::filesystem::path dir;
    FileManager files;
    XmlCache xmlCache{&files};
    ResourceCache cache;
    Audio audio{&cache};
    RecordingHandler handler;
    uint32_t frame = 0;
};

TEST_F(AudioTest, DefinitionsGiveClassesSoundsVolumesAndSharedResources)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    for (const char16_t* name : {u"default", u"Music", u"Effects"})
        EXPECT_TRUE(audio.HasClass(name)) << ToUtf8(name);
    for (const char16_t* name : {u"Click", u"Theme", u"Half", u"Level", u"Stray"})
        EXPECT_TRUE(audio.HasSound(name)) << ToUtf8(name);

    // Three sounds share one resource for their one file.
    const uint32_t id = cache.Find(u"Sounds\\Level.wav_sound");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(cache.Acquire(id, true)->GetUseCount(), 3u);
    EXPECT_EQ(cache.Count(), 3u);

    // Levels: default volume 0.5 in "default"; an empty default volume is 1; an unknown class
    // leaves the channel in the master group, so class volumes do not reach it.
    audio.SetClassVolume(u"default", 0.5f);
    SoundHandle half = audio.PlaySound(u"Half", true);
    EXPECT_NEAR(Mix(4), 0.125f, 2e-3f);
    half.Stop();
    SoundHandle level = audio.PlaySound(u"Level", true);
    EXPECT_NEAR(Mix(4), 0.25f, 2e-3f);
    level.Stop();
    audio.SetClassVolume(u"Effects", 0.0f);
    SoundHandle stray = audio.PlaySound(u"Stray", true);
    EXPECT_NEAR(Mix(4), 0.5f, 2e-3f);
    stray.Stop();
    SoundHandle click = audio.PlaySound(u"Click", false);
    EXPECT_EQ(Mix(4), 0.0f);
    EXPECT_TRUE(click.IsPlaying());
    EXPECT_FALSE(audio.PlaySound(u"Nothing", false).IsValid());

    // Mounting the package again adds nothing and keeps the groups the channels are in.
    EXPECT_FALSE(audio.LoadDefinitions());
    float volume = 1;
    ASSERT_TRUE(audio.GetClassVolume(u"Effects", volume));
    EXPECT_EQ(volume, 0.0f);

    audio.ReleaseAll();
    EXPECT_EQ(cache.Count(), 0u);
    EXPECT_FALSE(click.IsValid());
}

TEST_F(AudioTest, ASoundIsAtItsOwnLevelBeforeTheMixerMayTakeIt)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    std::vector<float> levels;
    audio.GetSystem()->SetUnpauseObserverForTest([&levels](float level) { levels.push_back(level); });
    audio.SetClassVolume(u"default", 0.5f);
    SoundHandle half = audio.PlaySound(u"Half", true);
    ASSERT_EQ(levels.size(), 1u);
    EXPECT_NEAR(levels[0], 0.25f, 1e-6f) << "its own volume and its class's, not full level";
    half.Stop();
    audio.GetSystem()->SetUnpauseObserverForTest(nullptr);
}

TEST_F(AudioTest, LoadingStopsAtTheFirstBadElementAndKeepsWhatCameBefore)
{
    WriteDefinitions(R"(<Audio>
        <ClassDef name="Music"/>
        <Sound name="Level" source="Sounds\Level.wav"/>
        <Sound name="Level" source="Sounds\Click.flac"/>
        <Sound name="Late" source="Sounds\Click.flac"/>
    </Audio>)");
    EXPECT_FALSE(audio.LoadDefinitions());
    EXPECT_TRUE(audio.HasSound(u"Level"));
    EXPECT_FALSE(audio.HasSound(u"Late"));

    audio.ReleaseAll();
    ASSERT_TRUE(audio.Init(8));
    WriteDefinitions(R"(<Audio><Sound name="NoSource"/><Sound name="Level" source="Sounds\Level.wav"/></Audio>)");
    EXPECT_FALSE(audio.LoadDefinitions());
    EXPECT_FALSE(audio.HasSound(u"Level"));

    // A file that is no sound registers (sounds load lazily) but never plays.
    QuillTest::WriteFile(dir / "Sounds/Broken.wav", "RIFF....WAVEjunk");
    WriteDefinitions(R"(<Audio><Sound name="Broken" source="Sounds\Broken.wav"/></Audio>)");
    EXPECT_TRUE(audio.LoadDefinitions());
    EXPECT_FALSE(audio.PlaySound(u"Broken", false).IsValid());
}

TEST_F(AudioTest, MissingDefinitionsShutAudioDown)
{
    std::filesystem::remove(dir / "Audio/Audio.xml");
    xmlCache.Unload(u"Audio\\Audio.xml");
    EXPECT_FALSE(audio.LoadDefinitions());
    EXPECT_EQ(audio.GetSystem(), nullptr);
    EXPECT_FALSE(audio.PlaySound(u"Level", false).IsValid());
    audio.Update();
    audio.MuteAll(true);
    audio.PauseAll(true);
}

TEST_F(AudioTest, FinishedOneShotIsReportedOnceThenItsHandleIsStale)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    const SoundHandle click = audio.PlaySound(u"Click", false);
    ASSERT_TRUE(click.IsValid());
    EXPECT_EQ(click.handle.table->ValueOf(click.handle), Audio::kChannelHandleValue);
    Mix(kRate / 10 + 10);
    EXPECT_TRUE(handler.ended.empty()); // reports come from Update only
    audio.Update();
    ASSERT_EQ(handler.ended.size(), 1u);
    EXPECT_EQ(handler.ended[0], click.handle);
    EXPECT_FALSE(click.IsValid());
    EXPECT_FALSE(click.IsPlaying());
    audio.Update();
    EXPECT_EQ(handler.ended.size(), 1u);
    EXPECT_EQ(audio.LiveChannelCount(), 0u);
}

TEST_F(AudioTest, TwoLoopsOfOneSoundAreIndependentAndStaleHandlesAreIgnored)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    SoundHandle a = audio.PlaySound(u"Click", true);
    SoundHandle b = audio.PlaySound(u"Click", true);
    ASSERT_TRUE(a.IsValid());
    ASSERT_TRUE(b.IsValid());
    EXPECT_NE(a.handle, b.handle);
    EXPECT_TRUE(a.Stop());
    Mix(kRate); // ten passes of the loop
    audio.Update();
    EXPECT_TRUE(b.IsPlaying());
    EXPECT_TRUE(handler.ended.empty()); // a stop is no end

    // Every operation on the stopped one gives its "nothing" result.
    a.Pause();
    EXPECT_FALSE(a.Resume());
    EXPECT_FALSE(a.Stop());
    EXPECT_FALSE(a.SetVolume(0.5f));
    EXPECT_EQ(a.GetFrequency(), 0.0f);
    EXPECT_FALSE(a.SetFrequency(1000.0f));
    EXPECT_EQ(a.GetPosition(), -1.0f);
    EXPECT_FALSE(a.SetPosition(0.0f));
    EXPECT_FALSE(a.IsPlaying());
    EXPECT_FALSE(a.SetLoopPoints(0.0f, 0.05f));
    EXPECT_FALSE(a.SetLoopCount(2));
    float values[64];
    EXPECT_FALSE(a.GetSpectrum(values, 64, 0));
    EXPECT_FALSE(a.SetupEQs(2));
    EXPECT_FALSE(a.SetEQGain(1, 1.0f));

    // A handle of another table, or an empty one, never resolves here.
    HandleTable other;
    SoundHandle foreign(other.Create(b.handle.Get(), Audio::kChannelHandleValue));
    EXPECT_FALSE(foreign.IsValid());
    EXPECT_FALSE(foreign.Stop());
    EXPECT_FALSE(SoundHandle().IsPlaying());
    EXPECT_TRUE(b.IsPlaying());
}

TEST_F(AudioTest, PositionFrequencyAndLoopPointsInSeconds)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    SoundHandle level = audio.PlaySound(u"Level", true);
    EXPECT_TRUE(level.SetPosition(0.25f));
    EXPECT_FLOAT_EQ(level.GetPosition(), 0.25f);
    EXPECT_FALSE(level.SetPosition(-1.0f));
    EXPECT_FALSE(level.SetPosition(std::nanf("")));
    EXPECT_FALSE(level.SetPosition(5.0f));
    EXPECT_EQ(level.GetFrequency(), static_cast<float>(kRate));
    EXPECT_TRUE(level.SetFrequency(kRate / 2.0f));
    EXPECT_TRUE(level.SetLoopPoints(0.5f, 0.6f));
    EXPECT_FALSE(level.SetLoopPoints(0.6f, 0.5f));
    EXPECT_FALSE(level.SetLoopPoints(-0.1f, 0.5f));
    Mix(kRate); // half speed: half a second of the sound, into the loop region
    EXPECT_GE(level.GetPosition(), 0.5f);
    EXPECT_LE(level.GetPosition(), 0.6f);
    EXPECT_TRUE(level.SetLoopCount(0));
    Mix(kRate);
    audio.Update();
    EXPECT_EQ(handler.ended.size(), 1u);
}

TEST_F(AudioTest, MutingCoversChannelsStartedWhileMuted)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    audio.MuteAll(true);
    EXPECT_TRUE(audio.IsMuted());
    SoundHandle level = audio.PlaySound(u"Level", true);
    EXPECT_EQ(Mix(4), 0.0f);
    EXPECT_FLOAT_EQ(level.GetPosition(), 0.0f); // muted time still runs: 4 frames is < 1 ms
    audio.MuteAll(false);
    EXPECT_NEAR(Mix(4), 0.5f, 2e-3f);
}

TEST_F(AudioTest, PauseAllResumesOnlyWhatItPaused)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    SoundHandle music = audio.PlaySound(u"Level", true);
    SoundHandle effect = audio.PlaySound(u"Click", true);
    music.Pause(); // the book's paused background music
    audio.PauseAll(true);
    Mix(kRate / 2);
    EXPECT_FLOAT_EQ(effect.GetPosition(), 0.0f);
    audio.PauseAll(false);
    Mix(kRate / 20);
    EXPECT_FLOAT_EQ(music.GetPosition(), 0.0f);
    EXPECT_FLOAT_EQ(effect.GetPosition(), 0.05f);
    EXPECT_TRUE(music.Resume());
    Mix(kRate / 20);
    EXPECT_FLOAT_EQ(music.GetPosition(), 0.05f);
}

TEST_F(AudioTest, EqualiserBandsAreCountedFromOne)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    SoundHandle level = audio.PlaySound(u"Level", true);
    EXPECT_FALSE(level.SetupEQs(0));
    EXPECT_FALSE(level.SetupEQs(SoundHandle::kMaxEqBands + 1));
    ASSERT_TRUE(level.SetupEQs(3));
    EXPECT_EQ(level.eqs.size(), 3u);
    EXPECT_FALSE(level.SetupEQs(1)); // once per channel
    EXPECT_FALSE(level.SetEQGain(0, 1.0f));
    EXPECT_FALSE(level.SetEQGain(4, 1.0f));
    EXPECT_TRUE(level.SetEQGain(1, 2.0f));
    EXPECT_TRUE(level.SetEQGain(3, 1.0f));
    EXPECT_FALSE(level.SetEQGain(2, 0.0f)); // below the equaliser's range
    float centre = 0, gain = 0;
    ASSERT_EQ(audio.GetSystem()->GetDspParameter(level.eqs[1], pa::kEqCentre, centre), pa::Result::Ok);
    ASSERT_EQ(audio.GetSystem()->GetDspParameter(level.eqs[1], pa::kEqGain, gain), pa::Result::Ok);
    EXPECT_EQ(centre, 250.0f);
    EXPECT_FLOAT_EQ(gain, 0.4f);

    SoundHandle full = audio.PlaySound(u"Level", true);
    EXPECT_TRUE(full.SetupEQs(SoundHandle::kMaxEqBands));
}

TEST_F(AudioTest, EndHandlerMayPlayTheNextSoundAndToggleOutput)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    SoundHandle next;
    handler.onEnded = [&](const Handle&) {
        next = audio.PlaySound(u"Level", false);
        audio.SetEnabled(false); // unchanged: nothing happens
    };
    audio.PlaySound(u"Click", false);
    Mix(kRate / 5);
    audio.Update();
    ASSERT_EQ(handler.ended.size(), 1u);
    EXPECT_TRUE(next.IsPlaying());

    // Switching output from inside a report waits for the report loop to finish.
    handler.onEnded = [&](const Handle&) { audio.SetEnabled(true); };
    next.SetPosition(0.99f);
    Mix(kRate / 10);
    audio.Update();
    EXPECT_EQ(handler.ended.size(), 2u);
    EXPECT_TRUE(audio.IsEnabled());
    ASSERT_NE(audio.GetSystem(), nullptr);
    EXPECT_EQ(audio.GetSystem()->GetOutput(), pa::Output::Device);
    EXPECT_TRUE(audio.HasSound(u"Level"));
    audio.SetEnabled(false);
}

TEST_F(AudioTest, SwitchingOutputKeepsDefinitionsAndClassVolumes)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    audio.SetClassVolume(u"Music", 0.3f);
    SoundHandle old = audio.PlaySound(u"Theme", true);
    ASSERT_TRUE(old.IsValid());
    audio.SetEnabled(true);
    EXPECT_FALSE(old.IsValid());
    EXPECT_TRUE(audio.HasSound(u"Theme"));
    float volume = 0;
    ASSERT_TRUE(audio.GetClassVolume(u"Music", volume));
    EXPECT_FLOAT_EQ(volume, 0.3f);
    audio.SetEnabled(false);
    EXPECT_EQ(audio.GetSystem()->GetOutput(), pa::Output::NoSound);
    SoundHandle theme = audio.PlaySound(u"Theme", true);
    EXPECT_TRUE(theme.IsPlaying());
    EXPECT_EQ(cache.Count(), 3u);
}

TEST_F(AudioTest, StolenChannelIsReportedToTheHandler)
{
    ASSERT_TRUE(audio.Init(2));
    ASSERT_TRUE(audio.LoadDefinitions());
    SoundHandle first = audio.PlaySound(u"Level", true);
    audio.PlaySound(u"Level", true);
    SoundHandle third = audio.PlaySound(u"Level", true);
    EXPECT_TRUE(third.IsPlaying());
    audio.Update();
    ASSERT_EQ(handler.ended.size(), 1u);
    EXPECT_EQ(handler.ended[0], first.handle);
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(audio.LiveChannelCount(), 2u);
}

TEST_F(AudioTest, UpdateCountsPlayingSoundsAsUsed)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    audio.PlaySound(u"Theme", true);
    const uint32_t id = cache.Find(u"Music\\Theme.ogg_sound");
    ASSERT_NE(id, 0u);
    frame = 500;
    audio.Update();
    EXPECT_EQ(cache.Acquire(id, true)->GetLastUsedFrame(), 500u);
    cache.UnloadIdle();
    EXPECT_TRUE(cache.Acquire(id, true)->IsLoaded());
}

TEST_F(AudioTest, ConsoleCommands)
{
    Console console;
    ASSERT_TRUE(audio.RegisterCommands(console));
    ASSERT_TRUE(audio.LoadDefinitions());
    console.Execute(u"audio.getclassvolume default", false);
    console.Execute(u"audio.getclassvolume Nothing", false);
    console.Execute(u"audio.setclassvolume Music 0.25", false);
    console.Execute(u"audio.getclassvolume Music", false);
    console.Execute(u"audio.playsound Nothing", false);
    console.Execute(u"audio.playsound Click", false);
    ASSERT_EQ(console.Output().size(), 4u);
    EXPECT_EQ(console.Output()[0], u"Class default at 1.000000");
    EXPECT_EQ(console.Output()[1], u"Class name doesn't exist");
    EXPECT_EQ(console.Output()[2], u"Class Music at 0.250000");
    EXPECT_EQ(console.Output()[3], u"Sound name doesn't exist");
    EXPECT_EQ(audio.LiveChannelCount(), 1u);

    console.Execute(u"audio.setenabled 1", false);
    EXPECT_TRUE(audio.IsEnabled());
    console.Execute(u"audio.setenabled 0", false);
    EXPECT_FALSE(audio.IsEnabled());

    // The commands leave with the service.
    audio.UnregisterCommands();
    console.Execute(u"audio.playsound Click", false);
    EXPECT_EQ(console.Output().size(), 5u);
}

TEST_F(AudioTest, SoundResourcesAreSharedByFileAndNeverUnloadedForIdleness)
{
    const uint32_t a = CreateSoundResource(cache, u"Sounds\\Level.wav", false, audio.GetSystem());
    const uint32_t b = CreateSoundResource(cache, u"Sounds\\Level.wav", true, audio.GetSystem());
    ASSERT_NE(a, 0u);
    EXPECT_EQ(a, b);
    auto* sound = static_cast<ResourceSound*>(cache.Acquire(a, true));
    EXPECT_EQ(sound->GetUseCount(), 2u);
    EXPECT_EQ(sound->GetType(), ResourceBase::kTypeSound);
    EXPECT_FALSE(sound->IsLoaded()); // loads on first use
    ASSERT_TRUE(cache.Acquire(a)->IsLoaded());
    frame = 100000;
    cache.UnloadIdle();
    EXPECT_TRUE(sound->IsLoaded());
    cache.Release(a);
    ASSERT_TRUE(cache.Exists(u"Sounds\\Level.wav_sound"));
    cache.Release(b);
    EXPECT_FALSE(cache.Exists(u"Sounds\\Level.wav_sound"));

    // A missing file registers but cannot load.
    const uint32_t missing = CreateSoundResource(cache, u"Sounds\\Nothing.wav", false, audio.GetSystem());
    ASSERT_NE(missing, 0u);
    EXPECT_FALSE(cache.Acquire(missing)->IsLoaded());
}

TEST_F(AudioTest, EndHandlerMayShutAudioDown)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    audio.PlaySound(u"Click", false);
    audio.PlaySound(u"Click", false);
    handler.onEnded = [&](const Handle&) {
        std::filesystem::remove(dir / "Audio/Audio.xml");
        xmlCache.Unload(u"Audio\\Audio.xml");
        audio.LoadDefinitions();
    };
    Mix(kRate / 5);
    audio.Update();
    EXPECT_EQ(handler.ended.size(), 1u); // the second report found its handle gone
    EXPECT_EQ(audio.GetSystem(), nullptr);
    EXPECT_EQ(cache.Count(), 0u);
    audio.Update();
}

TEST_F(AudioTest, HandlesOutlivingTheirServiceAreIgnored)
{
    ASSERT_TRUE(audio.LoadDefinitions());
    const SoundHandle level = audio.PlaySound(u"Level", true);
    ASSERT_TRUE(level.IsPlaying());
    {
        Audio other(&cache); // now the service in charge; the handle is not one of its own
        EXPECT_FALSE(level.IsValid());
        EXPECT_FALSE(level.Stop());
    }
    EXPECT_EQ(Audio::Instance(), nullptr);
    EXPECT_FALSE(level.IsPlaying());
    EXPECT_EQ(level.GetPosition(), -1.0f);
}

// The packed sample data: every declared sound decodes and plays.
TEST(AudioSampleData, EveryDeclaredSoundPlays)
{
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    if (!std::filesystem::exists(bin / "data.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "data.dat").string()), u"data")));
    XmlCache xml(&files);
    ResourceCache cache;
    Audio audio(&cache);
    audio.SetClockForTest([] { return 0; });
    ASSERT_TRUE(audio.Init(32));
    ASSERT_TRUE(audio.LoadDefinitions());
    const XmlNode* root = xml.Get(u"Audio\\Audio.xml");
    ASSERT_NE(root, nullptr);
    size_t count = 0;
    for (const auto& child : root->Children()) {
        String name;
        if (child->GetName() != u"Sound" || !child->GetAttribute(u"name", name))
            continue;
        ++count;
        const SoundHandle sound = audio.PlaySound(name, false);
        EXPECT_TRUE(sound.IsPlaying()) << ToUtf8(name);
    }
    EXPECT_GE(count, 15u);
    for (const char16_t* name : {u"Music", u"Ambient", u"Effects"})
        EXPECT_TRUE(audio.HasClass(name)) << ToUtf8(name);
}

} // namespace
