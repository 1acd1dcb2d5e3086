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

TEST(TextureTiles, OddSizesStopAtTheEdgeAndDegenerateOnesAreSafe) {
    OwnedLayer tiles;
    // 3 x 100: 86 tile columns of 3 tiles (the last ones 1 column wide and 56 rows high); a limit
    // of 0 (modulus 0) and of 130 (modulus 1) give 0, and their draws still happen.
    genRandomTiles(tiles.layer, 3, 100, 0, 129, 130, 4);
    rng::srand(4);
    uint32_t first = 0, last = 0;
    for (int i = 0; i < 86 * 3; ++i) {
        rng::rand();
        last = makePixel(0, rng::rand() % 255, 0);
        rng::rand();
        if (i == 0) first = last;
    }
    EXPECT_EQ(tiles.at(0, 0), first);
    EXPECT_EQ(tiles.at(255, 255), last);
    EXPECT_EQ(tiles.at(255, 200), last);
    EXPECT_NE(tiles.at(254, 199), last);

    // Sizes of 0 or less draw nothing.
    OwnedLayer untouched;
    genRandomTiles(untouched.layer, 0, 4, 10, 10, 10, 1);
    genRandomTiles(untouched.layer, 4, -2, 10, 10, 10, 1);
    for (int i = 0; i < texturePixels; ++i) ASSERT_EQ(untouched.layer.image[i], 0u);
}

TEST(TextureGenerators, SinePlasmaFollowsTheSineSumAndKeepsSpareBytes) {
    OwnedLayer plasma;
    fillNoise(plasma.layer, 11);
    uint32_t spare = plasma.at(9, 9) >> 24;
    genSinePlasma(plasma.layer, TextureRgb{255, 128, 5}, 3, -7);
    EXPECT_EQ(plasma.at(9, 9) >> 24, spare);
    const int colour[3] = {255, 128, 5};
    const double pi = 3.14159265358979323846;
    for (int y = 0; y < 256; y += 5)
        for (int x = 0; x < 256; x += 3)
            for (int k = 0; k < 3; ++k) {
                double value =
                    (std::sin(y * -7 * pi / 128) + std::sin(x * 3 * pi / 128)) * (colour[k] >> 2) + (colour[k] >> 1);
                ASSERT_NEAR(plasma.channel(x, y, k), value, 1.01) << x << "," << y << " channel " << k;
            }
}
