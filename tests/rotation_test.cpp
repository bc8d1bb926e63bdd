#include "trackball/rotation.h"

#include "quat_helpers.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

namespace {

using Quat = std::array<float, 4>;

const double kPi = 3.14159265358979323846;

Quat quat(const float* q) { return {q[0], q[1], q[2], q[3]}; }

void expectQuatNear(const float* q, float x, float y, float z, float w) {
    EXPECT_FLOAT_EQ(q[0], x);
    EXPECT_FLOAT_EQ(q[1], y);
    EXPECT_FLOAT_EQ(q[2], z);
    EXPECT_FLOAT_EQ(q[3], w);
}

uint32_t bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

TEST(Vec3, ArithmeticMayWriteOverItsInputs) {
    float a[3] = {1, 2, 3};
    float b[3] = {4, 5, 6};
    float out[3];
    vec3Cross(a, b, out);
    EXPECT_EQ(std::vector<float>(out, out + 3), (std::vector<float>{-3, 6, -3}));
    vec3Cross(a, b, a);
    EXPECT_EQ(std::vector<float>(a, a + 3), (std::vector<float>{-3, 6, -3}));
    vec3Set(a, 1, 2, 3);
    vec3Cross(a, b, b);
    EXPECT_EQ(std::vector<float>(b, b + 3), (std::vector<float>{-3, 6, -3}));

    vec3Set(a, 1, 2, 3);
    vec3Set(b, 4, 5, 6);
    vec3Sub(a, b, b);
    EXPECT_EQ(std::vector<float>(b, b + 3), (std::vector<float>{-3, -3, -3}));
    vec3Add(a, b, a);
    EXPECT_EQ(std::vector<float>(a, a + 3), (std::vector<float>{-2, -1, 0}));
    EXPECT_EQ(vec3Dot(a, b), 9.0f);

    vec3Set(a, 3, 0, 4);
    EXPECT_EQ(vec3Length(a), 5.0f);
    vec3Normalize(a);
    EXPECT_FLOAT_EQ(a[0], 0.6f);
    EXPECT_FLOAT_EQ(a[2], 0.8f);
    vec3Scale(a, -5);
    vec3Copy(a, b);
    EXPECT_FLOAT_EQ(b[0], -3.0f);
    EXPECT_FLOAT_EQ(b[2], -4.0f);
    vec3Zero(b);
    EXPECT_EQ(std::vector<float>(b, b + 3), (std::vector<float>{0, 0, 0}));
}

TEST(TrackballDepth, LiftsOntoTheSphereInsideAndTheSheetOutside) {
    EXPECT_EQ(bits(0.70710677f), 0x3F3504F3u);
    EXPECT_EQ(bits(1.41421354f), 0x3FB504F3u);
    EXPECT_EQ(trackballDepth(0.8f, 0, 0), 0.8f);
    EXPECT_FLOAT_EQ(trackballDepth(0.8f, 0.3f, 0.4f), 0.6244998f);
    // d = 0.70710677 is not below 0.8 / sqrt 2, so this is on the sheet.
    EXPECT_FLOAT_EQ(trackballDepth(0.8f, 0.5f, -0.5f), 0.45254838f);
    EXPECT_FLOAT_EQ(trackballDepth(0.8f, 2.0f, 0.0f), 0.16f);
}

TEST(DragRotation, TurnsBy59DegreesForTheStartingTilt) {
    float q[4];
    dragRotation(q, 0.0f, 0.0f, 0.5f, -0.5f, 0.8f);
    expectQuatNear(q, -0.34818801f, -0.34818801f, 0.0f, 0.87036210f);
    EXPECT_NEAR(2.0 * std::acos(q[3]) * 180.0 / kPi, 59.0, 0.01);
}

TEST(DragRotation, EqualPointsGiveExactlyTheIdentity) {
    float q[4] = {9, 9, 9, 9};
    dragRotation(q, 0.3f, -0.7f, 0.3f, -0.7f, 0.8f);
    EXPECT_EQ(quat(q), (Quat{0, 0, 0, 1}));
}

TEST(DragRotation, FarApartPointsClampToHalfATurn) {
    float q[4];
    dragRotation(q, -1.0f, -1.0f, 1.0f, 1.0f, 0.8f);
    EXPECT_FLOAT_EQ(q[0], 0.70710677f);
    EXPECT_FLOAT_EQ(q[1], -0.70710677f);
    EXPECT_EQ(q[2], 0.0f);
    // phi is the float nearest pi, just above it, so w comes out a hair below zero.
    EXPECT_NEAR(q[3], -4.37e-8f, 0.01e-8f);
}

TEST(DragRotation, PointsGivingNoAxisGiveTheIdentityNotNaN) {
    // On a ball of radius 0 every point lifts to z = 0, so points in line with the centre
    // have parallel lifts.
    float q[4] = {9, 9, 9, 9};
    dragRotation(q, 0.2f, 0.2f, 0.4f, 0.4f, 0.0f);
    EXPECT_EQ(quat(q), (Quat{0, 0, 0, 1}));
    // An axis too short to normalise in single precision is no turn either.
    dragRotation(q, 0.0f, 0.0f, 1e-40f, 0.0f, 0.8f);
    EXPECT_EQ(quat(q), (Quat{0, 0, 0, 1}));
}

TEST(QuatFromAxisAngle, NormalisesTheCallersAxis) {
    float axis[3] = {0, 0, 2};
    float q[4];
    quatFromAxisAngle(axis, float(kPi / 2), q);
    EXPECT_EQ(std::vector<float>(axis, axis + 3), (std::vector<float>{0, 0, 1}));
    expectQuatNear(q, 0, 0, 0.70710677f, 0.70710677f);
}

TEST(ComposeRotations, IsTheHamiltonProductSecondTimesFirst) {
    alignRenormalisation();
    const float i[4] = {1, 0, 0, 0};
    const float j[4] = {0, 1, 0, 0};
    float out[4];
    composeRotations(i, j, out); // j i = -k
    EXPECT_EQ(quat(out), (Quat{0, 0, -1, 0}));
    composeRotations(j, i, out); // i j = k
    EXPECT_EQ(quat(out), (Quat{0, 0, 1, 0}));

    const float a[4] = {0.1f, -0.5f, 0.3f, 0.8f};
    const float b[4] = {-0.7f, 0.2f, 0.4f, 0.55f};
    composeRotations(a, b, out);
    const std::array<double, 4> expected = hamilton(b, a);
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(out[k], expected[k], 1e-6) << k;
    }
}

