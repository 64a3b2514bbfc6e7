#include "engine/core/audio/Audio.h"

#include <cmath>

#include "engine/core/strings/Format.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/audio/ResourceSound.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"

namespace QuillEngine {

namespace pa = QuillPlatform::Audio;

namespace {

constexpr ConsoleCommandEntry kCommands[] = {
    {u"audio.setclassvolume", 2},
    {u"audio.getclassvolume", 1},
    {u"audio.playsound", 1},
    {u"audio.setenabled", 1},
};

constexpr const char16_t* kDefinitionsFile = u"Audio\\Audio.xml";
constexpr const char16_t* kDefaultClass = u"default";

// Seconds to whole milliseconds; false for negative, non-finite or too large values.
bool ToMilliseconds(float seconds, uint32_t& ms)
{
    if (!std::isfinite(seconds) || seconds < 0 || seconds * 1000.0 >= 4294967295.0)
        return false;
    ms = static_cast<uint32_t>(seconds * 1000.0);
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Audio

Audio::Audio(ResourceCache* cache) : resourceCache_(cache) {}

Audio::~Audio()
{
    UnregisterCommands();
    ReleaseAll();
}

bool Audio::Init(uint32_t channelCount)
{
    channelCount_ = channelCount;
    if (system_)
        ReleaseAll();
    auto system = std::make_unique<pa::System>();
    if (testClock_)
        system->SetClockForTest(testClock_);
    system->SetOutput(enabled_ ? pa::Output::Device : pa::Output::NoSound);
    if (system->Init(channelCount) != pa::Result::Ok) {
        system->SetOutput(pa::Output::NoSound);
        if (system->Init(channelCount) != pa::Result::Ok)
            return false;
    }
    system_ = std::move(system);
    pa::ChannelGroup* group = nullptr;
    if (system_->CreateChannelGroup("default", group) != pa::Result::Ok) {
        ReleaseAll();
        return false;
    }
    group->SetVolume(1.0f);
    classes_[kDefaultClass] = group;
    defaultGroup_ = group;
    // Muting is done on the master group, so it also covers channels started while muted.
    system_->GetMasterChannelGroup()->SetMute(muted_);
    return true;
}

void Audio::SetEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (!system_)
        return;
    if (inUpdate_) {
        // Asked from an end report: the system cannot be replaced while it is delivering.
        reinitPending_ = true;
        return;
    }
    Reinitialise();
}

void Audio::Reinitialise()
{
    for (const auto& [name, group] : classes_) {
        float volume = 1.0f;
        if (group && group->GetVolume(volume) == pa::Result::Ok)
            savedClassVolumes_[name] = volume;
    }
    const bool reload = definitionsLoaded_;
    ReleaseAll();
    if (!Init(channelCount_))
        return;
    if (reload)
        LoadDefinitions();
    for (const auto& [name, volume] : savedClassVolumes_) {
        auto it = classes_.find(name);
        if (it != classes_.end() && it->second)
            it->second->SetVolume(volume);
    }
}

bool Audio::LoadDefinitions()
{
    XmlCache* xml = XmlCache::Instance();
    XmlNode* root = xml ? xml->Get(kDefinitionsFile) : nullptr;
    if (!root) {
        definitionsLoaded_ = false;
        ReleaseAll();
        return false;
    }
    if (!system_)
        return false;
    definitionsLoaded_ = true;

    for (const auto& child : root->Children()) {
        if (child->GetName() != u"ClassDef")
            continue;
        String name;
        if (!child->GetAttribute(u"name", name))
            return false;
        // Mounting the package again must not orphan the channels of a class that exists.
        if (classes_.count(name) != 0)
            continue;
        pa::ChannelGroup* group = nullptr;
        if (system_->CreateChannelGroup(ToUtf8(name), group) != pa::Result::Ok)
            return false;
        group->SetVolume(1.0f);
        classes_[name] = group;
    }

    for (const auto& child : root->Children()) {
        if (child->GetName() != u"Sound")
            continue;
        String name, source;
        if (!child->GetAttribute(u"name", name) || !child->GetAttribute(u"source", source) || sounds_.count(name) != 0)
            return false;
        const bool streaming = child->GetIntAttribute(u"streaming", 0) > 0;
        if (!resourceCache_)
            return false;
        const uint32_t id = CreateSoundResource(*resourceCache_, source, streaming, system_.get());
        if (id == 0)
            return false;
        SoundDef def;
        def.resourceId = id;
        String volume;
        if (child->GetAttribute(u"defaultvolume", volume) && !volume.empty())
            def.defaultVolume = ToFloat(volume);
        String className;
        if (!child->GetAttribute(u"class", className) || className.empty()) {
            def.group = defaultGroup_;
        } else {
            // An unknown class leaves the channel in the master group.
            auto it = classes_.find(className);
            def.group = it != classes_.end() ? it->second : nullptr;
        }
        sounds_[name] = def;
    }
    return true;
}

SoundPlayResult Audio::PlaySound(const String& name, bool loop)
{
    SoundPlayResult result;
    auto it = sounds_.find(name);
    if (it == sounds_.end() || !system_ || !resourceCache_)
        return result;
    const SoundDef def = it->second;
    ResourceBase* resource = resourceCache_->Acquire(def.resourceId);
    if (!resource || resource->GetType() != ResourceBase::kTypeSound || !resource->IsLoaded())
        return result;
    pa::Sound* sound = static_cast<ResourceSound*>(resource)->GetSound();

    pa::Channel channel;
    if (system_->PlaySound(sound, true, channel) != pa::Result::Ok)
        return result;
    channels_.push_back({channel, false});
    channel.SetLoopCount(loop ? -1 : 0);
    channel.SetPosition(0);
    channel.SetEndCallback(&Audio::OnChannelEndThunk, this);
    // The mixer runs on its own thread: volume and class first, so the first samples it mixes
    // are already at the sound's own level.
    channel.SetVolume(def.defaultVolume);
    channel.SetChannelGroup(def.group);
    channel.SetPaused(false);
    result.handle = channelHandles_.Create(channel.ToOpaque(), kChannelHandleValue);
    // Channels that died are dropped by Update after their ends have been reported, so a
    // channel that lost its voice to this one is reported too.
    return result;
}

void Audio::Update()
{
    if (!system_)
        return;
    inUpdate_ = true;
    system_->Update();
    // A report handler may have released everything; the old system goes once it has returned.
    retiredSystem_.reset();

    // Indexed: nothing here calls out, but erasing shifts the list.
    for (size_t i = 0; i < channels_.size();) {
        const pa::Channel channel = channels_[i].channel;
        bool playing = false;
        if (channel.IsPlaying(playing) != pa::Result::Ok) {
            channelHandles_.Release(channelHandles_.FindByObject(channel.ToOpaque()));
            channels_.erase(channels_.begin() + static_cast<ptrdiff_t>(i));
            continue;
        }
        pa::Sound* sound = nullptr;
        if (resourceCache_ && channel.GetCurrentSound(sound) == pa::Result::Ok && sound) {
            if (const auto id = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(sound->GetUserData())))
                resourceCache_->Acquire(id);
        }
        ++i;
    }
    inUpdate_ = false;
    if (reinitPending_) {
        reinitPending_ = false;
        Reinitialise();
    }
}

void Audio::OnChannelEndThunk(pa::Channel channel, pa::EndReason, void* user)
{
    static_cast<Audio*>(user)->OnChannelEnded(channel);
}

void Audio::OnChannelEnded(const pa::Channel& channel)
{
    const Handle handle = channelHandles_.FindByObject(channel.ToOpaque());
    if (handle.IsValid()) {
        if (callbackHandler_)
            callbackHandler_->OnSoundEnded(handle);
        channelHandles_.Release(handle);
    }
    RemoveChannel(channel);
}

void Audio::RemoveChannel(const pa::Channel& channel)
{
    for (size_t i = channels_.size(); i-- > 0;) {
        if (channels_[i].channel == channel) {
            channels_.erase(channels_.begin() + static_cast<ptrdiff_t>(i));
            return;
        }
    }
}

void Audio::MuteAll(bool mute)
{
    if (mute == muted_)
        return;
    muted_ = mute;
    if (system_)
        system_->GetMasterChannelGroup()->SetMute(mute);
}

void Audio::PauseAll(bool paused)
{
    for (ChannelEntry& entry : channels_) {
        if (paused) {
            bool already = false;
            if (entry.channel.GetPaused(already) == pa::Result::Ok && !already) {
                entry.channel.SetPaused(true);
                entry.pausedByPauseAll = true;
            }
        } else if (entry.pausedByPauseAll) {
            entry.channel.SetPaused(false);
            entry.pausedByPauseAll = false;
        }
    }
}

void Audio::SetClassVolume(const String& className, float volume)
{
    auto it = classes_.find(className);
    if (it != classes_.end() && it->second)
        it->second->SetVolume(volume);
}

bool Audio::GetClassVolume(const String& className, float& volume) const
{
    auto it = classes_.find(className);
    return it != classes_.end() && it->second && it->second->GetVolume(volume) == pa::Result::Ok;
}

void Audio::ReleaseAll()
{
    if (resourceCache_) {
        for (const auto& [name, def] : sounds_)
            resourceCache_->Release(def.resourceId);
    }
    sounds_.clear();
    classes_.clear();
    defaultGroup_ = nullptr;
    for (const ChannelEntry& entry : channels_)
        channelHandles_.Release(channelHandles_.FindByObject(entry.channel.ToOpaque()));
    channels_.clear();
    if (inUpdate_ && system_)
        retiredSystem_ = std::move(system_);
    system_.reset();
}

bool Audio::ResolveChannel(const Handle& handle, pa::Channel& channel) const
{
    // Compared before use: a handle may outlive this service (or belong to another table).
    if (handle.table != &channelHandles_ || !system_)
        return false;
    const void* object = channelHandles_.Resolve(handle);
    if (!object)
        return false;
    channel = pa::Channel::FromOpaque(system_.get(), object);
    return !channel.IsNull();
}

void Audio::SetClockForTest(pa::System::Clock clock)
{
    testClock_ = std::move(clock);
    if (system_)
        system_->SetClockForTest(testClock_);
}

// ---------------------------------------------------------------------------------------------
// Console

bool Audio::RegisterCommands(Console& console)
{
    return commands_.Register(console, *this, kCommands);
}

void Audio::UnregisterCommands()
{
    commands_.Unregister();
}

void Audio::OnConsoleCommand(const std::vector<String>& arguments, const Handle&)
{
    if (arguments.size() < 2)
        return;
    const String& command = arguments[0];
    const String& name = arguments[1];
    auto print = [this](const String& text) {
        if (Console* console = commands_.GetConsole())
            console->PrintLine(text);
    };
    if (command == u"audio.setclassvolume") {
        auto it = classes_.find(name);
        if (it == classes_.end())
            print(u"Class name doesn't exist");
        else if (arguments.size() >= 3 && it->second)
            it->second->SetVolume(ToFloat(arguments[2]));
    } else if (command == u"audio.getclassvolume") {
        float volume = 0;
        if (GetClassVolume(name, volume))
            print(Format(u"Class %s at %f", {name, static_cast<double>(volume)}));
        else
            print(u"Class name doesn't exist");
    } else if (command == u"audio.playsound") {
        if (HasSound(name))
            PlaySound(name, false);
        else
            print(u"Sound name doesn't exist");
    } else if (command == u"audio.setenabled") {
        SetEnabled(ParseUInt32(name, 10) != 0);
    }
}

// ---------------------------------------------------------------------------------------------
// SoundHandle

namespace {

bool ResolveSound(const Handle& handle, pa::Channel& channel)
{
    Audio* audio = Audio::Instance();
    return audio && audio->ResolveChannel(handle, channel);
}

} // namespace

bool SoundHandle::IsValid() const
{
    pa::Channel channel;
    return ResolveSound(handle, channel);
}

void SoundHandle::Pause() const
{
    pa::Channel channel;
    if (ResolveSound(handle, channel))
        channel.SetPaused(true);
}

bool SoundHandle::Resume() const
{
    pa::Channel channel;
    return ResolveSound(handle, channel) && channel.SetPaused(false) == pa::Result::Ok;
}

bool SoundHandle::Stop() const
{
    pa::Channel channel;
    if (!ResolveSound(handle, channel))
        return false;
    channel.Stop();
    Audio::Instance()->ReleaseChannelHandle(handle);
    return true;
}

bool SoundHandle::SetVolume(float volume) const
{
    pa::Channel channel;
    return ResolveSound(handle, channel) && channel.SetVolume(volume) == pa::Result::Ok;
}

float SoundHandle::GetFrequency() const
{
    pa::Channel channel;
    float frequency = 0;
    if (!ResolveSound(handle, channel) || channel.GetFrequency(frequency) != pa::Result::Ok)
        return 0;
    return frequency;
}

bool SoundHandle::SetFrequency(float frequency) const
{
    pa::Channel channel;
    return ResolveSound(handle, channel) && channel.SetFrequency(frequency) == pa::Result::Ok;
}

float SoundHandle::GetPosition() const
{
    pa::Channel channel;
    uint32_t ms = 0;
    if (!ResolveSound(handle, channel) || channel.GetPosition(ms) != pa::Result::Ok)
        return -1.0f;
    return static_cast<float>(ms) / 1000.0f;
}

bool SoundHandle::SetPosition(float seconds) const
{
    pa::Channel channel;
    uint32_t ms = 0;
    return ResolveSound(handle, channel) && ToMilliseconds(seconds, ms) && channel.SetPosition(ms) == pa::Result::Ok;
}

bool SoundHandle::IsPlaying() const
{
    pa::Channel channel;
    bool playing = false;
    return ResolveSound(handle, channel) && channel.IsPlaying(playing) == pa::Result::Ok && playing;
}

bool SoundHandle::SetLoopPoints(float startSeconds, float endSeconds) const
{
    pa::Channel channel;
    uint32_t startMs = 0, endMs = 0;
    return ResolveSound(handle, channel) && ToMilliseconds(startSeconds, startMs) &&
           ToMilliseconds(endSeconds, endMs) && channel.SetLoopPoints(startMs, endMs) == pa::Result::Ok;
}

bool SoundHandle::SetLoopCount(int32_t count) const
{
    pa::Channel channel;
    return ResolveSound(handle, channel) && channel.SetLoopCount(count) == pa::Result::Ok;
}

bool SoundHandle::GetSpectrum(float* values, int32_t count, int32_t channelOffset) const
{
    pa::Channel channel;
    return ResolveSound(handle, channel) &&
           channel.GetSpectrum(values, count, channelOffset, pa::SpectrumWindow::Rectangular) == pa::Result::Ok;
}

bool SoundHandle::SetupEQs(int32_t count)
{
    pa::Channel channel;
    Audio* audio = Audio::Instance();
    if (!ResolveSound(handle, channel) || !audio->GetSystem() || !eqs.empty())
        return false;
    if (count < 1 || count > kMaxEqBands)
        return false;
    pa::System* system = audio->GetSystem();
    auto fail = [&] {
        // Bands already on the channel go with it; the others are given back now.
        for (const pa::DspId& dsp : eqs)
            system->ReleaseDsp(dsp);
        eqs.clear();
        return false;
    };
    eqs.resize(static_cast<size_t>(count));
    float centre = 125.0f;
    for (int32_t i = 0; i < count; ++i, centre *= 2.0f) {
        if (system->CreateEqDsp(eqs[static_cast<size_t>(i)]) != pa::Result::Ok)
            return fail();
        const pa::DspId dsp = eqs[static_cast<size_t>(i)];
        system->SetDspParameter(dsp, pa::kEqCentre, centre);
        system->SetDspParameter(dsp, pa::kEqBandwidth, 1.0f);
        system->SetDspParameter(dsp, pa::kEqGain, 0.4f);
        if (channel.AddDsp(dsp) != pa::Result::Ok)
            return fail();
    }
    return true;
}

bool SoundHandle::SetEQGain(int32_t band, float gain) const
{
    pa::Channel channel;
    if (!ResolveSound(handle, channel) || band < 1 || static_cast<size_t>(band) > eqs.size())
        return false;
    return Audio::Instance()->GetSystem()->SetDspParameter(eqs[static_cast<size_t>(band - 1)], pa::kEqGain, gain) ==
           pa::Result::Ok;
}

} // namespace QuillEngine
