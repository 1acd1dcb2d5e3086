#include "texture/TextureColour.h"

#include <gtest/gtest.h>

#include "texture/TextureLayer.h"

TEST(TextureColour, GreysHaveNoHue) {
    for (int level : {0, 1, 128, 255}) {
        TextureHsv hsv = rgbToHsv(makePixel(level, level, level, 0xAB));
        EXPECT_EQ(hsv.h, -1.0f);
        EXPECT_EQ(hsv.s, 0.0f);
        EXPECT_EQ(hsv.v, float(level));
        EXPECT_EQ(hsvToRgb(-1.0f, 0.0f, float(level)), makePixel(level, level, level));
    }
    // A grey that gains saturation takes hue -1 + 360 = 359: red at full value, blue just above p.
    uint32_t tinted = hsvToRgb(-1.0f, 0.5f, 200.0f);
    EXPECT_EQ(pixelChannel(tinted, channelRed), 200);
    EXPECT_EQ(pixelChannel(tinted, channelGreen), 100);
    EXPECT_GT(pixelChannel(tinted, channelBlue), 100);
}

TEST(TextureColour, HuesOfThePrimariesAndSecondaries) {
    struct Case {
        uint32_t pixel;
        float hue;
    } cases[] = {
        {makePixel(255, 0, 0), 0.0f},    {makePixel(255, 255, 0), 60.0f}, {makePixel(0, 255, 0), 120.0f},
        {makePixel(0, 255, 255), 180.0f}, {makePixel(0, 0, 255), 240.0f}, {makePixel(255, 0, 255), 300.0f},
    };
    for (const Case& c : cases) {
        TextureHsv hsv = rgbToHsv(c.pixel);
        EXPECT_EQ(hsv.h, c.hue);
        EXPECT_EQ(hsv.s, 1.0f);
        EXPECT_EQ(hsv.v, 255.0f);
        EXPECT_EQ(hsvToRgb(hsv.h, hsv.s, hsv.v), c.pixel);
    }
    // Magenta-ish red (255, 0, 128) has a negative raw hue that is folded up.
    TextureHsv hsv = rgbToHsv(makePixel(255, 0, 128));
    EXPECT_GT(hsv.h, 329.0f);
    EXPECT_LT(hsv.h, 330.0f);
}

TEST(TextureColour, RoundTripStaysWithinOneStep) {
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 13) {
                TextureHsv hsv = rgbToHsv(makePixel(r, g, b));
                uint32_t back = hsvToRgb(hsv.h, hsv.s, hsv.v);
                ASSERT_NEAR(pixelChannel(back, channelRed), r, 1);
                ASSERT_NEAR(pixelChannel(back, channelGreen), g, 1);
                ASSERT_NEAR(pixelChannel(back, channelBlue), b, 1);
            }
}

TEST(TextureColour, OutOfRangeComponentsClamp) {
    EXPECT_EQ(hsvToRgb(0.0f, 0.0f, 400.0f), makePixel(255, 255, 255));
    EXPECT_EQ(hsvToRgb(0.0f, 0.0f, -20.0f), makePixel(0, 0, 0));
    // Saturation above 1 drives p below 0: clamped to 0.
    uint32_t oversaturated = hsvToRgb(240.0f, 1.5f, 200.0f);
    EXPECT_EQ(oversaturated, makePixel(0, 0, 200));
    // Hues a turn or more away fold back.
    EXPECT_EQ(hsvToRgb(480.0f, 1.0f, 255.0f), hsvToRgb(120.0f, 1.0f, 255.0f));
    EXPECT_EQ(hsvToRgb(-240.0f, 1.0f, 255.0f), hsvToRgb(120.0f, 1.0f, 255.0f));
}
