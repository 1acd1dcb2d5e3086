#include "texture/TextureCombine.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/texture/TextureSupport.h"

TEST(TextureCombine, MultiplyBrightensWithANegativeFactor) {
    OwnedLayer layer, source;
    for (int i = 0; i < texturePixels; ++i) {
        layer.layer.image[i] = makePixel(i & 255, (i >> 8) & 255, 77, 0x3C);
        source.layer.image[i] = makePixel(0, 0, 255);  // white only when read as blue grey
    }
    multiplyLayers(layer.layer, source.layer, -78 * 0.01f, 4, 3);
    for (int i = 0; i < texturePixels; ++i) {
        int red = i & 255, green = (i >> 8) & 255;
        for (auto [k, before] : {std::pair{channelRed, red}, {channelGreen, green}, {channelBlue, 77}}) {
            int after = pixelChannel(layer.layer.image[i], k);
            if (before * 1.78 >= 256.0)
                ASSERT_EQ(after, 255);
            else
                ASSERT_NEAR(after, before * 1.78, 1.0) << before;
        }
        ASSERT_EQ(layer.layer.image[i] >> 24, 0x3Cu);
    }
    // Read as red grey the source is black: a plain multiply (factor 0) of the green channel only.
    multiplyLayers(layer.layer, source.layer, 0.0f, 2, 1);
    EXPECT_EQ(pixelChannel(layer.layer.image[0x4010], channelGreen), 0);
    EXPECT_EQ(pixelChannel(layer.layer.image[0x4010], channelRed), int(16 * 1.78));
}

TEST(TextureCombine, MixWeighsEachSideAndClamps) {
    OwnedLayer layer, source;
    layer.at(0, 0) = makePixel(100, 200, 10);
    source.at(0, 0) = makePixel(100, 200, 20);
    mixLayers(layer.layer, source.layer, 50 * 0.01f, 85 * 0.01f, 4, 4);
    EXPECT_EQ(layer.at(0, 0), makePixel(50 + 85, 255, 5 + 17));
    // Green grey into the red channel only.
    layer.at(1, 0) = makePixel(40, 40, 40);
    source.at(1, 0) = makePixel(0, 100, 0);
    mixLayers(layer.layer, source.layer, 1.0f, -0.5f, 1, 2);
    EXPECT_EQ(layer.at(1, 0), makePixel(40 - 50 < 0 ? 0 : 40 - 50, 40, 40));
}

TEST(TextureCombine, RemapReadsTheOldFirstRow) {
    OwnedLayer layer, source;
    for (int x = 0; x < 256; ++x) layer.at(x, 0) = makePixel(255 - x, x, x / 2);
    fillNoise(source.layer, 17);
    uint32_t table[256];
    std::memcpy(table, layer.layer.image, sizeof table);
    remapThroughLayer(layer.layer, source.layer, 4, 4);
    for (int i = 0; i < texturePixels; ++i) {
        uint32_t s = source.layer.image[i];
        uint32_t expected =
            makePixel(pixelChannel(table[pixelChannel(s, 0)], 0), pixelChannel(table[pixelChannel(s, 1)], 1),
                      pixelChannel(table[pixelChannel(s, 2)], 2));
        ASSERT_EQ(layer.layer.image[i] & 0xFFFFFFu, expected) << i;
    }
    // The layer as its own source, only blue changed, source read as red grey. (55, 0) is remapped
    // before (200, 0) looks it up, and the lookup must still see its old blue.
    OwnedLayer self;
    for (int x = 0; x < 256; ++x) self.at(x, 0) = makePixel(255 - x, 0, x);
    self.at(3, 7) = makePixel(10, 20, 30);
    remapThroughLayer(self.layer, self.layer, 3, 1);
    EXPECT_EQ(self.at(3, 7), makePixel(10, 20, 10));
    EXPECT_EQ(self.at(55, 0), makePixel(200, 0, 200));
    EXPECT_EQ(self.at(200, 0), makePixel(55, 0, 55));
}

TEST(TextureCombine, SelectorsOutsideTheirRangeChangeNothing) {
    OwnedLayer layer, source, reference;
    fillNoise(layer.layer, 1);
    fillNoise(reference.layer, 1);
    fillNoise(source.layer, 2);
    for (int bad : {0, 5, 200}) {
        remapThroughLayer(layer.layer, source.layer, 4, bad);
        remapThroughLayer(layer.layer, source.layer, bad, 4);
        mixLayers(layer.layer, source.layer, 0.5f, 0.5f, 4, bad);
        mixLayers(layer.layer, source.layer, 0.5f, 0.5f, bad, 1);
        multiplyLayers(layer.layer, source.layer, 0.2f, 4, bad);
        multiplyLayers(layer.layer, source.layer, 0.2f, bad, 3);
    }
    EXPECT_EQ(std::memcmp(layer.layer.image, reference.layer.image, texturePixels * 4), 0);
}

TEST(TextureCombine, CopyAndPack) {
    OwnedLayer layer, source;
    fillNoise(source.layer, 6);
    packLayer(source.layer);
    EXPECT_EQ(source.layer.packed[0],
              (source.at(0, 0) & 0xFF) << 16 | (source.at(0, 0) & 0xFF00) | (source.at(0, 0) >> 16 & 0xFF));
    copyLayer(layer.layer, source.layer);
    copyLayer(layer.layer, layer.layer);
    EXPECT_EQ(std::memcmp(layer.layer.image, source.layer.image, texturePixels * 4), 0);
    EXPECT_EQ(std::memcmp(layer.layer.packed, source.layer.packed, texturePixels * 4), 0);
    for (int i = 0; i < texturePixels; ++i) ASSERT_EQ(layer.layer.packed[i] >> 24, 0u);
}
