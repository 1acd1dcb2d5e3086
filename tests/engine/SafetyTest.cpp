#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/Draw2D.h"
#include "engine/Raster.h"
#include "engine/Viewport.h"
#include "tests/engine/EngineSupport.h"

// Every entry point that takes raw coordinates stays inside its bitmaps whatever it is given;
// the suite's sanitizer build turns any stray access or undefined conversion into a failure.
// Here the checks are that the pixels outside the target's buffer keep their guard values.

namespace {

const float nan = std::numeric_limits<float>::quiet_NaN();
const float inf = std::numeric_limits<float>::infinity();

// A coordinate that is now ordinary, now just outside, now absurd.
float wildCoordinate(float extent) {
    static const float extremes[] = {nan, inf, -inf, 1e30f, -1e30f, 3e9f, -3e9f, 16777217.0f, -0.0f, 0.0f};
    int pick = rng::rand() % 16;
    if (pick < 10) return extremes[pick];
    if (pick < 13) return randomIn(-extent, 2 * extent);
    return randomIn(-0.5f, extent + 0.5f);
}

// A target with guard words on both sides of its pixels.
struct GuardedTarget {
    static constexpr int32_t guard = 256;
    std::vector<uint32_t> words;
    Bitmap bitmap;
    uint32_t* savedPixels;
    GuardedTarget(int32_t width, int32_t height)
        : words(size_t(width * height + 2 * guard), 0xA5A5A5A5), bitmap(width, height) {
        savedPixels = bitmap.pixels;
        bitmap.pixels = words.data() + guard;
    }
    ~GuardedTarget() { bitmap.pixels = savedPixels; }
    bool guardsIntact() const {
        for (int32_t i = 0; i < guard; ++i)
            if (words[size_t(i)] != 0xA5A5A5A5 || words[words.size() - 1 - size_t(i)] != 0xA5A5A5A5) return false;
        return true;
    }
};

}  // namespace

TEST(Safety, RasterizerAcceptsAnyCoordinates) {
    GuardedTarget target(37, 23);
    std::vector<int32_t> depth(37 * 23, depthCleared);
    std::vector<uint32_t> texels(65536, 0x123456);
    rng::srand(21);
    for (int trial = 0; trial < 20000; ++trial) {
        RasterTriangle t;
        float* corner[6] = {&t.x0, &t.y0, &t.x1, &t.y1, &t.x2, &t.y2};
        for (float* c : corner) *c = wildCoordinate(40);
        t.z0 = wildCoordinate(100), t.z1 = randomIn(1, 50), t.z2 = randomIn(1, 50);
        t.u0 = wildCoordinate(2), t.u1 = randomIn(0, 1), t.v2 = wildCoordinate(2);
        t.colour = 0xFFFFFF;
        t.texture = texels.data();
        rasterizeTriangle(target.bitmap, depth.data(), t, 1 + trial % 6);
    }
    EXPECT_TRUE(target.guardsIntact());
}

TEST(Safety, TrianglesReachingPastTheEdgesDrawTheirInsidePart) {
    // A triangle much larger than the target fills all of it, in every flat and depth mode.
    for (int32_t mode = 1; mode <= 4; ++mode) {
        GuardedTarget target(30, 20);
        target.bitmap.fill(0);
        std::vector<int32_t> depth(600, depthCleared);
        RasterTriangle t;
        t.x0 = -500, t.y0 = -400, t.x1 = 900, t.y1 = -350, t.x2 = 10, t.y2 = 700;
        t.z0 = t.z1 = t.z2 = 3;
        t.colour = 0x00FF00FF;
        rasterizeTriangle(target.bitmap, depth.data(), t, mode);
        EXPECT_EQ(countNot(target.bitmap, mode % 2 ? 0x00FF00FFu : 0x007F007Fu), 0) << mode;
        EXPECT_TRUE(target.guardsIntact());
    }
}

