// Span drawing of the soft rasteriser: texture sampling, the stage-0 combiner (pass one) and
// alpha test, depth and blending into the target (pass two), chosen once per draw.

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QUILL_HAVE_AVX2_PATH 1
#endif

#include "platform/d3d/soft/SoftFixed.h"
#include "platform/d3d/soft/SoftRaster.h"

namespace QuillD3D::Detail {

namespace {

enum Combiner { kTexMulDiff, kTex, kDiff, kGeneric };
constexpr uint32_t CmpGreaterValue = 5;
constexpr uint32_t CmpGreaterEqualValue = 7;
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
    const uint32_t rb = (((a & 0xFF00FFu) * g + (b & 0xFF00FFu) * f + 0x800080u) >> 8) & 0xFF00FFu;
    const uint32_t ag = (((a >> 8) & 0xFF00FFu) * g + ((b >> 8) & 0xFF00FFu) * f + 0x800080u) & 0xFF00FF00u;
    return rb | ag;
}

inline uint32_t Bilinear(const uint32_t* r0, const uint32_t* r1, int x0, int x1, uint32_t fx, uint32_t fy)
{
    return Lerp(Lerp(r0[x0], r0[x1], fx), Lerp(r1[x0], r1[x1], fx), fy);
}

// Bilinear samples sit half a texel back; the weights are rounded to 1/256 (the bias is half a
// texel less half a weight step).
constexpr int64_t kLinearBias = 32768 - 128;

inline uint32_t FetchLinear(const RasterTexture& t, int64_t u, int64_t v)
{
    const int64_t uu = u - kLinearBias, vv = v - kLinearBias;
    const uint32_t fx = static_cast<uint32_t>((uu >> 8) & 255), fy = static_cast<uint32_t>((vv >> 8) & 255);
    const int x0 = Address(uu >> 16, t.width, t.wrapU), x1 = Address((uu >> 16) + 1, t.width, t.wrapU);
    const int y0 = Address(vv >> 16, t.height, t.wrapV), y1 = Address((vv >> 16) + 1, t.height, t.wrapV);
    const uint32_t* r0 = t.pixels + static_cast<size_t>(y0) * t.pitch;
    const uint32_t* r1 = t.pixels + static_cast<size_t>(y1) * t.pitch;
    return Bilinear(r0, r1, x0, x1, fx, fy) | t.orMask;
}

// How far the vector paths may go (0: none, 1: SSE2, 2: AVX2); tests lower it to compare the paths.
int g_simdLimit = 2;

#if QUILL_HAVE_AVX2_PATH
bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// Lerp of eight pixels with exactly the scalar arithmetic: each channel sits alone in a 16-bit lane,
// where channel × weight (at most 255 × 256) plus the other product and the rounding still fits.
__attribute__((target("avx2"))) inline __m256i LerpAvx2(__m256i a, __m256i b, __m256i f)
{
    const __m256i low = _mm256_set1_epi32(0x00FF00FF), half = _mm256_set1_epi16(0x80);
    const __m256i g = _mm256_sub_epi16(_mm256_set1_epi16(256), f);
    const __m256i rb = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(a, low), g),
                                        _mm256_mullo_epi16(_mm256_and_si256(b, low), f));
    const __m256i ag = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(a, 8), g),
                                        _mm256_mullo_epi16(_mm256_srli_epi16(b, 8), f));
    return _mm256_or_si256(_mm256_srli_epi16(_mm256_add_epi16(rb, half), 8),
                           _mm256_andnot_si256(low, _mm256_add_epi16(ag, half)));
}

