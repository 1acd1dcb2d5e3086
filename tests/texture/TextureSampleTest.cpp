#include "texture/TextureSample.h"

#include <gtest/gtest.h>

#include "tests/texture/TextureSupport.h"

TEST(TextureWrap, FoldsWithPeriod255) {
    EXPECT_EQ(wrapCoord(-1), 254);
    EXPECT_EQ(wrapCoord(256), 1);
    EXPECT_EQ(wrapCoord(255), 255);
    EXPECT_EQ(wrapCoord(-256), 255);
    EXPECT_EQ(wrapCoord(0), 0);
    EXPECT_EQ(wrapCoord(-255), 0);
    EXPECT_EQ(wrapCoord(511), 256);  // still in the second band: 511 - 255
    EXPECT_EQ(wrapCoord(512), 1);
    for (int v = -510; v <= 510; ++v) {
        int folded = wrapCoord(v);
        ASSERT_GE(folded, 0) << v;
        ASSERT_LE(folded, 255) << v;
    }
    EXPECT_EQ(clampByte(-7), 0);
    EXPECT_EQ(clampByte(300), 255);
    EXPECT_EQ(clampByte(99), 99);
}

namespace {

// An image whose column c has every byte equal to columnValue(c).
int columnValue(int column) { return (column * 37 + 11) & 255; }

void fillColumns(TextureLayer& layer) {
    for (int y = 0; y < textureSize; ++y)
        for (int x = 0; x < textureSize; ++x) layer.image[y * textureSize + x] = 0x01010101u * uint32_t(columnValue(x));
}

uint32_t everyByte(int value) { return 0x01010101u * uint32_t(value); }

}  // namespace

TEST(TextureSample, WeightsComeFromThe65535Scale) {
    OwnedLayer columns;
    fillColumns(columns.layer);
    // x = 0 returns column 0 unchanged.
    EXPECT_EQ(sampleWrapped(0.0f, 0.0f, columns.layer.image), everyByte(columnValue(0)));
    // x = 10.5: fx = 127 on column 11, ix = 128 on column 10.
    int expected = (columnValue(10) * 128 >> 8) + (columnValue(11) * 127 >> 8);
    EXPECT_EQ(sampleWrapped(10.5f, 0.0f, columns.layer.image), everyByte(expected));
    // A whole number other than 0 reads 255/256 of the next column.
    EXPECT_EQ(sampleWrapped(3.0f, 0.0f, columns.layer.image), everyByte(columnValue(4) * 255 >> 8));
    // x = -1 reads 255/256 of column 254 (trunc(-1) folds to 254; the weight sits on it).
    EXPECT_EQ(sampleWrapped(-1.0f, 0.0f, columns.layer.image), everyByte(columnValue(254) * 255 >> 8));
    // Past the right edge: x = 255.0 reads 255/256 of column wrapCoord(256) = 1.
    EXPECT_EQ(sampleWrapped(255.0f, 0.0f, columns.layer.image), everyByte(columnValue(1) * 255 >> 8));
}

TEST(TextureSample, WholeRowsReadTheNextRow) {
    OwnedLayer noise;
    fillNoise(noise.layer, 7);
    for (int y = 1; y < textureSize; ++y) {
        uint32_t below = noise.at(0, wrapCoord(y + 1));
        uint32_t expected = 0;
        for (int shift = 0; shift < 32; shift += 8) expected |= ((below >> shift & 255) * 255 >> 8) << shift;
        ASSERT_EQ(sampleWrapped(0.0f, float(y), noise.layer.image), expected) << "row " << y;
    }
}

#if defined(TEXTURE_HAS_SSE2_SAMPLE)
TEST(TextureSample, Sse2MatchesScalarEverywhere) {
    OwnedLayer noise;
    fillNoise(noise.layer, 99);
    // Bright images make the saturating sums matter.
    OwnedLayer bright;
    for (int i = 0; i < texturePixels; ++i) bright.layer.image[i] = noise.layer.image[i] | 0xF0F0F0F0u;
    uint32_t state = 12345;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return float(int(state >> 8 & 0xFFFF) - 32768) / 32768.0f;  // -1 .. 1
    };
    for (int i = 0; i < 200000; ++i) {
        float x = next() * 383.0f, y = next() * 383.0f;
        const uint32_t* pixels = (i & 1) ? bright.layer.image : noise.layer.image;
        ASSERT_EQ(sampleWrappedSse2(x, y, pixels), sampleWrappedScalar(x, y, pixels)) << x << ", " << y;
    }
    for (int x = -383; x <= 383; ++x)
        ASSERT_EQ(sampleWrappedSse2(float(x), 7.25f, bright.layer.image),
                  sampleWrappedScalar(float(x), 7.25f, bright.layer.image));
}
#endif
