#include "platform/headless/HeadlessDisplayBackend.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "display/Display.h"

namespace {

std::vector<DisplayEvent> drain(HeadlessDisplayBackend& backend) {
    std::vector<DisplayEvent> events;
    DisplayEvent event;
    while (backend.nextEvent(&event)) events.push_back(event);
    return events;
}

TEST(HeadlessDisplayBackend, ReportsActivationFirstAndHoldsScriptedEventsUntilTheirFrame) {
    HeadlessDisplayBackend backend;
    backend.queueEvent(DisplayEvent::OtherKey);
    backend.queueEventBeforeFrame(DisplayEvent::CloseRequest, 2);
    ASSERT_TRUE(backend.openScreen("test", 4, 2));
    EXPECT_EQ(drain(backend), (std::vector<DisplayEvent>{DisplayEvent::Activated, DisplayEvent::OtherKey}));

    SurfaceFormat format;
    ASSERT_EQ(backend.offeredFormats(&format, 1), 1);
    EXPECT_EQ(choosePixelConverter(format.bitCount, format.redMask, format.greenMask, format.blueMask), convertXRGB32);
    ASSERT_TRUE(backend.createBackBuffer(format));
    backend.flip();
    EXPECT_TRUE(drain(backend).empty());
    backend.flip();
    EXPECT_EQ(backend.framesFlipped(), 2u);
    EXPECT_EQ(drain(backend), std::vector<DisplayEvent>{DisplayEvent::CloseRequest});
    backend.close();
    EXPECT_FALSE(backend.isOpen());
}

class HeadlessDisplayTest : public ::testing::Test {
protected:
    HeadlessDisplayBackend backend;
    std::vector<std::vector<uint32_t>> frames;
    void SetUp() override {
        backend.setFrameSink([this](const uint32_t* pixels, int32_t width, int32_t height) {
            frames.emplace_back(pixels, pixels + size_t(width) * size_t(height));
        });
    }
    void TearDown() override { Display::close(); }
};

TEST_F(HeadlessDisplayTest, SinkReceivesEveryPresentedFrameUnchanged) {
    ASSERT_TRUE(Display::open(&backend, "test", 640, 480));
    std::vector<uint32_t> pixels(640 * 480);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 2654435761u);
    ASSERT_TRUE(Display::present(pixels.data()));
    EXPECT_EQ(Display::appActive, 1);
    pixels[12345] = 0xFFFFFFFF;
    ASSERT_TRUE(Display::present(pixels.data()));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1], pixels);
    EXPECT_NE(frames[0][12345], 0xFFFFFFFFu);
}

// Drawing on the frame itself: the sink gets the presented memory, as it was presented.
TEST_F(HeadlessDisplayTest, ASurfaceThatIsTheFrameReachesTheSinkAsItIs) {
    std::vector<uint32_t> pixels(640 * 480);
    backend.useSurface(pixels.data());
    const uint32_t* sunk = nullptr;
    backend.setFrameSink([&sunk, this](const uint32_t* frame, int32_t width, int32_t height) {
        sunk = frame;
        frames.emplace_back(frame, frame + size_t(width) * size_t(height));
    });
    ASSERT_TRUE(Display::open(&backend, "test", 640, 480));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 2246822519u);
    ASSERT_TRUE(Display::present(pixels.data()));
    EXPECT_EQ(sunk, pixels.data());
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], pixels);
}

void runUntilEscape() {
    HeadlessDisplayBackend backend;
    int32_t frames = 0;
    backend.setFrameSink(
        [&frames](const uint32_t*, int32_t, int32_t) { std::fprintf(stderr, "frame %d\n", frames++); });
    backend.queueEventBeforeFrame(DisplayEvent::EscapeKey, 3);
    if (!Display::open(&backend, "test", 16, 16)) std::_Exit(2);
    std::vector<uint32_t> pixels(256);
    for (int i = 0; i < 10; ++i) Display::present(pixels.data());
    std::_Exit(3);
}

TEST(HeadlessDisplayDeathTest, ScriptedEscapeEndsTheRunBeforeItsFrame) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(runUntilEscape(), ::testing::ExitedWithCode(0), "frame 2\n$");
}

}  // namespace
