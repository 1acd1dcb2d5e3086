#include "platform/freetype/FreeTypeFontEngine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/CaptionFace.h"

namespace {

FontRequest requestOf(int32_t cellHeight, int32_t weight, int32_t width = 0) {
    FontRequest request;
    request.cellHeight = cellHeight;
    request.weight = weight;
    request.width = width;
    return request;
}

// Ink extent and total coverage of an image drawn by the engine.
struct Ink {
    int32_t top = -1, bottom = -1, left = -1, right = -1;
    int64_t total = 0;
};

Ink inkOf(const std::vector<uint32_t>& pixels, int32_t width) {
    Ink ink;
    for (size_t i = 0; i < pixels.size(); ++i) {
        uint32_t value = pixels[i] & 0xFF;
        if (value == 0) continue;
        int32_t x = int32_t(i) % width, y = int32_t(i) / width;
        if (ink.top < 0) ink.top = y;
        ink.bottom = y;
        if (ink.left < 0 || x < ink.left) ink.left = x;
        if (x > ink.right) ink.right = x;
        ink.total += value;
    }
    return ink;
}

class FreeTypeFontEngineTest : public ::testing::Test {
protected:
    FreeTypeFontEngine fonts;
    void SetUp() override {
        SKIP_UNLESS_ARIAL_IS_THE_REFERENCE_FACE();
        ASSERT_TRUE(fonts.open());
        ASSERT_TRUE(fonts.hasFace()) << "the caption font is missing";
    }
    std::vector<uint32_t> draw(const FontRequest& request, const char* text, int32_t width) {
        std::vector<uint32_t> pixels(size_t(width) * size_t(request.cellHeight), 0);
        EXPECT_TRUE(fonts.drawText(request, text, pixels.data(), width, request.cellHeight));
        return pixels;
    }
};

TEST_F(FreeTypeFontEngineTest, MaximumWidthFollowsCellHeightAndAverageWidth) {
    int32_t small = fonts.maxCharWidth(requestOf(100, 500));
    int32_t large = fonts.maxCharWidth(requestOf(400, 500));
    EXPECT_GT(small, 40);
    EXPECT_NEAR(large, 4 * small, 4);

    int32_t narrow = fonts.maxCharWidth(requestOf(100, 500, 20));
    int32_t wide = fonts.maxCharWidth(requestOf(100, 500, 40));
    EXPECT_LT(narrow, small);
    EXPECT_NEAR(wide, 2 * narrow, 2);
}

TEST_F(FreeTypeFontEngineTest, CellTopIsRowZeroAndBaselineIsAtTheAscent) {
    // A cell of 229 pixels puts the baseline of a face with win metrics 1854 / 434 near row 186;
    // a lower-case l stands on the baseline and rises above the capitals but below the cell's top.
    FontRequest request = requestOf(229, 500);
    std::vector<uint32_t> l = draw(request, "l", 200);
    Ink ink = inkOf(l, 200);
    EXPECT_NEAR(ink.bottom, 185, 1);
    EXPECT_GT(ink.top, 10);
    EXPECT_LT(ink.top, 45);
    EXPECT_LT(ink.left, 30) << "the pen starts at column 0";

    Ink descender = inkOf(draw(request, "g", 200), 200);
    EXPECT_GT(descender.bottom, ink.bottom + 20);
    EXPECT_LT(descender.bottom, 229);
}

TEST_F(FreeTypeFontEngineTest, HeavierWeightsDrawMoreInkAndTextIsAntialiased) {
    FontRequest regular = requestOf(80, 500), heavy = requestOf(80, 800);
    std::vector<uint32_t> light = draw(regular, "pelmorand", 800);
    Ink regularInk = inkOf(light, 800);
    Ink heavyInk = inkOf(draw(heavy, "pelmorand", 800), 800);
    EXPECT_GT(heavyInk.total, regularInk.total * 5 / 4);

    int32_t partial = 0;
    for (uint32_t pixel : light) {
        uint32_t value = pixel & 0xFF;
        partial += value > 0 && value < 255;
        ASSERT_EQ(pixel, value * 0x010101u);
    }
    EXPECT_GT(partial, 50);
}

TEST_F(FreeTypeFontEngineTest, DrawingIsClippedToTheImage) {
    // The image sits inside a larger buffer; text far wider and taller than it must not spill.
    const int32_t width = 30, height = 20, margin = 64;
    std::vector<uint32_t> buffer(size_t(width * height + 2 * margin), 0xDEADBEEF);
    uint32_t* image = buffer.data() + margin;
    for (int32_t i = 0; i < width * height; ++i) image[i] = 0;
    FontRequest request = requestOf(60, 800);
    EXPECT_TRUE(fonts.drawText(request, "WWWW gjpq", image, width, height));
    for (int32_t i = 0; i < margin; ++i) {
        ASSERT_EQ(buffer[size_t(i)], 0xDEADBEEFu);
        ASSERT_EQ(buffer[buffer.size() - 1 - size_t(i)], 0xDEADBEEFu);
    }
}

TEST(FreeTypeFontEngineFallback, UnknownFamilyNamesThePackageAndKeepsCaptionSizes) {
    SKIP_UNLESS_ARIAL_IS_THE_REFERENCE_FACE();  // the sizes kept are Liberation Sans's
    FreeTypeFontEngine arial;
    ASSERT_TRUE(arial.open());
    FreeTypeFontEngine missing;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(missing.open("NoSuchFamilyForCaptions"));
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(missing.hasFace());
    EXPECT_NE(message.find("fonts-liberation2"), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line";

    for (int32_t weight : {500, 800, 1000})
        for (int32_t cell : {80, 100, 120, 140, 880})
            EXPECT_EQ(missing.maxCharWidth(requestOf(cell, weight)), arial.maxCharWidth(requestOf(cell, weight)))
                << "weight " << weight << " cell " << cell;

    FontRequest request = requestOf(40, 800);
    std::vector<uint32_t> pixels(400 * 40, 0);
    EXPECT_FALSE(missing.drawText(request, "kelv", pixels.data(), 400, 40));
    EXPECT_EQ(inkOf(pixels, 400).total, 0);
}

}  // namespace