// Bilinear samples of a run whose every sample lies inside the texture, eight at a time: the
// whole groups of eight, whose count it returns. Coordinates fit 32 bits: the caller checks the
// texture's size.
__attribute__((target("avx2"))) int BilinearRunAvx2(const RasterTexture& t, int64_t u, int64_t v, int64_t du,
                                                    int64_t dv, int n, uint32_t* out)
{
    const auto* base = reinterpret_cast<const int*>(t.pixels);
    const __m256i steps = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i du8 = _mm256_set1_epi32(static_cast<int>(du)), dv8 = _mm256_set1_epi32(static_cast<int>(dv));
    const __m256i pitch = _mm256_set1_epi32(static_cast<int>(t.pitch)), one = _mm256_set1_epi32(1);
    const __m256i weight = _mm256_set1_epi32(255), orMask = _mm256_set1_epi32(static_cast<int>(t.orMask));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const int64_t u0 = u + du * i - kLinearBias, v0 = v + dv * i - kLinearBias;
        const __m256i uu = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(u0)), _mm256_mullo_epi32(du8, steps));
        const __m256i vv = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(v0)), _mm256_mullo_epi32(dv8, steps));
        __m256i fx = _mm256_and_si256(_mm256_srli_epi32(uu, 8), weight);
        __m256i fy = _mm256_and_si256(_mm256_srli_epi32(vv, 8), weight);
        fx = _mm256_or_si256(fx, _mm256_slli_epi32(fx, 16));
        fy = _mm256_or_si256(fy, _mm256_slli_epi32(fy, 16));
        const __m256i i00 =
            _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(vv, 16), pitch), _mm256_srli_epi32(uu, 16));
        const __m256i i10 = _mm256_add_epi32(i00, pitch);
        const __m256i top = LerpAvx2(_mm256_i32gather_epi32(base, i00, 4),
                                     _mm256_i32gather_epi32(base, _mm256_add_epi32(i00, one), 4), fx);
        const __m256i bottom = LerpAvx2(_mm256_i32gather_epi32(base, i10, 4),
                                        _mm256_i32gather_epi32(base, _mm256_add_epi32(i10, one), 4), fx);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_or_si256(LerpAvx2(top, bottom, fy), orMask));
    }
    return i;
}
#endif

// The indices i in [first, end), within [0, n), for which lo <= p + dp * i <= hi (an interval,
// since the coordinate moves by the same step each pixel).
void InsideRange(int64_t p, int64_t dp, int64_t lo, int64_t hi, int n, int& first, int& end)
{
    int64_t a = 0, b = n - 1;
    if (dp == 0) {
        if (p < lo || p > hi)
            a = n;
    } else if (dp > 0) {
        a = CeilDiv(lo - p, dp);
        b = FloorDiv(hi - p, dp);
    } else {
        a = CeilDiv(hi - p, dp);
        b = FloorDiv(lo - p, dp);
    }
    first = static_cast<int>(std::clamp<int64_t>(a, 0, n));
    end = std::max(first, static_cast<int>(std::clamp<int64_t>(b + 1, 0, n)));
}

