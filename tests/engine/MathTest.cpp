#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/Matrix4.h"
#include "engine/Rounding.h"
#include "engine/SineTable.h"
#include "engine/Vector3.h"
#include "tests/engine/EngineSupport.h"

static void expectNear(Vector3 actual, Vector3 expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(Rounding, TiesGoToEvenAndFloorByRoundShiftsByAHalf) {
    EXPECT_EQ(roundNearest(2.5f), 2);
    EXPECT_EQ(roundNearest(3.5f), 4);
    EXPECT_EQ(roundNearest(-2.5f), -2);
    EXPECT_EQ(roundNearest(2.7f), 3);
    EXPECT_EQ(floorByRound(3.0f), 2);
    EXPECT_EQ(floorByRound(2.0f), 2);
    EXPECT_EQ(floorByRound(2.7f), 2);
    EXPECT_EQ(floorByRound(2.5f), 2);
    EXPECT_EQ(floorByRound(1.0f), 0);
    EXPECT_EQ(floorByRound(-0.5f), -1);
    EXPECT_EQ(signOf(0.0f), 1);
    EXPECT_EQ(signOf(-0.0f), 1);
    EXPECT_EQ(signOf(-1e-30f), -1);
}

TEST(Rounding, FixedPointUsesTheScale65535InSinglePrecision) {
    EXPECT_EQ(toFixed16(1.0f), 65535);
    EXPECT_EQ(toFixed16(1.0f) >> 16, 0);
    EXPECT_EQ(toFixed16(10.0f), 655350);
    EXPECT_EQ(toFixed16(10.0f) >> 16, 9);
    EXPECT_EQ(toFixed16(10.0f) & 0xFFFF, 65526);
    EXPECT_EQ(toFixed16(256.0f) >> 16, 255);
    // The product is exact: 0.3f * 65535 is 19660.5008 (a float product would round it to the tie
    // 19660.5 and then to the even 19660), and past 2^24 odd results survive.
    EXPECT_EQ(toFixed16(0.3f), 19661);
    EXPECT_EQ(toFixed16(300.0f), 19660500);
    EXPECT_EQ(toFixed16(257.0f), 16842495);
    EXPECT_EQ(toFixed16(0.5f), 32768);  // an exact tie goes to even
    EXPECT_EQ(toFixed16(-1.0f), -65535);
}

TEST(Rounding, UnrepresentableValuesGiveTheIndefiniteInteger) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (float bad : {nan, inf, -inf, 3e9f, -3e9f}) {
        EXPECT_EQ(roundNearest(bad), INT32_MIN);
        EXPECT_EQ(truncateToInt(bad), INT32_MIN);
    }
    EXPECT_EQ(truncateToInt(-2147483648.0f), INT32_MIN);
    EXPECT_EQ(truncateToInt(-7.9f), -7);
    EXPECT_EQ(truncateToInt(2147483520.0f), 2147483520);
}

TEST(Matrix4, ConstructorsAndProducts) {
    Matrix4 r;
    r.rotation(0, 0, 0);
    Matrix4 id;
    id.identity();
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(r.m[i], id.m[i]);

    r.rotation(0, 0, 90);
    expectNear(transformPoint({1, 0, 0}, r), {0, 1, 0});
    // Rx first, then Ry: (0, 1, 0) -> (0, 0, 1) about x, then about y by 90 -> (1, 0, 0).
    r.rotation(90, 90, 0);
    expectNear(transformPoint({0, 1, 0}, r), {1, 0, 0});

    // A x B moves by A first: the origin goes to (1, 0, 0) and then turns to (0, 1, 0).
    Matrix4 move, both, turn;
    move.translation({1, 0, 0});
    turn.rotation(0, 0, 90);
    Matrix4::multiply(move, turn, both);
    expectNear(transformPoint({0, 0, 0}, both), {0, 1, 0});

    // The product may be written over either operand.
    Matrix4 a, b, separate;
    a.rotation(10, 20, 30);
    b.rotation(-40, 5, 70);
    b.m[12] = 3, b.m[13] = -2, b.m[14] = 9;
    Matrix4::multiply(a, b, separate);
    Matrix4 intoA = a, intoB = b;
    Matrix4::multiply(intoA, b, intoA);
    Matrix4::multiply(a, intoB, intoB);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(intoA.m[i], separate.m[i]);
        EXPECT_EQ(intoB.m[i], separate.m[i]);
    }

    // The transposed rotation undoes the rotation; the translation row stays.
    Matrix4 t = b;
    t.transposeRotation();
    Vector3 p = {1.5f, -2, 4};
    expectNear(rotateVector(rotateVector(p, b), t), p);
    EXPECT_EQ(t.m[12], 3);
    EXPECT_EQ(t.m[1], b.m[4]);
    EXPECT_EQ(t.m[9], b.m[6]);
}

