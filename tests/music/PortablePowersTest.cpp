// The player's powers of two and its tick length come from our own code (portable::exp2, whole-number
// arithmetic), not from the C runtime's pow and long double, whose last bits differ between
// platforms. Every argument the player can form is checked here: against the C runtime the player
// used before, where that is glibc (the Linux build, whose pictures and sound are the reference):
// the frequencies, period-table values and tick lengths the player derives must all be the same;
// and against a checksum of all results, which every platform must reproduce.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/PortableMath.h"
#include "music/Sequencer.h"

namespace {

// The linear-frequency exponents: (MiddlePeriod - period + offset) / 768 with the divisor taken as
// the float 1/768. Beyond 2^21 periods either way the power is 0 or infinite on every platform.
constexpr int64_t periodReach = int64_t(1) << 21;
double linearExponent(int64_t periods) { return double(periods) * double(1.0f / 768.0f); }

// The period table's exponents: (k - note) / 12 in float, for k 131..133 and every played note
// (an 8-bit note plus an arpeggio of up to 15 semitones), with a margin.
constexpr int32_t lowestNote = -64;
constexpr int32_t highestNote = 320;
float tableExponent(int32_t k, int32_t note) { return float(k - note) * (1.0f / 12.0f); }

// Tempos 1..255 (larger ones play as 255) at every rate up to 96 kHz (the player plays at 44.1).
constexpr uint32_t highestRate = 96000;

template <typename T>
uint64_t bitsOf(T value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    return bits;
}

struct Checksum {
    uint64_t value = 0xcbf29ce484222325ull;
    void add(uint64_t word) {
        for (int i = 0; i < 8; ++i) value = (value ^ ((word >> (8 * i)) & 0xFF)) * 0x100000001b3ull;
    }
};

// The expression the player used to compute, in the x87's 80-bit long double (unused where that is
// not the reference).
[[maybe_unused]] uint32_t longDoubleFramesPerTick(int32_t tempo, uint32_t rate) {
    long double frames = 1000.0L / ((long double)tempo * (long double)0.4f) * (long double)rate * (long double)0.001f;
    return uint32_t(frames);
}

}  // namespace

// The player truncates 8363 Hz times the power to whole hertz within 0..2147483520; glibc's pow is
// within 0.52 units in the last place, not always the nearest double (some 20 of the arguments
// that give 1 Hz or more differ from ours by one unit), but every frequency comes out the same.
TEST(PortablePowers, LinearFrequenciesAreTheRuntimesOnLinux) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "the reference results are glibc's";
#else
    auto hertz = [](double power) {
        double hz = 8363.0 * power;
        return int64_t(hz < 0.0 ? 0.0 : (hz > 2147483520.0 ? 2147483520.0 : hz));
    };
    int64_t differing = 0;
    for (int64_t k = -periodReach; k <= periodReach; ++k)
        differing += hertz(portable::exp2(linearExponent(k))) != hertz(std::pow(2.0, linearExponent(k)));
    EXPECT_EQ(differing, 0);
    for (int64_t k : {int64_t(INT32_MIN), -periodReach - 1, periodReach + 1, int64_t(INT32_MAX)})
        EXPECT_EQ(portable::exp2(linearExponent(k)), std::pow(2.0, linearExponent(k)));
    // One where glibc is a unit off: 2^(637/768) = 1.776979586392341326089..., nearest double
    // 0x1.c6e8225936f77p+0.
    EXPECT_EQ(portable::exp2(linearExponent(637)), 0x1.c6e8225936f77p+0);
#endif
}

TEST(PortablePowers, PeriodTablePowersAreTheRuntimesOnLinux) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "the reference results are glibc's";
#else
    for (int32_t note = lowestNote; note <= highestNote; ++note)
        for (int32_t k = 131; k <= 133; ++k)
            ASSERT_EQ(bitsOf(portable::exp2(tableExponent(k, note))), bitsOf(std::pow(2.0f, tableExponent(k, note))))
                << "note " << note << ", k " << k;
#endif
}

TEST(PortablePowers, FramesPerTickAreTheLongDoubleOnesOnLinux) {
#if !defined(__GLIBC__) || !defined(__x86_64__)
    GTEST_SKIP() << "the reference results are x86-64 Linux's 80-bit long double";
#else
    int64_t differing = 0;
    for (int32_t tempo = 1; tempo <= 255; ++tempo)
        for (uint32_t rate = 1; rate <= highestRate; ++rate)
            differing += Sequencer::framesPerTick(tempo, rate) != longDoubleFramesPerTick(tempo, rate);
    EXPECT_EQ(differing, 0);
    for (int32_t tempo : {256, 1000, 65535, INT32_MAX})
        EXPECT_EQ(Sequencer::framesPerTick(tempo, 44100), longDoubleFramesPerTick(tempo, 44100)) << tempo;
#endif
}

// The same sums on every platform: Linux, Windows (under Wine) and the browser build's players
// all reproduce these.
TEST(PortablePowers, EveryPlatformGivesTheSameResults) {
    Checksum linear, table, ticks;
    for (int64_t k = -periodReach; k <= periodReach; ++k) linear.add(bitsOf(portable::exp2(linearExponent(k))));
    for (int32_t note = lowestNote; note <= highestNote; ++note)
        for (int32_t k = 131; k <= 133; ++k) table.add(bitsOf(portable::exp2(tableExponent(k, note))));
    for (int32_t tempo = 1; tempo <= 255; ++tempo)
        for (uint32_t rate = 1000; rate <= highestRate; rate += 25) ticks.add(Sequencer::framesPerTick(tempo, rate));
    EXPECT_EQ(linear.value, 18139934454193799062u);
    EXPECT_EQ(table.value, 7836867727249702021u);
    EXPECT_EQ(ticks.value, 538562978367656879u);
}