TEST(Safety, PointsLinesSamplesAndBlitsAcceptAnyCoordinates) {
    GuardedTarget target(41, 29);
    Bitmap image = randomBitmap(9, 7, 4);
    rng::srand(22);
    for (int trial = 0; trial < 20000; ++trial) {
        float a = wildCoordinate(41), b = wildCoordinate(29), c = wildCoordinate(41), d = wildCoordinate(29);
        plotPointAdd(target.bitmap, a, b, 0xFFFFFFFF);
        plotPointBlend(target.bitmap, c, d, 0x80808080);
        drawLine2D(target.bitmap, a, b, c, d, 0x01010101, LineMode(trial % 2));
        sampleBilinear(image, wildCoordinate(9), wildCoordinate(7));
        blitScaledAdd(target.bitmap, image, a, b, wildCoordinate(60), wildCoordinate(60), wildCoordinate(1),
                      wildCoordinate(1), wildCoordinate(1), wildCoordinate(1));
        blitScaledAddPlain(target.bitmap, image, c, d, randomIn(0, 30), randomIn(0, 30), 0, 0, 1, 1);
    }
    EXPECT_TRUE(target.guardsIntact());
}

TEST(Safety, LongLinesAreClippedToTheTargetWithoutChangingWhatShows) {
    // A line whose far end is a long way off draws the same pixels near the start as the same
    // line with a nearby end, and a line that only passes through the target still shows.
    Bitmap shortLine(64, 64), longLine(64, 64), passing(64, 64);
    shortLine.fill(0);
    longLine.fill(0);
    passing.fill(0);
    drawLine2D(shortLine, 10, 10, 60, 10, 0xFFFFFF, LineMode::Add);
    drawLine2D(longLine, 10, 10, 5e8f, 10, 0xFFFFFF, LineMode::Add);
    for (int x = 0; x < 58; ++x) EXPECT_EQ(shortLine.pixels[9 * 64 + x], longLine.pixels[9 * 64 + x]) << x;
    EXPECT_NE(longLine.pixels[9 * 64 + 63], 0u);
    drawLine2D(passing, -1e9f, 30.5f, 1e9f, 30.5f, 0xFFFFFF, LineMode::Add);
    int lit = 0;
    for (int x = 0; x < 64; ++x) lit += passing.pixels[30 * 64 + x] != 0;
    EXPECT_GE(lit, 60);
}

TEST(Safety, SmearAndViewportDrawingAcceptAnyInput) {
    GuardedTarget target(48, 36);
    Bitmap& frame = target.bitmap;
    rng::srand(23);
    for (int trial = 0; trial < 200; ++trial) {
        int32_t cx = rng::rand() % 200 - 100, cy = rng::rand() % 200 - 100;
        radialSmear(frame, cx, cy, wildCoordinate(1), wildCoordinate(1));
        radialSmearPlain(frame, cy, cx, wildCoordinate(1), wildCoordinate(1));
    }
    Viewport view;
    view.setup(&frame, 70);
    view.clearDepth();
    Bitmap glow(10, 10);
    radialGlow(glow);
    for (int trial = 0; trial < 5000; ++trial) {
        Vector3 a = {wildCoordinate(20), wildCoordinate(20), wildCoordinate(30)};
        Vector3 b = {randomIn(-20, 20), randomIn(-20, 20), randomIn(-5, 30)};
        Vector3 c = {randomIn(-20, 20), randomIn(-20, 20), wildCoordinate(30)};
        RasterTriangle t;
        t.x0 = a.x, t.y0 = a.y, t.z0 = a.z, t.x1 = b.x, t.y1 = b.y, t.z1 = b.z, t.x2 = c.x, t.y2 = c.y, t.z2 = c.z;
        t.colour = 0xFF;
        view.drawTriangle(t, 1 + trial % 4);
        view.drawLine(a, c, 0xFFFFFF, LineMode(trial % 2));
        view.drawSprite(glow, b, wildCoordinate(10));
    }
    EXPECT_TRUE(target.guardsIntact());
}