TEST(Vector3, NormaliseLeavesAZeroVectorAlone) {
    Vector3 zero;
    zero.normalise();
    EXPECT_TRUE(zero.x == 0 && zero.y == 0 && zero.z == 0);
    Vector3 v = {3, 4, 0};
    v.normalise();
    expectNear(v, {0.6f, 0.8f, 0});
}

TEST(Vector3, RotateStepwiseUsesEachNewValueAtOnce) {
    // Step 1 writes y = cos 90 * 1 = ~0, then z = sin 90 * (new y) + cos 90 * 0 = ~0.
    Vector3 v = {0, 1, 0};
    v.rotateStepwise(90, 0, 0);
    expectNear(v, {0, 0, 0});

    Vector3 same = {1, 2, 3};
    same.rotateStepwise(0, 0, 0);
    expectNear(same, {1, 2, 3}, 0);

    // 45 degrees about x: y = (1 - 0)/sqrt2, then z = (y_new + 0)/sqrt2 = 0.5; the length shrinks.
    Vector3 w = {0, 1, 0};
    w.rotateStepwise(45, 0, 0);
    expectNear(w, {0, std::sqrt(0.5f), 0.5f});
}

TEST(Vector3, ReflectTurnIsAnOrientationReversingIsometry) {
    Vector3 v = {1, 2, 3};
    v.reflectTurn(0, 0, 0);
    expectNear(v, {1, -2, 3}, 0);  // all three angles 0: a mirror in y

    rng::srand(7);
    for (int i = 0; i < 50; ++i) {
        Vector3 p = {randomIn(-10, 10), randomIn(-10, 10), randomIn(-10, 10)};
        float before = p.length();
        p.reflectTurn(randomIn(-360, 360), randomIn(-360, 360), randomIn(-360, 360));
        EXPECT_NEAR(p.length(), before, before * 1e-5f);
    }
    // The images of the three axes form a left-handed frame.
    Vector3 ex = {1, 0, 0}, ey = {0, 1, 0}, ez = {0, 0, 1};
    for (Vector3* axis : {&ex, &ey, &ez}) axis->reflectTurn(20, 50, 110);
    EXPECT_NEAR(dot(cross(ex, ey), ez), -1.0f, 1e-5f);
}

TEST(SineTable, OnePeriodWithCosineAQuarterOn) {
    freeSineTable();
    EXPECT_EQ(sineTable, nullptr);
    buildSineTable();
    ASSERT_NE(sineTable, nullptr);
    float* first = sineTable;
    buildSineTable();
    EXPECT_EQ(sineTable, first);  // a second build keeps the table

    EXPECT_EQ(sineTable[0], 0.0f);
    EXPECT_EQ(sineTable[1024], 1.0f);
    EXPECT_EQ(sineTable[3072], -1.0f);
    for (int32_t i = 0; i < sineTableSize; i += 37) {
        EXPECT_NEAR(sineTable[(i + 1024) & sineTableMask], std::cos(2 * 3.14159265358979 * i / 4096), 1e-7);
        EXPECT_NEAR(sineTable[i], std::sin(2 * 3.14159265358979 * i / 4096), 1e-7);
    }
    freeSineTable();
    EXPECT_EQ(sineTable, nullptr);
    freeSineTable();
}

TEST(Rounding, PlainConversionMatchesTheProcessorConversion) {
    EXPECT_EQ(roundNearestPlain(2.5f), 2);
    EXPECT_EQ(roundNearestPlain(-3.5f), -4);
    EXPECT_EQ(roundNearestPlain(-0.5f), 0);
    EXPECT_EQ(roundNearestPlain(std::numeric_limits<float>::quiet_NaN()), INT32_MIN);
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 0.49999997f,
                                 1.5f,
                                 -1.5f,
                                 2147483520.0f,
                                 2147483648.0f,
                                 -2147483648.0f,
                                 -2147483904.0f,
                                 1e30f,
                                 -1e30f,
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity()};
    for (int32_t n = -3000; n <= 3000; ++n) {
        values.push_back(float(n) + 0.5f);
        values.push_back(float(n) * 0.37f);
        values.push_back(float(n) * 65535.0f + 0.5f);
    }
    rng::srand(3);
    for (int i = 0; i < 20000; ++i) values.push_back(randomIn(-1e6f, 1e6f));
    for (float x : values) EXPECT_EQ(roundNearestPlain(x), roundNearest(x)) << x;
}
