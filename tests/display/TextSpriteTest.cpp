#include "display/TextSprite.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#if defined(_WIN32)
#include "platform/win32/GdiFontEngine.h"
using CaptionFontEngine = GdiFontEngine;
#else
#include "platform/freetype/FreeTypeFontEngine.h"
#include "tests/CaptionFace.h"
using CaptionFontEngine = FreeTypeFontEngine;
#endif

namespace {

// A font engine that draws a fixed image and records what it was asked for.
class ScriptedFontEngine final : public FontEngine {
public:
    int32_t maxWidth = 4;
    std::vector<uint32_t> image;  // drawn into the top-left corner of the caller's image
    int32_t imageWidth = 0;
    bool drawWorks = true;

    FontRequest lastRequest;
    std::string lastText;
    int32_t drawnWidth = -1, drawnHeight = -1;

    int32_t maxCharWidth(const FontRequest& request) override {
        lastRequest = request;
        return maxWidth;
    }
    bool drawText(const FontRequest& request, const char* text, uint32_t* pixels, int32_t width,
                  int32_t height) override {
        lastRequest = request;
        lastText = text;
        drawnWidth = width;
        drawnHeight = height;
        if (!drawWorks) return false;
        for (size_t i = 0; i < image.size(); ++i) {
            int32_t x = int32_t(i) % imageWidth, y = int32_t(i) / imageWidth;
            if (x < width && y < height) pixels[y * width + x] = image[i];
        }
        return true;
    }
};

// Red, green and top byte hold noise: only the blue byte is coverage.
uint32_t withNoise(uint32_t blue) { return 0xFF7F3100u | blue; }

class TextSpriteTest : public ::testing::Test {
protected:
    ScriptedFontEngine engine;
    void SetUp() override { useFontEngine(&engine); }
    void TearDown() override { useFontEngine(nullptr); }
};

TEST_F(TextSpriteTest, BoxFilterAveragesBlueBytesTruncatesAndDropsLeftoverColumns) {
    // Two characters of maximum width 4 at factor 3: an 8 x 3 image reduced to 2 x 1 (8 / 3 = 2).
    engine.imageWidth = 8;
    engine.image = {
        255, 255, 255, 0, 0,  0, 200, 200,  //
        255, 255, 255, 0, 17, 0, 200, 200,  //
        255, 255, 255, 0, 0,  0, 200, 200,
    };
    for (uint32_t& pixel : engine.image) pixel = withNoise(pixel);
    std::unique_ptr<Bitmap> sprite(createTextSprite(0, 1, 0, "ab", 3, 800));
    ASSERT_NE(sprite, nullptr);
    ASSERT_EQ(sprite->width, 2);
    ASSERT_EQ(sprite->height, 1);
    EXPECT_EQ(sprite->pixels[0], 0xFFFFFFu);
    EXPECT_EQ(sprite->pixels[1], 0x010101u);  // 17 / 9, truncated
    EXPECT_EQ(engine.drawnWidth, 8);
    EXPECT_EQ(engine.drawnHeight, 3);
    EXPECT_EQ(engine.lastText, "ab");
}

TEST_F(TextSpriteTest, FontIsRequestedAtTheSupersampledSize) {
    engine.maxWidth = 10;
    std::unique_ptr<Bitmap> sprite(createTextSprite(6, 25, 3, "but who cares?", 4, 1000));
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(engine.lastRequest.cellHeight, 100);
    EXPECT_EQ(engine.lastRequest.width, 12);
    EXPECT_EQ(engine.lastRequest.weight, 1000);
    EXPECT_FALSE(engine.lastRequest.symbolCharset);
    EXPECT_EQ(sprite->width, 14 * 10 / 4);
    EXPECT_EQ(sprite->height, 25);

    for (int32_t style : {4, 5}) {
        delete createTextSprite(style, 10, 0, "x", 4, 500);
        EXPECT_TRUE(engine.lastRequest.symbolCharset) << style;
    }
}

TEST_F(TextSpriteTest, FailedDrawingGivesABlankSpriteOfFullSize) {
    engine.maxWidth = 9;
    engine.drawWorks = false;
    std::unique_ptr<Bitmap> sprite(createTextSprite(0, 30, 0, "kelv", 4, 800));
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->width, 4 * 9 / 4);
    EXPECT_EQ(sprite->height, 30);
    for (int32_t i = 0; i < sprite->pixelCount(); ++i) ASSERT_EQ(sprite->pixels[i], 0u);
}

