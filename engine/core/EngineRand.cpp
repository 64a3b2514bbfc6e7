#include "engine/core/EngineRand.h"

namespace QuillEngine {

namespace {
// The game runs its logic on one thread; the generator is shared like the C library's.
RandStream g_stream(1);
bool g_fixed = false;
uint32_t g_fixedSeed = 0;
} // namespace

void Srand(uint32_t seed)
{
    g_stream = RandStream(g_fixed ? g_fixedSeed : seed);
}

void FixSeed(uint32_t seed)
{
    g_fixed = true;
    g_fixedSeed = seed;
    g_stream = RandStream(seed);
}

void ReleaseSeed()
{
    g_fixed = false;
}

int Rand()
{
    return g_stream.Next();
}

} // namespace QuillEngine
