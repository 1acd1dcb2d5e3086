#include "core/Random.h"

#include <gtest/gtest.h>

// The first values of the classic runtime sequence for the default seed 1 and for seed 0, as any
// program built against that runtime prints them.
TEST(Random, FollowsTheRuntimeSequence) {
    rng::srand(1);
    EXPECT_EQ(rng::rand(), 41);
    EXPECT_EQ(rng::rand(), 18467);
    EXPECT_EQ(rng::rand(), 6334);
    EXPECT_EQ(rng::rand(), 26500);
    rng::srand(0);
    EXPECT_EQ(rng::rand(), 38);
    EXPECT_EQ(rng::rand(), 7719);
}

TEST(Random, ReseedingRestartsAndResultsStayIn15Bits) {
    rng::srand(12345);
    int first[8];
    for (int& value : first) value = rng::rand();
    rng::srand(12345);
    for (int value : first) EXPECT_EQ(rng::rand(), value);
    for (int i = 0; i < 100000; ++i) {
        int value = rng::rand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, rng::randMax);
    }
}
