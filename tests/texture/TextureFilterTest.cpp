#include "texture/TextureFilters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/texture/TextureSupport.h"
#include "texture/TextureColour.h"
#include "texture/TextureSample.h"

namespace {

bool sameImage(const TextureLayer& a, const TextureLayer& b) {
    return std::memcmp(a.image, b.image, texturePixels * sizeof(uint32_t)) == 0;
}

}  // namespace

// The reference walks one channel at a time, in place: left and upper neighbours already hold
// this pass's values, right and lower ones do not.
TEST(TextureBlur, MatchesAPlainInPlacePerChannelBlur) {
    OwnedLayer noise;
    fillNoise(noise.layer, 21);
    static uint8_t channels[3][256][256];
    for (int k = 0; k < 3; ++k)
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) channels[k][y][x] = uint8_t(noise.channel(x, y, k));
    for (int pass = 0; pass < 3; ++pass)
        for (int k = 0; k < 3; ++k)
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x) {
                    auto& c = channels[k];
                    c[y][x] = uint8_t((c[y][wrapCoord(x - 1)] + c[wrapCoord(y + 1)][x] + c[wrapCoord(y - 1)][x] +
                                       c[y][wrapCoord(x + 1)]) >>
                                      2);
                }
    blurPasses(noise.layer, 3);
    for (int k = 0; k < 3; ++k)
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) ASSERT_EQ(noise.channel(x, y, k), channels[k][y][x]) << x << "," << y;
}

TEST(TextureFilters, InvertBySelectorAndEmptyBlurs) {
    OwnedLayer noise, reference;
    fillNoise(noise.layer, 8);
    fillNoise(reference.layer, 8);
    invertChannels(noise.layer, 5);
    invertChannels(noise.layer, 0);
    blurPasses(noise.layer, 0);
    blurPasses(noise.layer, -4);
    EXPECT_TRUE(sameImage(noise.layer, reference.layer));
    invertChannels(noise.layer, 2);
    for (int i = 0; i < texturePixels; ++i) ASSERT_EQ(noise.layer.image[i], reference.layer.image[i] ^ 0x0000FF00u);
    invertChannels(noise.layer, 2);
    invertChannels(noise.layer, 4);
    for (int i = 0; i < texturePixels; ++i) ASSERT_EQ(noise.layer.image[i], reference.layer.image[i] ^ 0x00FFFFFFu);
}

TEST(TextureFilters, HsvShifts) {
    OwnedLayer layer;
    layer.at(0, 0) = makePixel(255, 0, 0);
    layer.at(1, 0) = makePixel(90, 90, 90);
    shiftHue(layer.layer, 2);
    // 2 * 2.8125 = 5.625 truncates to 5 degrees: green = trunc(255 * 5 / 60) = 21 (not 23).
    EXPECT_EQ(layer.at(0, 0), makePixel(255, 21, 0));
    EXPECT_EQ(layer.at(1, 0), makePixel(90, 90, 90));

    shiftSaturation(layer.layer, 0.5f);
    // The grey takes hue 359: (v, p, a shade above p).
    EXPECT_EQ(layer.channel(1, 0, channelRed), 90);
    EXPECT_EQ(layer.channel(1, 0, channelGreen), 45);
    EXPECT_EQ(layer.channel(1, 0, channelBlue), 45);

    layer.at(2, 0) = makePixel(200, 100, 50);
    shiftValue(layer.layer, 100);
    EXPECT_EQ(layer.channel(2, 0, channelRed), 255);
    EXPECT_EQ(layer.channel(2, 0, channelGreen), 150);
    EXPECT_EQ(layer.channel(2, 0, channelBlue), 75);
}

TEST(TextureFilters, EmbossShadesEdgesWithWrapping) {
    OwnedLayer edge;
    for (int y = 0; y < 256; ++y)
        for (int x = 128; x < 256; ++x) edge.at(x, y) = makePixel(200, 200, 200);
    embossShade(edge.layer);
    int flat = int(128.0f * (1.0f / 255.0f) * 200.0f);
    for (int y : {0, 100, 255}) {
        EXPECT_EQ(edge.at(127, y), makePixel(0, 0, 0));        // own value 0
        EXPECT_EQ(edge.at(128, y), makePixel(200, 200, 200));  // e = 255
        EXPECT_EQ(edge.at(129, y), makePixel(flat, flat, flat));
        EXPECT_EQ(edge.at(255, y), makePixel(0, 0, 0));  // right neighbour folds to column 1: e = 0
    }
}

