#include "engine/core/EngineRand.h"

namespace QuillEngine {

namespace {
// The game runs its logic on one thread; the generator is shared like the C library's.
uint32_t g_state = 1;
bool g_fixed = false;
uint32_t g_fixedSeed = 0;
} // namespace

void Srand(uint32_t seed)
{
    g_state = g_fixed ? g_fixedSeed : seed;
}

void FixSeed(uint32_t seed)
{
    g_fixed = true;
    g_fixedSeed = seed;
    g_state = seed;
}

void ReleaseSeed()
{
    g_fixed = false;
}

int Rand()
{
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7FFF);
}

} // namespace QuillEngine
