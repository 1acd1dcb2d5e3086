#include <gtest/gtest.h>

#include "engine/Draw2D.h"
#include "tests/engine/EngineSupport.h"

TEST(BlendPixel, PerLaneWeightsOutOf256) {
    EXPECT_EQ(blendPixel(0x00FFFFFF, 0, 255), 0u);
    EXPECT_EQ(blendPixel(0, 0x00FFFFFF, 255), 0x00FEFEFEu);
    EXPECT_EQ(blendPixel(0xFFFFFFFF, 0xFFFFFFFF, 100), 0xFDFDFDFDu);  // blending with itself darkens: 154 + 99
    // Lanes are independent: 0x80 * 155 >> 8 = 77, 0x40 * 100 >> 8 = 25, and so on.
    EXPECT_EQ(blendPixel(0x80000080, 0x00400040, 100), 0x4D190066u);
    EXPECT_EQ(blendPixel(0x12345678, 0x9ABCDEF0, 300), blendPixel(0x12345678, 0x9ABCDEF0, 255));
}

TEST(RadialSmear, WeightZeroStillDarkensEveryPixel) {
    Bitmap frame(64, 48);
    frame.fill(0x80800101);
    radialSmear(frame, 32, 24, 0.04f, 0.0f);
    EXPECT_EQ(countNot(frame, 0x7F7F0000), 0);
}

TEST(RadialSmear, WorksInPlaceOutwardFromTheCentre) {
    // One row, centre column 0: column c reads column c - floor(c * 0.5) of the same row, which
    // for c >= 2 has already been smeared. Weight 255 takes (source * 255) >> 8.
    const uint32_t start[8] = {200, 100, 50, 30, 20, 10, 5, 1};
    const uint32_t expected[8] = {199, 99, 98, 97, 97, 96, 96, 96};
    Bitmap row(8, 1), column(1, 8);
    for (int i = 0; i < 8; ++i) row.pixels[i] = column.pixels[i] = start[i];
    radialSmear(row, 0, 0, 0.5f, 1.0f);
    // One column, centre row 0: the lower half runs first, row r reading row r + floor(-(r-1) * 0.5).
    radialSmear(column, 0, 0, 0.5f, 1.0f);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(row.pixels[i], expected[i]) << i;
        EXPECT_EQ(column.pixels[i], expected[i]) << i;
    }

    // Left of the centre (cx = 8) the columns run from 7 down to 0, column c reading
    // c + ceil((7 - c) * 0.5), again already smeared.
    const uint32_t leftStart[8] = {1, 5, 10, 20, 30, 50, 100, 200};
    const uint32_t leftExpected[8] = {196, 196, 196, 196, 197, 197, 198, 199};
    Bitmap left(8, 1);
    for (int i = 0; i < 8; ++i) left.pixels[i] = leftStart[i];
    radialSmearPlain(left, 8, 0, 0.5f, 1.0f);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(left.pixels[i], leftExpected[i]) << i;
}

TEST(RadialSmear, PackedAndPlainVersionsAgree) {
    struct Case {
        int32_t width, height, cx, cy;
        float scale, amount;
    } cases[] = {{640, 480, 320, 240, 0.04f, 0.4f}, {97, 61, 10, 50, 0.3f, 0.9f},  {33, 20, 0, 19, 0.01f, 0.2f},
                 {40, 30, 40, -1, 0.9f, 1.0f},      {25, 25, 12, 12, -0.2f, 0.5f}, {16, 9, 300, -50, 2.5f, 0.7f}};
    uint32_t seed = 1;
    for (const Case& c : cases) {
        Bitmap packed = randomBitmap(c.width, c.height, seed), plain = randomBitmap(c.width, c.height, seed);
        ++seed;
        radialSmear(packed, c.cx, c.cy, c.scale, c.amount);
        radialSmearPlain(plain, c.cx, c.cy, c.scale, c.amount);
        EXPECT_TRUE(sameBitmap(packed, plain)) << c.width << "x" << c.height;
#if defined(__SSE2__)
        Bitmap narrow = randomBitmap(c.width, c.height, seed - 1);
        radialSmearSse2(narrow, c.cx, c.cy, c.scale, c.amount);
        EXPECT_TRUE(sameBitmap(narrow, plain)) << c.width << "x" << c.height << " with SSE2 alone";
#endif
    }
    // Any size, centre and zoom: rows that read themselves smear runs of four only where no pixel
    // of a run reads another, and groups of columns whose sources are not neighbours are gathered.
    rng::srand(44);
    for (int trial = 0; trial < 200; ++trial) {
        int32_t width = 1 + rng::rand() % 90, height = 1 + rng::rand() % 40;
        int32_t cx = rng::rand() % (width + 1), cy = rng::rand() % (height + 1) - 1;
        float scale = randomIn(-0.5f, 1.5f), amount = randomIn(0, 1);
        if (trial % 3 == 0) scale = randomIn(0, 0.1f);
        Bitmap packed = randomBitmap(width, height, uint32_t(trial)),
               plain = randomBitmap(width, height, uint32_t(trial));
        radialSmear(packed, cx, cy, scale, amount);
        radialSmearPlain(plain, cx, cy, scale, amount);
        ASSERT_TRUE(sameBitmap(packed, plain)) << width << "x" << height << " at " << cx << "," << cy << " " << scale;
#if defined(__SSE2__)
        Bitmap narrow = randomBitmap(width, height, uint32_t(trial));
        radialSmearSse2(narrow, cx, cy, scale, amount);
        ASSERT_TRUE(sameBitmap(narrow, plain)) << width << "x" << height << " with SSE2 alone";
#endif
    }
}

