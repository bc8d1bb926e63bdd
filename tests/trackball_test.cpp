#include "trackball/trackball.h"

#include "quat_helpers.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <random>

namespace {

using Quat = std::array<float, 4>;

Quat rotationOf(const Trackball& ball) {
    Quat q;
    ball.getRotation(q.data());
    return q;
}

// The rotation a lone drag between two ball points gives.
Quat dragOf(float p1x, float p1y, float p2x, float p2y) {
    Quat q;
    dragRotation(q.data(), p1x, p1y, p2x, p2y, 0.8f);
    return q;
}

TEST(TrackballSetup, StartsUnturnedOnA100PixelViewport) {
    const Trackball ball;
    EXPECT_EQ(ball.left, 0);
    EXPECT_EQ(ball.top, 0);
    EXPECT_EQ(ball.width, 100);
    EXPECT_EQ(ball.height, 100);
    EXPECT_EQ(ball.radius, 0.8f);
    EXPECT_EQ(rotationOf(ball), (Quat{0, 0, 0, 1}));
    float m[16];
    ball.getMatrix(m);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(m[k], k % 5 == 0 ? 1.0f : 0.0f) << k;
    }

    // Fields in the order left, top, width, height, rotation, radius.
    EXPECT_LT(static_cast<const void*>(&ball.left), static_cast<const void*>(&ball.top));
    EXPECT_LT(static_cast<const void*>(&ball.top), static_cast<const void*>(&ball.width));
    EXPECT_LT(static_cast<const void*>(&ball.width), static_cast<const void*>(&ball.height));
    EXPECT_LT(static_cast<const void*>(&ball.height), static_cast<const void*>(ball.rotation));
    EXPECT_LT(static_cast<const void*>(ball.rotation), static_cast<const void*>(&ball.radius));
}

TEST(TrackballSetup, ViewportArgumentsComeSizeFirst) {
    Trackball ball(640, 480, 10, 20);
    EXPECT_EQ(ball.width, 640);
    EXPECT_EQ(ball.height, 480);
    EXPECT_EQ(ball.left, 10);
    EXPECT_EQ(ball.top, 20);
    EXPECT_EQ(rotationOf(ball), (Quat{0, 0, 0, 1}));
    EXPECT_EQ(ball.radius, 0.8f);

    ball.setViewport(1024, 768, 3, 4);
    EXPECT_EQ(ball.width, 1024);
    EXPECT_EQ(ball.height, 768);
    EXPECT_EQ(ball.left, 3);
    EXPECT_EQ(ball.top, 4);
}

TEST(TrackballDrag, StillPointerLeavesTheRotationAlone) {
    Trackball ball;
    ball.drag(50, 50, 50, 50);
    EXPECT_EQ(rotationOf(ball), (Quat{0, 0, 0, 1}));
}

TEST(TrackballDrag, CentreToLowerRightTiltsBy59Degrees) {
    alignRenormalisation();
    Trackball ball(512, 512, 0, 0);
    ball.drag(256, 256, 384, 384);
    const Quat q = rotationOf(ball);
    EXPECT_EQ(q, dragOf(0.0f, 0.0f, 0.5f, -0.5f));
    EXPECT_NEAR(q[0], -0.3482f, 1e-4);
    EXPECT_NEAR(q[1], -0.3482f, 1e-4);
    EXPECT_EQ(q[2], 0.0f);
    EXPECT_NEAR(q[3], 0.8704f, 1e-4);
}

TEST(TrackballDrag, OddSizeCentresOnTheTruncatedHalfAndScalesByTheExactHalf) {
    alignRenormalisation();
    Trackball ball(101, 101, 0, 0);
    ball.drag(50, 50, 101, 50);
    EXPECT_EQ(rotationOf(ball), dragOf(0.0f, 0.0f, float(51 / 50.5), 0.0f));

    Trackball upward(101, 101, 0, 0);
    upward.drag(50, 50, 50, 101); // down on screen is negative y on the ball
    EXPECT_EQ(rotationOf(upward), dragOf(0.0f, 0.0f, 0.0f, float(-51 / 50.5)));
}

TEST(TrackballDrag, MeasuresFromTheViewportOrigin) {
    alignRenormalisation();
    Trackball ball(200, 100, 20, 30); // centre (120, 80)
    ball.drag(120, 80, 170, 55);
    EXPECT_EQ(rotationOf(ball), dragOf(0.0f, 0.0f, 0.5f, 0.5f));
}

