#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "display/TextSprite.h"
#include "engine/Bitmap.h"
#include "engine/Viewport.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "scenes/TitleScene.h"
#include "tests/CaptionFace.h"
#include "tests/scenes/SceneSupport.h"

namespace {

constexpr uint32_t white = 0xFFFFFFFF;

class TitleSceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        fonts.open();
        useFontEngine(&fonts);
        scene.init(&frame, [] {});
    }
    void TearDown() override { useFontEngine(nullptr); }

    // One frame as the main loop draws it, with projected y mirrored.
    void render(float timeStep) {
        projectionFlipY = true;
        scene.renderFrame(&frame, timeStep, 0.0f);
        projectionFlipY = false;
    }

    // Pixels drawn where each caption sits (row 230, 30 high).
    int64_t groupNamePixels() const { return pixelsNotEqualToIn(frame, 210, 230, 90, 30, white); }
    int64_t titlePixels() const { return pixelsNotEqualToIn(frame, 310, 230, 140, 30, white); }
    // Pixels drawn away from the captions: the object.
    int64_t objectPixels() const {
        return pixelsNotEqualTo(frame, white) - pixelsNotEqualToIn(frame, 200, 225, 260, 40, white);
    }
    // The frame's border rows and columns, which the object never reaches at 70 degrees.
    bool whiteBorder() const {
        return pixelsNotEqualToIn(frame, 0, 0, 640, 2, white) == 0 &&
               pixelsNotEqualToIn(frame, 0, 478, 640, 2, white) == 0 &&
               pixelsNotEqualToIn(frame, 0, 0, 2, 480, white) == 0 &&
               pixelsNotEqualToIn(frame, 638, 0, 2, 480, white) == 0;
    }

    FreeTypeFontEngine fonts;
    Bitmap frame{640, 480};
    TitleScene scene;
    SongPosition song;
};

}  // namespace

TEST_F(TitleSceneTest, OrderZeroShowsTheGroupNameThenFadesTheTitleInFromRowTwenty) {
    SKIP_UNLESS_ARIAL_IS_THE_REFERENCE_FACE();
    ASSERT_TRUE(scene.groupName && scene.title);
    ASSERT_TRUE(song.seek(0, 19));
    render(50.0f);
    EXPECT_GT(groupNamePixels(), 100);
    EXPECT_EQ(titlePixels(), 0);
    EXPECT_EQ(scene.titleOpacity, 0.0f);  // row 19 does not fade
    EXPECT_TRUE(whiteBorder());

    ASSERT_TRUE(song.seek(0, 20));
    render(10.0f);
    EXPECT_FLOAT_EQ(scene.titleOpacity, 0.1f);
    EXPECT_GT(titlePixels(), 100);
    Bitmap faint(640, 480);
    for (int32_t i = 0; i < frame.pixelCount(); ++i) faint.pixels[i] = frame.pixels[i];
    render(0.0f);
    for (int32_t i = 0; i < frame.pixelCount(); ++i) ASSERT_EQ(frame.pixels[i], faint.pixels[i]) << i;

    // However long the frame, the opacity stops at 1; the animation neither runs nor shows.
    render(1e30f);
    EXPECT_EQ(scene.titleOpacity, 1.0f);
    render(std::numeric_limits<float>::infinity());
    EXPECT_EQ(scene.titleOpacity, 1.0f);
    EXPECT_EQ(scene.animTime, 0.0f);
    EXPECT_EQ(objectPixels(), 0);
    EXPECT_TRUE(whiteBorder());
}

TEST_F(TitleSceneTest, OrderOneFadesTheCaptionsOutWhileTheObjectFlies) {
    ASSERT_TRUE(song.seek(0, 20));
    render(200.0f);
    ASSERT_EQ(scene.titleOpacity, 1.0f);
    ASSERT_TRUE(song.seek(1, 0));

    // The first frame of order 1: timeStep 0 keeps the opacity reached and the animation at 0, and
    // draws the object at its first camera keys.
    render(0.0f);
    EXPECT_EQ(scene.titleOpacity, 1.0f);
    EXPECT_EQ(scene.animTime, 0.0f);
    EXPECT_GT(objectPixels(), 20000);
    EXPECT_TRUE(whiteBorder());
    std::vector<uint32_t> first(frame.pixels, frame.pixels + frame.pixelCount());
    render(0.0f);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), frame.pixels));

    render(30.0f);
    EXPECT_FLOAT_EQ(scene.titleOpacity, 0.7f);
    EXPECT_FLOAT_EQ(scene.animTime, 4.5f);
    EXPECT_FALSE(std::equal(first.begin(), first.end(), frame.pixels));

    // Every second of the part the show plays keeps the object inside the frame, off the border.
    for (int second = 1; second <= 10; ++second) {
        render(60.0f);
        EXPECT_GT(objectPixels(), 20000) << second;
        EXPECT_TRUE(whiteBorder()) << second;
    }
    EXPECT_EQ(scene.titleOpacity, 0.0f);
    render(1e30f);
    EXPECT_EQ(scene.titleOpacity, 0.0f);
    EXPECT_EQ(frame.pixels[0], white);
}
