#include <gtest/gtest.h>

#include <vector>

#include "engine/Raster.h"
#include "engine/Rounding.h"
#include "tests/engine/EngineSupport.h"

static RasterTriangle flatTriangle(float x0, float y0, float x1, float y1, float x2, float y2, uint32_t colour) {
    RasterTriangle t;
    t.x0 = x0, t.y0 = y0, t.x1 = x1, t.y1 = y1, t.x2 = x2, t.y2 = y2;
    t.z0 = t.z1 = t.z2 = 5;
    t.colour = colour;
    return t;
}

// The covered columns [first, end) of one row of a mode-1 drawing on black (end = first if none).
static std::pair<int, int> rowCoverage(const Bitmap& bitmap, int row) {
    int first = -1, end = -1;
    for (int x = 0; x < bitmap.width; ++x)
        if (bitmap.pixels[row * bitmap.width + x]) {
            if (first < 0) first = x;
            end = x + 1;
        }
    return first < 0 ? std::pair{0, 0} : std::pair{first, end};
}

TEST(Rasterizer, CoverageFollowsFloorByRoundAndTheCeilPrestep) {
    // Whichever order the corners come in, the same pixels.
    const float corners[3][2] = {{10, 10}, {20, 10}, {10, 20}};
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    const std::pair<int, int> expected[10] = {{10, 20}, {10, 18}, {10, 18}, {10, 16}, {10, 16},
                                              {10, 14}, {10, 14}, {10, 12}, {10, 12}, {0, 0}};
    for (const auto& order : orders) {
        Bitmap frame(40, 30);
        frame.fill(0);
        RasterTriangle t = flatTriangle(corners[order[0]][0], corners[order[0]][1], corners[order[1]][0],
                                        corners[order[1]][1], corners[order[2]][0], corners[order[2]][1], 0xFFFFFF);
        rasterizeTriangle(frame, nullptr, t, rasterSolid);
        for (int row = 0; row < 10; ++row) EXPECT_EQ(rowCoverage(frame, 10 + row), expected[row]) << "row " << 10 + row;
        EXPECT_EQ(countNot(frame, 0), 10 + 8 + 8 + 6 + 6 + 4 + 4 + 2 + 2);
    }
}

TEST(Rasterizer, EdgesArePreSteppedToTheNextWholeY) {
    // Top at y = 10.5 lies on row 10, but the slanted edge (slope -2) is taken at y = 11:
    // x = 29 on row 10, then 27, 25, ...; floorByRound of those odd values rounds down to even.
    Bitmap frame(40, 30);
    frame.fill(0);
    RasterTriangle t = flatTriangle(10, 10.5f, 30, 10.5f, 10, 20.5f, 0xFFFFFF);
    rasterizeTriangle(frame, nullptr, t, rasterSolid);
    for (int row = 0; row < 10; ++row) {
        int end = 28 - 2 * row;
        std::pair<int, int> expected = end > 10 ? std::pair(10, end) : std::pair(0, 0);
        EXPECT_EQ(rowCoverage(frame, 10 + row), expected) << row;
    }
    EXPECT_EQ(rowCoverage(frame, 9), std::pair(0, 0));
}

