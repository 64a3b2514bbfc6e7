#include "engine/core/HandleTable.h"

#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/EventScheduler.h"

using namespace QuillEngine;

TEST(HandleTable, ReleasedHandlesStayStaleWhenTheSlotIsReused)
{
    HandleTable table;
    int a = 1, b = 2;
    const Handle first = table.Create(&a, 7);
    EXPECT_EQ(first.id, 1u);
    EXPECT_TRUE(first.IsValid());
    EXPECT_EQ(first.Get(), &a);
    EXPECT_EQ(table.ValueOf(first), 7u);

    table.Release(first);
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(first.Get(), nullptr);

    const Handle second = table.Create(&b);
    EXPECT_EQ(second.slot, first.slot);
    EXPECT_NE(second.id, first.id);
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(second.GetAs<int>(), &b);

    // Releasing the stale handle again must not free the slot's new owner.
    table.Release(first);
    EXPECT_TRUE(second.IsValid());
    table.Release(second);
    table.Release(second);
    EXPECT_EQ(table.LiveCount(), 0u);
    const Handle third = table.Create(&a);
    const Handle fourth = table.Create(&b);
    EXPECT_NE(third.slot, fourth.slot); // freed once, so only one reuse
}

TEST(HandleTable, FreeSlotsAreReusedLastInFirstOut)
{
    HandleTable table;
    int x;
    Handle h[4];
    for (auto& handle : h)
        handle = table.Create(&x);
    table.Release(h[1]);
    table.Release(h[3]);
    EXPECT_EQ(table.Create(&x).slot, h[3].slot);
    EXPECT_EQ(table.Create(&x).slot, h[1].slot);
    EXPECT_EQ(table.Count(), 4u);
}

TEST(HandleTable, GrowsSixteenSlotsAtATime)
{
    HandleTable table;
    int x;
    for (int i = 0; i < 16; ++i)
        table.Create(&x);
    EXPECT_EQ(table.Capacity(), 16u);
    table.Create(&x);
    EXPECT_EQ(table.Capacity(), 32u);
    EXPECT_EQ(table.Count(), 17u);
}

TEST(HandleTable, ForeignAndEmptyHandlesAreIgnored)
{
    HandleTable one, two;
    int x, y;
    const Handle h1 = one.Create(&x);
    const Handle h2 = two.Create(&y);
    ASSERT_EQ(h1.id, h2.id);
    ASSERT_EQ(h1.slot, h2.slot);
    EXPECT_FALSE(one.IsValid(h2));
    EXPECT_EQ(one.Resolve(h2), nullptr);
    one.Release(h2); // another table's handle
    EXPECT_TRUE(h1.IsValid());

    const Handle empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.Get(), nullptr);
    one.Release(empty);
    EXPECT_TRUE(h1.IsValid());
}

TEST(HandleTable, FindByObjectReturnsTheLowestLiveSlot)
{
    HandleTable table;
    int x, y;
    const Handle a = table.Create(&x);
    const Handle b = table.Create(&y);
    const Handle c = table.Create(&x);
    EXPECT_EQ(table.FindByObject(&x), a);
    table.Release(a);
    EXPECT_EQ(table.FindByObject(&x), c);
    EXPECT_EQ(table.FindByObject(&y), b);
    EXPECT_TRUE(table.FindByObject(&table).IsEmpty());
}

TEST(HandleTable, SerialIdSkipsZeroWhenItWraps)
{
    HandleTable table;
    int x;
    table.SetNextIdForTest(0xFFFFFFFFu);
    const Handle last = table.Create(&x);
    const Handle wrapped = table.Create(&x);
    EXPECT_EQ(last.id, 0xFFFFFFFFu);
    EXPECT_EQ(wrapped.id, 1u);
    EXPECT_TRUE(wrapped.IsValid());
}

namespace {

struct FakeClock {
    uint64_t now = 0;
    std::function<uint64_t()> Fn()
    {
        return [this] { return now; };
    }
};

struct CallbackTimer : ITimerCallback {
    std::function<void(const Handle&)> action;
    int fired = 0;
    void OnTimer(const Handle& h) override
    {
        ++fired;
        if (action)
            action(h);
    }
};

} // namespace