TEST(ComposeRotations, MayWriteOverEitherInput) {
    alignRenormalisation();
    const float a[4] = {0.1f, -0.5f, 0.3f, 0.8f};
    const float b[4] = {-0.7f, 0.2f, 0.4f, 0.55f};
    float expected[4];
    composeRotations(a, b, expected);

    float first[4] = {0.1f, -0.5f, 0.3f, 0.8f};
    composeRotations(first, b, first);
    EXPECT_EQ(quat(first), quat(expected));
    float second[4] = {-0.7f, 0.2f, 0.4f, 0.55f};
    composeRotations(a, second, second);
    EXPECT_EQ(quat(second), quat(expected));
}

TEST(ComposeRotations, IdentityOnEitherSideChangesNothing) {
    alignRenormalisation();
    const float identity[4] = {0, 0, 0, 1};
    const float q[4] = {-0.34818801f, -0.34818801f, 0.0f, 0.87036210f};
    float out[4];
    composeRotations(identity, q, out);
    EXPECT_EQ(quat(out), quat(q));
    composeRotations(q, identity, out);
    EXPECT_EQ(quat(out), quat(q));
}

TEST(ComposeRotations, RenormalisesOnEvery98thCompositionByTheSumOfSquares) {
    const int first = alignRenormalisation();
    EXPECT_GE(first, 1);
    EXPECT_LE(first, 98);

    const float identity[4] = {0, 0, 0, 1};
    const float doubled[4] = {0, 0, 0, 2};
    for (int round = 0; round < 2; ++round) {
        float out[4];
        for (int n = 1; n <= 97; ++n) {
            composeRotations(identity, doubled, out);
            ASSERT_EQ(out[3], 2.0f) << "composition " << n << " of round " << round;
        }
        composeRotations(identity, doubled, out);
        // Divided by the squared length 4, not by the length 2.
        EXPECT_EQ(quat(out), (Quat{0, 0, 0, 0.5f})) << "round " << round;
    }
}

TEST(RenormalizeQuat, DividesBySquaredLength) {
    float q[4] = {1, 2, 2, 4};
    renormalizeQuat(q);
    expectQuatNear(q, 0.04f, 0.08f, 0.08f, 0.16f);
    // A squared length of 1 + e comes out near 1 - e.
    float stretched[4] = {0, 0, 0, std::sqrt(1.001f)};
    renormalizeQuat(stretched);
    EXPECT_NEAR(stretched[3] * stretched[3], 1.0 / 1.001, 1e-6);
}

TEST(QuatToMatrix, IdentityGivesTheIdentityMatrix) {
    const float identity[4] = {0, 0, 0, 1};
    float m[16];
    quatToMatrix(m, identity);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(m[k], k % 5 == 0 ? 1.0f : 0.0f) << k;
    }
}

TEST(QuatToMatrix, RowsAreTheRotationSoOpenGLAppliesItsConjugate) {
    // A quarter turn about z: read row by row it takes x to y.
    const float quarter[4] = {0, 0, 0.70710677f, 0.70710677f};
    float m[16];
    quatToMatrix(m, quarter);
    const float expected[16] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int k = 0; k < 16; ++k) {
        EXPECT_NEAR(m[k], expected[k], 1e-7) << k;
    }

    // The starting tilt shows the terrain's up direction as about (0.2425, 0.7575, 0.6061):
    // OpenGL reads m column by column, so up lands on m[4], m[5], m[6].
    const float tilt[4] = {-0.34818801f, -0.34818801f, 0.0f, 0.87036210f};
    quatToMatrix(m, tilt);
    EXPECT_NEAR(m[4], 0.2425, 1e-4);
    EXPECT_NEAR(m[5], 0.7575, 1e-4);
    EXPECT_NEAR(m[6], 0.6061, 1e-4);
    EXPECT_EQ(m[15], 1.0f);
    EXPECT_EQ(m[3] + m[7] + m[11] + m[12] + m[13] + m[14], 0.0f);
}

} // namespace
