#include "engine/core/prefs/Xxtea.h"

namespace QuillEngine {

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;

inline uint32_t Mix(uint32_t y, uint32_t z, uint32_t sum, size_t p, uint32_t e, const uint32_t key[4])
{
    return (((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^ ((sum ^ y) + (key[(p & 3) ^ e] ^ z));
}

} // namespace

void XxteaEncipher(uint32_t* v, size_t n, const uint32_t key[4])
{
    if (n < 2)
        return;
    uint32_t rounds = 6 + static_cast<uint32_t>(52 / n);
    uint32_t sum = 0;
    uint32_t z = v[n - 1];
    uint32_t y;
    do {
        sum += kDelta;
        const uint32_t e = (sum >> 2) & 3;
        size_t p = 0;
        for (; p < n - 1; ++p) {
            y = v[p + 1];
            z = v[p] += Mix(y, z, sum, p, e, key);
        }
        y = v[0];
        z = v[n - 1] += Mix(y, z, sum, p, e, key);
    } while (--rounds);
}

void XxteaDecipher(uint32_t* v, size_t n, const uint32_t key[4])
{
    if (n < 2)
        return;
    uint32_t rounds = 6 + static_cast<uint32_t>(52 / n);
    uint32_t sum = rounds * kDelta;
    uint32_t y = v[0];
    uint32_t z;
    do {
        const uint32_t e = (sum >> 2) & 3;
        size_t p = n - 1;
        for (; p > 0; --p) {
            z = v[p - 1];
            y = v[p] -= Mix(y, z, sum, p, e, key);
        }
        z = v[n - 1];
        y = v[0] -= Mix(y, z, sum, p, e, key);
        sum -= kDelta;
    } while (--rounds);
}

} // namespace QuillEngine
