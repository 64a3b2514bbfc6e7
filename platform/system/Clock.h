#pragma once
#include <cstdint>

namespace QuillPlatform {

// Monotonic counter in nanoseconds (CLOCK_MONOTONIC); the engine's counter frequency is 1e9.
uint64_t MonotonicNanoseconds();
constexpr uint64_t kCounterFrequency = 1000000000ull;

void SleepMilliseconds(uint32_t ms);

} // namespace QuillPlatform