TEST(Rasterizer, TrianglesSharingAnEdgeNeitherOverlapNorLeaveGaps) {
    // Every pixel of the rectangle is filled by exactly one of the two halves, for fractional
    // corners too; overlaps would show as a second half-blend.
    const float quads[3][4] = {{10, 10, 30, 20}, {10.3f, 9.6f, 33.7f, 25.2f}, {0.5f, 0.5f, 39.5f, 29.5f}};
    for (const auto& q : quads) {
        Bitmap frame(40, 30), one(40, 30);
        frame.fill(0xFFFFFF);
        one.fill(0);
        RasterTriangle a = flatTriangle(q[0], q[1], q[2], q[1], q[2], q[3], 0);
        RasterTriangle b = flatTriangle(q[0], q[1], q[2], q[3], q[0], q[3], 0);
        RasterTriangle a1 = a, b1 = b;
        rasterizeTriangle(frame, nullptr, a, rasterHalf);
        rasterizeTriangle(frame, nullptr, b, rasterHalf);
        rasterizeTriangle(one, nullptr, a1, rasterSolid);
        rasterizeTriangle(one, nullptr, b1, rasterSolid);
        int covered = 0;
        for (int i = 0; i < frame.pixelCount(); ++i) {
            EXPECT_TRUE(frame.pixels[i] == 0xFFFFFF || frame.pixels[i] == 0x7F7F7F) << i;
            covered += frame.pixels[i] == 0x7F7F7F;
        }
        // The union is the rectangle [floorByRound(left), floorByRound(right)) by the same rows.
        int x0 = floorByRound(q[0]), x1 = floorByRound(q[2]), y0 = floorByRound(q[1]), y1 = floorByRound(q[3]);
        EXPECT_EQ(covered, (x1 - x0) * (y1 - y0));
        EXPECT_EQ(countNot(frame, 0x7F7F7F), frame.pixelCount() - covered);
    }
}

TEST(Rasterizer, DegenerateTrianglesDrawNothing) {
    Bitmap frame(40, 30);
    uint32_t texels[65536] = {};
    for (int32_t mode = 1; mode <= 6; ++mode) {
        frame.fill(0);
        std::vector<int32_t> depth(size_t(frame.pixelCount()), depthCleared);
        // All three corners fall on row 10 after floorByRound.
        RasterTriangle sameRow = flatTriangle(5, 10.2f, 25, 10.4f, 15, 10.6f, 0xFFFFFF);
        // Zero height, and zero width at corner 1's height.
        RasterTriangle flat = flatTriangle(5, 12, 15, 12, 30, 12, 0xFFFFFF);
        RasterTriangle thin = flatTriangle(5, 5, 15, 15, 25, 25, 0xFFFFFF);
        for (RasterTriangle* t : {&sameRow, &flat, &thin}) {
            t->texture = texels;
            rasterizeTriangle(frame, depth.data(), *t, mode);
        }
        EXPECT_EQ(countNot(frame, 0), 0) << "mode " << mode;
    }
}

TEST(Rasterizer, HalfBlendAndUnknownModes) {
    Bitmap frame(20, 20);
    frame.fill(0xFFFFFFFF);
    RasterTriangle t = flatTriangle(2, 2, 18, 2, 2, 18, 0xFFFFFFFF);
    rasterizeTriangle(frame, nullptr, t, rasterHalf);
    EXPECT_EQ(frame.pixels[5 * 20 + 5], 0x00FEFEFEu);
    EXPECT_EQ(frame.pixels[19 * 20 + 19], 0xFFFFFFFFu);

    frame.fill(0);
    for (int32_t mode : {0, 7, -1, 100}) {
        RasterTriangle u = flatTriangle(2, 2, 18, 2, 2, 18, 0xFFFFFF);
        u.u0 = 0.5f, u.u1 = 1, u.v2 = 0.25f;
        rasterizeTriangle(frame, nullptr, u, mode);
        EXPECT_EQ(u.u0, 127.5f);  // scaled to texel units even when nothing is drawn
        EXPECT_EQ(u.u1, 255.0f);
        EXPECT_EQ(u.v2, 63.75f);
    }
    EXPECT_EQ(countNot(frame, 0), 0);
}

