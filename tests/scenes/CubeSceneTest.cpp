#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "scenes/CubeScene.h"
#include "tests/CaptionFace.h"
#include "tests/scenes/CaptionCheck.h"
#include "tests/scenes/SceneSupport.h"

namespace {

struct CubeSceneTest : ::testing::Test {
    Bitmap frame{640, 480};
    CubeScene scene;
    void SetUp() override {
        scene.init(&frame, [] {});
    }
};

// i, j, k of a lattice index.
std::vector<int> layers(int32_t index) { return {index / 100, index / 10 % 10, index % 10}; }

}  // namespace

TEST(CubeSceneSegments, EveryNeighbourPairOnceAlongKThenJThenI) {
    std::vector<CubeScene::Segment> segments(CubeScene::segmentCount);
    CubeScene::buildSegments(segments.data());
    ASSERT_EQ(segments.size(), 2700u);
    std::set<std::pair<int32_t, int32_t>> seen;
    for (size_t n = 0; n < segments.size(); ++n) {
        std::vector<int> a = layers(segments[n].from), b = layers(segments[n].to);
        int axis = n < 900 ? 2 : n < 1800 ? 1 : 0;  // k, then j, then i
        for (int d = 0; d < 3; ++d) EXPECT_EQ(b[d] - a[d], d == axis ? 1 : 0) << "segment " << n;
        EXPECT_TRUE(seen.insert({segments[n].from, segments[n].to}).second) << "segment " << n;
    }
    // Within each axis the segments run with the lattice index of their far end.
    EXPECT_EQ(segments[0].from, 0);
    EXPECT_EQ(segments[0].to, 1);
    EXPECT_EQ(segments[900].to, 10);
    EXPECT_EQ(segments[1800].to, 100);
    EXPECT_EQ(segments[2699].to, 999);
}

TEST_F(CubeSceneTest, TheLatticeRestsCentredWithSpacingTen) {
    EXPECT_EQ(scene.restGrid[0].x, -45.0f);
    EXPECT_EQ(scene.restGrid[0].z, -45.0f);
    EXPECT_EQ(scene.restGrid[999].x, 45.0f);
    // Index (i * 10 + j) * 10 + k holds (10 k - 45, 10 j - 45, 10 i - 45).
    Vector3 p = scene.restGrid[(3 * 10 + 7) * 10 + 1];
    EXPECT_EQ(p.x, -35.0f);
    EXPECT_EQ(p.y, 25.0f);
    EXPECT_EQ(p.z, -15.0f);
}

TEST_F(CubeSceneTest, SlateBlueWhereNothingIsDrawnAndStillFramesAtTimeStepZero) {
    scene.renderFrame(&frame, 0.0f, 0.0f);
    // The bottom band holds neither captions nor, at the start, the lattice.
    EXPECT_EQ(pixelsNotEqualToIn(frame, 0, 400, 640, 80, 0x325064), 0);
    EXPECT_GT(pixelsNotEqualToIn(frame, 0, 0, 640, 400, 0x325064), 10000);  // the lattice
    std::vector<uint32_t> first(frame.pixels, frame.pixels + frame.pixelCount());
    scene.renderFrame(&frame, 0.0f, 0.0f);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), frame.pixels));
    scene.renderFrame(&frame, 1.0f, 0.0f);
    EXPECT_FALSE(std::equal(first.begin(), first.end(), frame.pixels));
    EXPECT_FLOAT_EQ(scene.gridSpin, 0.3f);
}

TEST_F(CubeSceneTest, StallsAndBrokenTimeStepsKeepTheLatticeFinite) {
    scene.renderFrame(&frame, 0.0f, 0.0f);
    for (float step : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 2.5e8f}) {
        scene.renderFrame(&frame, step, 0.0f);
        for (int32_t n = 0; n < CubeScene::pointCount; ++n)
            ASSERT_TRUE(std::isfinite(scene.workGrid[n].x) && std::isfinite(scene.workGrid[n].z)) << step;
    }
    EXPECT_TRUE(std::isfinite(scene.gridSpin));
}

TEST_F(CubeSceneTest, TheCaptionsSitAtTheirPlacesOverAndUnderTheLattice) {
    FreeTypeFontEngine fonts;
    SKIP_UNLESS_ARIAL_IS_THE_REFERENCE_FACE();
    ASSERT_TRUE(fonts.open() && fonts.hasFace());
    CubeScene captioned;
    Bitmap captionedFrame{640, 480};
    useFontEngine(&fonts), captioned.init(&captionedFrame, [] {}), useFontEngine(nullptr);
    for (float step : {0.0f, 450.0f}) {
        scene.renderFrame(&frame, step, 0.0f);
        captioned.renderFrame(&captionedFrame, step, 0.0f);
    }
    expectOnlyCaptionsDiffer(captionedFrame, frame,
                             {{100, 230, captioned.backdrop},
                              {20, 180, captioned.axisX},
                              {420, 60, captioned.axisY},
                              {330, 310, captioned.label}});
}
