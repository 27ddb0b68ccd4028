// Vector, matrix, box and solver behaviour that the loader, checks and camera depend on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "TqMath/TqMath.h"

TEST(TqMath, UnitOfZeroVectorFailsAndLeavesDestination) {
    float zero[3] = {0, 0, 0}, dst[3] = {7, 8, 9};
    EXPECT_EQ(V3Unit(dst, zero), 1);
    EXPECT_EQ(dst[0], 7);
    float tiny[3] = {0, 0, 1e-30f};
    EXPECT_EQ(V3Unit(dst, tiny), 0);
    EXPECT_FLOAT_EQ(dst[2], 1);
}

TEST(TqMath, RotationMatrices) {
    float m[16], axis[3] = {0, 1, 0};
    EXPECT_EQ(TqSetupRotMat(m, 0, axis), 0);
    for (int i = 0; i < 16; i++) EXPECT_NEAR(m[i], (i % 5 == 0) ? 1 : 0, 1e-7) << i;
    float zero[3] = {0, 0, 0};
    EXPECT_EQ(TqSetupRotMat(m, 45, zero), 1);
    for (int i = 0; i < 16; i++) EXPECT_EQ(m[i], (i % 5 == 0) ? 1 : 0) << i;
    TqSetupRotMat(m, 90, axis);
    float p[3] = {1, 0, 0}, q[3];
    M4V3Mul(q, m, p);
    EXPECT_NEAR(q[0], 0, 1e-6);
    EXPECT_NEAR(q[1], 0, 1e-6);
    EXPECT_NEAR(q[2], -1, 1e-6);
}

TEST(TqMath, GlobeDirections) {
    float d[3];
    TqGlobeToDir(0, 0, d);
    EXPECT_NEAR(d[0], 0, 1e-7);
    EXPECT_NEAR(d[2], 1, 1e-7);
    TqGlobeToDir(90, 0, d);
    EXPECT_NEAR(d[1], 1, 1e-7);
    TqGlobeToDir(0, 90, d);
    EXPECT_NEAR(d[0], -1, 1e-7);
    EXPECT_NEAR(d[1], 0, 1e-7);
    EXPECT_NEAR(d[2], 0, 1e-7);
}

TEST(TqMath, BoxGrowsFromEmptyAndIgnoresNan) {
    float box[6];
    TqEmptyBBox(box);
    uint32_t bits;
    memcpy(&bits, &box[0], 4);
    EXPECT_EQ(bits, 0x5A0E1BCAu);
    float p[3] = {1, 2, 3};
    TqCheckPointAgainstBBox(p, box);
    float expected[6] = {1, 2, 3, 1, 2, 3};
    for (int i = 0; i < 6; i++) EXPECT_EQ(box[i], expected[i]) << i;
    float bad[3] = {NAN, -5, NAN};
    TqCheckPointAgainstBBox(bad, box);
    EXPECT_EQ(box[0], 1);
    EXPECT_EQ(box[1], -5);
    EXPECT_EQ(box[3], 1);
}

TEST(TqMath, BoxCornersFollowBitOrder) {
    float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float box[6] = {-1, -2, -3, 4, 5, 6}, corners[8][3];
    TqCalcBBoxCorners(corners, identity, box, 0);
    EXPECT_EQ(corners[0][0], -1);
    EXPECT_EQ(corners[0][2], -3);
    EXPECT_EQ(corners[7][0], 4);
    EXPECT_EQ(corners[7][2], 6);
    EXPECT_EQ(corners[1][0], 4);
    EXPECT_EQ(corners[1][1], -2);
    EXPECT_EQ(corners[6][0], -1);
    EXPECT_EQ(corners[6][1], 5);
    EXPECT_EQ(corners[6][2], 6);
    float out[6];
    float shift[16] = {1, 0, 0, 10, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    TqTransformBBox(out, shift, box, 0);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(out[3], 14);
}

TEST(TqMath, DeterminantAndInverse) {
    float m[16] = {2, 0, 0, 5, 0, 3, 0, 6, 0, 0, 4, 7, 0, 0, 0, 1};
    EXPECT_DOUBLE_EQ(M3Det(m), 24);
    float inv[16] = {};
    EXPECT_EQ(M4Inv(inv, m), 0);
    EXPECT_FLOAT_EQ(inv[0], 0.5f);
    EXPECT_FLOAT_EQ(inv[10], 0.25f);
    float singular[16] = {1, 2, 3, 0, 2, 4, 6, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(M4Inv(inv, singular), -1);
    float v[4] = {1, 2, 3, 1}, r[4];
    float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    M4V4Mul(r, identity, v);
    for (int i = 0; i < 4; i++) EXPECT_EQ(r[i], v[i]);
}

TEST(TqMath, Solve6NeedsPivotingForZeroLeadingElement) {
    // A permuted diagonal system: a[0][0] = 0, so only pivoting solves it.
    float a[36] = {};
    float b[6] = {1, 2, 3, 4, 5, 6}, x[6];
    for (int i = 0; i < 6; i++) a[6 * i + (i + 1) % 6] = (float)(i + 1);
    ASSERT_EQ(TqSolve6(x, a, b), 1);
    for (int i = 0; i < 6; i++) {
        double sum = 0;
        for (int j = 0; j < 6; j++) sum += a[6 * i + j] * x[j];
        EXPECT_NEAR(sum, b[i], 1e-5) << i;
    }
}

TEST(TqMath, Solve6GeneralSystemAndSingularity) {
    float a[36], b[6], x[6] = {9, 9, 9, 9, 9, 9};
    for (int i = 0; i < 36; i++) a[i] = (float)((i * 7919) % 13) - 6;
    for (int i = 0; i < 6; i++) b[i] = (float)i;
    if (TqSolve6(x, a, b)) {
        for (int i = 0; i < 6; i++) {
            double sum = 0;
            for (int j = 0; j < 6; j++) sum += a[6 * i + j] * x[j];
            EXPECT_NEAR(sum, b[i], 1e-3) << i;
        }
    }
    for (int j = 0; j < 6; j++) a[6 + j] = a[j];  // two equal rows
    float y[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(TqSolve6(y, a, b), 0);
    for (float v : y) EXPECT_EQ(v, 9);
}

TEST(TqMath, CrossAndDot) {
    float x[3] = {1, 0, 0}, y[3] = {0, 1, 0}, z[3];
    V3Cross(z, x, y);
    EXPECT_EQ(z[2], 1);
    EXPECT_EQ(V3Dot(x, y), 0);
    float s[3];
    V3AddScaled(s, x, 2, y);
    EXPECT_EQ(s[1], 2);
    V3Mean(s, x, y);
    EXPECT_EQ(s[0], 0.5f);
}
