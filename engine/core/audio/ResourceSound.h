#pragma once
// A sound as a cache resource: the file's bytes (kept from the first load for the resource's
// life) and the decoded sound made from them. Loaded on first use, never unloaded for idleness.

#include <cstdint>
#include <memory>

#include "engine/core/strings/EngineString.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/resources/ResourceBase.h"
#include "platform/audio/AudioSystem.h"

namespace QuillEngine {

class ResourceCache;

class ResourceSound : public ResourceBase {
public:
    ResourceSound(String fileName, bool streaming, QuillPlatform::Audio::System* system);
    ~ResourceSound() override;

    // The cache key of a sound file.
    static String KeyFor(const String& fileName) { return fileName + u"_sound"; }

    uint32_t GetMemorySize() const override { return 0; }
    bool IsLoaded() const override { return sound_ != nullptr; }
    uint32_t GetKeepTime() const override { return kNeverIdle; }
    bool CanUnload() const override { return true; }
    void Unload() override { sound_.reset(); }
    // Reads the file through the file manager (once) and decodes it. False when the file is
    // missing, the data is no sound, or there is no live system.
    bool Load() override;

    QuillPlatform::Audio::Sound* GetSound() const { return sound_.get(); }
    QuillPlatform::Audio::System* GetSystem() const { return system_; }
    // Moves the resource to another system; the sound is made again on its next use.
    void SetSystem(QuillPlatform::Audio::System* system);
    const String& GetFileName() const { return fileName_; }
    bool IsStreaming() const { return streaming_; }

private:
    bool streaming_;
    QuillPlatform::Audio::System* system_;
    std::unique_ptr<QuillPlatform::Audio::Sound> sound_;
    String fileName_;
    FileHandle file_;
};

// Creates or shares the sound resource of `fileName` (key: the name + "_sound"). A shared one
// gains a use and moves to `system` when it belonged to another. 0 when the resource cannot be
// registered.
uint32_t CreateSoundResource(ResourceCache& cache, const String& fileName, bool streaming,
                             QuillPlatform::Audio::System* system);

} // namespace QuillEngine
