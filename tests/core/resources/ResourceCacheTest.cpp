#include "engine/core/resources/ResourceCache.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>

using namespace QuillEngine;

namespace {

// What a test resource did, kept outside it so it can be read after the resource is deleted.
struct Log {
    int loads = 0;
    int unloads = 0;
    bool deleted = false;
};

class TestResource : public ResourceBase {
public:
    TestResource(Log* log, bool unloadable, uint32_t keepTime = kDefaultKeepTime)
        : ResourceBase(kTypeTexture), log_(log), unloadable_(unloadable), keepTime_(keepTime)
    {
        loaded_ = !unloadable;
    }
    ~TestResource() override
    {
        log_->deleted = true;
        if (releaseOnDelete_ != 0 && GetCache())
            GetCache()->Release(releaseOnDelete_);
    }

    uint32_t GetMemorySize() const override { return 16; }
    bool IsLoaded() const override { return loaded_; }
    uint32_t GetKeepTime() const override { return keepTime_; }
    bool CanUnload() const override { return unloadable_; }
    void Unload() override
    {
        ++log_->unloads;
        loaded_ = false;
    }
    bool Load() override
    {
        ++log_->loads;
        loaded_ = loadSucceeds_;
        return loadSucceeds_;
    }
    bool ReleaseDeviceObjects() override { return deviceBound_; }

    bool loadSucceeds_ = true;
    bool deviceBound_ = false;
    uint32_t releaseOnDelete_ = 0;
    bool loaded_ = false;

private:
    Log* log_;
    bool unloadable_;
    uint32_t keepTime_;
};

struct Fixture : ::testing::Test {
    // Declared before the cache, so the logs outlive the resources the cache deletes last.
    std::deque<Log> logs;
    Log& NewLog() { return logs.emplace_back(); }
    ResourceCache cache;
    uint32_t frame = 0;
    int stalls = 0;

    void SetUp() override
    {
        ASSERT_TRUE(cache.Init());
        cache.SetFrameSource([this] { return frame; });
        cache.SetLoadStallHandler([this] { ++stalls; });
    }

    uint32_t Add(Log& log, bool unloadable, const char* name, TestResource** out = nullptr,
                 uint32_t keep = ResourceBase::kDefaultKeepTime)
    {
        auto resource = std::make_unique<TestResource>(&log, unloadable, keep);
        resource->SetName(Widen(name));
        if (out)
            *out = resource.get();
        uint32_t id = 0;
        EXPECT_TRUE(cache.Register(std::move(resource), id));
        return id;
    }
};

using ResourceCacheTest = Fixture;

TEST_F(ResourceCacheTest, RegisterHandsOutIdsAndNames)
{
    Log& a = NewLog();
    Log& b = NewLog();
    const uint32_t first = Add(a, false, "a_dximg");
    const uint32_t second = Add(b, true, "b_dximg");
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 2u);
    EXPECT_EQ(a.loads, 1) << "a resource that cannot be unloaded loads at registration";
    EXPECT_EQ(b.loads, 0) << "an unloadable one waits for its first use";
    EXPECT_EQ(cache.Find(u"b_dximg"), second);
    EXPECT_TRUE(cache.Exists(u"a_dximg"));
    EXPECT_EQ(cache.Find(u"missing"), 0u);
    EXPECT_EQ(cache.UnloadableCount(), 1u);
    EXPECT_EQ(cache.Acquire(99), nullptr);

    // A failing eager load and a duplicate name are both refused and the resource deleted.
    Log& bad = NewLog();
    auto failing = std::make_unique<TestResource>(&bad, false);
    failing->loadSucceeds_ = false;
    uint32_t id = 77;
    EXPECT_FALSE(cache.Register(std::move(failing), id));
    EXPECT_EQ(id, 0u);
    EXPECT_TRUE(bad.deleted);

    Log& dup = NewLog();
    auto twin = std::make_unique<TestResource>(&dup, true);
    twin->SetName(u"a_dximg");
    EXPECT_FALSE(cache.Register(std::move(twin), id));
    EXPECT_TRUE(dup.deleted);
    EXPECT_EQ(cache.Find(u"a_dximg"), first);
    EXPECT_EQ(cache.Count(), 2u);
}

