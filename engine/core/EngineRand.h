#pragma once
// The engine's random numbers: the classic C library generator (seed * 214013 + 2531011, result
// bits 16..30), so a seeded game replays the same sequence on every platform.

#include <cstdint>

namespace QuillEngine {

constexpr int kRandMax = 32767;

void Srand(uint32_t seed);
// 0..kRandMax.
int Rand();

} // namespace QuillEngine
