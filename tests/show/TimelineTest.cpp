#include "show/Timeline.h"

#include <gtest/gtest.h>

#include <vector>

// A song position that answers from a script, one reading per call, repeating the last value.
static std::vector<int32_t> scriptedOrders;
static size_t readings = 0;

static int32_t readScriptedOrder(const Module*) {
    int32_t order = scriptedOrders[std::min(readings, scriptedOrders.size() - 1)];
    ++readings;
    return order;
}

static TimelineSlot slotFor(std::vector<int32_t> orders) {
    scriptedOrders = std::move(orders);
    readings = 0;
    return pickTimelineSlot(readScriptedOrder, nullptr);
}

TEST(Timeline, EachOrderPositionHasItsSlot) {
    const TimelineSlot expected[] = {TimelineSlot::Title,         TimelineSlot::Title,   TimelineSlot::Cube,
                                     TimelineSlot::Ring,          TimelineSlot::Ring,    TimelineSlot::ParticleCloud,
                                     TimelineSlot::ParticleCloud, TimelineSlot::Credits, TimelineSlot::Credits,
                                     TimelineSlot::Fade,          TimelineSlot::Nothing, TimelineSlot::Nothing};
    for (int32_t order = 0; order < 12; ++order) EXPECT_EQ(slotFor({order}), expected[order]) << order;
    EXPECT_EQ(slotFor({255}), TimelineSlot::Nothing);
}

TEST(Timeline, ThePositionIsReadAgainForEveryComparison) {
    // The first reading (2) fails "below 2"; the position then moves on to 5 before the next reading,
    // which fails "below 3" and "below 5" and lands in the particle cloud's range.
    EXPECT_EQ(slotFor({2, 5}), TimelineSlot::ParticleCloud);
    EXPECT_EQ(readings, 4u);
    // Order 8 changing to 9 between the comparisons: the credits' test sees 9 and the fade takes it.
    EXPECT_EQ(slotFor({8, 8, 8, 8, 9}), TimelineSlot::Fade);
    // The title's test is made once.
    EXPECT_EQ(slotFor({1, 7}), TimelineSlot::Title);
    EXPECT_EQ(readings, 1u);
}

TEST(Timeline, TheFadeFallsByTimeStepAndStopsAtExactlyZero) {
    EXPECT_FLOAT_EQ(nextFadeLevel(1.0f, 0.0f), 1.0f);
    EXPECT_FLOAT_EQ(nextFadeLevel(1.0f, 1.0f), 1.0f - 0.0025f);
    EXPECT_EQ(nextFadeLevel(0.001f, 1.0f), 0.0f);
    EXPECT_EQ(nextFadeLevel(1.0f, 1e9f), 0.0f);

    // At a steady 60 frames per second (time step 1) the fade takes 400 frames, about 6.7 s.
    float level = 1.0f;
    int frames = 0;
    while (level != 0.0f && frames < 1000) {
        level = nextFadeLevel(level, 1.0f);
        ++frames;
    }
    EXPECT_GE(frames, 400);
    EXPECT_LE(frames, 401);
}