TEST_F(ResourceCacheTest, IdleResourceUnloadsAfterKeepTimeAndReloadsOnUse)
{
    Log& log = NewLog();
    TestResource* res = nullptr;
    const uint32_t id = Add(log, true, "tex", &res);

    frame = 100;
    ASSERT_EQ(cache.Acquire(id), res);
    EXPECT_TRUE(res->IsLoaded());
    EXPECT_EQ(log.loads, 1);
    EXPECT_EQ(stalls, 1) << "a lazy load resynchronises the frame timer";
    EXPECT_EQ(res->GetLastUsedFrame(), 100u);

    frame = 135;
    cache.UnloadIdle();
    EXPECT_TRUE(res->IsLoaded()) << "35 frames idle is still within the keep time";
    frame = 136;
    cache.UnloadIdle();
    EXPECT_FALSE(res->IsLoaded());
    EXPECT_EQ(log.unloads, 1);
    cache.UnloadIdle();
    EXPECT_EQ(log.unloads, 1) << "an unloaded resource is not unloaded twice";

    // A peek neither loads nor marks the resource as used.
    frame = 150;
    EXPECT_EQ(cache.Acquire(id, true), res);
    EXPECT_FALSE(res->IsLoaded());
    EXPECT_EQ(res->GetLastUsedFrame(), 100u);

    EXPECT_EQ(cache.Acquire(id), res);
    EXPECT_TRUE(res->IsLoaded());
    EXPECT_EQ(log.loads, 2);
    EXPECT_EQ(res->GetLastUsedFrame(), 150u);
}

TEST_F(ResourceCacheTest, KeptAndNeverIdleResourcesStayLoaded)
{
    Log& kept = NewLog();
    Log& forever = NewLog();
    TestResource *a = nullptr, *b = nullptr;
    const uint32_t ida = Add(kept, true, "kept", &a);
    const uint32_t idb = Add(forever, true, "sound", &b, ResourceBase::kNeverIdle);
    cache.Acquire(ida);
    cache.Acquire(idb);
    a->SetKeep(true);
    frame = 100000;
    cache.UnloadIdle();
    EXPECT_TRUE(a->IsLoaded());
    EXPECT_TRUE(b->IsLoaded());
    // Frame numbers wrap: the difference is taken unsigned.
    a->SetKeep(false);
    frame = 0xFFFFFFF0u;
    cache.Acquire(ida);
    frame = 5;
    cache.UnloadIdle();
    EXPECT_TRUE(a->IsLoaded()) << "21 frames across the wrap";
    frame = 20;
    cache.UnloadIdle();
    EXPECT_FALSE(a->IsLoaded());
}

TEST_F(ResourceCacheTest, SharedUsesAndKeepPinDecideDeletion)
{
    Log& log = NewLog();
    TestResource* res = nullptr;
    const uint32_t id = Add(log, false, "shared", &res);
    res->AddUse();
    EXPECT_EQ(res->GetUseCount(), 2u);

    cache.Release(id);
    EXPECT_FALSE(log.deleted);
    EXPECT_EQ(res->GetUseCount(), 1u);

    res->SetKeep(true);
    cache.Release(id);
    EXPECT_FALSE(log.deleted) << "a kept resource survives its last release";
    EXPECT_EQ(res->GetUseCount(), 0u);
    cache.Release(id);
    EXPECT_EQ(res->GetUseCount(), 0u) << "the count does not go below zero";

    cache.Unpin(id);
    EXPECT_TRUE(log.deleted);
    EXPECT_EQ(cache.Acquire(id), nullptr);
    EXPECT_FALSE(cache.Exists(u"shared"));
    EXPECT_EQ(cache.Count(), 0u);

    // Unpin of a resource still in use only clears the pin.
    Log& other = NewLog();
    TestResource* used = nullptr;
    const uint32_t id2 = Add(other, true, "used", &used);
    used->SetKeep(true);
    cache.Unpin(id2);
    EXPECT_FALSE(other.deleted);
    EXPECT_FALSE(used->IsKept());
    cache.Release(id2);
    EXPECT_TRUE(other.deleted);
    EXPECT_EQ(cache.UnloadableCount(), 0u);
}