// Texels of a run whose every sample lies inside the texture: no addressing to do.
void SampleInside(const RasterTexture& t, int64_t u, int64_t v, int64_t du, int64_t dv, int n, uint32_t* out)
{
    if (n <= 0)
        return; // (u, v) may lie outside: not even a row pointer is made from it
    const uint32_t orMask = t.orMask;
    if (!t.linear) {
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
    int i = 0;
#if QUILL_HAVE_AVX2_PATH
    if (n >= 8 && g_simdLimit >= 2 && t.width < 32768 && t.height < 32768 &&
        uint64_t(t.pitch) * uint64_t(t.height) < (uint64_t(1) << 31) && HasAvx2()) {
        i = BilinearRunAvx2(t, u, v, du, dv, n, out);
        u += du * i;
        v += dv * i;
    }
#endif
    for (; i < n; ++i, u += du, v += dv) {
        const int64_t uu = u - kLinearBias, vv = v - kLinearBias;
        const int x0 = static_cast<int>(uu >> 16);
        const uint32_t* r0 = t.pixels + static_cast<size_t>(vv >> 16) * t.pitch;
        out[i] = Bilinear(r0, r0 + t.pitch, x0, x0 + 1, static_cast<uint32_t>((uu >> 8) & 255),
                          static_cast<uint32_t>((vv >> 8) & 255)) |
                 orMask;
    }
}

// Texels of one span. Only the pixels whose samples reach past the texture's edge (at the ends of
// a span, where a quad maps the whole texture) go through the addressing; a short span that reaches
// past it is not worth splitting.
void SampleSpan(const RasterTexture& t, int64_t u, int64_t v, int64_t du, int64_t dv, int n, uint32_t* out)
{
    constexpr int kSplitSpan = 16;
    // A sample reads its own texel, and with bilinear filtering the next one too.
    const int64_t bias = t.linear ? kLinearBias : 0, reach = t.linear ? 1 : 0;
    const int64_t uLast = bias + ((int64_t(t.width) - reach) << 16) - 1;
    const int64_t vLast = bias + ((int64_t(t.height) - reach) << 16) - 1;
    const int64_t ue = u + du * (n - 1), ve = v + dv * (n - 1);
    if (std::min(u, ue) >= bias && std::max(u, ue) <= uLast && std::min(v, ve) >= bias && std::max(v, ve) <= vLast) {
        SampleInside(t, u, v, du, dv, n, out);
        return;
    }
    int first = n, end = n;
    if (n >= kSplitSpan) {
        int vFirst = 0, vEnd = 0;
        InsideRange(u, du, bias, uLast, n, first, end);
        InsideRange(v, dv, bias, vLast, n, vFirst, vEnd);
        first = std::max(first, vFirst);
        end = std::min(end, vEnd);
        if (end <= first)
            first = end = n;
    }
    const auto edge = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            out[i] = t.linear ? FetchLinear(t, u + du * i, v + dv * i) : FetchPoint(t, u + du * i, v + dv * i);
    };
    edge(0, first);
    SampleInside(t, u + du * first, v + dv * first, du, dv, end - first, out + first);
    edge(end, n);
}

inline uint32_t ChannelProduct(uint32_t x, uint32_t y, int shift)
{
    return Mul255((x >> shift) & 255, (y >> shift) & 255);
}

#if QUILL_HAVE_AVX2_PATH
__attribute__((target("avx2"))) inline __m256i BlendHalfAvx2(__m256i sv, __m256i dv, __m256i av)
{
    const __m256i c255 = _mm256_set1_epi16(255), c128 = _mm256_set1_epi16(128);
    __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(sv, av), _mm256_mullo_epi16(dv, _mm256_sub_epi16(c255, av)));
    x = _mm256_add_epi16(x, c128);
    return _mm256_srli_epi16(_mm256_add_epi16(x, _mm256_srli_epi16(x, 8)), 8);
}

// Source-over blending of a span eight pixels at a time, with exactly BlendAlpha's arithmetic.
// Chosen at run time on processors that have AVX2.
__attribute__((target("avx2"))) void BlendSpanAvx2(const CSoftRaster&, const uint32_t* src, uint32_t* dst, uint16_t*,
                                                   int count, int64_t, int64_t)
{
    const __m256i zero = _mm256_setzero_si256();
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        __m256i a = _mm256_srli_epi32(s, 24);
        a = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
        const __m256i aLo = _mm256_unpacklo_epi32(a, a), aHi = _mm256_unpackhi_epi32(a, a);
        const __m256i lo = BlendHalfAvx2(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(d, zero), aLo);
        const __m256i hi = BlendHalfAvx2(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(d, zero), aHi);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(lo, hi));
    }
    for (; i < count; ++i) {
        const uint32_t a = src[i] >> 24;
        if (a == 255) {
            dst[i] = src[i];
        } else if (a != 0) {
            dst[i] = BlendAlpha(src[i], dst[i]);
        }
    }
}

#endif

} // namespace

