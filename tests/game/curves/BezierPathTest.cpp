#include "game/curves/BezierPath.h"

#include <gtest/gtest.h>

namespace {

TEST(BezierPathTest, ATwoSecondPathRunsOneHundredTwentyStepsAndEndsOnItsEndPoint)
{
    BezierPath path({160, 20}, {210, 0}, {400, 300}, 2.0f);
    BezierPoint p;
    int running = 0;
    while (path.Step(p))
        ++running;
    EXPECT_EQ(running, 120);
    EXPECT_FLOAT_EQ(p.x, 400.0f);
    EXPECT_FLOAT_EQ(p.y, 300.0f);
}

TEST(BezierPathTest, TheCurveBendsTowardsItsControlPoint)
{
    // Halfway the point is a quarter start, half control, a quarter end.
    BezierPath path({0, 0}, {100, 200}, {200, 0}, 60 * BezierPath::kStep);
    BezierPoint p;
    for (int i = 0; i < 30; ++i)
        path.Step(p);
    EXPECT_NEAR(p.x, 100.0f, 0.01f);
    EXPECT_NEAR(p.y, 100.0f, 0.01f);
}

TEST(BezierPathTest, DegeneratePaths)
{
    BezierPoint p;
    BezierPath still({1, 1}, {1, 1}, {1, 1}, 2.0f);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(still.Step(p));
        EXPECT_FLOAT_EQ(p.x, 1.0f);
        EXPECT_FLOAT_EQ(p.y, 1.0f);
    }
    BezierPath instant({0, 0}, {5, 5}, {7, 9}, 0.0f);
    EXPECT_FALSE(instant.Step(p));
    EXPECT_FLOAT_EQ(p.x, 7.0f);
    EXPECT_FLOAT_EQ(p.y, 9.0f);
}

} // namespace
