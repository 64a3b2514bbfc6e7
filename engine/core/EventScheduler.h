#pragma once
// Timed callbacks driven by the engine's fixed step. Timers are named by handles; a timer added
// while the scheduler is running callbacks first runs at the next step.

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/Handle.h"
#include "engine/core/HandleTable.h"
#include "engine/core/Singleton.h"

namespace QuillEngine {

class ITimerCallback {
public:
    virtual ~ITimerCallback() = default;
    virtual void OnTimer(const Handle& timer) = 0;
};

class EventScheduler : public Singleton<EventScheduler> {
public:
    // `clock` returns the game time in ticks (the frame timer's accumulated step ticks).
    explicit EventScheduler(std::function<uint64_t()> clock);
    ~EventScheduler();

    // A timer that calls `callback` (not owned) every `interval` ticks, counted from now. An
    // interval of 0 fires once per step.
    Handle AddTimer(ITimerCallback* callback, uint64_t interval);
    // The timer stops firing at once and is removed at the next step. Safe from its own callback.
    void Cancel(const Handle& timer);
    // A paused timer does not fire; its interval restarts when it is resumed.
    void SetPaused(const Handle& timer, bool paused);
    bool IsActive(const Handle& timer) const;

    // Runs once per fixed step.
    void Update();

    size_t TimerCount() const { return m_timers.size() + m_pending.size(); }

private:
    struct Timer {
        bool paused = false;
        bool cancelled = false;
        ITimerCallback* callback = nullptr;
        uint64_t start = 0;
        uint64_t interval = 0;
    };
    Timer* Find(const Handle& h) const
    {
        return h.table == &m_table ? static_cast<Timer*>(m_table.Resolve(h)) : nullptr;
    }

    HandleTable m_table;
    std::vector<Handle> m_timers;
    std::vector<Handle> m_pending;
    bool m_updating = false;
    std::function<uint64_t()> m_clock;
};

} // namespace QuillEngine