TEST(Rasterizer, DepthTestIsStrictAndWritesTheDepth) {
    Bitmap frame(20, 20);
    std::vector<int32_t> depth(400, depthCleared);
    frame.fill(0);
    RasterTriangle first = flatTriangle(0, 0, 20, 0, 0, 20, 0x0000FF);
    rasterizeTriangle(frame, depth.data(), first, rasterSolidDepth);
    EXPECT_EQ(frame.pixels[3 * 20 + 3], 0x0000FFu);
    EXPECT_EQ(depth[3 * 20 + 3], toFixed16(5));
    EXPECT_EQ(depth[19 * 20 + 19], depthCleared);

    // Equal depth: not drawn. Nearer: drawn (half mode also writes depth). Farther: not drawn.
    RasterTriangle same = flatTriangle(0, 0, 20, 0, 0, 20, 0x00FF00);
    rasterizeTriangle(frame, depth.data(), same, rasterSolidDepth);
    EXPECT_EQ(frame.pixels[3 * 20 + 3], 0x0000FFu);
    RasterTriangle nearer = flatTriangle(0, 0, 20, 0, 0, 20, 0xFFFFFF);
    nearer.z0 = nearer.z1 = nearer.z2 = 4;
    rasterizeTriangle(frame, depth.data(), nearer, rasterHalfDepth);
    EXPECT_EQ(frame.pixels[3 * 20 + 3], 0x7F7FFEu);
    EXPECT_EQ(depth[3 * 20 + 3], toFixed16(4));
    RasterTriangle farther = flatTriangle(0, 0, 20, 0, 0, 20, 0xFF0000);
    rasterizeTriangle(frame, depth.data(), farther, rasterSolidDepth);
    EXPECT_EQ(frame.pixels[3 * 20 + 3], 0x7F7FFEu);

    // A cleared buffer takes anything nearer than 4096 and refuses what is beyond.
    std::vector<int32_t> cleared(400, depthCleared);
    frame.fill(0);
    RasterTriangle far = flatTriangle(0, 0, 20, 0, 0, 20, 0xFF);
    far.z0 = far.z1 = far.z2 = 4097;
    rasterizeTriangle(frame, cleared.data(), far, rasterSolidDepth);
    EXPECT_EQ(countNot(frame, 0), 0);
    far.z0 = far.z1 = far.z2 = 4095;
    rasterizeTriangle(frame, cleared.data(), far, rasterSolidDepth);
    EXPECT_GT(countNot(frame, 0), 0);
}

TEST(Rasterizer, InterpenetratingTrianglesShowTheNearerSurfaceInEitherOrder) {
    // Two slopes in depth that cross at x = 10: the left part of A is nearer, the right part of B.
    auto slope = [](float zLeft, float zRight, uint32_t colour) {
        RasterTriangle t = flatTriangle(0, 0, 20, 0, 0, 20, colour);
        t.x2 = 20, t.y2 = 20;
        t.z0 = zLeft, t.z1 = zRight, t.z2 = zRight;
        return t;
    };
    Bitmap ab(20, 20), ba(20, 20);
    for (Bitmap* frame : {&ab, &ba}) {
        frame->fill(0);
        std::vector<int32_t> depth(400, depthCleared);
        RasterTriangle a = slope(2, 6, 0xAA), b = slope(6, 2, 0xBB);
        if (frame == &ab) {
            rasterizeTriangle(*frame, depth.data(), a, rasterSolidDepth);
            rasterizeTriangle(*frame, depth.data(), b, rasterSolidDepth);
        } else {
            rasterizeTriangle(*frame, depth.data(), b, rasterSolidDepth);
            rasterizeTriangle(*frame, depth.data(), a, rasterSolidDepth);
        }
    }
    EXPECT_EQ(ab.pixels[2 * 20 + 3], 0xAAu);
    EXPECT_EQ(ab.pixels[2 * 20 + 17], 0xBBu);
    int differing = 0;
    for (int i = 0; i < 400; ++i) differing += ab.pixels[i] != ba.pixels[i];
    EXPECT_LE(differing, 20);  // at most where the depths tie along the crossing
}

TEST(Rasterizer, TextureAddressingWrapsIntoTheNextRow) {
    std::vector<uint32_t> texels(65536);
    for (uint32_t i = 0; i < 65536; ++i) texels[i] = i;
    Bitmap five(20, 20), six(20, 20);
    for (Bitmap* frame : {&five, &six}) {
        frame->fill(0xFFFFFFFF);
        RasterTriangle t = flatTriangle(0, 0, 20, 0, 0, 20, 0);
        // u * 255 = 300.5 everywhere: U >> 16 = 300, one column past the end of row 0.
        t.u0 = t.u1 = t.u2 = 300.5f / 255;
        t.v0 = t.v1 = t.v2 = 2.5f / 255;
        t.texture = texels.data();
        rasterizeTriangle(*frame, nullptr, t, frame == &five ? rasterTextured : rasterTexturedAlso);
    }
    EXPECT_EQ(five.pixels[3 * 20 + 3], 2u * 256 + 300);
    EXPECT_TRUE(sameBitmap(five, six));
    EXPECT_EQ(five.pixels[19 * 20 + 19], 0xFFFFFFFFu);
}