TEST_F(TextSpriteTest, UnusableArgumentsGiveNoSprite) {
    EXPECT_EQ(createTextSprite(0, 20, 0, nullptr, 4, 500), nullptr);
    EXPECT_EQ(createTextSprite(0, 20, 0, "x", 0, 500), nullptr);
    EXPECT_EQ(createTextSprite(0, -1, 0, "x", 4, 500), nullptr);
    EXPECT_EQ(createTextSprite(0, 20, -3, "x", 4, 500), nullptr);
    engine.maxWidth = 1 << 30;
    EXPECT_EQ(createTextSprite(0, 20, 0, "far too wide", 4, 500), nullptr);
}

// The platform's real engine (FreeType, or GDI on Windows), as the show uses it.
class PlatformCaptionTest : public ::testing::Test {
protected:
    static CaptionFontEngine* fonts;
    static void SetUpTestSuite() {
        fonts = new CaptionFontEngine;
        fonts->open();
    }
    static void TearDownTestSuite() {
        delete fonts;
        fonts = nullptr;
    }
    void SetUp() override {
#if !defined(_WIN32)
        SKIP_UNLESS_ARIAL_IS_THE_REFERENCE_FACE();
#endif
        ASSERT_TRUE(fonts->hasFace()) << "the caption font is missing";
        useFontEngine(fonts);
    }
    void TearDown() override { useFontEngine(nullptr); }

    static int32_t coveredPixels(const Bitmap& sprite, int32_t* maximum, int32_t* rightmost) {
        int32_t covered = 0;
        *maximum = 0;
        *rightmost = -1;
        for (int32_t y = 0; y < sprite.height; ++y)
            for (int32_t x = 0; x < sprite.width; ++x) {
                int32_t value = int32_t(sprite.pixels[y * sprite.width + x] & 0xFF);
                if (value == 0) continue;
                ++covered;
                if (value > *maximum) *maximum = value;
                if (x > *rightmost) *rightmost = x;
            }
        return covered;
    }
};
CaptionFontEngine* PlatformCaptionTest::fonts = nullptr;

TEST_F(PlatformCaptionTest, LoadingCaptionIsTwentyHighWithVisibleGreyText) {
    std::unique_ptr<Bitmap> sprite(createTextSprite(0, 20, 0, "loading, please wait", 5, 500));
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->height, 20);
    int32_t maximum = 0, rightmost = 0;
    int32_t covered = coveredPixels(*sprite, &maximum, &rightmost);
    EXPECT_GT(covered, 150);
    EXPECT_GE(maximum, 200);
    EXPECT_LT(rightmost, sprite->width * 3 / 4) << "the sprite should be wider than its text";
    for (int32_t i = 0; i < sprite->pixelCount(); ++i) {
        uint32_t p = sprite->pixels[i];
        ASSERT_EQ(p, (p & 0xFF) * 0x010101u) << "not grey at " << i;
    }
}

TEST_F(PlatformCaptionTest, BigLetterAndTrailingSpacesKeepTheirSizes) {
    std::unique_ptr<Bitmap> r(createTextSprite(6, 220, 0, "r", 4, 1000));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->height, 220);
    int32_t maximum = 0, rightmost = 0;
    EXPECT_GT(coveredPixels(*r, &maximum, &rightmost), 2000);
    EXPECT_EQ(maximum, 255);

    std::unique_ptr<Bitmap> spaced(createTextSprite(0, 30, 0, "<< this is a cu b  e  ", 4, 800));
    std::unique_ptr<Bitmap> bare(createTextSprite(0, 30, 0, "<< this is a cu b  e", 4, 800));
    ASSERT_NE(spaced, nullptr);
    ASSERT_NE(bare, nullptr);
    FontRequest request;
    request.cellHeight = 120;
    request.weight = 800;
    int32_t widest = fonts->maxCharWidth(request);
    EXPECT_EQ(spaced->width, 22 * widest / 4);
    EXPECT_GT(spaced->width, bare->width);
}

}  // namespace
