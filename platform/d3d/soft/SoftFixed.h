#pragma once
// Fixed-point helpers shared by the soft rasteriser's set-up and span code.

#include <algorithm>
#include <cstdint>

namespace QuillD3D::Detail {

constexpr int kSub = 16;                        // sub-pixel steps per pixel
constexpr double kGuard = 16384.0;              // beyond this a triangle is clipped before snapping
constexpr double kFixedLimit = 1099511627776.0; // 2^40: attribute values are clamped to this

inline int64_t FloorDiv16(int64_t v)
{
    return v >= 0 ? v / kSub : -((-v + kSub - 1) / kSub);
}

inline int64_t CeilDiv16(int64_t v)
{
    return -FloorDiv16(-v);
}

// a / b rounded down and up, for either sign of b (b != 0).
inline int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

inline int64_t CeilDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) == (b < 0))) ? q + 1 : q;
}

// Rounding without library calls (the baseline instruction set has no rounding instruction);
// arguments are finite and well inside the 64-bit range.
inline int64_t FloorI(double v)
{
    const int64_t t = static_cast<int64_t>(v);
    return t - (static_cast<double>(t) > v);
}

inline int64_t CeilI(double v)
{
    const int64_t t = static_cast<int64_t>(v);
    return t + (static_cast<double>(t) < v);
}

inline int64_t RoundI(double v)
{
    return FloorI(v + 0.5);
}

inline int64_t ToFixed(double v)
{
    return RoundI(std::clamp(v, -kFixedLimit, kFixedLimit) * 65536.0);
}

} // namespace QuillD3D::Detail
