#include "texture/TextureGenerators.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/Random.h"
#include "tests/texture/TextureSupport.h"

namespace {

int displacement(int range) { return rng::rand() % range - (range >> 1); }

}  // namespace

TEST(TextureFractal, ColourDrawsOneDisplacementPerCellInRowOrder) {
    OwnedLayer fractal;
    genFractalColour(fractal.layer, makePixel(200, 100, 0, 0x5A), 1, 25);

    rng::srand(25);
    int t1 = displacement(256);  // the whole image, one cell
    int t2 = displacement(128);  // level 128, cell (0, 0)
    int t3 = displacement(128);  // level 128, cell (128, 0)
    const int start[3] = {200, 100, 0};
    for (int k = 0; k < 3; ++k) {
        int v1 = clampByte(start[k] + t1);
        EXPECT_EQ(fractal.channel(128, 0, k), v1);
        EXPECT_EQ(fractal.channel(128, 128, k), v1);  // all four corners are pixel (0, 0)
        EXPECT_EQ(fractal.channel(0, 128, k), v1);
        EXPECT_EQ(fractal.channel(64, 0, k), clampByte(((start[k] + v1) >> 1) + t2));
        EXPECT_EQ(fractal.channel(64, 64, k), clampByte(((start[k] + 3 * v1) >> 2) + t2));
        EXPECT_EQ(fractal.channel(0, 64, k), clampByte(((start[k] + v1) >> 1) + t2));
        EXPECT_EQ(fractal.channel(192, 0, k), clampByte(((v1 + start[k]) >> 1) + t3));
        EXPECT_EQ(fractal.channel(192, 64, k), clampByte(((v1 + start[k] + 2 * v1) >> 2) + t3));
    }
    // Only pixel (0, 0) carries the start colour's top byte.
    EXPECT_EQ(pixelChannel(fractal.at(0, 0), 3), 0x5A);
    for (int i = 1; i < texturePixels; ++i) ASSERT_EQ(fractal.layer.image[i] >> 24, 0u) << i;
}

TEST(TextureFractal, GradientDrawsThreeDisplacementsPerCellThenMaps) {
    OwnedLayer fractal;
    genFractalGradient(fractal.layer, TextureRgb{10, 0, 250}, TextureRgb{0, 255, 100}, 1, -3);

    rng::srand(uint32_t(-3));
    int top = clampByte(128 + displacement(256));
    int centre = clampByte(128 + displacement(256));
    int left = clampByte(128 + displacement(256));
    auto mapped = [](int red, int base, int range) {
        return clampByte(base + int(float(range) * (float(red) * (1.0f / 255.0f))));
    };
    struct Point {
        int x, y, red;
    } points[] = {{0, 0, 128}, {128, 0, top}, {128, 128, centre}, {0, 128, left}};
    for (const Point& p : points) {
        EXPECT_EQ(fractal.channel(p.x, p.y, channelRed), 10) << p.x << "," << p.y;
        EXPECT_EQ(fractal.channel(p.x, p.y, channelGreen), mapped(p.red, 0, 255)) << p.x << "," << p.y;
        EXPECT_EQ(fractal.channel(p.x, p.y, channelBlue), mapped(p.red, 250, 100)) << p.x << "," << p.y;
    }
    // The three points differ with this seed, so a swapped draw order would show.
    EXPECT_FALSE(top == centre && centre == left);
}

TEST(TextureFractal, ZeroRoughnessGivesAFlatPicture) {
    OwnedLayer colour, gradient;
    genFractalColour(colour.layer, makePixel(12, 34, 56, 0x77), 0, 5);
    genFractalGradient(gradient.layer, TextureRgb{1, 2, 3}, TextureRgb{255, 255, 255}, 0, 5);
    uint32_t grey = gradient.at(0, 0);
    EXPECT_EQ(pixelChannel(grey, channelRed), 1 + int(255.0f * (128.0f * (1.0f / 255.0f))));
    for (int i = 1; i < texturePixels; ++i) {
        ASSERT_EQ(colour.layer.image[i], makePixel(12, 34, 56)) << i;
        ASSERT_EQ(gradient.layer.image[i], grey) << i;
    }
}

