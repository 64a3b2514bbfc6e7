// The state machine base: changes applied at once outside an update, deferred and collapsed
// inside one.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "game/states/StateMachine.h"

namespace {

class Recorder : public StateMachine {
public:
    std::vector<std::string> log;
    std::function<void(int32_t)> onUpdate;
    std::function<void(int32_t)> onEnter;

protected:
    void OnEnter(int32_t s) override
    {
        log.push_back("enter" + std::to_string(s));
        if (onEnter)
            onEnter(s);
    }
    void OnExit(int32_t s) override { log.push_back("exit" + std::to_string(s)); }
    void OnUpdate(int32_t s) override
    {
        log.push_back("update" + std::to_string(s));
        if (onUpdate)
            onUpdate(s);
    }
};

using Log = std::vector<std::string>;

TEST(StateMachine, ChangesOutsideAnUpdateApplyAtOnceEvenForTheCurrentState)
{
    Recorder m;
    EXPECT_EQ(m.GetState(), 0);
    m.SetState(2);
    EXPECT_EQ(m.GetState(), 2);
    EXPECT_EQ(m.GetPreviousState(), 0);
    m.SetState(2);
    EXPECT_EQ(m.log, (Log{"exit0", "enter2", "exit2", "enter2"}));
    EXPECT_EQ(m.GetPreviousState(), 2);
}

TEST(StateMachine, RequestsDuringAnUpdateCollapseIntoTheLastOne)
{
    Recorder m;
    m.SetState(1);
    m.log.clear();
    m.onUpdate = [&](int32_t) {
        m.SetState(2);
        m.SetState(3);
        EXPECT_EQ(m.GetState(), 1); // nothing applied while the hook runs
    };
    m.Update();
    EXPECT_EQ(m.log, (Log{"update1", "exit1", "enter3"}));
    EXPECT_EQ(m.GetState(), 3);
    EXPECT_EQ(m.GetPreviousState(), 1);
    EXPECT_FALSE(m.IsUpdating());
}

TEST(StateMachine, RequestForTheCurrentStateDuringAnUpdateIsDropped)
{
    Recorder m;
    m.SetState(4);
    m.log.clear();
    m.onUpdate = [&](int32_t s) { m.SetState(s); };
    m.Update();
    EXPECT_EQ(m.log, (Log{"update4"}));
    // Asking away and back within one update also ends where it started.
    m.onUpdate = [&](int32_t) {
        m.SetState(5);
        m.SetState(4);
    };
    m.Update();
    EXPECT_EQ(m.log, (Log{"update4", "update4"}));
}

TEST(StateMachine, ChangeMadeWhileEnteringIsNestedAndAppliedAtOnce)
{
    Recorder m;
    m.onEnter = [&](int32_t s) {
        if (s == 1)
            m.SetState(2);
    };
    m.SetState(1);
    EXPECT_EQ(m.GetState(), 2);
    EXPECT_EQ(m.log, (Log{"exit0", "enter1", "exit1", "enter2"}));
    // A change asked for by the update hook waits for the hook to return.
    m.log.clear();
    m.onEnter = nullptr;
    m.onUpdate = [&](int32_t s) {
        if (s == 2)
            m.SetState(1);
    };
    m.Update();
    EXPECT_EQ(m.GetState(), 1);
    EXPECT_EQ(m.log, (Log{"update2", "exit2", "enter1"}));
}

TEST(StateMachine, NestedUpdateKeepsTheOuterDeferral)
{
    Recorder m;
    m.SetState(1);
    m.log.clear();
    int depth = 0;
    m.onUpdate = [&](int32_t) {
        if (depth++ == 0) {
            m.Update(); // the hook ticks its own machine again
            m.SetState(7);
            EXPECT_EQ(m.GetState(), 1);
        }
    };
    m.Update();
    EXPECT_EQ(m.GetState(), 7);
    EXPECT_EQ(m.log, (Log{"update1", "update1", "exit1", "enter7"}));
}

} // namespace
