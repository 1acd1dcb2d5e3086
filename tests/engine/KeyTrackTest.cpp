#include <gtest/gtest.h>

#include <cmath>

#include "engine/KeyTrack.h"

namespace {

// A track of keys at the given times, key i holding (i, 10 i, -i) with zero tangents.
struct TestTrack {
    KeyTrack track;
    explicit TestTrack(std::initializer_list<float> times) {
        track.keyCount = int32_t(times.size());
        track.keys = new KeyFrame[times.size()]();
        int32_t i = 0;
        for (float time : times) {
            track.keys[i].time = time;
            track.keys[i].value = {float(i), 10.0f * i, -float(i)};
            ++i;
        }
    }
    ~TestTrack() { track.destroy(); }
};

}  // namespace

TEST(KeyTrack, FindKeyTakesTheLastKeyNotLaterThanTheTime) {
    TestTrack t({0, 10, 20, 30});
    EXPECT_EQ(t.track.findKey(-5), 0);  // every key later
    EXPECT_EQ(t.track.findKey(0), 0);
    EXPECT_EQ(t.track.findKey(9.99f), 0);
    EXPECT_EQ(t.track.findKey(10), 1);
    EXPECT_EQ(t.track.findKey(25), 2);
    EXPECT_EQ(t.track.findKey(30), 3);
    EXPECT_EQ(t.track.findKey(1000), 3);
}

TEST(KeyTrack, EvaluateStartsEachSegmentAtItsKey) {
    TestTrack t({0, 10, 20, 30});
    for (int32_t i = 0; i < 4; ++i) {
        Vector3 v = t.track.evaluate(t.track.keys[i].time);
        EXPECT_EQ(v.x, float(i));
        EXPECT_EQ(v.y, 10.0f * i);
    }
    // Zero tangents: the smoothstep between keys 1 and 2, a quarter of the way gives 0.15625.
    EXPECT_FLOAT_EQ(t.track.evaluate(12.5f).x, 1.15625f);
    // Past the last key the segment runs from the last key back to key 0, with a negative fraction.
    float s = (35.0f - 30.0f) / (0.0f - 30.0f);
    EXPECT_FLOAT_EQ(t.track.evaluate(35).x, 3.0f * (2 * s * s * s - 3 * s * s + 1));
    // Tangents are used unscaled, whatever the segment's length.
    t.track.keys[1].tangentOut = {4, 0, 0};
    EXPECT_FLOAT_EQ(t.track.evaluate(15).x, 1.5f + 4 * (0.125f - 0.5f + 0.5f));

    TestTrack one({5});
    one.track.keys[0].tangentOut = {NAN, NAN, NAN};
    for (float time : {-100.0f, 5.0f, 1e9f}) EXPECT_EQ(one.track.evaluate(time).y, 0.0f);
    KeyTrack empty;
    EXPECT_EQ(empty.evaluate(3).x, 0.0f);
}

TEST(KeyBlend, HermiteGivesItsEndsAndFollowsTheTangents) {
    Vector3 p0{1, 2, 3}, m0{10, -4, 0}, p1{-5, 7, 9}, m1{3, 3, -8};
    Vector3 a = hermiteBlend(p0, m0, p1, m1, 0), b = hermiteBlend(p0, m0, p1, m1, 1);
    EXPECT_EQ(a.x, 1.0f);
    EXPECT_EQ(a.y, 2.0f);
    EXPECT_EQ(a.z, 3.0f);
    EXPECT_EQ(b.x, -5.0f);
    EXPECT_EQ(b.y, 7.0f);
    EXPECT_EQ(b.z, 9.0f);
    // Halfway: (p0 + p1) / 2 + (m0 - m1) / 8.
    Vector3 half = hermiteBlend(p0, m0, p1, m1, 0.5f);
    EXPECT_FLOAT_EQ(half.x, -2.0f + 7.0f / 8);
    EXPECT_FLOAT_EQ(half.z, 6.0f + 1.0f);
}

TEST(KeyBlend, EaseCurveJoinsItsThreePiecesSmoothly) {
    for (float t : {-0.5f, 0.0f, 0.3f, 1.0f, 1.7f}) EXPECT_EQ(easeCurve(t, 0, 0), t);
    auto slope = [](float t, float a, float b) {
        return (easeCurve(t + 1e-3f, a, b) - easeCurve(t - 1e-3f, a, b)) / 2e-3f;
    };
    for (auto [a, b] : {std::pair{0.2f, 0.3f}, {0.5f, 0.0f}, {0.0f, 0.4f}, {0.6f, 0.6f}}) {
        float sum = a + b, na = sum > 1 ? a / sum : a, nb = sum > 1 ? b / sum : b;
        EXPECT_FLOAT_EQ(easeCurve(0, a, b), 0.0f) << a << " " << b;
        EXPECT_NEAR(easeCurve(1, a, b), 1.0f, 1e-6f) << a << " " << b;
        // Values and slopes agree either side of both joins.
        for (float join : {na, 1 - nb}) {
            if (join <= 0 || join >= 1) continue;
            EXPECT_NEAR(easeCurve(join - 1e-4f, a, b), easeCurve(join + 1e-4f, a, b), 1e-3f) << join;
            EXPECT_NEAR(slope(join - 2e-3f, a, b), slope(join + 2e-3f, a, b), 2e-2f) << join;
        }
        // Rising all the way.
        for (int i = 0; i < 100; ++i) EXPECT_LE(easeCurve(i / 100.0f, a, b), easeCurve((i + 1) / 100.0f, a, b));
    }
    // The middle piece of a = 0.2, b = 0.3: k (2t - a), k = 1 / 1.5.
    EXPECT_FLOAT_EQ(easeCurve(0.5f, 0.2f, 0.3f), 0.8f / 1.5f);
}
