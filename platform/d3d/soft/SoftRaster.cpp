#include "platform/d3d/soft/SoftRaster.h"

#include <algorithm>
#include <cmath>

#include "platform/d3d/soft/SoftFixed.h"

namespace QuillD3D::Detail {

bool CSoftRaster::MakeSetup(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, Setup& s) const
{
    for (const RasterVertex* v : {&a, &b, &c}) {
        if (!std::isfinite(v->x) || !std::isfinite(v->y)) {
            return false;
        }
    }
    auto snap = [](float v) { return static_cast<double>(RoundI(static_cast<double>(v) * kSub)) / kSub; };
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
    FixPlanes(s);
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
    int64_t yFirst = std::max<int64_t>(CeilDiv16(minY), std::max(target_.clipY0, 0));
    int64_t yLast = std::min<int64_t>(FloorDiv16(maxY), std::min(target_.height, target_.clipY1) - 1);
    int64_t xMin = std::max(target_.clipX0, 0), xMax = std::min(target_.width, target_.clipX1); // exclusive
    struct Sloped {
        double a16, b16, c;
        bool left;
    } sloped[12];
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
                yFirst = std::max<int64_t>(yFirst, CeilI(-static_cast<double>(C) / (16.0 * B)));
            } else {
                yLast = std::min<int64_t>(yLast, FloorI(static_cast<double>(C) / (-16.0 * B)));
            }
        } else if (B == 0) {
            if (A > 0) {
                xMin = std::max<int64_t>(xMin, CeilI(-static_cast<double>(C) / (16.0 * A)));
            } else {
                xMax = std::min<int64_t>(xMax, FloorI(static_cast<double>(C) / (-16.0 * A)) + 1);
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
                xl = std::max<int64_t>(xl, CeilI(-k / sl.a16));
            } else {
                xr = std::min<int64_t>(xr, FloorI(k / -sl.a16) + 1);
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
    return RoundI(v * kSub);
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
    const SnapVertex v[3] = {
        {SnapCoord(a.x), SnapCoord(a.y)}, {SnapCoord(b.x), SnapCoord(b.y)}, {SnapCoord(c.x), SnapCoord(c.y)}};
    const int64_t area = Area2(v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y);
    if (area == 0 || Culled(static_cast<double>(area))) {
        return;
    }
    Polygon(v, 3, s);
}

void CSoftRaster::ClippedTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, const Setup& s)
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
                const double t =
                    (side % 2 == 0) ? (box[side] - px[i]) / (px[j] - px[i]) : (box[side] - py[i]) / (py[j] - py[i]);
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
    const double dx = static_cast<double>(SnapCoord(d.x)) / kSub - s.ox;
    const double dy = static_cast<double>(SnapCoord(d.y)) / kSub - s.oy;
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
        if (!(std::fabs(minor) < kGuard)) {
            continue;
        }
        const int64_t m = static_cast<int64_t>(std::floor(minor + 0.5));
        const int64_t px = xMajor ? i : m, py = xMajor ? m : i;
        if (px < std::max(target_.clipX0, 0) || py < std::max(target_.clipY0, 0) ||
            px >= std::min(target_.width, target_.clipX1) || py >= std::min(target_.height, target_.clipY1)) {
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
        FixPlanes(s);
        Span(static_cast<int>(py), static_cast<int>(px), static_cast<int>(px) + 1, s);
    }
}

void CSoftRaster::Clear(const RasterTarget& target_, int x0, int y0, int x1, int y1, bool color, uint32_t argb,
                        bool depth, float z)
{
    x0 = std::max({x0, 0, target_.clipX0});
    y0 = std::max({y0, 0, target_.clipY0});
    x1 = std::min({x1, target_.width, target_.clipX1});
    y1 = std::min({y1, target_.height, target_.clipY1});
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
