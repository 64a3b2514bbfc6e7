#pragma once
// The engine's random numbers: the classic C library generator (seed * 214013 + 2531011, result
// bits 16..30), so a seeded game replays the same sequence on every platform.

#include <cstdint>

namespace QuillEngine {

constexpr int kRandMax = 32767;

void Srand(uint32_t seed);
// Test support: seeds the generator with `seed` and makes every later Srand use `seed` instead
// of its own argument, so a run that seeds from the clock still replays the same numbers.
void FixSeed(uint32_t seed);
// Srand takes its argument again.
void ReleaseSeed();
// 0..kRandMax.
int Rand();

} // namespace QuillEngine