TEST(TrackballDrag, ComposesTheDragAsTheFirstOperand) {
    alignRenormalisation();
    Trackball ball(512, 512, 0, 0);
    const float start[4] = {0.6f, 0.0f, 0.0f, 0.8f};
    ball.setRotation(start);
    ball.drag(256, 256, 384, 256);

    // The drag goes in as the first operand, so the result is start . drag: applied as its
    // conjugate, the drag then turns the already-turned scene about the viewer's own axis.
    const Quat d = dragOf(0.0f, 0.0f, 0.5f, 0.0f);
    const std::array<double, 4> expected = hamilton(start, d.data());
    const Quat q = rotationOf(ball);
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(q[k], expected[k], 1e-6) << k;
    }
}

TEST(TrackballDrag, NewViewportKeepsTheRotation) {
    Trackball ball(512, 512, 0, 0);
    ball.drag(256, 256, 384, 384);
    const Quat before = rotationOf(ball);
    ball.setViewport(1024, 768, 0, 0);
    EXPECT_EQ(rotationOf(ball), before);
}

TEST(TrackballDrag, EmptyViewportLeavesTheRotationAlone) {
    Trackball ball(512, 512, 0, 0);
    ball.drag(256, 256, 384, 384);
    const Quat before = rotationOf(ball);
    const int sizes[][2] = {{0, 512}, {512, 0}, {0, 0}, {-4, 512}, {512, -4}};
    for (const auto& size : sizes) {
        ball.setViewport(size[0], size[1], 0, 0);
        ball.drag(0, 0, 100, 70);
        EXPECT_EQ(rotationOf(ball), before) << size[0] << " x " << size[1];
    }
}

// Whether q is finite with a length within 1e-3 of 1.
::testing::AssertionResult isUnitRotation(const Quat& q) {
    double squares = 0.0;
    for (const float c : q) {
        squares += double(c) * c;
    }
    if (!std::isfinite(squares) || std::abs(std::sqrt(squares) - 1.0) > 1e-3) {
        return ::testing::AssertionFailure()
               << "(" << q[0] << ", " << q[1] << ", " << q[2] << ", " << q[3] << ")";
    }
    return ::testing::AssertionSuccess();
}

TEST(TrackballExtremes, PixelsFarApartAreMeasuredWhereTheyAre) {
    alignRenormalisation();
    // INT_MIN - INT_MAX does not fit an int; the pointer is still 2^32 - 1 pixels left of centre.
    Trackball ball(2, 2, INT_MAX - 1, 0); // centre (INT_MAX, 1)
    ball.drag(INT_MAX, 1, INT_MIN, 1);
    EXPECT_EQ(rotationOf(ball), dragOf(0.0f, 0.0f, -4294967295.0f, 0.0f));
}

TEST(TrackballExtremes, AnyPixelsAndViewportGiveAFiniteUnitRotation) {
    std::mt19937 random(20261207);
    const int ends[] = {INT_MIN, INT_MIN + 1, -1, 0, 1, INT_MAX - 1, INT_MAX};
    std::uniform_int_distribution<int> anyInt(INT_MIN, INT_MAX);
    std::uniform_int_distribution<int> anyEnd(0, 6);
    const auto arbitrary = [&] { return random() % 4 == 0 ? ends[anyEnd(random)] : anyInt(random); };
    Trackball ball;
    // Until 100,000 drags have met a viewport that is not empty, the only kind that turns.
    for (int k = 0, turning = 0; turning < 100000; ++k) {
        ball.setViewport(arbitrary(), arbitrary(), arbitrary(), arbitrary());
        ball.drag(arbitrary(), arbitrary(), arbitrary(), arbitrary());
        ASSERT_TRUE(isUnitRotation(rotationOf(ball))) << "after drag " << k;
        turning += ball.width > 0 && ball.height > 0;
    }
}

TEST(TrackballExtremes, AMillionOrdinaryDragsKeepTheRotationUnitLength) {
    // The periodic renormalisation is all that holds the length at 1 over a long session.
    std::mt19937 random(1000000);
    std::uniform_int_distribution<int> pixel(-100, 611);
    Trackball ball(512, 512, 0, 0);
    int x = 256, y = 256;
    for (int k = 0; k < 1000000; ++k) {
        const int nextX = pixel(random), nextY = pixel(random);
        ball.drag(x, y, nextX, nextY);
        x = nextX;
        y = nextY;
        ASSERT_TRUE(isUnitRotation(rotationOf(ball))) << "after drag " << k;
    }
}

TEST(TrackballRotation, SetAndGetCopyAllFourComponents) {
    Trackball ball;
    const float q[4] = {0.1f, 0.2f, 0.3f, 0.9f};
    ball.setRotation(q);
    EXPECT_EQ(rotationOf(ball), (Quat{0.1f, 0.2f, 0.3f, 0.9f}));
    float m[16];
    float expected[16];
    ball.getMatrix(m);
    quatToMatrix(expected, q);
    EXPECT_EQ(std::vector<float>(m, m + 16), std::vector<float>(expected, expected + 16));
}

} // namespace
