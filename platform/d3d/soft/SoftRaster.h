#pragma once
// The software rasteriser behind the soft back end.
//
// Rules: pixel centres lie on integer coordinates; a pixel is covered when its centre is inside
// the primitive, a centre exactly on an edge counting only for top and left edges. Vertices are
// snapped to 1/16 pixel and coverage is decided exactly in integers; attributes are affine in
// screen space (pre-transformed vertices, constant rhw) and evaluated at pixel centres.
//
// Each span is drawn in two passes over a scratch row: pass one produces source colours (texture
// fetch and stage-0 combiner), pass two does alpha test, depth and blending into the target. Both
// passes are templates chosen once per span, so no per-pixel dispatch remains. Two triangles of
// an indexed quad are drawn as one polygon, which covers exactly the pixels the pair covers.

#include <cstdint>
#include <vector>

namespace QuillD3D::Detail {

struct RasterVertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};

struct RasterTarget {
    uint32_t* color = nullptr;
    uint32_t pitch = 0; // in pixels
    uint16_t* depth = nullptr;
    uint32_t depthPitch = 0;
    int width = 0; // drawable area: the common part of target and depth buffer
    int height = 0;
    // Pixels drawn at all: x in [clipX0, clipX1), y in [clipY0, clipY1), within the area above.
    // Attributes are evaluated per pixel, so a clipped drawing matches the unclipped one inside.
    int clipX0 = 0, clipY0 = 0, clipX1 = 1 << 30, clipY1 = 1 << 30;
};

struct RasterTexture {
    const uint32_t* pixels = nullptr; // 32-bit ARGB rows
    uint32_t pitch = 0;               // in pixels
    int width = 0;
    int height = 0;
    uint32_t orMask = 0; // forced bits (alpha of X8R8G8B8)
    bool linear = false;
    bool wrapU = false;
    bool wrapV = false;
};

// Stage-0 combiner, reduced to what each output takes from the texture (T), the diffuse (D)
// and the texture factor (F).
enum class Arg : uint8_t { Texture, Diffuse, Factor, White };
struct CombinerTerm {
    Arg a;
    Arg b; // the result is a × b (Arg::White for a single argument)
};

struct RasterState {
    RasterTexture texture;
    bool textured = false; // some output reads the texture and a texture is bound
    CombinerTerm color{Arg::Diffuse, Arg::White};
    CombinerTerm alpha{Arg::Diffuse, Arg::White};
    uint32_t textureFactor = 0xFFFFFFFF;
    bool alphaTest = false;
    uint32_t alphaFunc = 8;
    uint32_t alphaRef = 0;
    bool blend = false;
    uint32_t srcBlend = 2;
    uint32_t destBlend = 1;
    bool zEnable = false;
    bool zWrite = false;
    uint32_t zFunc = 4;
    uint32_t cull = 1;
};

// Test hook: the widest vector path the blender may take (0 scalar, 1 SSE2, 2 AVX2 where the
// processor has it). All paths compute the same values.
void SetSoftSimdLimit(int level);

class CSoftRaster {
public:
    void Begin(const RasterTarget& target, const RasterState& state);
    void Triangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c);
    // Two triangles (a, b, c) and (a, c, d); drawn as one polygon when they form a convex quad
    // with affine attributes, else as the two triangles.
    void Quad(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, const RasterVertex& d);
    void Line(const RasterVertex& a, const RasterVertex& b);

    static void Clear(const RasterTarget& target, int x0, int y0, int x1, int y1, bool color, uint32_t argb, bool depth,
                      float z);

private:
    struct Plane {
        double v0, dx, dy; // value at the plane origin, per pixel in x and in y
    };
    struct FixedPlane {
        int64_t base, dx, dy; // 16.16 at the integer origin, per pixel in x and in y
        int64_t At(int64_t x, int64_t y) const { return base + dx * x + dy * y; }
    };
    struct Setup {
        double ox, oy; // plane origin
        Plane u, v, z, c[4];
        int64_t ix, iy; // integer origin of the fixed-point planes
        FixedPlane fu, fv, fz, fc[4];
        bool directRows; // texels are the source colours, one per pixel along a texture row
        bool flatColor;
        uint32_t flatArgb;
        bool flatZ;
        uint16_t flatDepth;
    };
    struct SnapVertex {
        int64_t x, y; // 1/16 pixel
    };

    bool Culled(double area2) const;
    void FixPlanes(Setup& s) const;
    bool MakeSetup(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, Setup& s) const;
    void Polygon(const SnapVertex* v, int n, const Setup& s);
    void Span(int y, int x0, int x1, const Setup& s);
    void ClippedTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, const Setup& s);

    using Pass2Fn = void (*)(const CSoftRaster&, const uint32_t* src, uint32_t* dst, uint16_t* depth, int count,
                             int64_t z, int64_t dz);
    // Source colours of a span: in `out`, or straight from the texture when no work is needed.
    const uint32_t* Pass1(const Setup& s, int y, int x0, int n, uint32_t* out) const;
    template <bool AlphaTest, int BlendKind, int ZMode>
    static void Pass2(const CSoftRaster& r, const uint32_t* src, uint32_t* dst, uint16_t* depth, int count, int64_t z,
                      int64_t dz);

    RasterTarget target_;
    RasterState state_;
    Pass2Fn pass2_ = nullptr;
    int combinerKind_ = 0;
    bool factorAsDiffuse_ = false;
    std::vector<uint32_t> scratch_;
};

} // namespace QuillD3D::Detail