TEST(RadialGlow, BrightestInTheMiddleBlackAtTheCorners) {
    Bitmap glow(640, 480);
    radialGlow(glow);
    EXPECT_EQ(glow.pixels[240 * 640 + 320], 0x004682FFu);
    EXPECT_EQ(glow.pixels[0], 0u);
    Bitmap small(50, 50);
    radialGlow(small);
    EXPECT_EQ(small.pixels[25 * 50 + 25], 0x004682FFu);
}

// Column c of every row holds grey level c (c < 256).
static Bitmap greyRamp(int32_t width, int32_t height) {
    Bitmap ramp(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) ramp.pixels[y * width + x] = uint32_t(x) * 0x010101;
    return ramp;
}

TEST(SampleBilinear, WeightsFromTheFixedPointAndCornersFromRounding) {
    Bitmap ramp = greyRamp(16, 1);
    // x = 10: weight 0 on column roundNearest(9.5) = 10 and 255 on column 11 ((11 * 255) >> 8).
    EXPECT_EQ(sampleBilinear(ramp, 10.0f, 0.0f), 0x0A0A0Au);
    // x = 10.25: weights 192 and 63 on columns 10 and 11: 7 + 2.
    EXPECT_EQ(sampleBilinear(ramp, 10.25f, 0.0f), 0x090909u);
    // The last column is its own right neighbour: 15.9 reads only column 15.
    uint32_t last = sampleBilinear(ramp, 15.9f, 0.0f) & 0xFF;
    EXPECT_GE(last, 14u);
    EXPECT_LE(last, 15u);
    Bitmap white(4, 4);
    white.fill(0xFFFFFFFF);
    for (float x : {0.0f, 0.3f, 1.5f, 2.999f, 3.7f})
        for (float y : {0.0f, 1.25f, 3.5f}) {
            uint32_t s = sampleBilinear(white, x, y);
            EXPECT_GE(s & 0xFF, 0xF0u);  // the weights lose a little to the shifts
            EXPECT_EQ(s & 0xFF, (s >> 24) & 0xFF);
        }
}

TEST(BlitScaledAdd, CarryRuleAndDroppedLowBits) {
    Bitmap black(3, 3);
    black.fill(0);
    Bitmap target = randomBitmap(20, 20, 5), expected(20, 20);
    for (int i = 0; i < 400; ++i) expected.pixels[i] = target.pixels[i] & 0xFEFEFEFE;
    blitScaledAdd(target, black, 0, 0, 20, 20, 0, 0, 1, 1);
    EXPECT_TRUE(sameBitmap(target, expected));

    // White onto 2, 2, 2: each lane overflows to 255 and carries 1 into the lane above; the top
    // lane's carry is lost.
    Bitmap white(1, 1);
    white.fill(0x00FFFFFF);
    Bitmap one(1, 1);
    one.fill(0x00020202);
    blitScaledAdd(one, white, 0, 0, 1, 1, 0, 0, 1, 1);
    EXPECT_EQ(one.pixels[0], 0x01FFFFFFu);
    one.fill(0xFE020202);
    Bitmap full(1, 1);
    full.fill(0xFEFFFFFF);
    blitScaledAdd(one, full, 0, 0, 1, 1, 0, 0, 1, 1);
    EXPECT_EQ(one.pixels[0], 0xFDFFFFFFu);

    // The rectangle is trunc(width) x trunc(height) at (trunc(left), trunc(top)); below 1 is nothing.
    Bitmap frame(20, 20);
    frame.fill(0);
    Bitmap grey(4, 4);
    grey.fill(0x404040);
    blitScaledAdd(frame, grey, 2.7f, 3.9f, 5.99f, 4.5f, 0, 0, 1, 1);
    EXPECT_EQ(countNot(frame, 0), 5 * 4);
    EXPECT_NE(frame.pixels[3 * 20 + 2], 0u);
    EXPECT_NE(frame.pixels[6 * 20 + 6], 0u);
    frame.fill(0);
    blitScaledAdd(frame, grey, 2, 2, 5, 0.99f, 0, 0, 1, 1);
    blitScaledAdd(frame, grey, 2, 2, 0.5f, 5, 0, 0, 1, 1);
    EXPECT_EQ(countNot(frame, 0), 0);
}

