#include "engine/core/FrameTimer.h"

#include "platform/system/Clock.h"

namespace QuillEngine {

FrameTimer::FrameTimer(CounterFn counter, uint64_t frequency)
    : counter_(counter ? counter : &QuillPlatform::MonotonicNanoseconds),
      frequency_(counter ? frequency : QuillPlatform::kCounterFrequency)
{
}

bool FrameTimer::Init()
{
    step_ = frequency_ / kStepsPerSecond;
    if (step_ == 0)
        step_ = 1;
    last_ = counter_();
    gameTicks_ = 0;
    due_ = false;
    return true;
}

void FrameTimer::Poll()
{
    const uint64_t now = counter_();
    const uint64_t elapsed = now - last_;
    if (elapsed > kMaxBehindSteps * step_) {
        last_ = now;
        due_ = false;
    } else if (elapsed > step_) {
        gameTicks_ += step_;
        last_ += step_;
        due_ = true;
    } else {
        due_ = false;
    }
}

uint32_t FrameTimer::MillisecondsUntilDue() const
{
    const uint64_t elapsed = counter_() - last_;
    if (elapsed >= step_ || frequency_ == 0)
        return 0;
    return static_cast<uint32_t>((step_ - elapsed) * 1000 / frequency_);
}

void FrameTimer::Resync()
{
    last_ = counter_();
}

float FrameTimer::GetTime() const
{
    return frequency_ ? static_cast<float>(static_cast<double>(gameTicks_) / static_cast<double>(frequency_)) : 0.0f;
}

} // namespace QuillEngine
