#include "engine/graphics/render/Geometry2D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

using namespace QuillEngine;

namespace {

void ExpectNear(const Vec2& v, float x, float y)
{
    EXPECT_NEAR(v.x, x, 1e-4f);
    EXPECT_NEAR(v.y, y, 1e-4f);
}

Transform2D Sample()
{
    // A shear-rotate-scale with a translation and a non-trivial third column.
    Transform2D m;
    m.m11 = 2;
    m.m12 = 0.5f;
    m.m13 = 0.25f;
    m.m21 = -1;
    m.m22 = 3;
    m.m23 = 0.5f;
    m.m31 = 10;
    m.m32 = -4;
    m.m33 = 2;
    return m;
}

TEST(GeometryTest, RowVectorsComposeLeftToRight)
{
    Vec2 p{1, 0};
    TransformPoint(p, p, Transform2D::Rotation(std::numbers::pi_v<float> / 2));
    ExpectNear(p, 0, 1);

    // Scale by 2, then move by (5, 7): (1, 1) → (7, 9). The other order gives (12, 16).
    Transform2D m;
    MultiplyTransform(m, Transform2D::Scale(2, 2), Transform2D::Translation(5, 7));
    Vec2 q;
    TransformPoint(q, {1, 1}, m);
    ExpectNear(q, 7, 9);
    MultiplyTransform(m, Transform2D::Translation(5, 7), Transform2D::Scale(2, 2));
    TransformPoint(q, {1, 1}, m);
    ExpectNear(q, 12, 16);
}

TEST(GeometryTest, MultiplyGivesAllNineEntriesEvenWhenAliased)
{
    const Transform2D a = Sample();
    Transform2D b = Transform2D::Rotation(0.3f);
    b.m13 = 1;
    b.m23 = -2;
    b.m31 = 3;
    b.m33 = 4;
    Transform2D expected;
    MultiplyTransform(expected, a, b);
    EXPECT_FLOAT_EQ(expected.m13, 2 * 1 + 0.5f * -2 + 0.25f * 4);
    EXPECT_FLOAT_EQ(expected.m33, 10 * 1 + -4 * -2 + 2 * 4);
    EXPECT_FLOAT_EQ(expected.m31, 10 * b.m11 + -4 * b.m21 + 2 * 3);

    Transform2D left = a;
    MultiplyTransform(left, left, b);
    Transform2D right = b;
    MultiplyTransform(right, a, right);
    EXPECT_EQ(std::memcmp(&left, &expected, sizeof expected), 0);
    EXPECT_EQ(std::memcmp(&right, &expected, sizeof expected), 0);
    Transform2D square = a;
    Transform2D squareExpected;
    MultiplyTransform(squareExpected, a, a);
    MultiplyTransform(square, square, square);
    EXPECT_EQ(std::memcmp(&square, &squareExpected, sizeof square), 0);
}

TEST(GeometryTest, InverseUndoesAndSingularLeavesOutputUntouched)
{
    const Transform2D m = Sample();
    Transform2D inverse;
    ASSERT_TRUE(InvertTransform(inverse, m));
    Transform2D product;
    MultiplyTransform(product, m, inverse);
    const float* p = &product.m11;
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(p[i], (i % 4 == 0) ? 1.0f : 0.0f, 1e-5f) << "entry " << i;

    Transform2D inPlace = m;
    ASSERT_TRUE(InvertTransform(inPlace, inPlace));
    EXPECT_EQ(std::memcmp(&inPlace, &inverse, sizeof inverse), 0);

    // Scaling x by 0 has no inverse; nor has a determinant just under 0.000001.
    const Transform2D before = Sample();
    Transform2D out = before;
    EXPECT_FALSE(InvertTransform(out, Transform2D::Scale(0, 5)));
    EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);
    EXPECT_FALSE(InvertTransform(out, Transform2D::Scale(0.0009f, 0.001f)));
    EXPECT_TRUE(InvertTransform(out, Transform2D::Scale(0.002f, 0.001f)));
    EXPECT_NEAR(out.m11, 500.0f, 0.01f);
}

TEST(GeometryTest, IdentityLinearIgnoresTranslation)
{
    EXPECT_TRUE(IsIdentityLinear(Transform2D::Translation(100, -50)));
    Transform2D nearly = Transform2D::Identity();
    nearly.m12 = 0.0009f;
    nearly.m22 = 1.0009f;
    EXPECT_TRUE(IsIdentityLinear(nearly));
    nearly.m21 = -0.0011f;
    EXPECT_FALSE(IsIdentityLinear(nearly));
    EXPECT_FALSE(IsIdentityLinear(Transform2D::Rotation(0.01f)));
    EXPECT_NEAR(SinF(std::numbers::pi_v<float> / 6), 0.5f, 1e-6f);
}

TEST(GeometryTest, LinesMeetAndFeetDrop)
{
    Vec2 out{-1, -1};
    ASSERT_TRUE(LineIntersection(out, {0, 0}, {10, 10}, {0, 10}, {10, 0}));
    ExpectNear(out, 5, 5);
    // The lines, not the segments: the meeting point may lie beyond either end.
    ASSERT_TRUE(LineIntersection(out, {0, 0}, {1, 0}, {5, 3}, {5, 4}));
    ExpectNear(out, 5, 0);

    const Vec2 untouched{42, 43};
    out = untouched;
    EXPECT_FALSE(LineIntersection(out, {0, 0}, {1, 1}, {0, 1}, {2, 3})) << "parallel";
    ExpectNear(out, 42, 43);

    ASSERT_TRUE(PerpendicularFoot(out, {0, 0}, {4, 0}, {3, 7}));
    ExpectNear(out, 3, 0);
    ASSERT_TRUE(PerpendicularFoot(out, {0, 0}, {2, 2}, {0, 4}));
    ExpectNear(out, 2, 2);
    out = untouched;
    EXPECT_FALSE(PerpendicularFoot(out, {1, 1}, {1, 1}, {0, 4})) << "no line through one point";
    ExpectNear(out, 42, 43);
}

TEST(GeometryTest, SideOfLineCountsPointsOnTheLineAsMinusOne)
{
    const Vec2 a{0, 0}, b{1, 0}; // normal (0, 1)
    EXPECT_EQ(SideOfLine(a, b, {0.5f, 0}), -1);
    EXPECT_EQ(SideOfLine(a, b, {0.5f, 0.001f}), 1);
    EXPECT_EQ(SideOfLine(a, b, {0.5f, -0.001f}), -1);
    EXPECT_EQ(SideOfLine(a, b, {0.5f, 0.00001f}), 0) << "exactly on the band's edge";
    EXPECT_EQ(SideOfLine({0, 0}, {0, 5}, {-3, 1}), 1) << "normal (−5, 0) points to negative x";
    EXPECT_EQ(SideOfLine({0, 0}, {0, 5}, {3, 1}), -1);
    EXPECT_EQ(SideOfLine({2, 2}, {2, 2}, {9, 9}), -1) << "a degenerate line has no side";
}

} // namespace
