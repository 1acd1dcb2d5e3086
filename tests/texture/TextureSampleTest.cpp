#include "texture/TextureSample.h"

#include <gtest/gtest.h>

#include "tests/texture/TextureSupport.h"

TEST(TextureSample, WrapCoordFoldsWithPeriod255) {
    const int cases[][2] = {{-1, 254}, {256, 1}, {255, 255}, {-256, 255}, {0, 0}, {-255, 0}, {511, 256}, {512, 1}};
    for (const auto& c : cases) EXPECT_EQ(wrapCoord(c[0]), c[1]) << c[0];
    for (int v = -510; v <= 510; ++v) ASSERT_TRUE(wrapCoord(v) >= 0 && wrapCoord(v) <= 255) << v;
}

TEST(TextureSample, WeightsComeFromThe65535Scale) {
    // Column c has every byte equal to value(c).
    auto value = [](int column) { return (column * 37 + 11) & 255; };
    auto everyByte = [](int v) { return 0x01010101u * uint32_t(v); };
    OwnedLayer columns;
    for (int i = 0; i < texturePixels; ++i) columns.layer.image[i] = everyByte(value(i & 255));
    const uint32_t* image = columns.layer.image;

    EXPECT_EQ(sampleWrapped(0.0f, 0.0f, image), everyByte(value(0)));
    // 10.5: ix = 128 on column 10, fx = 127 on column 11.
    EXPECT_EQ(sampleWrapped(10.5f, 0.0f, image), everyByte((value(10) * 128 >> 8) + (value(11) * 127 >> 8)));
    // A whole number other than 0 reads 255/256 of the next column, folded past the edges.
    EXPECT_EQ(sampleWrapped(3.0f, 0.0f, image), everyByte(value(4) * 255 >> 8));
    EXPECT_EQ(sampleWrapped(-1.0f, 0.0f, image), everyByte(value(254) * 255 >> 8));
    EXPECT_EQ(sampleWrapped(255.0f, 0.0f, image), everyByte(value(1) * 255 >> 8));

    // Whole rows alike: row y >= 1 reads row wrapCoord(y + 1), every byte scaled on its own.
    OwnedLayer noise;
    fillNoise(noise.layer, 7);
    for (int y = 1; y < textureSize; ++y) {
        uint32_t below = noise.at(0, wrapCoord(y + 1)), expected = 0;
        for (int shift = 0; shift < 32; shift += 8) expected |= ((below >> shift & 255) * 255 >> 8) << shift;
        ASSERT_EQ(sampleWrapped(0.0f, float(y), noise.layer.image), expected) << "row " << y;
    }
}

#if defined(TEXTURE_HAS_SSE2_SAMPLE)
TEST(TextureSample, Sse2MatchesScalarEverywhere) {
    OwnedLayer noise, bright;  // bright pixels make the saturating sums matter
    fillNoise(noise.layer, 99);
    for (int i = 0; i < texturePixels; ++i) bright.layer.image[i] = noise.layer.image[i] | 0xF0F0F0F0u;
    uint32_t state = 12345;
    auto next = [&state]() {  // -383 .. 383
        state = state * 1103515245u + 12345u;
        return float(int(state >> 8 & 0xFFFF) - 32768) / 32768.0f * 383.0f;
    };
    for (int i = 0; i < 200000; ++i) {
        float x = next(), y = next();
        const uint32_t* pixels = (i & 1) ? bright.layer.image : noise.layer.image;
        ASSERT_EQ(sampleWrappedSse2(x, y, pixels), sampleWrappedScalar(x, y, pixels)) << x << ", " << y;
    }
}
#endif