void SetSoftSimdLimit(int level)
{
    g_simdLimit = level;
}

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

    bool alphaTest = state_.alphaTest && state_.alphaFunc != 8;
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
    // Blending already leaves the target alone where alpha is 0: a test that only rejects alpha 0
    // changes nothing unless depth is written.
    const bool rejectsOnlyZero = (state_.alphaFunc == CmpGreaterEqualValue && (state_.alphaRef & 255) <= 1) ||
                                 (state_.alphaFunc == CmpGreaterValue && (state_.alphaRef & 255) == 0);
    if (alphaTest && rejectsOnlyZero && (blend == kAlpha || blend == kAdditive) && zMode == 0) {
        alphaTest = false;
    }
    static constexpr Pass2Fn table[2][5][3] = {
#define Q_ROW(AT, B) {&Pass2<AT, B, 0>, &Pass2<AT, B, 1>, &Pass2<AT, B, 2>}
        {Q_ROW(false, 0), Q_ROW(false, 1), Q_ROW(false, 2), Q_ROW(false, 3), Q_ROW(false, 4)},
        {Q_ROW(true, 0), Q_ROW(true, 1), Q_ROW(true, 2), Q_ROW(true, 3), Q_ROW(true, 4)},
#undef Q_ROW
    };
    pass2_ = table[alphaTest ? 1 : 0][blend][zMode];
#if QUILL_HAVE_AVX2_PATH
    if (!alphaTest && blend == kAlpha && zMode == 0 && g_simdLimit >= 2 && HasAvx2()) {
        pass2_ = &BlendSpanAvx2;
    }
#endif
}

template <bool AlphaTest, int BlendKind, int ZMode>
void CSoftRaster::Pass2(const CSoftRaster& r, const uint32_t* src, uint32_t* dst, uint16_t* depth, int count, int64_t z,
                        int64_t dz)
{
    const uint32_t alphaFunc = r.state_.alphaFunc, alphaRef = r.state_.alphaRef & 255, zFunc = r.state_.zFunc;
    int i = 0;
#if defined(__SSE2__)
    if (BlendKind == kAlpha && !AlphaTest && ZMode == 0 && g_simdLimit >= 1) {
        // Four pixels at a time, with exactly the arithmetic of BlendAlpha.
        const __m128i zero = _mm_setzero_si128(), alphaBits = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        const __m128i c255 = _mm_set1_epi16(255), c128 = _mm_set1_epi16(128);
        for (; i + 4 <= count; i += 4) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
            // Runs of opaque or clear texels are common in sprites and cheap to skip.
            const __m128i sa = _mm_and_si128(s, alphaBits);
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaBits)) == 0xFFFF) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);
                continue;
            }
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, zero)) == 0xFFFF) {
                continue;
            }
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
            __m128i a = _mm_srli_epi32(s, 24);
            a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
            const __m128i aLo = _mm_unpacklo_epi32(a, a), aHi = _mm_unpackhi_epi32(a, a);
            auto half = [&](__m128i sv, __m128i dv, __m128i av) {
                __m128i x = _mm_add_epi16(_mm_mullo_epi16(sv, av), _mm_mullo_epi16(dv, _mm_sub_epi16(c255, av)));
                x = _mm_add_epi16(x, c128);
                return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
            };
            const __m128i lo = half(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero), aLo);
            const __m128i hi = half(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero), aHi);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
        }
    }
#endif
    for (; i < count; ++i) {
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
                const uint32_t v =
                    Mul255(sc, Factor(r.state_.srcBlend, s, d, c)) + Mul255(dc, Factor(r.state_.destBlend, s, d, c));
                out |= std::min(v, 255u) << (8 * c);
            }
            dst[i] = out;
        }
    }
}

