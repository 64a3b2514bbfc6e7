#pragma once
// Sound output as the engine object drives it.
//
// Seam: a null audio service until the audio layer lands. It keeps the enabled and muted
// flags that the engine reads and writes back to the preferences.

#include <cstdint>

#include "engine/core/Singleton.h"

namespace QuillEngine {

class ResourceCache;

class Audio : public Singleton<Audio> {
public:
    explicit Audio(ResourceCache* cache) : cache_(cache) {}

    bool Init(uint32_t channelCount)
    {
        channelCount_ = channelCount;
        return true;
    }
    void SetEnabled(bool on) { enabled_ = on; }
    bool IsEnabled() const { return enabled_; }
    void MuteAll(bool mute) { muted_ = mute; }
    bool IsMuted() const { return muted_; }
    void Update() {}
    bool LoadDefinitions() { return true; }
    uint32_t ChannelCount() const { return channelCount_; }

private:
    ResourceCache* cache_;
    uint32_t channelCount_ = 0;
    bool enabled_ = true;
    bool muted_ = false;
};

} // namespace QuillEngine
