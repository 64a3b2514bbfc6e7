#include "platform/d3d/SoftRaster.h"

#include <algorithm>
#include <cmath>

namespace QuillD3D::Detail {

namespace {

constexpr int kSub = 16;                 // sub-pixel steps per pixel
constexpr double kGuard = 16384.0;       // beyond this a triangle is clipped before snapping
constexpr double kFixedLimit = 1099511627776.0; // 2^40: attribute values are clamped to this

enum Combiner { kTexMulDiff, kTex, kDiff, kGeneric };
enum BlendKind { kReplace, kAlpha, kAdditive, kKeepDest, kGenericBlend };

inline uint32_t Mul255(uint32_t a, uint32_t b)
{
    const uint32_t t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

inline uint32_t Modulate(uint32_t t, uint32_t d)
{
    return Mul255(t >> 24, d >> 24) << 24 | Mul255((t >> 16) & 255, (d >> 16) & 255) << 16 |
           Mul255((t >> 8) & 255, (d >> 8) & 255) << 8 | Mul255(t & 255, d & 255);
}

// dst·(255 − a) + src·a over 255, rounded, all four channels at once (two per 32-bit word).
inline uint32_t BlendAlpha(uint32_t s, uint32_t d)
{
    const uint32_t a = s >> 24, ia = 255 - a;
    uint32_t rb = (s & 0xFF00FFu) * a + (d & 0xFF00FFu) * ia + 0x800080u;
    uint32_t ag = ((s >> 8) & 0xFF00FFu) * a + ((d >> 8) & 0xFF00FFu) * ia + 0x800080u;
    rb = ((rb + ((rb >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
    ag = (ag + ((ag >> 8) & 0xFF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

// dst + src·a over 255, saturating.
inline uint32_t BlendAdd(uint32_t s, uint32_t d)
{
    const uint32_t a = s >> 24;
    uint32_t rb = (s & 0xFF00FFu) * a + 0x800080u;
    uint32_t ag = ((s >> 8) & 0xFF00FFu) * a + 0x800080u;
    rb = ((rb + ((rb >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
    ag = ((ag + ((ag >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
    rb += d & 0xFF00FFu;
    ag += (d >> 8) & 0xFF00FFu;
    uint32_t over = rb & 0x01000100u;
    rb = (rb | (over - (over >> 8))) & 0xFF00FFu;
    over = ag & 0x01000100u;
    ag = (ag | (over - (over >> 8))) & 0xFF00FFu;
    return rb | (ag << 8);
}

inline bool Compare(uint32_t func, uint32_t a, uint32_t b)
{
    switch (func) {
    case 1:
        return false;
    case 2:
        return a < b;
    case 3:
        return a == b;
    case 4:
        return a <= b;
    case 5:
        return a > b;
    case 6:
        return a != b;
    case 7:
        return a >= b;
    default:
        return true;
    }
}

// Blend factor for one channel (c: 0 blue .. 3 alpha) of source s and destination d.
inline uint32_t Factor(uint32_t kind, uint32_t s, uint32_t d, int c)
{
    const uint32_t sa = s >> 24, da = d >> 24, sc = (s >> (8 * c)) & 255, dc = (d >> (8 * c)) & 255;
    switch (kind) {
    case 1:
        return 0;
    case 3:
        return sc;
    case 4:
        return 255 - sc;
    case 5:
        return sa;
    case 6:
        return 255 - sa;
    case 7:
        return da;
    case 8:
        return 255 - da;
    case 9:
        return dc;
    case 10:
        return 255 - dc;
    default:
        return 255;
    }
}

inline int64_t FloorDiv16(int64_t v)
{
    return v >= 0 ? v / kSub : -((-v + kSub - 1) / kSub);
}

inline int64_t CeilDiv16(int64_t v)
{
    return -FloorDiv16(-v);
}

inline int64_t ToFixed(double v)
{
    return std::llround(std::clamp(v, -kFixedLimit, kFixedLimit) * 65536.0);
}

inline int Address(int64_t i, int size, bool wrap)
{
    if (wrap) {
        const int64_t m = i % size;
        return static_cast<int>(m < 0 ? m + size : m);
    }
    return static_cast<int>(std::clamp<int64_t>(i, 0, size - 1));
}

inline uint32_t FetchPoint(const RasterTexture& t, int64_t u, int64_t v)
{
    const int x = Address(u >> 16, t.width, t.wrapU), y = Address(v >> 16, t.height, t.wrapV);
    return t.pixels[static_cast<size_t>(y) * t.pitch + x] | t.orMask;
}

inline uint32_t Lerp(uint32_t a, uint32_t b, uint32_t f)
{
    const uint32_t g = 256 - f;
    const uint32_t rb = (((a & 0xFF00FFu) * g + (b & 0xFF00FFu) * f) >> 8) & 0xFF00FFu;
    const uint32_t ag = (((a >> 8) & 0xFF00FFu) * g + ((b >> 8) & 0xFF00FFu) * f) & 0xFF00FF00u;
    return rb | ag;
}

inline uint32_t Bilinear(const uint32_t* r0, const uint32_t* r1, int x0, int x1, uint32_t fx, uint32_t fy)
{
    return Lerp(Lerp(r0[x0], r0[x1], fx), Lerp(r1[x0], r1[x1], fx), fy);
}

inline uint32_t FetchLinear(const RasterTexture& t, int64_t u, int64_t v)
{
    const int64_t uu = u - 32768, vv = v - 32768;
    const uint32_t fx = static_cast<uint32_t>((uu >> 8) & 255), fy = static_cast<uint32_t>((vv >> 8) & 255);
    const int x0 = Address(uu >> 16, t.width, t.wrapU), x1 = Address((uu >> 16) + 1, t.width, t.wrapU);
    const int y0 = Address(vv >> 16, t.height, t.wrapV), y1 = Address((vv >> 16) + 1, t.height, t.wrapV);
    const uint32_t* r0 = t.pixels + static_cast<size_t>(y0) * t.pitch;
    const uint32_t* r1 = t.pixels + static_cast<size_t>(y1) * t.pitch;
    return Bilinear(r0, r1, x0, x1, fx, fy) | t.orMask;
}

// Texels of one span. Spans whose every sample lies inside the texture skip the addressing.
void SampleSpan(const RasterTexture& t, int64_t u, int64_t v, int64_t du, int64_t dv, int n, uint32_t* out)
{
    const int64_t ue = u + du * (n - 1), ve = v + dv * (n - 1);
    const int64_t umin = std::min(u, ue), umax = std::max(u, ue), vmin = std::min(v, ve), vmax = std::max(v, ve);
    const uint32_t orMask = t.orMask;
    if (!t.linear) {
        if (umin >= 0 && vmin >= 0 && (umax >> 16) < t.width && (vmax >> 16) < t.height) {
            if (dv == 0) {
                const uint32_t* row = t.pixels + static_cast<size_t>(v >> 16) * t.pitch;
                for (int i = 0; i < n; ++i, u += du) {
                    out[i] = row[u >> 16] | orMask;
                }
            } else {
                for (int i = 0; i < n; ++i, u += du, v += dv) {
                    out[i] = t.pixels[static_cast<size_t>(v >> 16) * t.pitch + (u >> 16)] | orMask;
                }
            }
            return;
        }
        for (int i = 0; i < n; ++i, u += du, v += dv) {
            out[i] = FetchPoint(t, u, v);
        }
        return;
    }
    if (umin >= 32768 && vmin >= 32768 && ((umax - 32768) >> 16) + 1 < t.width &&
        ((vmax - 32768) >> 16) + 1 < t.height) {
        for (int i = 0; i < n; ++i, u += du, v += dv) {
            const int64_t uu = u - 32768, vv = v - 32768;
            const int x0 = static_cast<int>(uu >> 16);
            const uint32_t* r0 = t.pixels + static_cast<size_t>(vv >> 16) * t.pitch;
            out[i] = Bilinear(r0, r0 + t.pitch, x0, x0 + 1, static_cast<uint32_t>((uu >> 8) & 255),
                              static_cast<uint32_t>((vv >> 8) & 255)) |
                     orMask;
        }
        return;
    }
    for (int i = 0; i < n; ++i, u += du, v += dv) {
        out[i] = FetchLinear(t, u, v);
    }
}

inline uint32_t ChannelProduct(uint32_t x, uint32_t y, int shift)
{
    return Mul255((x >> shift) & 255, (y >> shift) & 255);
}

} // namespace

void CSoftRaster::Begin(const RasterTarget& target, const RasterState& state)
{
    target_ = target;
    state_ = state;
    if (scratch_.size() < static_cast<size_t>(std::max(target.width, 1))) {
        scratch_.resize(static_cast<size_t>(std::max(target.width, 1)));
    }
    // Reduce the combiner: a texture argument without a texture reads white; a factor standing
    // where the diffuse would be is a flat diffuse.
    auto fix = [&](Arg a) { return a == Arg::Texture && !state_.textured ? Arg::White : a; };
    auto norm = [&](CombinerTerm t) {
        t.a = fix(t.a);
        t.b = fix(t.b);
        if (t.a == Arg::White) {
            std::swap(t.a, t.b);
        }
        if (t.b == Arg::Texture) {
            std::swap(t.a, t.b);
        }
        return t;
    };
    CombinerTerm c = norm(state_.color), a = norm(state_.alpha);
    const bool usesDiffuse = c.a == Arg::Diffuse || c.b == Arg::Diffuse || a.a == Arg::Diffuse || a.b == Arg::Diffuse;
    const bool usesFactor = c.a == Arg::Factor || c.b == Arg::Factor || a.a == Arg::Factor || a.b == Arg::Factor;
    factorAsDiffuse_ = usesFactor && !usesDiffuse;
    if (factorAsDiffuse_) {
        for (CombinerTerm* t : {&c, &a}) {
            t->a = t->a == Arg::Factor ? Arg::Diffuse : t->a;
            t->b = t->b == Arg::Factor ? Arg::Diffuse : t->b;
        }
    }
    state_.color = c;
    state_.alpha = a;
    auto is = [](CombinerTerm t, Arg x, Arg y) { return t.a == x && t.b == y; };
    if (is(c, Arg::Texture, Arg::Diffuse) && is(a, Arg::Texture, Arg::Diffuse)) {
        combinerKind_ = kTexMulDiff;
    } else if (is(c, Arg::Texture, Arg::White) && is(a, Arg::Texture, Arg::White)) {
        combinerKind_ = kTex;
    } else if (is(c, Arg::Diffuse, Arg::White) && is(a, Arg::Diffuse, Arg::White)) {
        combinerKind_ = kDiff;
    } else {
        combinerKind_ = kGeneric;
    }

    const bool alphaTest = state_.alphaTest && state_.alphaFunc != 8;
    int blend = kGenericBlend;
    if (!state_.blend || (state_.srcBlend == 2 && state_.destBlend == 1)) {
        blend = kReplace;
    } else if (state_.srcBlend == 5 && state_.destBlend == 6) {
        blend = kAlpha;
    } else if (state_.srcBlend == 5 && state_.destBlend == 2) {
        blend = kAdditive;
    } else if (state_.srcBlend == 1 && state_.destBlend == 2) {
        blend = kKeepDest;
    }
    int zMode = 0;
    if (target_.depth && state_.zEnable) {
        zMode = state_.zWrite ? 2 : (state_.zFunc == 8 ? 0 : 1);
    }
    static constexpr Pass2Fn table[2][5][3] = {
#define Q_ROW(AT, B) {&Pass2<AT, B, 0>, &Pass2<AT, B, 1>, &Pass2<AT, B, 2>}
        {Q_ROW(false, 0), Q_ROW(false, 1), Q_ROW(false, 2), Q_ROW(false, 3), Q_ROW(false, 4)},
        {Q_ROW(true, 0), Q_ROW(true, 1), Q_ROW(true, 2), Q_ROW(true, 3), Q_ROW(true, 4)},
#undef Q_ROW
    };
    pass2_ = table[alphaTest ? 1 : 0][blend][zMode];
}

template <bool AlphaTest, int BlendKind, int ZMode>
void CSoftRaster::Pass2(const CSoftRaster& r, const uint32_t* src, uint32_t* dst, uint16_t* depth, int count,
                        int64_t z, int64_t dz)
{
    const uint32_t alphaFunc = r.state_.alphaFunc, alphaRef = r.state_.alphaRef & 255, zFunc = r.state_.zFunc;
    for (int i = 0; i < count; ++i) {
        const uint32_t s = src[i];
        if constexpr (AlphaTest) {
            if (!Compare(alphaFunc, s >> 24, alphaRef)) {
                if constexpr (ZMode != 0) {
                    z += dz;
                }
                continue;
            }
        }
        if constexpr (ZMode != 0) {
            const uint32_t zv = static_cast<uint32_t>(std::clamp<int64_t>(z >> 16, 0, 65535));
            z += dz;
            if (!Compare(zFunc, zv, depth[i])) {
                continue;
            }
            if constexpr (ZMode == 2) {
                depth[i] = static_cast<uint16_t>(zv);
            }
        }
        if constexpr (BlendKind == kReplace) {
            dst[i] = s;
        } else if constexpr (BlendKind == kAlpha) {
            const uint32_t a = s >> 24;
            if (a == 255) {
                dst[i] = s;
            } else if (a != 0) {
                dst[i] = BlendAlpha(s, dst[i]);
            }
        } else if constexpr (BlendKind == kAdditive) {
            if (s >> 24) {
                dst[i] = BlendAdd(s, dst[i]);
            }
        } else if constexpr (BlendKind == kGenericBlend) {
            const uint32_t d = dst[i];
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) {
                const uint32_t sc = (s >> (8 * c)) & 255, dc = (d >> (8 * c)) & 255;
                const uint32_t v = Mul255(sc, Factor(r.state_.srcBlend, s, d, c)) +
                                   Mul255(dc, Factor(r.state_.destBlend, s, d, c));
                out |= std::min(v, 255u) << (8 * c);
            }
            dst[i] = out;
        }
    }
}

void CSoftRaster::Pass1(const Setup& s, int y, int x0, int n, uint32_t* out) const
{
    const double px = x0 - s.ox, py = y - s.oy;
    auto at = [&](const Plane& p) { return p.v0 + p.dx * px + p.dy * py; };
    int64_t u = 0, v = 0, du = 0, dv = 0;
    if (state_.textured) {
        u = ToFixed(at(s.u));
        v = ToFixed(at(s.v));
        du = ToFixed(s.u.dx);
        dv = ToFixed(s.v.dx);
    }
    int32_t c[4] = {}, dc[4] = {};
    if (!s.flatColor) {
        for (int k = 0; k < 4; ++k) {
            c[k] = static_cast<int32_t>(std::clamp(at(s.c[k]), 0.0, 255.0) * 65536.0 + 32768.0);
            dc[k] = static_cast<int32_t>(std::lround(std::clamp(s.c[k].dx, -65536.0, 65536.0) * 65536.0));
        }
    }
    auto diffuse = [&](int i) -> uint32_t {
        if (s.flatColor) {
            return s.flatArgb;
        }
        uint32_t argb = 0;
        for (int k = 0; k < 4; ++k) {
            const int32_t val = std::clamp(c[k] + dc[k] * i, 0, 255 * 65536 + 65535) >> 16;
            argb |= static_cast<uint32_t>(val) << (8 * k);
        }
        return argb;
    };

    switch (combinerKind_) {
    case kTex:
        SampleSpan(state_.texture, u, v, du, dv, n, out);
        return;
    case kTexMulDiff:
        SampleSpan(state_.texture, u, v, du, dv, n, out);
        if (s.flatColor) {
            if (s.flatArgb != 0xFFFFFFFFu) {
                const uint32_t d = s.flatArgb;
                for (int i = 0; i < n; ++i) {
                    out[i] = Modulate(out[i], d);
                }
            }
        } else {
            for (int i = 0; i < n; ++i) {
                out[i] = Modulate(out[i], diffuse(i));
            }
        }
        return;
    case kDiff:
        if (s.flatColor) {
            std::fill_n(out, n, s.flatArgb);
        } else {
            for (int i = 0; i < n; ++i) {
                out[i] = diffuse(i);
            }
        }
        return;
    default:
        break;
    }
    // Any other combination, one pixel at a time.
    if (state_.textured) {
        SampleSpan(state_.texture, u, v, du, dv, n, out);
    }
    const uint32_t factor = state_.textureFactor;
    auto arg = [&](Arg a, uint32_t t, uint32_t d) {
        switch (a) {
        case Arg::Texture:
            return t;
        case Arg::Diffuse:
            return d;
        case Arg::Factor:
            return factor;
        default:
            return 0xFFFFFFFFu;
        }
    };
    const CombinerTerm ct = state_.color, at2 = state_.alpha;
    for (int i = 0; i < n; ++i) {
        const uint32_t t = state_.textured ? out[i] : 0xFFFFFFFFu, d = diffuse(i);
        const uint32_t c1 = arg(ct.a, t, d), c2 = arg(ct.b, t, d);
        const uint32_t a1 = arg(at2.a, t, d), a2 = arg(at2.b, t, d);
        out[i] = ChannelProduct(a1, a2, 24) << 24 | ChannelProduct(c1, c2, 16) << 16 |
                 ChannelProduct(c1, c2, 8) << 8 | ChannelProduct(c1, c2, 0);
    }
}

void CSoftRaster::Span(int y, int x0, int x1, const Setup& s)
{
    const int n = x1 - x0;
    uint32_t* src = scratch_.data();
    Pass1(s, y, x0, n, src);
    int64_t z = 0, dz = 0;
    if (s.flatZ) {
        z = static_cast<int64_t>(s.flatDepth) << 16;
    } else {
        z = ToFixed((s.z.v0 + s.z.dx * (x0 - s.ox) + s.z.dy * (y - s.oy)) * 65535.0) + 32768;
        dz = ToFixed(s.z.dx * 65535.0);
    }
    uint16_t* depth = target_.depth ? target_.depth + static_cast<size_t>(y) * target_.depthPitch + x0 : nullptr;
    pass2_(*this, src, target_.color + static_cast<size_t>(y) * target_.pitch + x0, depth, n, z, dz);
}

bool CSoftRaster::MakeSetup(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, Setup& s) const
{
    auto snap = [](float v) { return std::nearbyint(static_cast<double>(v) * kSub) / kSub; };
    const double x0 = snap(a.x), y0 = snap(a.y), x1 = snap(b.x), y1 = snap(b.y), x2 = snap(c.x), y2 = snap(c.y);
    const double det = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
    if (!(det != 0.0) || !std::isfinite(det)) {
        return false;
    }
    auto plane = [&](double v0, double v1, double v2) {
        Plane p;
        p.v0 = v0;
        p.dx = ((v1 - v0) * (y2 - y0) - (v2 - v0) * (y1 - y0)) / det;
        p.dy = ((v2 - v0) * (x1 - x0) - (v1 - v0) * (x2 - x0)) / det;
        return p;
    };
    s.ox = x0;
    s.oy = y0;
    if (state_.textured) {
        const double w = state_.texture.width, h = state_.texture.height;
        s.u = plane(a.u * w, b.u * w, c.u * w);
        s.v = plane(a.v * h, b.v * h, c.v * h);
        if (!std::isfinite(s.u.v0 + s.u.dx + s.u.dy + s.v.v0 + s.v.dx + s.v.dy)) {
            return false;
        }
    }
    if (factorAsDiffuse_) {
        s.flatColor = true;
        s.flatArgb = state_.textureFactor;
    } else {
        s.flatColor = a.color == b.color && a.color == c.color;
        s.flatArgb = a.color;
        if (!s.flatColor) {
            for (int k = 0; k < 4; ++k) {
                s.c[k] = plane((a.color >> (8 * k)) & 255, (b.color >> (8 * k)) & 255, (c.color >> (8 * k)) & 255);
            }
        }
    }
    s.flatZ = a.z == b.z && a.z == c.z;
    if (s.flatZ) {
        s.flatDepth = static_cast<uint16_t>(std::lround(std::clamp(static_cast<double>(a.z), 0.0, 1.0) * 65535.0));
    } else {
        s.z = plane(a.z, b.z, c.z);
        if (!std::isfinite(s.z.v0 + s.z.dx + s.z.dy)) {
            return false;
        }
    }
    return true;
}

void CSoftRaster::Polygon(const SnapVertex* v, int n, const Setup& s)
{
    int64_t area2 = 0;
    int64_t minY = v[0].y, maxY = v[0].y;
    for (int i = 0; i < n; ++i) {
        const SnapVertex& p = v[i];
        const SnapVertex& q = v[(i + 1) % n];
        area2 += p.x * q.y - q.x * p.y;
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    if (area2 == 0) {
        return;
    }
    const int64_t sign = area2 > 0 ? 1 : -1;
    int64_t yFirst = std::max<int64_t>(CeilDiv16(minY), 0);
    int64_t yLast = std::min<int64_t>(FloorDiv16(maxY), target_.height - 1);
    int64_t xMin = 0, xMax = target_.width; // exclusive
    struct Sloped {
        double a16, b16, c;
        bool left;
    } sloped[8];
    int slopedCount = 0;
    for (int i = 0; i < n; ++i) {
        const SnapVertex& p = v[i];
        const SnapVertex& q = v[(i + 1) % n];
        const int64_t A = -(q.y - p.y) * sign, B = (q.x - p.x) * sign;
        if (A == 0 && B == 0) {
            continue;
        }
        const bool topLeft = A > 0 || (A == 0 && B > 0);
        const int64_t C = -(A * p.x + B * p.y) - (topLeft ? 0 : 1);
        // Inside: A·16x + B·16y + C >= 0.
        if (A == 0) {
            if (B > 0) {
                yFirst = std::max<int64_t>(yFirst, static_cast<int64_t>(std::ceil(-static_cast<double>(C) / (16.0 * B))));
            } else {
                yLast = std::min<int64_t>(yLast, static_cast<int64_t>(std::floor(static_cast<double>(C) / (-16.0 * B))));
            }
        } else if (B == 0) {
            if (A > 0) {
                xMin = std::max<int64_t>(xMin, static_cast<int64_t>(std::ceil(-static_cast<double>(C) / (16.0 * A))));
            } else {
                xMax = std::min<int64_t>(xMax,
                                         static_cast<int64_t>(std::floor(static_cast<double>(C) / (-16.0 * A))) + 1);
            }
        } else {
            sloped[slopedCount++] = {16.0 * static_cast<double>(A), 16.0 * static_cast<double>(B),
                                     static_cast<double>(C), A > 0};
        }
    }
    for (int64_t y = yFirst; y <= yLast; ++y) {
        int64_t xl = xMin, xr = xMax;
        for (int e = 0; e < slopedCount; ++e) {
            const Sloped& sl = sloped[e];
            const double k = sl.b16 * static_cast<double>(y) + sl.c;
            if (sl.left) {
                xl = std::max<int64_t>(xl, static_cast<int64_t>(std::ceil(-k / sl.a16)));
            } else {
                xr = std::min<int64_t>(xr, static_cast<int64_t>(std::floor(k / -sl.a16)) + 1);
            }
        }
        if (xl < xr) {
            Span(static_cast<int>(y), static_cast<int>(xl), static_cast<int>(xr), s);
        }
    }
}

namespace {

int64_t SnapCoord(double v)
{
    return static_cast<int64_t>(std::nearbyint(v * kSub));
}

bool Huge(const RasterVertex& v)
{
    return !(std::fabs(v.x) <= kGuard) || !(std::fabs(v.y) <= kGuard);
}

// Signed doubled area in sub-pixel units; positive is clockwise on screen (y down).
int64_t Area2(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t cx, int64_t cy)
{
    return (bx - ax) * (cy - ay) - (cx - ax) * (by - ay);
}

} // namespace

bool CSoftRaster::Culled(double area2) const
{
    return (state_.cull == 2 && area2 > 0) || (state_.cull == 3 && area2 < 0);
}

void CSoftRaster::Triangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c)
{
    Setup s;
    if (!MakeSetup(a, b, c, s)) {
        return;
    }
    if (Huge(a) || Huge(b) || Huge(c)) {
        ClippedTriangle(a, b, c, s);
        return;
    }
    const SnapVertex v[3] = {{SnapCoord(a.x), SnapCoord(a.y)}, {SnapCoord(b.x), SnapCoord(b.y)},
                             {SnapCoord(c.x), SnapCoord(c.y)}};
    const int64_t area = Area2(v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y);
    if (area == 0 || Culled(static_cast<double>(area))) {
        return;
    }
    Polygon(v, 3, s);
}

void CSoftRaster::ClippedTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                                  const Setup& s)
{
    const double area = (static_cast<double>(b.x) - a.x) * (static_cast<double>(c.y) - a.y) -
                        (static_cast<double>(c.x) - a.x) * (static_cast<double>(b.y) - a.y);
    if (!std::isfinite(area) || area == 0.0 || Culled(area)) {
        return;
    }
    // Clip the outline to a box one pixel outside the drawable area; the new edges never reach
    // a pixel centre, and the attributes keep the planes of the whole triangle.
    double px[12] = {a.x, b.x, c.x}, py[12] = {a.y, b.y, c.y};
    int n = 3;
    const double box[4] = {-1.0, -1.0, target_.width + 1.0, target_.height + 1.0};
    for (int side = 0; side < 4 && n > 0; ++side) {
        double ox[12], oy[12];
        int m = 0;
        auto inside = [&](double x, double y) {
            switch (side) {
            case 0:
                return x >= box[0];
            case 1:
                return y >= box[1];
            case 2:
                return x <= box[2];
            default:
                return y <= box[3];
            }
        };
        for (int i = 0; i < n; ++i) {
            const int j = (i + 1) % n;
            const bool ini = inside(px[i], py[i]), inj = inside(px[j], py[j]);
            if (ini) {
                ox[m] = px[i];
                oy[m++] = py[i];
            }
            if (ini != inj) {
                const double t = (side % 2 == 0) ? (box[side] - px[i]) / (px[j] - px[i])
                                                 : (box[side] - py[i]) / (py[j] - py[i]);
                ox[m] = px[i] + t * (px[j] - px[i]);
                oy[m++] = py[i] + t * (py[j] - py[i]);
            }
        }
        n = m;
        std::copy_n(ox, m, px);
        std::copy_n(oy, m, py);
    }
    if (n < 3) {
        return;
    }
    SnapVertex v[12];
    for (int i = 0; i < n; ++i) {
        v[i] = {SnapCoord(px[i]), SnapCoord(py[i])};
    }
    Polygon(v, n, s);
}

void CSoftRaster::Quad(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, const RasterVertex& d)
{
    if (Huge(a) || Huge(b) || Huge(c) || Huge(d)) {
        Triangle(a, b, c);
        Triangle(a, c, d);
        return;
    }
    const SnapVertex v[4] = {{SnapCoord(a.x), SnapCoord(a.y)},
                             {SnapCoord(b.x), SnapCoord(b.y)},
                             {SnapCoord(c.x), SnapCoord(c.y)},
                             {SnapCoord(d.x), SnapCoord(d.y)}};
    const int64_t t1 = Area2(v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y);
    const int64_t t2 = Area2(v[0].x, v[0].y, v[2].x, v[2].y, v[3].x, v[3].y);
    const int64_t k1 = Area2(v[1].x, v[1].y, v[2].x, v[2].y, v[3].x, v[3].y);
    const int64_t k2 = Area2(v[3].x, v[3].y, v[0].x, v[0].y, v[1].x, v[1].y);
    const bool convex = (t1 > 0 && t2 > 0 && k1 > 0 && k2 > 0) || (t1 < 0 && t2 < 0 && k1 < 0 && k2 < 0);
    Setup s;
    if (!convex || !MakeSetup(a, b, c, s)) {
        Triangle(a, b, c);
        Triangle(a, c, d);
        return;
    }
    // The fourth vertex must lie on the first triangle's attribute planes.
    const double dx = std::nearbyint(d.x * kSub) / kSub - s.ox, dy = std::nearbyint(d.y * kSub) / kSub - s.oy;
    auto off = [&](const Plane& p, double value) { return std::fabs(p.v0 + p.dx * dx + p.dy * dy - value); };
    bool affine = true;
    if (state_.textured) {
        affine = off(s.u, d.u * state_.texture.width) < 1e-3 && off(s.v, d.v * state_.texture.height) < 1e-3;
    }
    if (!factorAsDiffuse_) {
        if (s.flatColor) {
            affine = affine && d.color == a.color;
        } else {
            for (int k = 0; k < 4; ++k) {
                affine = affine && off(s.c[k], (d.color >> (8 * k)) & 255) < 0.01;
            }
        }
    }
    affine = affine && (s.flatZ ? d.z == a.z : off(s.z, d.z) < 1e-6);
    if (!affine) {
        Triangle(a, b, c);
        Triangle(a, c, d);
        return;
    }
    if (Culled(static_cast<double>(t1))) {
        return;
    }
    Polygon(v, 4, s);
}

void CSoftRaster::Line(const RasterVertex& a, const RasterVertex& b)
{
    const double x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y;
    const double dx = x1 - x0, dy = y1 - y0;
    if (!std::isfinite(dx) || !std::isfinite(dy) || (dx == 0.0 && dy == 0.0)) {
        return;
    }
    // The major axis steps from pixel to pixel: the first pixel is drawn, the last one is not.
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const double s0 = xMajor ? x0 : y0, s1 = xMajor ? x1 : y1, ds = xMajor ? dx : dy;
    const double limit = xMajor ? target_.width : target_.height;
    int64_t first, last; // inclusive, in stepping order
    int step;
    if (ds > 0) {
        first = static_cast<int64_t>(std::ceil(std::max(s0, -2.0) - 0.5));
        last = static_cast<int64_t>(std::ceil(std::min(s1, limit + 2.0) - 0.5)) - 1;
        step = 1;
    } else {
        first = static_cast<int64_t>(std::floor(std::min(s0, limit + 2.0) + 0.5));
        last = static_cast<int64_t>(std::floor(std::max(s1, -2.0) + 0.5)) + 1;
        step = -1;
    }
    Setup s{};
    s.ox = s.oy = 0;
    const bool flatColor = a.color == b.color;
    for (int64_t i = first; step > 0 ? i <= last : i >= last; i += step) {
        const double t = (static_cast<double>(i) - s0) / ds;
        const double minor = xMajor ? y0 + t * dy : x0 + t * dx;
        const int64_t m = static_cast<int64_t>(std::floor(minor + 0.5));
        const int64_t px = xMajor ? i : m, py = xMajor ? m : i;
        if (px < 0 || py < 0 || px >= target_.width || py >= target_.height) {
            continue;
        }
        auto lerp = [&](double p, double q) { return p + (q - p) * t; };
        s.u = {lerp(a.u, b.u) * state_.texture.width, 0, 0};
        s.v = {lerp(a.v, b.v) * state_.texture.height, 0, 0};
        if (factorAsDiffuse_) {
            s.flatColor = true;
            s.flatArgb = state_.textureFactor;
        } else {
            s.flatColor = flatColor;
            s.flatArgb = a.color;
            for (int k = 0; k < 4; ++k) {
                s.c[k] = {lerp((a.color >> (8 * k)) & 255, (b.color >> (8 * k)) & 255), 0, 0};
            }
        }
        s.flatZ = true;
        s.flatDepth = static_cast<uint16_t>(std::lround(std::clamp(lerp(a.z, b.z), 0.0, 1.0) * 65535.0));
        s.ox = static_cast<double>(px);
        s.oy = static_cast<double>(py);
        Span(static_cast<int>(py), static_cast<int>(px), static_cast<int>(px) + 1, s);
    }
}

void CSoftRaster::Clear(const RasterTarget& target_, int x0, int y0, int x1, int y1, bool color, uint32_t argb,
                        bool depth, float z)
{
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, target_.width);
    y1 = std::min(y1, target_.height);
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    const uint16_t zv = static_cast<uint16_t>(std::lround(std::clamp(z, 0.0f, 1.0f) * 65535.0f));
    for (int y = y0; y < y1; ++y) {
        if (color) {
            std::fill_n(target_.color + static_cast<size_t>(y) * target_.pitch + x0, x1 - x0, argb);
        }
        if (depth && target_.depth) {
            std::fill_n(target_.depth + static_cast<size_t>(y) * target_.depthPitch + x0, x1 - x0, zv);
        }
    }
}

} // namespace QuillD3D::Detail
