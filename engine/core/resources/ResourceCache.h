#pragma once
// The one owner of every resource. Resources are named by ids the cache hands out; an unloadable
// resource loads on its first use and unloads again after its keep time in rendered frames
// without use; a resource is deleted when its last use is released (unless it is kept).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/core/resources/ResourceBase.h"
#include "engine/core/Singleton.h"

namespace QuillEngine {

class ResourceCache : public Singleton<ResourceCache> {
public:
    // The renderer's count of presented frames.
    using FrameSource = std::function<uint32_t()>;

    ResourceCache();
    ~ResourceCache();
    ResourceCache(const ResourceCache&) = delete;
    ResourceCache& operator=(const ResourceCache&) = delete;

    bool Init();

    // The frame number idle times count in; the engine object gives the renderer's count of
    // presented frames. Without a source the frame stays 0 and nothing unloads for idleness.
    void SetFrameSource(FrameSource source) { frameSource_ = std::move(source); }
    // Called after a lazy load, so the time spent loading does not turn into catch-up steps.
    // By default it resynchronises the engine's frame timer when one exists.
    void SetLoadStallHandler(std::function<void()> handler) { loadStallHandler_ = std::move(handler); }
    uint32_t CurrentFrame() const { return frameSource_ ? frameSource_() : 0; }

    // Takes the resource. One that cannot be unloaded is loaded now; when that fails the resource
    // is deleted, `id` is 0 and the result false. An unloadable one stays unloaded until its first
    // use. A name already in the cache is refused the same way (names must stay unique).
    bool Register(std::unique_ptr<ResourceBase> resource, uint32_t& id);
    // The resource, loading it first when it is unloaded (unless `peek`). Null for an unknown id.
    // The result may still be unloaded (a peek, or a failed load): callers test IsLoaded. A lazy
    // load that failed is not tried again until ForgetLoadFailures or the cache is flushed.
    ResourceBase* Acquire(uint32_t id, bool peek = false);
    // Gives back one use; at zero uses an unkept resource is deleted.
    void Release(uint32_t id);
    // Pins keep the resource; each holder pins once and unpins once. Unpin gives back one pin;
    // when none is left the keep flag is cleared and the resource is deleted when nobody uses it.
    void Pin(uint32_t id);
    void Unpin(uint32_t id);
    bool Exists(const String& name) const { return byName_.count(name) != 0; }
    // The id registered under `name`, or 0.
    uint32_t Find(const String& name) const;

    // Once per rendered frame: unloads every loaded, unkept resource idle beyond its keep time.
    void UnloadIdle();
    // Before a device reset: when the queue is empty, queues (in id order) every resource that
    // released device objects and must be reloaded.
    void QueueDeviceResources();
    // After the device is back: reloads each queued resource that reports itself loaded. The
    // queue is emptied either way; false at the first failure. Remembered load failures are
    // forgotten.
    bool ReloadQueued();
    // Deletes every resource in id order and empties the cache.
    void UnloadAll();
    // The data behind resources may have changed (a package mounted, the device recreated):
    // resources whose lazy load failed may be tried again.
    void ForgetLoadFailures();

    size_t Count() const { return byId_.size(); }
    size_t UnloadableCount() const { return unloadable_.size(); }
    size_t ReloadQueueSize() const { return reloadQueue_.size(); }
    uint32_t FailureEpoch() const { return failureEpoch_; }

private:
    void EraseFromLists(ResourceBase* resource);

    uint32_t nextId_ = 1;
    std::map<uint32_t, std::unique_ptr<ResourceBase>> byId_;
    std::vector<ResourceBase*> reloadQueue_;
    std::vector<ResourceBase*> unloadable_; // registration order
    std::map<String, uint32_t> byName_;
    FrameSource frameSource_;
    std::function<void()> loadStallHandler_;
    uint32_t failureEpoch_ = 1;
};

} // namespace QuillEngine
