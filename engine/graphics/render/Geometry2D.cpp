#include "engine/graphics/render/Geometry2D.h"

#include <cmath>

namespace QuillEngine {

Transform2D Transform2D::Translation(float tx, float ty)
{
    Transform2D m;
    m.m31 = tx;
    m.m32 = ty;
    return m;
}

Transform2D Transform2D::Scale(float sx, float sy)
{
    Transform2D m;
    m.m11 = sx;
    m.m22 = sy;
    return m;
}

Transform2D Transform2D::Rotation(float radians)
{
    Transform2D m;
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    m.m11 = c;
    m.m12 = s;
    m.m21 = -s;
    m.m22 = c;
    return m;
}

void MultiplyTransform(Transform2D& out, const Transform2D& a, const Transform2D& b)
{
    Transform2D r;
    r.m11 = a.m11 * b.m11 + a.m12 * b.m21 + a.m13 * b.m31;
    r.m12 = a.m11 * b.m12 + a.m12 * b.m22 + a.m13 * b.m32;
    r.m13 = a.m11 * b.m13 + a.m12 * b.m23 + a.m13 * b.m33;
    r.m21 = a.m21 * b.m11 + a.m22 * b.m21 + a.m23 * b.m31;
    r.m22 = a.m21 * b.m12 + a.m22 * b.m22 + a.m23 * b.m32;
    r.m23 = a.m21 * b.m13 + a.m22 * b.m23 + a.m23 * b.m33;
    r.m31 = a.m31 * b.m11 + a.m32 * b.m21 + a.m33 * b.m31;
    r.m32 = a.m31 * b.m12 + a.m32 * b.m22 + a.m33 * b.m32;
    r.m33 = a.m31 * b.m13 + a.m32 * b.m23 + a.m33 * b.m33;
    out = r;
}

bool InvertTransform(Transform2D& out, const Transform2D& m)
{
    // Cofactors of the first row give the determinant.
    const float c11 = m.m22 * m.m33 - m.m23 * m.m32;
    const float c12 = m.m23 * m.m31 - m.m21 * m.m33;
    const float c13 = m.m21 * m.m32 - m.m22 * m.m31;
    const float det = m.m11 * c11 + m.m12 * c12 + m.m13 * c13;
    if (!(std::fabs(det) >= 0.000001f))
        return false;
    const float k = 1.0f / det;
    Transform2D r;
    r.m11 = c11 * k;
    r.m12 = (m.m13 * m.m32 - m.m12 * m.m33) * k;
    r.m13 = (m.m12 * m.m23 - m.m13 * m.m22) * k;
    r.m21 = c12 * k;
    r.m22 = (m.m11 * m.m33 - m.m13 * m.m31) * k;
    r.m23 = (m.m13 * m.m21 - m.m11 * m.m23) * k;
    r.m31 = c13 * k;
    r.m32 = (m.m12 * m.m31 - m.m11 * m.m32) * k;
    r.m33 = (m.m11 * m.m22 - m.m12 * m.m21) * k;
    out = r;
    return true;
}

void TransformPoint(Vec2& out, const Vec2& point, const Transform2D& m)
{
    const float x = point.x * m.m11 + point.y * m.m21 + m.m31;
    const float y = point.x * m.m12 + point.y * m.m22 + m.m32;
    out.x = x;
    out.y = y;
}

bool IsIdentityLinear(const Transform2D& m)
{
    return std::fabs(m.m11 - 1.0f) < 0.001f && std::fabs(m.m12) < 0.001f && std::fabs(m.m21) < 0.001f &&
           std::fabs(m.m22 - 1.0f) < 0.001f;
}

float SinF(float x)
{
    return std::sin(x);
}

bool LineIntersection(Vec2& out, const Vec2& a, const Vec2& b, const Vec2& c, const Vec2& d)
{
    const float denominator = (d.x - c.x) * (b.y - a.y) - (b.x - a.x) * (d.y - c.y);
    if (denominator == 0.0f)
        return false;
    const float t = ((a.x - c.x) * (d.y - c.y) - (a.y - c.y) * (d.x - c.x)) / denominator;
    out.x = a.x + t * (b.x - a.x);
    out.y = a.y + t * (b.y - a.y);
    return true;
}

bool PerpendicularFoot(Vec2& out, const Vec2& a, const Vec2& b, const Vec2& p)
{
    const Vec2 along{p.x - (b.y - a.y), p.y + (b.x - a.x)};
    return LineIntersection(out, a, b, p, along);
}

int SideOfLine(const Vec2& a, const Vec2& b, const Vec2& p)
{
    const Vec2 normal{-(b.y - a.y), b.x - a.x};
    Vec2 foot = a;
    PerpendicularFoot(foot, a, b, p);
    const float d = (p.x - foot.x) * normal.x + (p.y - foot.y) * normal.y;
    if (d < 0.00001f)
        return -1;
    if (d > 0.00001f)
        return 1;
    return 0;
}

} // namespace QuillEngine
