#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "core/Random.h"
#include "display/TextSprite.h"
#include "engine/Matrix4.h"
#include "engine/Viewport.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "scenes/ParticleCloudScene.h"
#include "tests/CaptionFace.h"
#include "tests/scenes/SceneSupport.h"

namespace {

std::vector<uint32_t> pixelsOf(const Bitmap& bitmap) { return {bitmap.pixels, bitmap.pixels + bitmap.pixelCount()}; }

// Without a font engine the captions are blank, so frames show the cloud alone.
struct ParticleCloudSceneTest : ::testing::Test {
    void SetUp() override {
        scene.init(&frame, [] {});
    }
    Bitmap frame{640, 480};
    ParticleCloudScene scene;
};

}  // namespace

TEST(ParticleCloudPoints, TheTableIsTheRandomSequenceDrawnXYZAsWholeNumbersInRange) {
    Bitmap frame(640, 480);
    ParticleCloudScene first, again, other;
    rng::srand(1234), first.init(&frame, [] {});
    rng::srand(1234), again.init(&frame, [] {});
    rng::srand(1235), other.init(&frame, [] {});
    size_t bytes = sizeof(Vector3) * ParticleCloudScene::pointCount;
    EXPECT_EQ(std::memcmp(first.points, again.points, bytes), 0);
    EXPECT_NE(std::memcmp(first.points, other.points, bytes), 0);
    rng::srand(1234);
    for (float coordinate : {first.points[0].x, first.points[0].y, first.points[0].z, first.points[1].x})
        EXPECT_EQ(coordinate, float(rng::rand() % 2000) - 1000.0f);
    float low = 0, high = 0;
    for (int32_t i = 0; i < ParticleCloudScene::pointCount; ++i)
        for (float c : {first.points[i].x, first.points[i].y, first.points[i].z}) {
            ASSERT_EQ(c, std::floor(c));
            low = std::min(low, c), high = std::max(high, c);
        }
    EXPECT_TRUE(low >= -1000.0f && low < -990.0f && high <= 999.0f && high > 990.0f);
}

TEST_F(ParticleCloudSceneTest, TimeStepZeroRepeatsTheFrameAndStepsThatAreNotFiniteCountAsZero) {
    scene.renderFrame(&frame, 40.0f, 0.0f);
    EXPECT_FLOAT_EQ(scene.tumble, 4.0f);
    EXPECT_FLOAT_EQ(scene.pulsePhase, 0.8f);
    std::vector<uint32_t> first = pixelsOf(frame);
    EXPECT_GT(pixelsNotEqualTo(frame, 0), 50000);
    for (float step : {0.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        scene.renderFrame(&frame, step, 0.0f);
        EXPECT_EQ(pixelsOf(frame), first);  // the smear works on a freshly cleared frame each time
        EXPECT_FLOAT_EQ(scene.tumble, 4.0f);
    }
    scene.renderFrame(&frame, 4294967295.0f * 0.06f, 0.0f);  // a stall of the whole millisecond range
    EXPECT_TRUE(std::isfinite(scene.tumble) && std::isfinite(scene.depthShift) && std::isfinite(scene.pulsePhase));
}

TEST_F(ParticleCloudSceneTest, AtScaleZeroEverySpriteLandsOnTheMovedOrigin) {
    scene.renderFrame(&frame, 0.0f, 0.0f);
    scene.tumble = 300.0f;
    scene.pulsePhase = 1.5f * std::numbers::pi_v<float>;
    scene.renderFrame(&frame, 0.0f, 0.0f);

    Matrix4 turn, shift, cloud;
    turn.rotation(300.0f, 300.0f, -300.0f);
    shift.translation({0.0f, 0.0f, 250.0f * std::sin(3.0f)});
    Matrix4::multiply(shift, turn, cloud);
    Vector3 origin = transformPoint({0.0f, 0.0f, 0.0f}, cloud);
    Viewport view;
    view.setup(&frame, 90.0f);
    Vector3 spot = view.project({origin.x, origin.y, origin.z + 700.0f});
    int32_t x = int32_t(spot.x), y = int32_t(spot.y);
    // 2000 glows saturate the spot (the smear's blend takes a little off) and the smear drags it
    // a little outward; everything else stays black.
    EXPECT_GE(frame.pixels[y * 640 + x] & 0xF0F0F0, 0xF0F0F0u);
    int64_t lit = pixelsNotEqualTo(frame, 0);
    EXPECT_GT(lit, 20);
    EXPECT_EQ(pixelsNotEqualToIn(frame, x - 16, y - 16, 33, 33, 0), lit);
}

TEST(ParticleCloudCaptions, EachCaptionSitsAtItsPlaceAndTheySwitchAtRowThirtyTwoOfOrderSix) {
    FreeTypeFontEngine fonts;
    SKIP_UNLESS_ARIAL_IS_THE_REFERENCE_FACE();
    ASSERT_TRUE(fonts.open() && fonts.hasFace());
    Bitmap frame(640, 480);
    ParticleCloudScene scene;
    useFontEngine(&fonts), scene.init(&frame, [] {}), useFontEngine(nullptr);
    SongPosition song;
    scene.renderFrame(&frame, 120.0f, 0.0f);
    // Time stands still, so the cloud repeats and frames differ only by their captions; order 7
    // has none.
    const int32_t positions[][2] = {{5, 0}, {5, 63}, {6, 0}, {6, 31}, {6, 32}, {6, 63}, {7, 0}};
    std::vector<std::vector<uint32_t>> shots;
    for (auto [order, row] : positions) {
        ASSERT_TRUE(song.seek(order, row));
        scene.renderFrame(&frame, 0.0f, 0.0f);
        shots.push_back(pixelsOf(frame));
    }
    EXPECT_EQ(shots[0], shots[1]);  // "pelmorand::opungeffekt" all through order 5
    EXPECT_EQ(shots[2], shots[3]);  // "this intro could have been longer.." to row 31
    EXPECT_EQ(shots[4], shots[5]);  // "but who cares?" from row 32
    int32_t right[6];
    for (int32_t s : {0, 2, 4}) {
        int32_t left = 640, top = 480, bottom = -1, brightest = 0;
        right[s] = -1;
        for (int32_t i = 0; i < 640 * 480; ++i) {
            if (shots[s][i] == shots[6][i]) continue;
            left = std::min(left, i % 640), right[s] = std::max(right[s], i % 640);
            top = std::min(top, i / 640), bottom = std::max(bottom, i / 640);
            brightest = std::max(brightest, int32_t(shots[s][i] >> 8) & 255);
        }
        EXPECT_TRUE(left >= 200 && left < 206 && top >= 300 && bottom < 330) << s;  // at (200, 300)
        EXPECT_GE(brightest, 204) << s;  // white at 0.8 keeps a fifth of the cloud beneath
    }
    EXPECT_GT(right[2], 500);  // the long caption, then the short one
    EXPECT_LT(right[4], 420);
    EXPECT_NE(shots[0], shots[2]);
}