TEST_F(ResourceCacheTest, ReleasedResourceLeavesTheReloadQueue)
{
    Log& a = NewLog();
    Log& b = NewLog();
    TestResource *ra = nullptr, *rb = nullptr;
    const uint32_t ida = Add(a, false, "a", &ra);
    Add(b, false, "b", &rb);
    ra->deviceBound_ = true;
    rb->deviceBound_ = true;
    cache.QueueDeviceResources();
    EXPECT_EQ(cache.ReloadQueueSize(), 2u);
    cache.QueueDeviceResources();
    EXPECT_EQ(cache.ReloadQueueSize(), 2u) << "a full queue is not queued again";

    cache.Release(ida);
    ASSERT_TRUE(a.deleted);
    EXPECT_EQ(cache.ReloadQueueSize(), 1u);
    EXPECT_TRUE(cache.ReloadQueued());
    EXPECT_EQ(b.loads, 2) << "the survivor reloads once";
    EXPECT_EQ(cache.ReloadQueueSize(), 0u);

    // UnloadAll empties the queue too, so a later ReloadQueued touches nothing.
    cache.QueueDeviceResources();
    EXPECT_EQ(cache.ReloadQueueSize(), 1u);
    cache.UnloadAll();
    EXPECT_TRUE(b.deleted);
    EXPECT_EQ(cache.ReloadQueueSize(), 0u);
    EXPECT_TRUE(cache.ReloadQueued());
}

TEST_F(ResourceCacheTest, ReloadQueuedStopsAtTheFirstFailure)
{
    Log& a = NewLog();
    Log& b = NewLog();
    Log& c = NewLog();
    TestResource *ra = nullptr, *rb = nullptr, *rc = nullptr;
    Add(a, false, "a", &ra);
    Add(b, false, "b", &rb);
    Add(c, true, "c", &rc); // never acquired: not loaded, so not reloaded
    ra->deviceBound_ = rb->deviceBound_ = rc->deviceBound_ = true;
    cache.QueueDeviceResources();
    ASSERT_EQ(cache.ReloadQueueSize(), 3u);
    ra->loadSucceeds_ = false;
    EXPECT_FALSE(cache.ReloadQueued());
    EXPECT_EQ(b.loads, 1) << "nothing after the failure reloads";
    EXPECT_EQ(c.loads, 0);
    EXPECT_EQ(cache.ReloadQueueSize(), 0u);
}

TEST_F(ResourceCacheTest, FailedLazyLoadIsRememberedUntilForgotten)
{
    Log& log = NewLog();
    TestResource* res = nullptr;
    const uint32_t id = Add(log, true, "broken.png_dximg", &res);
    res->loadSucceeds_ = false;

    ResourceBase* got = cache.Acquire(id);
    ASSERT_EQ(got, res) << "the caller gets the resource and tests IsLoaded";
    EXPECT_FALSE(got->IsLoaded());
    EXPECT_TRUE(got->LoadFailed());
    for (frame = 1; frame < 10; ++frame)
        cache.Acquire(id);
    EXPECT_EQ(log.loads, 1) << "a failed picture is not decoded again every frame";
    EXPECT_EQ(res->GetLastUsedFrame(), 9u);

    res->loadSucceeds_ = true;
    cache.ForgetLoadFailures();
    EXPECT_FALSE(res->LoadFailed());
    EXPECT_TRUE(cache.Acquire(id)->IsLoaded());
    EXPECT_EQ(log.loads, 2);

    // A new device is another reason to try again (the failure may have been video memory).
    res->Unload();
    res->loadSucceeds_ = false;
    cache.Acquire(id);
    cache.Acquire(id);
    EXPECT_EQ(log.loads, 3);
    EXPECT_TRUE(cache.ReloadQueued());
    cache.Acquire(id);
    EXPECT_EQ(log.loads, 4);
}

TEST_F(ResourceCacheTest, DestructorReleasingAnotherResourceIsSafe)
{
    Log& a = NewLog();
    Log& b = NewLog();
    Log& c = NewLog();
    Log& d = NewLog();
    TestResource *ra = nullptr, *rc = nullptr;
    Add(a, false, "a", &ra);
    const uint32_t idb = Add(b, false, "b");
    ra->releaseOnDelete_ = idb;
    cache.UnloadAll();
    EXPECT_TRUE(a.deleted);
    EXPECT_TRUE(b.deleted);
    EXPECT_EQ(cache.Count(), 0u);

    const uint32_t idc = Add(c, false, "c", &rc);
    const uint32_t idd = Add(d, false, "d");
    rc->releaseOnDelete_ = idd;
    cache.Release(idc);
    EXPECT_TRUE(c.deleted);
    EXPECT_TRUE(d.deleted) << "the released resource's destructor gave back its last use";
    EXPECT_EQ(cache.Count(), 0u);
}

} // namespace
