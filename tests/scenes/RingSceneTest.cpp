#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "engine/SineTable.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "scenes/RingScene.h"
#include "tests/CaptionFace.h"
#include "tests/scenes/CaptionCheck.h"
#include "tests/scenes/SceneSupport.h"

namespace {

struct RingSceneTest : ::testing::Test {
    Bitmap frame{640, 480};
    RingScene scene;
    void SetUp() override {
        buildSineTable();
        scene.init(&frame, [] {});
    }
    std::vector<uint32_t> pixels() const { return {frame.pixels, frame.pixels + frame.pixelCount()}; }
};

constexpr float twoPi = 2.0f * std::numbers::pi_v<float>;

}  // namespace

TEST(RingScenePointColour, ChannelsStayWithinTheirLimits) {
    EXPECT_EQ(RingScene::pointColour(1.0f), (40u << 16) | (86u << 8) | 100u);
    EXPECT_EQ(RingScene::pointColour(2.0f), (80u << 16) | (172u << 8) | 200u);
    EXPECT_EQ(RingScene::pointColour(0.5f), (20u << 16) | (43u << 8) | 50u);
    EXPECT_EQ(RingScene::pointColour(0.0f), 0u);
    for (float k : {2.5f, 1e30f, -1.0f, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_LE(RingScene::pointColour(k), RingScene::pointColour(2.0f)) << k;
    for (float k = 0.0f; k <= 2.0f; k += 0.001f) {
        uint32_t colour = RingScene::pointColour(k);
        ASSERT_LE(colour >> 16, 80u);
        ASSERT_LE((colour >> 8) & 255, 172u);
        ASSERT_LE(colour & 255, 200u);
    }
}

TEST_F(RingSceneTest, StartsFromItsPhasesAndStandsStillAtTimeStepZero) {
    scene.renderFrame(&frame, 0.0f, 0.0f);
    EXPECT_EQ(scene.spin, 230.0f);
    EXPECT_EQ(scene.phaseA, 2.14f);
    EXPECT_EQ(scene.phaseB, 5.6f);
    EXPECT_EQ(scene.colourPhase, 0.0f);
    std::vector<uint32_t> first = pixels();
    scene.renderFrame(&frame, 0.0f, 0.0f);
    EXPECT_EQ(pixels(), first);
    // Plum in the corners, the ring's light in the middle.
    EXPECT_EQ(frame.pixels[0], 0x5A2846u);
    EXPECT_EQ(frame.pixels[frame.pixelCount() - 1], 0x5A2846u);
    EXPECT_GT(pixelsNotEqualToIn(frame, 0, 0, 640, 340, 0x5A2846), 300);
}

TEST_F(RingSceneTest, TheColourPhaseMovesOncePerPoint) {
    scene.renderFrame(&frame, 0.0f, 0.0f);
    scene.renderFrame(&frame, 1.0f, 0.0f);
    // At size phase 0 the ring has its fewest points: 40, each moving the colour phase by 0.5.
    EXPECT_FLOAT_EQ(scene.colourPhase, 20.0f);
    scene.sizePhase = std::numbers::pi_v<float>;
    float before = scene.colourPhase;
    scene.renderFrame(&frame, 1.0f, 0.0f);
    EXPECT_NEAR(scene.colourPhase - before, 220.0f, 0.01f);  // 440 points
}

TEST_F(RingSceneTest, EachWrapTakesOneTurnAndLongStallsStayWithinATurn) {
    scene.renderFrame(&frame, 0.0f, 0.0f);
    scene.spin = 359.9f;
    scene.phaseA = twoPi - 0.001f;
    scene.renderFrame(&frame, 1.0f, 0.0f);
    EXPECT_NEAR(scene.spin, 0.05f, 1e-3f);
    EXPECT_NEAR(scene.phaseA, 0.008f, 1e-4f);
    for (float step :
         {1.0e6f, 2.5e8f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        scene.renderFrame(&frame, step, 0.0f);
        EXPECT_TRUE(scene.spin >= 0.0f && scene.spin < 360.0f) << step;
        EXPECT_TRUE(scene.phaseA >= 0.0f && scene.phaseA < twoPi) << step;
        EXPECT_TRUE(scene.phaseB >= 0.0f && scene.phaseB < twoPi) << step;
        EXPECT_TRUE(std::isfinite(scene.colourPhase) && std::isfinite(scene.sizePhase)) << step;
    }
}

TEST_F(RingSceneTest, TheRingHasCeilRPointsAndComesRoundToItsStart) {
    scene.reset();
    RingScene::Point points[RingScene::maxPoints];
    for (float r : {40.5f, 217.3f})
        EXPECT_EQ(scene.traceRing(points, r, 320.0f, 240.0f, 0.0f), int32_t(std::ceil(r))) << r;
    for (float r : {40.0f, 217.0f, 440.0f}) {
        int32_t count = scene.traceRing(points, r, 320.0f, 240.0f, 0.0f);
        ASSERT_EQ(count, int32_t(r)) << r;
        // With a whole number of points every walker comes round to its start, so the closing
        // segment is no longer than the others. (Otherwise the forty-turn coil leaves a seam.)
        float longest = 0.0f;
        for (int32_t n = 1; n < count; ++n)
            longest = std::max(longest, std::hypot(points[n].x - points[n - 1].x, points[n].y - points[n - 1].y));
        float closing = std::hypot(points[0].x - points[count - 1].x, points[0].y - points[count - 1].y);
        EXPECT_LE(closing, longest) << r;
    }
    // A point count outside the show's range is held to it, so no walker steps past a turn.
    for (float r : {3.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(scene.traceRing(points, r, 320.0f, 240.0f, 0.0f), 40) << r;
    EXPECT_EQ(scene.traceRing(points, 1e9f, 320.0f, 240.0f, 0.0f), RingScene::maxPoints);
}

TEST(RingSceneProject, PointsAtOrBehindTheEyeKeepThePreviousScreenPoint) {
    RingScene::Point previous{320.0f, 240.0f, 7};
    for (float z : {0.0f, -0.0f, -50.0f, std::numeric_limits<float>::quiet_NaN()}) {
        RingScene::Point p = RingScene::project({100.0f, -50.0f, z}, previous, 320.0f, 240.0f);
        EXPECT_EQ(p.x, 320.0f) << z;
        EXPECT_EQ(p.y, 240.0f) << z;
    }
    RingScene::Point p = RingScene::project({100.0f, -50.0f, 256.0f}, previous, 320.0f, 240.0f);
    EXPECT_EQ(p.x, 420.0f);
    EXPECT_EQ(p.y, 190.0f);
}

TEST_F(RingSceneTest, TheCaptionsSitAtTheirPlaces) {
    FreeTypeFontEngine fonts;
    SKIP_UNLESS_ARIAL_IS_THE_REFERENCE_FACE();
    ASSERT_TRUE(fonts.open() && fonts.hasFace());
    RingScene captioned;
    Bitmap captionedFrame{640, 480};
    useFontEngine(&fonts), captioned.init(&captionedFrame, [] {}), useFontEngine(nullptr);
    for (float step : {0.0f, 700.0f}) {
        scene.renderFrame(&frame, step, 0.0f);
        captioned.renderFrame(&captionedFrame, step, 0.0f);
    }
    expectOnlyCaptionsDiffer(captionedFrame, frame, {{400, 170, captioned.letter}, {190, 350, captioned.label}});
}