TEST(BlitScaledAdd, PackedAndPlainVersionsAgree) {
    Bitmap image = randomBitmap(50, 50, 11);
    rng::srand(12);
    for (int trial = 0; trial < 300; ++trial) {
        Bitmap packed = randomBitmap(64, 48, uint32_t(100 + trial)), plain(64, 48);
        for (int i = 0; i < packed.pixelCount(); ++i) plain.pixels[i] = packed.pixels[i];
        float left = randomIn(-20, 70), top = randomIn(-20, 60), width = randomIn(0, 40), height = randomIn(0, 40);
        float u0 = randomIn(0, 0.5f), v0 = randomIn(0, 0.5f), u1 = randomIn(0.5f, 1), v1 = randomIn(0.5f, 1);
        if (trial % 3 == 0) u0 = v0 = 0;  // the first tap then has the full weight 256 * 256
        blitScaledAdd(packed, image, left, top, width, height, u0, v0, u1, v1);
        blitScaledAddPlain(plain, image, left, top, width, height, u0, v0, u1, v1);
        ASSERT_TRUE(sameBitmap(packed, plain)) << trial;
    }
    // Wide and magnified blits reach the image's last column and row (read twice there), windows
    // that run backwards step sx down, tiny images have no second column.
    for (int trial = 0; trial < 300; ++trial) {
        int32_t side = trial % 10 == 0 ? 1 + trial % 3 : 50;
        Bitmap small = randomBitmap(side, side, uint32_t(trial));
        const Bitmap& source = side == 50 ? image : small;
        Bitmap packed = randomBitmap(200, 150, uint32_t(500 + trial)), plain(200, 150);
        for (int i = 0; i < packed.pixelCount(); ++i) plain.pixels[i] = packed.pixels[i];
        float left = randomIn(-60, 180), top = randomIn(-60, 140), width = randomIn(0, 210), height = randomIn(0, 160);
        float u0 = randomIn(0, 1), v0 = randomIn(0, 1), u1 = randomIn(0, 1), v1 = randomIn(0, 1);
        if (trial % 4 == 1) u1 = v1 = 1;
        blitScaledAdd(packed, source, left, top, width, height, u0, v0, u1, v1);
        blitScaledAddPlain(plain, source, left, top, width, height, u0, v0, u1, v1);
        ASSERT_TRUE(sameBitmap(packed, plain)) << "wide " << trial;
    }
}

TEST(PlotPoint, WeightsFollowTheFixedPointPosition) {
    // x = 11: toFixed16(10) = 655350 puts weight 0 on column 9 and 255 on column 10; y = 1 puts
    // the whole of 256 on row 0.
    Bitmap frame(16, 4);
    frame.fill(0);
    plotPointAdd(frame, 11.0f, 1.0f, 0x00FFFFFF);
    EXPECT_EQ(frame.pixels[10], 0x00FEFEFEu);
    EXPECT_EQ(countNot(frame, 0), 1);

    // Saturation per lane, top byte included.
    frame.fill(0xF0F00010);
    plotPointAdd(frame, 1.0f, 1.0f, 0x20FF0020);
    EXPECT_EQ(frame.pixels[0], 0xFFFF0030u);

    // At a pixel corner the weight is 256: the old pixel keeps 255/256 and the colour comes in
    // whole; the three zero-weight neighbours keep 255/256 of themselves.
    frame.fill(0x00808080);
    plotPointBlend(frame, 1.0f, 1.0f, 0x00402010);
    EXPECT_EQ(frame.pixels[0], 0x00BF9F8Fu);
    EXPECT_EQ(frame.pixels[1], 0x007F7F7Fu);
    EXPECT_EQ(frame.pixels[16], 0x007F7F7Fu);
    EXPECT_EQ(frame.pixels[17], 0x007F7F7Fu);
    EXPECT_EQ(frame.pixels[2], 0x00808080u);
}

