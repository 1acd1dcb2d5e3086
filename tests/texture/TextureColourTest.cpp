#include "texture/TextureColour.h"

#include <gtest/gtest.h>

#include "texture/TextureLayer.h"

TEST(TextureColour, GreysHaveHueMinusOneAndGainHue359) {
    for (int level : {0, 128, 255}) {
        TextureHsv hsv = rgbToHsv(makePixel(level, level, level, 0xAB));
        EXPECT_EQ(hsv.h, -1.0f);
        EXPECT_EQ(hsv.s, 0.0f);
        EXPECT_EQ(hsv.v, float(level));
        EXPECT_EQ(hsvToRgb(-1.0f, 0.0f, float(level)), makePixel(level, level, level));
    }
    // Saturated, a grey's -1 becomes 359: red at v, green at p, blue a shade above p.
    uint32_t tinted = hsvToRgb(-1.0f, 0.5f, 200.0f);
    EXPECT_EQ(pixelChannel(tinted, channelRed), 200);
    EXPECT_EQ(pixelChannel(tinted, channelGreen), 100);
    EXPECT_GT(pixelChannel(tinted, channelBlue), 100);
}

TEST(TextureColour, SixSectorsRoundTripAndOutOfRangeComponentsClamp) {
    const uint32_t colours[] = {makePixel(255, 0, 0),   makePixel(255, 255, 0), makePixel(0, 255, 0),
                                makePixel(0, 255, 255), makePixel(0, 0, 255),   makePixel(255, 0, 255)};
    for (int i = 0; i < 6; ++i) {
        TextureHsv hsv = rgbToHsv(colours[i]);
        EXPECT_EQ(hsv.h, 60.0f * float(i));
        EXPECT_EQ(hsv.s, 1.0f);
        EXPECT_EQ(hsvToRgb(hsv.h, hsv.s, hsv.v), colours[i]);
    }
    EXPECT_NEAR(rgbToHsv(makePixel(255, 0, 128)).h, 329.9f, 0.1f);  // negative raw hue folded up
    EXPECT_EQ(hsvToRgb(0.0f, 0.0f, 400.0f), makePixel(255, 255, 255));
    EXPECT_EQ(hsvToRgb(0.0f, 0.0f, -20.0f), makePixel(0, 0, 0));
    EXPECT_EQ(hsvToRgb(240.0f, 1.5f, 200.0f), makePixel(0, 0, 200));  // p below 0
    EXPECT_EQ(hsvToRgb(480.0f, 1.0f, 255.0f), colours[2]);
    EXPECT_EQ(hsvToRgb(-240.0f, 1.0f, 255.0f), colours[2]);
}