TEST(TextureTiles, ColumnMajorTilesWithScaledLimits) {
    OwnedLayer tiles;
    genRandomTiles(tiles.layer, 2, 2, 25, 51, 76, 9);
    rng::srand(9);
    for (int tx = 0; tx < 256; tx += 2) {
        for (int ty = 0; ty < 256; ty += 2) {
            int red = rng::rand() % 49, green = rng::rand() % 101, blue = rng::rand() % 150;
            uint32_t colour = makePixel(red, green, blue, 0);
            ASSERT_EQ(tiles.at(tx, ty), colour) << tx << "," << ty;
            ASSERT_EQ(tiles.at(tx + 1, ty), colour);
            ASSERT_EQ(tiles.at(tx, ty + 1), colour);
            ASSERT_EQ(tiles.at(tx + 1, ty + 1), colour);
        }
    }
}

TEST(TextureTiles, OddSizesStopAtTheEdgeAndDegenerateSizesDrawNothing) {
    OwnedLayer tiles;
    // 3 x 100: 86 tile columns of 3 tiles each (the last ones cut to 1 column and 56 rows).
    genRandomTiles(tiles.layer, 3, 100, 129, 129, 129, 4);
    rng::srand(4);
    uint32_t last = 0;
    for (int i = 0; i < 86 * 3; ++i) {
        int red = rng::rand() % 255, green = rng::rand() % 255, blue = rng::rand() % 255;
        last = makePixel(red, green, blue);
    }
    EXPECT_EQ(tiles.at(255, 255), last);
    EXPECT_EQ(tiles.at(255, 200), last);
    EXPECT_NE(tiles.at(254, 199), last);

    for (int size : {0, -2}) {
        OwnedLayer untouched;
        fillNoise(untouched.layer, 3);
        OwnedLayer reference;
        fillNoise(reference.layer, 3);
        genRandomTiles(untouched.layer, size, 4, 10, 10, 10, 1);
        genRandomTiles(untouched.layer, 4, size, 10, 10, 10, 1);
        for (int i = 0; i < texturePixels; ++i) ASSERT_EQ(untouched.layer.image[i], reference.layer.image[i]);
    }
}

TEST(TextureTiles, LimitsThatComeToZeroGiveZero) {
    OwnedLayer tiles;
    // 0 -> modulus 0, 130 -> trunc(257.97) mod 256 = 1: both give 0; green still varies.
    genRandomTiles(tiles.layer, 16, 16, 0, 200, 130, 2);
    bool greenVaries = false;
    for (int i = 0; i < texturePixels; ++i) {
        ASSERT_EQ(pixelChannel(tiles.layer.image[i], channelRed), 0);
        ASSERT_EQ(pixelChannel(tiles.layer.image[i], channelBlue), 0);
        greenVaries |= pixelChannel(tiles.layer.image[i], channelGreen) != pixelChannel(tiles.layer.image[0], channelGreen);
    }
    EXPECT_TRUE(greenVaries);
    // The red draw still happens: green matches the second value of every triple.
    rng::srand(2);
    rng::rand();
    int modulus = int(200 * 1.984375) & 255;
    EXPECT_EQ(tiles.channel(0, 0, channelGreen), rng::rand() % modulus);
}

TEST(TextureGenerators, SinePlasmaFollowsTheSineSumAndKeepsSpareBytes) {
    OwnedLayer plasma;
    fillNoise(plasma.layer, 11);
    OwnedLayer before;
    fillNoise(before.layer, 11);
    genSinePlasma(plasma.layer, TextureRgb{255, 128, 5}, 3, -7);
    const int colour[3] = {255, 128, 5};
    const double pi = 3.14159265358979323846;
    for (int y = 0; y < 256; y += 5) {
        for (int x = 0; x < 256; x += 3) {
            for (int k = 0; k < 3; ++k) {
                double value = (std::sin(y * -7 * pi / 128) + std::sin(x * 3 * pi / 128)) * (colour[k] >> 2) +
                               (colour[k] >> 1);
                ASSERT_NEAR(plasma.channel(x, y, k), value, 1.01) << x << "," << y << " channel " << k;
            }
            ASSERT_EQ(plasma.at(x, y) >> 24, before.at(x, y) >> 24);
        }
    }
    clearLayer(plasma.layer);
    genSinePlasma(plasma.layer, TextureRgb{255, 128, 5}, 0, 0);
    for (int i = 0; i < texturePixels; ++i) ASSERT_EQ(plasma.layer.image[i], makePixel(127, 64, 2));
}
