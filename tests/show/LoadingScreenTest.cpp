#include "show/LoadingScreen.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/Random.h"
#include "engine/Bitmap.h"

namespace {

// A stand-in caption: full coverage over its first 100 columns, empty to the right, like a
// TextSprite that is wider than its text.
struct CaptionFixture : ::testing::Test {
    Bitmap caption{150, 20};
    Bitmap target{640, 480};
    void SetUp() override {
        caption.fill(0);
        for (int32_t y = 0; y < caption.height; ++y)
            for (int32_t x = 0; x < 100; ++x) caption.pixels[y * caption.width + x] = 0xFFFFFF;
        LoadingScreen::caption = &caption;
    }
    void TearDown() override { LoadingScreen::caption = nullptr; }
    uint32_t at(int32_t x, int32_t y) const { return target.pixels[y * target.width + x]; }
};

const int32_t lightLeft[3] = {282, 297, 312};

}  // namespace

TEST_F(CaptionFixture, DrawsTheCaptionAndTheRandomLightsOnBlack) {
    bool rightLightSeen = false;
    for (uint32_t seed : {1u, 2u, 3u, 77u, 1234u}) {
        rng::srand(seed);
        bool lit[3];
        for (bool& light : lit) light = rng::rand() & 1;  // left, middle, right
        rng::srand(seed);
        target.fill(0x123456);
        LoadingScreen::draw(&target);

        int32_t white = 0, other = 0;
        int32_t lightsEnd = -1, captionStart = 640;  // as drawn: the last light column, the first caption column
        for (int32_t y = 0; y < 480; ++y)
            for (int32_t x = 0; x < 640; ++x) {
                uint32_t pixel = at(x, y);
                bool inCaption = x >= 335 && x < 435 && y >= 291 && y < 311;
                bool inLight = false;
                for (int i = 0; i < 3; ++i)
                    inLight |= lit[i] && x >= lightLeft[i] && x < lightLeft[i] + 10 && y >= 296 && y < 306;
                if (pixel == 0xFFFFFFFFu) lightsEnd = std::max(lightsEnd, x);
                if (pixel == 0x00FFFFFFu) captionStart = std::min(captionStart, x);
                if (inLight) {
                    EXPECT_EQ(pixel, 0xFFFFFFFFu) << x << "," << y;
                    ++white;
                } else if (inCaption) {
                    EXPECT_EQ(pixel, 0x00FFFFFFu) << x << "," << y;
                } else if (pixel != 0) {
                    ++other;
                }
            }
        EXPECT_EQ(other, 0) << "seed " << seed;
        EXPECT_EQ(white, 100 * (lit[0] + lit[1] + lit[2]));
        // The lights end left of the caption's first column, with a gap between: neither covers
        // the other.
        EXPECT_LT(lightsEnd + 1, captionStart) << "seed " << seed;
        rightLightSeen |= lit[2];
    }
    EXPECT_TRUE(rightLightSeen) << "no seed lights the light nearest the caption";
}

TEST_F(CaptionFixture, EveryPatternOfLightsTurnsUp) {
    rng::srand(5);
    bool seen[8] = {};
    for (int step = 0; step < 200; ++step) {
        LoadingScreen::draw(&target);
        int pattern = (at(282, 296) != 0) | (at(297, 296) != 0) << 1 | (at(312, 296) != 0) << 2;
        seen[pattern] = true;
    }
    for (bool patternSeen : seen) EXPECT_TRUE(patternSeen);
}
