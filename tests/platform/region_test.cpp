#include <gtest/gtest.h>

#include "platform/region.h"

using namespace platform;

TEST(PolygonRegion, SquareIsHalfOpen) {
    const PolygonRegion square({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    EXPECT_TRUE(square.Contains(0, 0));
    EXPECT_TRUE(square.Contains(9, 9));
    EXPECT_TRUE(square.Contains(0, 5));
    EXPECT_TRUE(square.Contains(5, 0));
    EXPECT_FALSE(square.Contains(10, 5));
    EXPECT_FALSE(square.Contains(5, 10));
    EXPECT_FALSE(square.Contains(-1, 5));
    EXPECT_FALSE(square.Contains(5, -1));
    // The other winding direction covers the same pixels.
    const PolygonRegion reversed({{0, 10}, {10, 10}, {10, 0}, {0, 0}});
    for (int y = -2; y < 13; ++y)
        for (int x = -2; x < 13; ++x) EXPECT_EQ(reversed.Contains(x, y), square.Contains(x, y)) << x << "," << y;
}

TEST(PolygonRegion, ConcavePolygon) {
    // A "U": the notch (4..6, 0..6) is outside.
    const PolygonRegion u({{0, 0}, {4, 0}, {4, 6}, {6, 6}, {6, 0}, {10, 0}, {10, 10}, {0, 10}});
    EXPECT_TRUE(u.Contains(1, 1));
    EXPECT_TRUE(u.Contains(8, 1));
    EXPECT_FALSE(u.Contains(5, 3));
    EXPECT_FALSE(u.Contains(4, 0));   // the notch's left wall is the arm's right edge
    EXPECT_TRUE(u.Contains(6, 0));    // the right arm's left edge
    EXPECT_TRUE(u.Contains(5, 6));    // the notch's floor is a top edge
    EXPECT_FALSE(u.Contains(5, 5));
}

TEST(PolygonRegion, SelfOverlappingStarUsesNonZeroWinding) {
    // A five-pointed star drawn in one stroke: its centre pentagon is wound
    // twice, which even-odd would leave out.
    const PolygonRegion star({{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}});
    EXPECT_TRUE(star.Contains(50, 50));
    EXPECT_TRUE(star.Contains(50, 10));   // top point
    EXPECT_TRUE(star.Contains(10, 37));   // left point
    EXPECT_FALSE(star.Contains(50, 85));  // between the lower points
    EXPECT_FALSE(star.Contains(0, 0));
}

TEST(PolygonRegion, DegenerateAndHugeInput) {
    EXPECT_FALSE(PolygonRegion().Contains(0, 0));
    EXPECT_TRUE(PolygonRegion().Empty());
    EXPECT_FALSE(PolygonRegion({{0, 0}, {10, 10}}).Contains(5, 5));
    EXPECT_FALSE(PolygonRegion({{0, 0}, {10, 0}, {20, 0}}).Contains(5, 0));  // no area
    const int big = 2000000000;
    const PolygonRegion huge({{-big, -big}, {big, -big}, {big, big}, {-big, big}});
    EXPECT_TRUE(huge.Contains(0, 0));
    EXPECT_TRUE(huge.Contains(big - 1, -big));
    EXPECT_FALSE(huge.Contains(big, 0));
}
