#include "engine/Bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "core/Random.h"
#include "tests/engine/EngineSupport.h"

static bool allPixelsAre(const Bitmap& bitmap, uint32_t value) {
    for (int32_t i = 0; i < bitmap.pixelCount(); ++i)
        if (bitmap.pixels[i] != value) return false;
    return true;
}

TEST(Bitmap, ConstructionAndFills) {
    Bitmap frame(640, 480);
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.height, 480);
    EXPECT_EQ(frame.pixelCount(), 640 * 480);

    frame.fill(0x5A2846);
    EXPECT_TRUE(allPixelsAre(frame, 0x005A2846));
    frame.fill(0xFFFFFFFF);
    EXPECT_TRUE(allPixelsAre(frame, 0xFFFFFFFF));

    frame.fillGrey(1.0f);
    EXPECT_TRUE(allPixelsAre(frame, 0xFFFFFFFF));
    frame.fillGrey(0.5f);  // 127.5 truncates to 127
    EXPECT_TRUE(allPixelsAre(frame, 0x7F7F7F7F));
    frame.fillGrey(0.0f);
    EXPECT_TRUE(allPixelsAre(frame, 0));

    Bitmap odd(3, 5);  // not a multiple of eight pixels
    odd.fill(0x123456);
    EXPECT_TRUE(allPixelsAre(odd, 0x123456));
}

static Bitmap coverageSprite(int32_t width, int32_t height, uint32_t coverage) {
    Bitmap sprite(width, height);
    sprite.fill(coverage * 0x010101);
    return sprite;
}

TEST(Bitmap, TextSpriteBlendArithmetic) {
    Bitmap target(4, 1);
    Bitmap full = coverageSprite(1, 1, 255);
    Bitmap none = coverageSprite(1, 1, 0);
    Bitmap half = coverageSprite(1, 1, 128);

    target.fill(0xAA123456);
    target.drawTextSprite(full, 0, 0, 0xFF8000, 1.0f);  // full coverage and opacity: the colour exactly
    target.drawTextSprite(full, 1, 0, 0xFF8000, 0.0f);  // opacity 0: unchanged but the top byte
    target.drawTextSprite(none, 2, 0, 0xFF8000, 1.0f);  // no coverage: untouched, top byte too
    target.drawTextSprite(half, 3, 0, 0x000000, 1.0f);
    EXPECT_EQ(target.pixels[0], 0x00FF8000u);
    EXPECT_EQ(target.pixels[1], 0x00123456u);
    EXPECT_EQ(target.pixels[2], 0xAA123456u);
    // k = 128 / 255; each channel * (1 - k), truncated: 0x12 -> 8, 0x34 -> 25, 0x56 -> 42.
    EXPECT_EQ(target.pixels[3], 0x0008192Au);

    Bitmap white(1, 1);
    white.fill(0xFFFFFF);
    white.drawTextSprite(full, 0, 0, 0x000000, 1.0f);  // black text on white
    EXPECT_EQ(white.pixels[0], 0u);
}

// The length of [start, start + length) inside [0, limit), in 64 bits, where no placement overflows.
static int64_t overlap(int64_t start, int64_t length, int64_t limit) {
    return std::max<int64_t>(0, std::min(start + length, limit) - std::max<int64_t>(start, 0));
}

TEST(Bitmap, TextSpriteIsClippedAtTheEdges) {
    // Every placement, inside, straddling an edge or a corner, far outside or at the ends of the
    // coordinate range (where x + width no longer fits in 32 bits), writes exactly the pixels where
    // the sprite's rectangle meets the bitmap.
    Bitmap target(8, 8);
    Bitmap sprite = coverageSprite(5, 5, 255);
    for (int32_t x : {-100, -5, -3, 0, 2, 6, 8, 100, INT32_MIN, INT32_MAX - 2, INT32_MAX})
        for (int32_t y : {-5, -4, 0, 3, 7, 8, INT32_MIN, INT32_MAX - 2, INT32_MAX}) {
            target.fill(0);
            target.drawTextSprite(sprite, x, y, 0xFFFFFF, 1.0f);
            int64_t written = 0, stray = 0;
            for (int32_t row = 0; row < 8; ++row)
                for (int32_t column = 0; column < 8; ++column) {
                    if (target.pixels[row * 8 + column] == 0) continue;
                    ++written;
                    bool inside = int64_t(column) >= x && int64_t(column) < int64_t(x) + 5 && int64_t(row) >= y &&
                                  int64_t(row) < int64_t(y) + 5;
                    stray += !inside;
                }
            EXPECT_EQ(written, overlap(x, 5, 8) * overlap(y, 5, 8)) << "at " << x << "," << y;
            EXPECT_EQ(stray, 0) << "at " << x << "," << y;
        }
}

// Sprites with empty, partly and fully covered runs, at any position and opacity: the blend of
// four pixels at a time writes what the blend of one at a time writes.
TEST(Bitmap, TextSpriteBlendsLikeThePlainBlend) {
    rng::srand(5);
    for (int trial = 0; trial < 400; ++trial) {
        int32_t width = 1 + rng::rand() % 45, height = 1 + rng::rand() % 12;
        Bitmap sprite(width, height);
        for (int32_t i = 0; i < sprite.pixelCount(); ++i) {
            int kind = rng::rand() % 4;  // none, full or partial coverage, in runs
            uint32_t coverage = kind == 0 ? 0 : (kind == 1 ? 255 : uint32_t(rng::rand() % 256));
            sprite.pixels[i] = coverage * 0x010101u | uint32_t(rng::rand()) << 24;
        }
        Bitmap fast = randomBitmap(40, 20, uint32_t(trial)), plain = randomBitmap(40, 20, uint32_t(trial));
        int32_t x = rng::rand() % 60 - 20, y = rng::rand() % 30 - 10;
        uint32_t colour = uint32_t(rng::rand()) << 12 ^ uint32_t(rng::rand());
        float opacity = trial % 5 == 0 ? 1.0f : (trial % 5 == 1 ? 0.0f : float(rng::rand()) / 32767.0f);
        fast.drawTextSprite(sprite, x, y, colour, opacity);
        plain.drawTextSpritePlain(sprite, x, y, colour, opacity);
        ASSERT_TRUE(sameBitmap(fast, plain)) << trial;
    }
}
