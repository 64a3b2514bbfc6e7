#include "engine/core/EventScheduler.h"

#include <utility>

namespace QuillEngine {

EventScheduler::EventScheduler(std::function<uint64_t()> clock) : m_clock(std::move(clock)) {}

EventScheduler::~EventScheduler()
{
    for (auto* list : {&m_timers, &m_pending})
        for (const Handle& h : *list)
            delete Find(h);
}

Handle EventScheduler::AddTimer(ITimerCallback* callback, uint64_t interval)
{
    if (!callback)
        return Handle{};
    auto* timer = new Timer{false, false, callback, m_clock(), interval};
    const Handle h = m_table.Create(timer);
    (m_updating ? m_pending : m_timers).push_back(h);
    return h;
}

void EventScheduler::Cancel(const Handle& timer)
{
    if (Timer* t = Find(timer))
        t->cancelled = true;
}

void EventScheduler::SetPaused(const Handle& timer, bool paused)
{
    if (Timer* t = Find(timer)) {
        if (t->paused && !paused)
            t->start = m_clock();
        t->paused = paused;
    }
}

bool EventScheduler::IsActive(const Handle& timer) const
{
    const Timer* t = Find(timer);
    return t && !t->cancelled;
}

void EventScheduler::Update()
{
    if (m_updating) // a callback that runs the scheduler again gets nothing
        return;
    m_updating = true;
    const uint64_t now = m_clock();

    size_t kept = 0;
    for (size_t i = 0; i < m_timers.size(); ++i) {
        const Handle h = m_timers[i];
        Timer* t = Find(h);
        if (!t || t->cancelled) {
            delete t;
            m_table.Release(h);
            continue;
        }
        m_timers[kept++] = h;
        if (t->paused) {
            t->start = now;
            continue;
        }
        uint64_t elapsed = now - t->start;
        if (elapsed < t->interval)
            continue;
        bool fired = false;
        while (!t->cancelled && !t->paused) {
            t->callback->OnTimer(h);
            fired = true;
            // The callback may have added timers or cancelled this one, never deleted it: the
            // record stays until the next walk.
            if (t->interval == 0 || elapsed - t->interval < t->interval)
                break;
            elapsed -= t->interval;
        }
        if (fired)
            t->start = now;
    }
    m_timers.resize(kept);

    m_updating = false;
    m_timers.insert(m_timers.end(), m_pending.begin(), m_pending.end());
    m_pending.clear();
}

} // namespace QuillEngine