TEST(EventScheduler, CatchesUpMissedIntervalsInOneUpdate)
{
    FakeClock clock;
    EventScheduler scheduler(clock.Fn());
    EXPECT_EQ(EventScheduler::Instance(), &scheduler);
    CallbackTimer timer;
    const Handle h = scheduler.AddTimer(&timer, 10);
    clock.now = 9;
    scheduler.Update();
    EXPECT_EQ(timer.fired, 0);
    clock.now = 35;
    scheduler.Update();
    EXPECT_EQ(timer.fired, 3);
    // The remainder is dropped: the next interval counts from this update.
    clock.now = 44;
    scheduler.Update();
    EXPECT_EQ(timer.fired, 3);
    clock.now = 45;
    scheduler.Update();
    EXPECT_EQ(timer.fired, 4);
    EXPECT_TRUE(scheduler.IsActive(h));

    // Late by exactly three intervals: three calls, the last with nothing left over.
    CallbackTimer exact;
    scheduler.AddTimer(&exact, 10);
    clock.now = 75;
    scheduler.Update();
    EXPECT_EQ(exact.fired, 3);
}

TEST(EventScheduler, ZeroIntervalFiresOncePerUpdate)
{
    FakeClock clock;
    EventScheduler scheduler(clock.Fn());
    CallbackTimer timer;
    scheduler.AddTimer(&timer, 0);
    scheduler.Update();
    EXPECT_EQ(timer.fired, 1);
    clock.now = 1000;
    scheduler.Update();
    EXPECT_EQ(timer.fired, 2);
}

TEST(EventScheduler, TimerAddedInACallbackRunsFromTheNextStep)
{
    FakeClock clock;
    EventScheduler scheduler(clock.Fn());
    CallbackTimer added;
    CallbackTimer adder;
    adder.action = [&](const Handle& self) {
        scheduler.AddTimer(&added, 0);
        scheduler.Cancel(self);
    };
    scheduler.AddTimer(&adder, 0);
    scheduler.Update();
    EXPECT_EQ(adder.fired, 1);
    EXPECT_EQ(added.fired, 0);
    scheduler.Update();
    EXPECT_EQ(added.fired, 1);
    EXPECT_EQ(adder.fired, 1);
    EXPECT_EQ(scheduler.TimerCount(), 1u);
}

TEST(EventScheduler, TimerCancelledInItsOwnCallbackStopsAtOnce)
{
    FakeClock clock;
    EventScheduler scheduler(clock.Fn());
    CallbackTimer timer;
    timer.action = [&](const Handle& self) { scheduler.Cancel(self); };
    const Handle h = scheduler.AddTimer(&timer, 10);
    clock.now = 100; // ten intervals due, but the first call cancels
    scheduler.Update();
    EXPECT_EQ(timer.fired, 1);
    EXPECT_FALSE(scheduler.IsActive(h));
    scheduler.Update();
    EXPECT_FALSE(h.IsValid());
    EXPECT_EQ(scheduler.TimerCount(), 0u);
}

TEST(EventScheduler, PausedTimerRestartsItsInterval)
{
    FakeClock clock;
    EventScheduler scheduler(clock.Fn());
    CallbackTimer timer;
    const Handle h = scheduler.AddTimer(&timer, 10);
    scheduler.SetPaused(h, true);
    clock.now = 50;
    scheduler.Update();
    EXPECT_EQ(timer.fired, 0);
    scheduler.SetPaused(h, false);
    clock.now = 59;
    scheduler.Update();
    EXPECT_EQ(timer.fired, 0);
    clock.now = 60;
    scheduler.Update();
    EXPECT_EQ(timer.fired, 1);
    // A handle from another table does nothing.
    HandleTable other;
    int x;
    scheduler.Cancel(other.Create(&x));
    EXPECT_TRUE(scheduler.IsActive(h));
}