TEST(TextureFilters, ReliefAndAddColourClamp) {
    OwnedLayer ramp;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) ramp.at(x, y) = makePixel(x, 50, 254);
    relief(ramp.layer, 2);
    // Column 0's left neighbour is column 254: d = 2 * (0 - 254).
    EXPECT_EQ(ramp.at(0, 9), makePixel(0, 0, 0));
    EXPECT_EQ(ramp.at(1, 9), makePixel(3, 52, 255));
    EXPECT_EQ(ramp.at(255, 9), makePixel(255, 52, 255));
    addColour(ramp.layer, -10, 300, 1);
    EXPECT_EQ(ramp.at(1, 9), makePixel(0, 255, 255));
    EXPECT_EQ(ramp.at(200, 9), makePixel(192, 255, 255));
}

TEST(TextureWarp, SwirlIsCentredOnTheMiddleAndReadsAroundTheCorner) {
    OwnedLayer noise, original;
    fillNoise(noise.layer, 31);
    fillNoise(original.layer, 31);
    swirl(noise.layer, 0);
    for (int v = -128; v < 128; v += 7)
        for (int u = -128; u < 128; u += 5)
            ASSERT_EQ(noise.at(u + 128, v + 128), sampleWrapped(float(u), float(v), original.layer.image));
    fillNoise(noise.layer, 31);
    swirl(noise.layer, 90);
    EXPECT_EQ(noise.at(128, 128), original.at(0, 0));
    EXPECT_NE(noise.at(200, 128), sampleWrapped(72.0f, 0.0f, original.layer.image));
}

// The turn grows with the distance from the centre, pi * r / 128 * amount degrees, and runs from
// +u towards +v: a wrong sign, unit or radius would read other pixels.
TEST(TextureWarp, SwirlTurnsEachPointByItsDistanceInDegrees) {
    OwnedLayer noise, original;
    fillNoise(noise.layer, 32);
    fillNoise(original.layer, 32);
    const int amount = 45;
    swirl(noise.layer, amount);
    const double pi = 3.14159265358979323846;
    const int points[][2] = {{30, 0}, {0, -50}, {-90, 77}, {101, 101}, {-128, -128}, {5, -7}};
    for (const auto& point : points) {
        int u = point[0], v = point[1];
        double radians = pi * std::sqrt(double(u * u + v * v)) / 128.0 * amount * pi / 180.0;
        float su = float(u * std::cos(radians) - v * std::sin(radians));
        float sv = float(u * std::sin(radians) + v * std::cos(radians));
        // Up to float rounding of the position: the read lands within a hair of (su, sv).
        uint32_t got = noise.at(u + 128, v + 128);
        bool near = false;
        for (float du : {-0.01f, 0.0f, 0.01f})
            for (float dv : {-0.01f, 0.0f, 0.01f}) near |= got == sampleWrapped(su + du, sv + dv, original.layer.image);
        EXPECT_TRUE(near) << u << "," << v;
    }
}

TEST(TextureWarp, RowPassThenColumnPassWithAccumulatedPhases) {
    OwnedLayer noise, expected;
    fillNoise(noise.layer, 41);
    uint32_t* rows = new uint32_t[texturePixels];
    const float pi = 3.14159265358979323846f;
    float phase = 1.0f;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x)
            rows[y * 256 + x] = sampleWrapped(float(x) + 4.0f * std::sin(phase), float(y), noise.layer.image);
        phase += 3.0f * pi / 128.0f;
    }
    phase = -2.0f;
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 256; ++y)
            expected.at(x, y) = sampleWrapped(float(x), float(y) - 7.0f * std::sin(phase), rows);
        phase += -5.0f * pi / 128.0f;
    }
    delete[] rows;
    sineWarp(noise.layer, 3, -5, 4, -7, 1, -2);
    EXPECT_TRUE(sameImage(noise.layer, expected.layer));
}
