#pragma once
// Heavy data that can be dropped and rebuilt (textures, sounds, rendered text images), held by
// the resource cache under a numeric id.

#include <cstdint>
#include <utility>

#include "engine/core/strings/EngineString.h"

namespace QuillEngine {

class ResourceCache;

class ResourceBase {
public:
    // Values of the type field.
    static constexpr uint32_t kTypeNone = 0;
    static constexpr uint32_t kTypeTexture = 1;
    static constexpr uint32_t kTypeDynamicTexture = 2;
    static constexpr uint32_t kTypeSound = 3;

    static constexpr uint32_t kDefaultKeepTime = 35;
    static constexpr uint32_t kNeverIdle = 0xFFFFFFFFu;

    explicit ResourceBase(uint32_t type = kTypeNone) : type_(type) {}
    virtual ~ResourceBase() = default;
    ResourceBase(const ResourceBase&) = delete;
    ResourceBase& operator=(const ResourceBase&) = delete;

    // Bytes held while loaded (an estimate for statistics).
    virtual uint32_t GetMemorySize() const = 0;
    virtual bool IsLoaded() const { return true; }
    // Rendered frames without use after which an unloadable resource is unloaded.
    virtual uint32_t GetKeepTime() const { return kDefaultKeepTime; }
    // True for resources that load lazily and may be unloaded when idle.
    virtual bool CanUnload() const { return false; }
    virtual void Unload() {}
    virtual bool Load() = 0;
    // Releases objects that die with the graphics device; true when the resource must be
    // reloaded once the device is back.
    virtual bool ReleaseDeviceObjects() { return false; }

    uint32_t GetId() const { return id_; }
    uint32_t GetType() const { return type_; }
    const String& GetName() const { return name_; }
    // The cache key; set before the resource is registered.
    void SetName(String name) { name_ = std::move(name); }
    uint32_t GetUseCount() const { return useCount_; }
    void AddUse() { ++useCount_; }
    uint32_t GetLastUsedFrame() const { return lastUsedFrame_; }
    // While kept, the resource is neither unloaded for idleness nor deleted at zero uses.
    bool IsKept() const { return keep_; }
    void SetKeep(bool keep) { keep_ = keep; }
    // How many holders pinned the resource through the cache (ResourceCache::Pin).
    uint32_t GetPinCount() const { return pins_; }
    ResourceCache* GetCache() const { return cache_; }
    // True when the last lazy load failed and the cache has not been told to retry since.
    bool LoadFailed() const;

private:
    friend class ResourceCache;

    uint32_t useCount_ = 1;
    uint32_t id_ = 0;
    uint32_t lastUsedFrame_ = 0;
    bool keep_ = false;
    uint32_t pins_ = 0;
    uint32_t type_;
    String name_;
    ResourceCache* cache_ = nullptr;
    // The cache's failure epoch at the last failed lazy load; 0 = no remembered failure.
    uint32_t failedEpoch_ = 0;
};

} // namespace QuillEngine
