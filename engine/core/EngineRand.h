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

// A generator of the same kind with a state of its own (Rand draws from one shared stream). Effects whose amount differs from machine
// to machine (particles are thinner on the software renderer) draw from one, so that the game's
// own sequence, and with it a seeded replay, is the same everywhere.
class RandStream {
public:
    explicit RandStream(uint32_t seed) : state_(seed) {}
    // 0..kRandMax.
    int Next()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    uint32_t state_;
};

} // namespace QuillEngine
