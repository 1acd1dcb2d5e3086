#include <gtest/gtest.h>

#include <limits>

#include "display/TextSprite.h"
#include "platform/freetype/FreeTypeFontEngine.h"
#include "scenes/CreditsScene.h"
#include "tests/CaptionFace.h"
#include "tests/scenes/SceneSupport.h"

namespace {

// Captions are 30 rows high with their ink on rows 4 to 24, so the names, 23 rows apart, are told
// apart by rows 2 to 24 of each. A caption drawn at opacity 0 still clears the top byte of the
// pixels it covers, so ink is counted on the three colour bytes.
struct CreditsSceneTest : ::testing::Test {
    void SetUp() override {
        SKIP_UNLESS_ARIAL_IS_THE_REFERENCE_FACE();
        ASSERT_TRUE(fonts.open() && fonts.hasFace());
        useFontEngine(&fonts), scene.init(&frame, [] {}), useFontEngine(nullptr);
    }
    void render(float timeStep) { scene.renderFrame(&frame, timeStep, 0.0f); }

    // The number of non-white pixels in the rectangle and the darkest blue byte among them.
    std::pair<int64_t, uint32_t> ink(int32_t x, int32_t y, int32_t width, int32_t height) const {
        int64_t count = 0;
        uint32_t darkest = 255;
        for (int32_t row = y; row < y + height; ++row)
            for (int32_t column = x; column < x + width; ++column) {
                uint32_t pixel = frame.pixels[row * 640 + column] & 0xFFFFFF;
                count += pixel != 0xFFFFFF;
                darkest = std::min(darkest, pixel & 255);
            }
        return {count, darkest};
    }
    std::pair<int64_t, uint32_t> name(int32_t i) const { return ink(250, 232 + 23 * i, 150, 23); }
    // All four bytes of the white fill outside the captions' area (columns 210 on, rows 230-329).
    bool whiteElsewhere() const {
        return pixelsNotEqualTo(frame, 0xFFFFFFFF) == pixelsNotEqualToIn(frame, 210, 230, 430, 100, 0xFFFFFFFF);
    }

    FreeTypeFontEngine fonts;
    Bitmap frame{640, 480};
    CreditsScene scene;
    SongPosition song;
};

}  // namespace

TEST_F(CreditsSceneTest, OrderSevenShowsTheRunningTimeAloneToRowNineteenThenFadesTheTaglineIn) {
    ASSERT_TRUE(song.seek(7, 19));
    render(50.0f);
    EXPECT_EQ(ink(200, 225, 68, 40).second, 0u);  // "1:30" in full black
    EXPECT_EQ(ink(270, 225, 370, 40).first, 0);
    EXPECT_TRUE(whiteElsewhere());
    ASSERT_TRUE(song.seek(7, 20));
    render(0.0f);
    EXPECT_EQ(ink(270, 225, 370, 40).first, 0);  // no time has passed
    render(10.0f);  // raised to 0.1 before it is drawn: black at a tenth is 229 at the darkest
    EXPECT_GT(ink(270, 225, 370, 40).first, 100);
    EXPECT_GE(ink(270, 225, 370, 40).second, 229u);
    render(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(scene.taglineOpacity, 1.0f);
    render(1e9f);
    EXPECT_EQ(scene.taglineOpacity, 1.0f);
    EXPECT_EQ(ink(270, 225, 370, 40).second, 0u);
}

TEST_F(CreditsSceneTest, OrderEightAddsOneNamePerQuarterEachStartingInvisible) {
    for (int32_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(song.seek(8, 16 * i));
        render(30.0f);  // drawn at opacity 0, then raised
        EXPECT_EQ(name(i).first, 0) << i;
        for (int32_t earlier = 0; earlier < i; ++earlier) EXPECT_EQ(name(earlier).second, 0u) << i;
        for (int32_t later = i + 1; later < 4; ++later) EXPECT_EQ(name(later).first, 0) << i;
        EXPECT_EQ(ink(200, 225, 50, 105).first, 0);  // "1:30" is gone
        render(0.0f);
        EXPECT_GT(name(i).first, 50) << i;
        EXPECT_GE(name(i).second, 178u) << i;  // black at 0.3
        EXPECT_TRUE(whiteElsewhere());
    }
    // The earlier names were drawn in full black although their own opacities stopped at 0.3.
    for (float opacity : scene.nameOpacity) EXPECT_FLOAT_EQ(opacity, 0.3f);
    ASSERT_TRUE(song.seek(9, 0));  // any other order: the white screen alone
    render(5.0f);
    EXPECT_EQ(pixelsNotEqualTo(frame, 0xFFFFFFFF), 0);
}
