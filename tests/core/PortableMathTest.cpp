#include "core/PortableMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <numbers>
#include <vector>

namespace {

// Distance in units of the last place of the double nearest to the reference.
double ulpsFrom(double value, long double reference) {
    double nearest = double(reference);
    double ulp = std::nextafter(std::fabs(nearest), INFINITY) - std::fabs(nearest);
    return double(std::fabs((long double)value - reference) / ulp);
}

// The arguments the show's code gives: angles of a few turns either way, in small steps that do
// not line up with any period.
template <typename Check>
void forAngles(Check check) {
    for (int32_t i = -200000; i <= 200000; ++i) check(float(i) * 0.00031f);
}

TEST(PortableMath, FloatResultsAreTheCorrectlyRoundedOnes) {
    int64_t wrong = 0;
    forAngles([&](float x) {
        wrong += portable::sin(x) != float(sinl(x));
        wrong += portable::cos(x) != float(cosl(x));
        float t = x * 0.25f;  // tangent away from its poles
        wrong += portable::tan(t) != float(tanl(t));
        float a = std::fmod(x, 1.0f);
        wrong += portable::asin(a) != float(asinl(a));
        wrong += portable::atan2(x, 0.75f) != float(atan2l(x, 0.75f));
        wrong += portable::atan2(-0.5f, x) != float(atan2l(-0.5f, x));
    });
    EXPECT_EQ(wrong, 0);
}

TEST(PortableMath, DoubleResultsAreWithinTwoUnitsInTheLastPlace) {
    double worst = 0.0;
    for (int32_t i = 0; i < 200000; ++i) {
        double x = double(i) * 2.0 * std::numbers::pi / 4096.0 - 40.0;
        // Away from the zeros, where every runtime's long double sine is a sound reference.
        long double sine = sinl((long double)x), cosine = cosl((long double)x);
        if (std::fabs(sine) >= 0.01L) worst = std::max(worst, ulpsFrom(portable::sin(x), sine));
        if (std::fabs(cosine) >= 0.01L) worst = std::max(worst, ulpsFrom(portable::cos(x), cosine));
    }
    // Next to a multiple of pi the result is tiny, and only a reduction with enough bits of pi
    // keeps it accurate. (The references are fixed: some runtimes' own sinl loses them too.)
    struct Case {
        double turns;
        long double sine;
    };
    for (Case c : {Case{1.0, 1.2246467991473531772e-16L}, Case{2.0, -2.4492935982947063544e-16L},
                   Case{1000.0, -3.21416645927563369778e-13L}})
        worst = std::max(worst, ulpsFrom(portable::sin(c.turns * std::numbers::pi), c.sine));
    EXPECT_LE(worst, 2.0);
}

TEST(PortableMath, SignsQuadrantsAndUndefinedArguments) {
    EXPECT_TRUE(std::signbit(portable::sin(-0.0f)));
    EXPECT_EQ(portable::cos(0.0f), 1.0f);
    EXPECT_EQ(portable::sin(float(std::numbers::pi / 2)), 1.0f);
    EXPECT_EQ(portable::atan2(0.0f, -1.0f), std::numbers::pi_v<float>);
    EXPECT_EQ(portable::atan2(-0.0f, -1.0f), -std::numbers::pi_v<float>);
    EXPECT_TRUE(std::signbit(portable::atan2(-0.0f, 1.0f)));
    EXPECT_EQ(portable::atan2(1.0f, 0.0f), float(std::numbers::pi / 2));
    EXPECT_EQ(portable::atan2(-3.0f, -3.0f), float(-3 * std::numbers::pi / 4));
    EXPECT_EQ(portable::atan2(2.0f, INFINITY), 0.0f);
    EXPECT_EQ(portable::asin(1.0f), float(std::numbers::pi / 2));
    EXPECT_EQ(portable::asin(-1.0f), -float(std::numbers::pi / 2));
    EXPECT_TRUE(std::isnan(portable::asin(1.0001f)));
    EXPECT_TRUE(std::isnan(portable::sin(INFINITY)));
    EXPECT_TRUE(std::isnan(portable::cos(NAN)));
    EXPECT_TRUE(std::isnan(portable::atan2(NAN, 1.0f)));
}

bool sameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

// sinCos shares one argument reduction between the two, and sinCosFour works out four at a time:
// bit for bit the separate results, over a sweep of float bit patterns (zeros, subnormals, huge
// values, infinities and not-a-numbers) and across the place where four go one by one.
TEST(PortableMath, SinCosGivesTheSeparateResults) {
    std::vector<float> xs;
    xs.reserve(0x100000000u / 4093 + 16);
    for (uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 4093) {
        uint32_t word = uint32_t(bits);
        float x;
        std::memcpy(&x, &word, sizeof x);
        xs.push_back(x);
    }
    for (float x : {0x1p30f, -0x1p30f, std::nextafter(0x1p30f, 0.0f), 0x1p-27f, -0x1p-27f, 1e-30f, 0.0f, -0.0f})
        xs.push_back(x);
    while (xs.size() % 4 != 0) xs.push_back(1.0f);
    for (size_t i = 0; i < xs.size(); i += 4) {
        float sines[4], cosines[4];
        portable::sinCosFour(&xs[i], sines, cosines);
        for (size_t j = 0; j < 4; ++j) {
            float x = xs[i + j], sine, cosine;
            portable::sinCos(x, sine, cosine);
            ASSERT_TRUE(sameFloat(sine, portable::sin(x))) << x;
            ASSERT_TRUE(sameFloat(cosine, portable::cos(x))) << x;
            ASSERT_TRUE(sameFloat(sines[j], sine)) << x;
            ASSERT_TRUE(sameFloat(cosines[j], cosine)) << x;
        }
#if defined(__SSE2__)
        float narrowSines[4], narrowCosines[4];
        portable::sinCosFourSse2(&xs[i], narrowSines, narrowCosines);
        for (size_t j = 0; j < 4; ++j) {
            ASSERT_TRUE(sameFloat(narrowSines[j], sines[j])) << xs[i + j];
            ASSERT_TRUE(sameFloat(narrowCosines[j], cosines[j])) << xs[i + j];
        }
#endif
    }
}

}  // namespace

TEST(PortableMath, PowersOfTwoAreCorrectlyRounded) {
    for (int32_t n = -1022; n <= 1023; ++n) ASSERT_EQ(portable::exp2(double(n)), std::ldexp(1.0, n));
    for (int32_t n = -126; n <= 127; ++n) ASSERT_EQ(portable::exp2(float(n)), std::ldexp(1.0f, n));
    int64_t wrong = 0;
    for (int32_t i = -400000; i <= 400000; ++i) {
        double x = double(i) * 0.00247;  // up to about 2^+-988, in steps that meet no integer
        long double reference = exp2l((long double)x);
        wrong += portable::exp2(x) != double(reference) && ulpsFrom(portable::exp2(x), reference) > 0.5;
        float y = float(i) * 0.000301f;
        wrong += portable::exp2(y) != float(exp2l((long double)y));
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(portable::exp2(1024.0), INFINITY);
    EXPECT_EQ(portable::exp2(-1100.0), 0.0);
    EXPECT_EQ(portable::exp2(-1074.0), std::ldexp(1.0, -1074));
    EXPECT_EQ(portable::exp2(128.0f), INFINITY);
    EXPECT_EQ(portable::exp2(-INFINITY), 0.0);
    EXPECT_TRUE(std::isnan(portable::exp2(NAN)));
    EXPECT_TRUE(std::isnan(portable::exp2(float(NAN))));
}