TEST(PlotPoint, PackedAndPlainVersionsAgree) {
    Bitmap packed = randomBitmap(23, 17, 30), plain = randomBitmap(23, 17, 30);
    rng::srand(31);
    for (int i = 0; i < 5000; ++i) {
        float x = randomIn(-2, 26), y = randomIn(-2, 20);
        if (i % 4 == 0) x = float(int(x)), y = float(int(y));  // corners: weights of 256 and 0
        uint32_t colour = uint32_t(rng::rand()) << 17 ^ uint32_t(rng::rand()) << 2 ^ uint32_t(rng::rand());
        if (i % 2) {
            plotPointAdd(packed, x, y, colour);
            plotPointAddPlain(plain, x, y, colour);
        } else {
            plotPointBlend(packed, x, y, colour);
            plotPointBlendPlain(plain, x, y, colour);
        }
    }
    EXPECT_TRUE(sameBitmap(packed, plain));
}

TEST(DrawLine2D, StepsFromTheUpperEndpointAndSkipsTheFarOne) {
    // Ten points at x = 5..14, y = 5; each lands with weight (255 * 255) >> 8 = 254 on pixel
    // (x - 1, 4).
    for (bool reversed : {false, true}) {
        Bitmap frame(32, 32);
        frame.fill(0);
        if (reversed)
            drawLine2D(frame, 15, 5, 5, 5, 0xFFFFFF, LineMode::Add);
        else
            drawLine2D(frame, 5, 5, 15, 5, 0xFFFFFF, LineMode::Add);
        EXPECT_EQ(countNot(frame, 0), 10);
        for (int x = 4; x < 14; ++x) EXPECT_EQ(frame.pixels[4 * 32 + x], 0x00FDFDFDu) << x;
    }

    // (10, 20) to (20, 10) is stepped from (20, 10): that end is plotted, (10, 20) is not.
    Bitmap frame(32, 32);
    frame.fill(0);
    drawLine2D(frame, 10, 20, 20, 10, 0xFFFFFF, LineMode::Add);
    EXPECT_NE(frame.pixels[9 * 32 + 19], 0u);
    EXPECT_EQ(frame.pixels[19 * 32 + 9], 0u);
    EXPECT_EQ(countNot(frame, 0), 10);

    frame.fill(0);
    drawLine2D(frame, 5, 5, 5, 5, 0xFFFFFF, LineMode::Add);
    drawLine2D(frame, 5, 5, 25, 25, 0xFFFFFF, LineMode(2));
    EXPECT_EQ(countNot(frame, 0), 0);

    // Blend mode draws black edges over white.
    frame.fill(0xFFFFFF);
    drawLine2D(frame, 3, 3.5f, 20, 9, 0, LineMode::Blend);
    EXPECT_GT(countNot(frame, 0xFFFFFF), 17);
}

// Lines of every slope and length, inside, across the edges and far beyond them, in both modes:
// the chunked stepping plots what the point-by-point stepping plots.
TEST(DrawLine2D, ChunkedAndPlainVersionsAgree) {
    rng::srand(77);
    Bitmap chunked = randomBitmap(97, 61, 78), plain = randomBitmap(97, 61, 78);
    for (int i = 0; i < 3000; ++i) {
        float spread = i % 10 == 0 ? 3000.0f : 150.0f;
        float x0 = randomIn(-spread, spread), y0 = randomIn(-spread, spread);
        float x1 = randomIn(-20, 117), y1 = randomIn(-20, 81);
        if (i % 3 == 0) x1 = x0 + randomIn(-3, 3);  // short and steep
        if (i % 7 == 0) y1 = y0;                    // level
        uint32_t colour = uint32_t(rng::rand()) << 17 ^ uint32_t(rng::rand()) << 2 ^ uint32_t(rng::rand());
        LineMode mode = i % 2 ? LineMode::Add : LineMode::Blend;
        drawLine2D(chunked, x0, y0, x1, y1, colour, mode);
        drawLine2DPlain(plain, x0, y0, x1, y1, colour, mode);
        ASSERT_TRUE(sameBitmap(chunked, plain))
            << i << ": (" << x0 << ", " << y0 << ") to (" << x1 << ", " << y1 << ")";
    }
}