void CSoftRaster::FixPlanes(Setup& s) const
{
    s.ix = FloorI(s.ox);
    s.iy = FloorI(s.oy);
    const double ex = static_cast<double>(s.ix) - s.ox, ey = static_cast<double>(s.iy) - s.oy;
    auto fix = [&](const Plane& p, double scale, int64_t bias) {
        FixedPlane f;
        f.base = ToFixed((p.v0 + p.dx * ex + p.dy * ey) * scale) + bias;
        f.dx = ToFixed(p.dx * scale);
        f.dy = ToFixed(p.dy * scale);
        return f;
    };
    if (state_.textured) {
        s.fu = fix(s.u, 1.0, 0);
        s.fv = fix(s.v, 1.0, 0);
    }
    if (!s.flatColor) {
        for (int k = 0; k < 4; ++k) {
            s.fc[k] = fix(s.c[k], 1.0, 32768);
        }
    }
    if (!s.flatZ) {
        s.fz = fix(s.z, 65535.0, 32768);
    }
    const bool plainTexture =
        combinerKind_ == kTex || (combinerKind_ == kTexMulDiff && s.flatColor && s.flatArgb == 0xFFFFFFFFu);
    s.directRows = state_.textured && plainTexture && !state_.texture.linear && state_.texture.orMask == 0 &&
                   s.fu.dx == 65536 && s.fv.dx == 0;
}

void CSoftRaster::Span(int y, int x0, int x1, const Setup& s)
{
    const int n = x1 - x0;
    const uint32_t* src = nullptr;
    if (s.directRows) {
        // One texel per pixel along a texture row: the row itself is the source.
        const RasterTexture& t = state_.texture;
        const int64_t u = s.fu.At(x0 - s.ix, y - s.iy), v = s.fv.At(x0 - s.ix, y - s.iy);
        if (u >= 0 && v >= 0 && (v >> 16) < t.height && (u >> 16) + n <= t.width) {
            src = t.pixels + static_cast<size_t>(v >> 16) * t.pitch + (u >> 16);
        }
    }
    if (!src) {
        src = Pass1(s, y, x0, n, scratch_.data());
    }
    int64_t z = 0, dz = 0;
    if (s.flatZ) {
        z = static_cast<int64_t>(s.flatDepth) << 16;
    } else {
        z = s.fz.At(x0 - s.ix, y - s.iy);
        dz = s.fz.dx;
    }
    uint16_t* depth = target_.depth ? target_.depth + static_cast<size_t>(y) * target_.depthPitch + x0 : nullptr;
    pass2_(*this, src, target_.color + static_cast<size_t>(y) * target_.pitch + x0, depth, n, z, dz);
}

const uint32_t* CSoftRaster::Pass1(const Setup& s, int y, int x0, int n, uint32_t* out) const
{
    const int64_t px = x0 - s.ix, py = y - s.iy;
    int64_t u = 0, v = 0, du = 0, dv = 0;
    if (state_.textured) {
        u = s.fu.At(px, py);
        v = s.fv.At(px, py);
        du = s.fu.dx;
        dv = s.fv.dx;
    }
    int64_t c[4] = {}, dc[4] = {};
    if (!s.flatColor) {
        for (int k = 0; k < 4; ++k) {
            c[k] = s.fc[k].At(px, py);
            dc[k] = s.fc[k].dx;
        }
    }
    auto diffuse = [&](int i) -> uint32_t {
        if (s.flatColor) {
            return s.flatArgb;
        }
        uint32_t argb = 0;
        for (int k = 0; k < 4; ++k) {
            const int64_t val = std::clamp<int64_t>(c[k] + dc[k] * i, 0, 255 * 65536 + 65535) >> 16;
            argb |= static_cast<uint32_t>(val) << (8 * k);
        }
        return argb;
    };

    switch (combinerKind_) {
    case kTex:
        SampleSpan(state_.texture, u, v, du, dv, n, out);
        return out;
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
        return out;
    case kDiff:
        if (s.flatColor) {
            std::fill_n(out, n, s.flatArgb);
        } else {
            for (int i = 0; i < n; ++i) {
                out[i] = diffuse(i);
            }
        }
        return out;
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
        out[i] = ChannelProduct(a1, a2, 24) << 24 | ChannelProduct(c1, c2, 16) << 16 | ChannelProduct(c1, c2, 8) << 8 |
                 ChannelProduct(c1, c2, 0);
    }
    return out;
}

} // namespace QuillD3D::Detail
