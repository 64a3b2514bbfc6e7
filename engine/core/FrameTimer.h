#pragma once

#include <cstdint>

#include "engine/core/Singleton.h"

namespace QuillEngine {

// Fixed 1/60 s steps against a monotonic counter. One Poll grants at most one step; a stall of
// more than 600 steps is forgiven (resynchronised) rather than caught up.
class FrameTimer : public Singleton<FrameTimer> {
public:
    using CounterFn = uint64_t (*)();

    // `counter`/`frequency` default to the platform's monotonic clock; tests pass a fake.
    explicit FrameTimer(CounterFn counter = nullptr, uint64_t frequency = 0);

    bool Init();
    void Poll();
    void Resync();
    bool Due() const { return due_; }
    // Whole milliseconds left before the next step falls due (0 when it is due now).
    uint32_t MillisecondsUntilDue() const;
    // Game time in seconds: the sum of all steps taken.
    float GetTime() const;

    uint64_t StepTicks() const { return step_; }
    uint64_t GameTicks() const { return gameTicks_; }

    static constexpr uint64_t kStepsPerSecond = 60;
    static constexpr uint64_t kMaxBehindSteps = 600;

private:
    CounterFn counter_;
    uint64_t frequency_;
    uint64_t step_ = 0;
    bool due_ = false;
    uint64_t last_ = 0;
    uint64_t gameTicks_ = 0;
};

} // namespace QuillEngine