TEST(Rasterizer, DepthStartsAtTheLeftEdgeAndStepsPastEveryPixel) {
    // z = 2 along the left edge x = 2.25, rising by 0.5 a row, and by 1 per pixel to the right
    // (corner 1 at x = 18.25 has z = 18): the per-pixel step is toFixed16(1) = 65535. Each span
    // starts at column floorByRound(2.25) = 2 with toFixed16(zLeft), no horizontal prestep, so
    // row 2 holds 65535 * x. Row r covers [2, 20 - r).
    Bitmap frame(24, 20);
    frame.fill(0);
    std::vector<int32_t> depth(size_t(frame.pixelCount()), depthCleared);
    // Nearer values already in row 2, columns 5-7: not drawn, but the depth still steps past them.
    for (int x = 5; x < 8; ++x) depth[size_t(2 * 24 + x)] = 0;
    RasterTriangle t = flatTriangle(2.25f, 2, 18.25f, 2, 2.25f, 18, 0x123456);
    t.z0 = 2, t.z1 = 18, t.z2 = 10;
    rasterizeTriangle(frame, depth.data(), t, rasterSolidDepth);
    for (int x = 2; x < 18; ++x) {
        bool blocked = x >= 5 && x < 8;
        EXPECT_EQ(depth[size_t(2 * 24 + x)], blocked ? 0 : 65535 * x) << x;
        EXPECT_EQ(frame.pixels[2 * 24 + x], blocked ? 0u : 0x123456u) << x;
    }
    EXPECT_EQ(depth[2 * 24 + 18], depthCleared);
    EXPECT_EQ(depth[2 * 24 + 1], depthCleared);
    // Row 4: zLeft = 3; row 10: zLeft = 6.
    for (int x = 2; x < 16; ++x) EXPECT_EQ(depth[size_t(4 * 24 + x)], 65535 * (x + 1)) << x;
    for (int x = 2; x < 10; ++x) EXPECT_EQ(depth[size_t(10 * 24 + x)], 65535 * (x + 4)) << x;
    EXPECT_EQ(depth[10 * 24 + 10], depthCleared);
}

TEST(Rasterizer, TexturedSpansArePreSteppedToTheFirstWholeX) {
    // u runs 0 -> 255 * 16/256 = 15.9375 texels over the 16 pixels from x = 2.5 to 18.5, so
    // du = 0.99609375. The span starts at column floorByRound(2.5) = 2 with u taken at
    // ceil(2.5) = 3: U = toFixed16(0.5 * du) = 32640, stepping by toFixed16(du) = 65279, which
    // reads column x - 2 at every pixel (without the prestep, x - 3). v runs down the left edge by
    // the same 0.99609375 a row; toFixed16 of n such steps is 65279 n, whose upper half is n - 1.
    std::vector<uint32_t> texels(65536);
    for (uint32_t i = 0; i < 65536; ++i) texels[i] = i;
    Bitmap frame(24, 20);
    frame.fill(0xFFFFFFFF);
    RasterTriangle t = flatTriangle(2.5f, 2, 18.5f, 2, 2.5f, 18, 0);
    t.u0 = 0, t.u1 = 16.0f / 256, t.u2 = 0;
    t.v0 = 0, t.v1 = 0, t.v2 = 16.0f / 256;
    t.texture = texels.data();
    rasterizeTriangle(frame, nullptr, t, rasterTextured);
    for (int row = 2; row < 18; ++row) {
        uint32_t texelRow = row == 2 ? 0 : uint32_t(row - 3);
        for (int x = 0; x < 24; ++x) {
            bool inside = x >= 2 && x < 20 - row;
            EXPECT_EQ(frame.pixels[row * 24 + x], inside ? texelRow * 256 + uint32_t(x - 2) : 0xFFFFFFFFu)
                << x << "," << row;
        }
    }
}
