#include "engine/core/resources/ResourceCache.h"

#include <algorithm>

#include "engine/core/FrameTimer.h"

namespace QuillEngine {

bool ResourceBase::LoadFailed() const
{
    return failedEpoch_ != 0 && cache_ && failedEpoch_ == cache_->FailureEpoch();
}

ResourceCache::ResourceCache()
{
    loadStallHandler_ = [] {
        if (FrameTimer* timer = FrameTimer::Instance())
            timer->Resync();
    };
}

ResourceCache::~ResourceCache()
{
    UnloadAll();
}

bool ResourceCache::Init()
{
    return true;
}

uint32_t ResourceCache::Find(const String& name) const
{
    auto it = byName_.find(name);
    return it == byName_.end() ? 0 : it->second;
}

bool ResourceCache::Register(std::unique_ptr<ResourceBase> resource, uint32_t& id)
{
    id = 0;
    if (!resource)
        return false;
    const String& name = resource->GetName();
    if (!name.empty() && byName_.count(name) != 0)
        return false;
    resource->cache_ = this;
    if (resource->CanUnload()) {
        unloadable_.push_back(resource.get());
    } else if (!resource->Load()) {
        return false;
    }
    resource->id_ = nextId_++;
    resource->lastUsedFrame_ = CurrentFrame();
    id = resource->id_;
    if (!name.empty())
        byName_.emplace(name, id);
    byId_.emplace(id, std::move(resource));
    return true;
}

ResourceBase* ResourceCache::Acquire(uint32_t id, bool peek)
{
    auto it = byId_.find(id);
    if (it == byId_.end())
        return nullptr;
    ResourceBase* resource = it->second.get();
    if (peek)
        return resource;
    if (resource->CanUnload() && !resource->IsLoaded() && resource->failedEpoch_ != failureEpoch_) {
        const bool loaded = resource->Load();
        resource->failedEpoch_ = loaded ? 0 : failureEpoch_;
        if (loadStallHandler_)
            loadStallHandler_();
    }
    resource->lastUsedFrame_ = CurrentFrame();
    return resource;
}

void ResourceCache::EraseFromLists(ResourceBase* resource)
{
    std::erase(unloadable_, resource);
    std::erase(reloadQueue_, resource);
    auto named = byName_.find(resource->GetName());
    if (named != byName_.end() && named->second == resource->GetId())
        byName_.erase(named);
}

void ResourceCache::Release(uint32_t id)
{
    auto it = byId_.find(id);
    if (it == byId_.end())
        return;
    ResourceBase* resource = it->second.get();
    if (resource->useCount_ > 0)
        --resource->useCount_;
    if (resource->useCount_ > 0 || resource->keep_)
        return;
    EraseFromLists(resource);
    // Out of every list before the destructor runs, so a destructor that releases other
    // resources finds a consistent cache.
    std::unique_ptr<ResourceBase> owned = std::move(it->second);
    byId_.erase(it);
    owned.reset();
}

void ResourceCache::Pin(uint32_t id)
{
    auto it = byId_.find(id);
    if (it == byId_.end())
        return;
    ++it->second->pins_;
    it->second->keep_ = true;
}

void ResourceCache::Unpin(uint32_t id)
{
    auto it = byId_.find(id);
    if (it == byId_.end())
        return;
    if (it->second->pins_ > 0 && --it->second->pins_ > 0)
        return; // another holder still draws with it
    it->second->keep_ = false;
    if (it->second->useCount_ == 0) {
        // Release would count the use down once more; the count is already 0.
        it->second->useCount_ = 1;
        Release(id);
    }
}

void ResourceCache::UnloadIdle()
{
    const uint32_t frame = CurrentFrame();
    // Indexed and re-checked: an Unload may release other resources.
    for (size_t i = 0; i < unloadable_.size(); ++i) {
        ResourceBase* resource = unloadable_[i];
        if (resource->keep_ || !resource->IsLoaded())
            continue;
        if (frame - resource->lastUsedFrame_ > resource->GetKeepTime())
            resource->Unload();
    }
}

void ResourceCache::QueueDeviceResources()
{
    if (!reloadQueue_.empty())
        return;
    for (auto& [id, resource] : byId_) {
        if (resource->ReleaseDeviceObjects())
            reloadQueue_.push_back(resource.get());
    }
}

bool ResourceCache::ReloadQueued()
{
    // The device is new: a load that failed for want of video memory may succeed now.
    ForgetLoadFailures();
    // Taken from the front one at a time: a Load that releases a queued resource removes it from
    // the queue before it would be visited.
    while (!reloadQueue_.empty()) {
        ResourceBase* resource = reloadQueue_.front();
        reloadQueue_.erase(reloadQueue_.begin());
        if (resource->IsLoaded() && !resource->Load()) {
            reloadQueue_.clear();
            return false;
        }
    }
    return true;
}

void ResourceCache::UnloadAll()
{
    // Detach everything first, then delete in id order: a destructor that releases another
    // resource finds nothing and does nothing.
    std::map<uint32_t, std::unique_ptr<ResourceBase>> doomed;
    doomed.swap(byId_);
    byName_.clear();
    unloadable_.clear();
    reloadQueue_.clear();
    ForgetLoadFailures();
    for (auto& [id, resource] : doomed)
        resource.reset();
}

void ResourceCache::ForgetLoadFailures()
{
    if (++failureEpoch_ == 0)
        failureEpoch_ = 1;
}

} // namespace QuillEngine
