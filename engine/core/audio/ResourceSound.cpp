#include "engine/core/audio/ResourceSound.h"

#include "engine/core/resources/ResourceCache.h"

namespace QuillEngine {

namespace pa = QuillPlatform::Audio;

ResourceSound::ResourceSound(String fileName, bool streaming, pa::System* system)
    : ResourceBase(kTypeSound), streaming_(streaming), system_(system), fileName_(std::move(fileName))
{
    SetName(KeyFor(fileName_));
}

ResourceSound::~ResourceSound() = default;

bool ResourceSound::Load()
{
    if (sound_)
        return true;
    if (!system_ || !system_->IsInitialised())
        return false;
    if (!file_) {
        FileManager* files = FileManager::Instance();
        if (!files)
            return false;
        file_ = files->LoadFile(fileName_);
        if (!file_)
            return false;
    }
    pa::SoundOptions options;
    options.streaming = streaming_;
    if (system_->CreateSound(file_.Data(), file_.Size(), options, sound_) != pa::Result::Ok)
        return false;
    // The audio update reads this to count the resource as used.
    sound_->SetUserData(reinterpret_cast<void*>(static_cast<uintptr_t>(GetId())));
    return true;
}

void ResourceSound::SetSystem(pa::System* system)
{
    if (system == system_)
        return;
    sound_.reset();
    system_ = system;
}

uint32_t CreateSoundResource(ResourceCache& cache, const String& fileName, bool streaming, pa::System* system)
{
    const String key = ResourceSound::KeyFor(fileName);
    if (const uint32_t id = cache.Find(key)) {
        ResourceBase* existing = cache.Acquire(id, true);
        if (!existing || existing->GetType() != ResourceBase::kTypeSound)
            return 0;
        static_cast<ResourceSound*>(existing)->SetSystem(system);
        existing->AddUse();
        return id;
    }
    uint32_t id = 0;
    if (!cache.Register(std::make_unique<ResourceSound>(fileName, streaming, system), id))
        return 0;
    return id;
}

} // namespace QuillEngine
