#pragma once
// 2D affine transforms on row vectors and a few line helpers for hit testing.
//
// A transform is nine floats m11 m12 m13 / m21 m22 m23 / m31 m32 m33; a point maps to
//     x' = x·m11 + y·m21 + m31,   y' = x·m12 + y·m22 + m32
// (the third column is not used for points). Products compose left to right: A·B applies A
// first, then B.

namespace QuillEngine {

struct Vec2 {
    float x = 0;
    float y = 0;
};

struct Transform2D {
    float m11 = 1, m12 = 0, m13 = 0;
    float m21 = 0, m22 = 1, m23 = 0;
    float m31 = 0, m32 = 0, m33 = 1;

    static Transform2D Identity() { return {}; }
    static Transform2D Translation(float tx, float ty);
    static Transform2D Scale(float sx, float sy);
    // Rotation by `radians`: (1, 0) turns towards (0, 1).
    static Transform2D Rotation(float radians);
};

// out = a·b, all nine entries; `out` may be `a` or `b`.
void MultiplyTransform(Transform2D& out, const Transform2D& a, const Transform2D& b);
// The full inverse by cofactors. False, with `out` untouched, when |det| < 0.000001; `out` may
// be `m`.
bool InvertTransform(Transform2D& out, const Transform2D& m);
// `out` may be `point`.
void TransformPoint(Vec2& out, const Vec2& point, const Transform2D& m);
// Whether the linear part is the identity within 0.001 (the translation is not examined).
bool IsIdentityLinear(const Transform2D& m);
float SinF(float x);

// The point where line a→b meets line c→d. False, with `out` untouched, for parallel lines (or a
// line of zero length).
bool LineIntersection(Vec2& out, const Vec2& a, const Vec2& b, const Vec2& c, const Vec2& d);
// The foot of the perpendicular from `p` onto line a→b. False, with `out` untouched, when a = b.
bool PerpendicularFoot(Vec2& out, const Vec2& a, const Vec2& b, const Vec2& p);
// Which side of line a→b `p` lies on, measured along the normal (−(b.y − a.y), b.x − a.x):
// +1 when the distance along it exceeds 0.00001, −1 when below, 0 only when exactly 0.00001.
// A point on the line counts as −1.
int SideOfLine(const Vec2& a, const Vec2& b, const Vec2& p);

} // namespace QuillEngine
