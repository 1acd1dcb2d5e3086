#include "display/Display.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <vector>

namespace {

// A backend in memory: offers a scripted list of formats, can refuse some of them, and locks a back
// buffer whose rows are padded past the picture's width.
class FakeBackend final : public DisplayBackend {
public:
    bool screenOpens = true;
    std::vector<SurfaceFormat> formats;
    std::vector<int32_t> refusedBitCounts;
    std::deque<DisplayEvent> events;
    bool lockWorks = true;
    int32_t padding = 7;         // bytes after each row
    bool announceClose = false;  // say so on stderr, for the death tests

    int32_t width = 0, height = 0;
    SurfaceFormat created;
    std::vector<uint8_t> memory;
    int32_t pitch = 0;
    int opens = 0, closes = 0, locks = 0, unlocks = 0, flips = 0, sleeps = 0;
    uint32_t lastSleepMs = 0;

    bool openScreen(const char*, int32_t w, int32_t h) override {
        ++opens;
        width = w;
        height = h;
        return screenOpens;
    }
    int32_t offeredFormats(SurfaceFormat* out, int32_t capacity) override {
        int32_t n = 0;
        for (const SurfaceFormat& f : formats)
            if (n < capacity) out[n++] = f;
        return n;
    }
    bool createBackBuffer(const SurfaceFormat& format) override {
        for (int32_t bits : refusedBitCounts)
            if (bits == format.bitCount) return false;
        created = format;
        pitch = width * format.bitCount / 8 + padding;
        memory.assign(size_t(pitch * height), 0xEE);
        return true;
    }
    bool nextEvent(DisplayEvent* event) override {
        if (events.empty()) return false;
        *event = events.front();
        events.pop_front();
        return true;
    }
    bool lock(LockedSurface* surface) override {
        ++locks;
        if (!lockWorks) return false;
        surface->memory = memory.data();
        surface->pitch = pitch;
        return true;
    }
    void unlock() override { ++unlocks; }
    void flip() override { ++flips; }
    void sleepMs(uint32_t ms) override {
        ++sleeps;
        lastSleepMs = ms;
    }
    void close() override {
        ++closes;
        if (announceClose) std::fprintf(stderr, "backend closed\n");
    }
};

const SurfaceFormat xrgb32{32, 0xFF0000, 0xFF00, 0xFF};
const SurfaceFormat xbgr32{32, 0xFF, 0xFF00, 0xFF0000};
const SurfaceFormat rgb24{24, 0xFF0000, 0xFF00, 0xFF};
const SurfaceFormat rgb565{16, 0xF800, 0x7E0, 0x1F};
const SurfaceFormat palettised{8, 0, 0, 0};

class DisplayTest : public ::testing::Test {
protected:
    FakeBackend backend;
    void TearDown() override { Display::close(); }
};

TEST_F(DisplayTest, TakesTheFirstOfferedFormatThatHasAConverter) {
    backend.formats = {palettised, xbgr32, rgb565};
    ASSERT_TRUE(Display::open(&backend, "test", 640, 480));
    EXPECT_EQ(backend.width, 640);
    EXPECT_EQ(backend.height, 480);
    EXPECT_EQ(backend.created.redMask, 0xFFu);
    EXPECT_EQ(Display::converter, convertXBGR32);
    EXPECT_EQ(Display::appActive, 0);
}

TEST_F(DisplayTest, FallsBackTo16BitsWhenDeeperBackBuffersAreRefused) {
    backend.formats = {xrgb32, rgb24, rgb565};
    backend.refusedBitCounts = {32, 24};
    ASSERT_TRUE(Display::open(&backend, "test", 640, 480));
    EXPECT_EQ(backend.created.bitCount, 16);
    EXPECT_EQ(Display::converter, convertRGB565);
}

TEST_F(DisplayTest, FailedOpenReleasesTheBackend) {
    backend.formats = {palettised, SurfaceFormat{32, 0xFF000000, 0xFF0000, 0xFF00}};
    EXPECT_FALSE(Display::open(&backend, "test", 640, 480));
    EXPECT_EQ(backend.closes, 1);
    EXPECT_EQ(Display::backend, nullptr);
    EXPECT_FALSE(Display::present(std::vector<uint32_t>(640 * 480).data()));

    FakeBackend noScreen;
    noScreen.screenOpens = false;
    noScreen.formats = {xrgb32};
    EXPECT_FALSE(Display::open(&noScreen, "test", 640, 480));
    EXPECT_EQ(noScreen.closes, 1);

    FakeBackend refusesAll;
    refusesAll.formats = {xrgb32, rgb565};
    refusesAll.refusedBitCounts = {32, 16};
    EXPECT_FALSE(Display::open(&refusesAll, "test", 640, 480));

    FakeBackend unused;
    EXPECT_FALSE(Display::open(nullptr, "test", 640, 480));
    EXPECT_FALSE(Display::open(&unused, "test", 0, 480));
    EXPECT_EQ(unused.opens, 0);
}

TEST_F(DisplayTest, PresentConvertsEachRowAtThePitchAndLeavesPaddingAlone) {
    backend.formats = {rgb24};
    ASSERT_TRUE(Display::open(&backend, "test", 5, 3));
    backend.events = {DisplayEvent::Activated};
    std::vector<uint32_t> pixels(15);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0x01000000u * uint32_t(i) + 0x030201u * uint32_t(i + 1);

    ASSERT_TRUE(Display::present(pixels.data()));
    EXPECT_EQ(backend.locks, 1);
    EXPECT_EQ(backend.unlocks, 1);
    EXPECT_EQ(backend.flips, 1);
    for (int32_t row = 0; row < 3; ++row) {
        const uint8_t* line = backend.memory.data() + row * backend.pitch;
        for (int32_t x = 0; x < 5; ++x) {
            uint32_t p = pixels[size_t(row * 5 + x)];
            EXPECT_EQ(line[x * 3 + 0], p & 0xFF);
            EXPECT_EQ(line[x * 3 + 1], (p >> 8) & 0xFF);
            EXPECT_EQ(line[x * 3 + 2], (p >> 16) & 0xFF);
        }
        for (int32_t b = 15; b < backend.pitch; ++b) EXPECT_EQ(line[b], 0xEE) << "row " << row << " byte " << b;
    }
}

TEST_F(DisplayTest, DrawsOnlyWhileActive) {
    backend.formats = {xrgb32};
    ASSERT_TRUE(Display::open(&backend, "test", 4, 2));
    std::vector<uint32_t> pixels(8, 0x123456);

    EXPECT_TRUE(Display::present(pixels.data()));
    EXPECT_EQ(backend.locks, 0);
    EXPECT_EQ(backend.sleeps, 1);
    EXPECT_EQ(backend.lastSleepMs, 1u);

    backend.events = {DisplayEvent::Activated, DisplayEvent::OtherKey};
    EXPECT_TRUE(Display::present(pixels.data()));
    EXPECT_EQ(Display::appActive, 1);
    EXPECT_EQ(backend.flips, 1);
    EXPECT_EQ(backend.sleeps, 2);  // a drawn frame ends by yielding: a sleep of 0 ms after the flip
    EXPECT_EQ(backend.lastSleepMs, 0u);

    backend.events = {DisplayEvent::Deactivated};
    EXPECT_TRUE(Display::present(pixels.data()));
    EXPECT_EQ(Display::appActive, 0);
    EXPECT_EQ(backend.flips, 1);
    EXPECT_EQ(backend.sleeps, 3);
    EXPECT_EQ(backend.lastSleepMs, 1u);

    backend.events = {DisplayEvent::Activated};
    backend.lockWorks = false;
    EXPECT_FALSE(Display::present(pixels.data()));
    EXPECT_EQ(backend.unlocks, 1);
    EXPECT_EQ(backend.flips, 1);
    EXPECT_EQ(backend.sleeps, 3);  // a failed lock returns at once, without sleeping
}

TEST_F(DisplayTest, CloseIsSafeTwiceAndPresentAfterwardsDoesNothing) {
    backend.formats = {xrgb32};
    ASSERT_TRUE(Display::open(&backend, "test", 4, 2));
    Display::close();
    Display::close();
    EXPECT_EQ(backend.closes, 1);
    std::vector<uint32_t> pixels(8);
    EXPECT_FALSE(Display::present(pixels.data()));
    EXPECT_EQ(backend.locks, 0);
}

void presentWithPendingEvent(DisplayEvent event) {
    FakeBackend backend;
    backend.formats = {xrgb32};
    backend.announceClose = true;
    if (!Display::open(&backend, "test", 4, 2)) return;
    backend.events = {DisplayEvent::Activated, event, DisplayEvent::Deactivated};
    std::vector<uint32_t> pixels(8);
    Display::present(pixels.data());
    std::fprintf(stderr, "present returned\n");
    std::_Exit(3);
}

TEST(DisplayDeathTest, EscapeAndCloseRequestEndTheProcessWithStatusZeroAfterClosing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(presentWithPendingEvent(DisplayEvent::EscapeKey), ::testing::ExitedWithCode(0), "backend closed");
    EXPECT_EXIT(presentWithPendingEvent(DisplayEvent::CloseRequest), ::testing::ExitedWithCode(0), "backend closed");
    EXPECT_EXIT(presentWithPendingEvent(DisplayEvent::OtherKey), ::testing::ExitedWithCode(3), "present returned");
}

}  // namespace
