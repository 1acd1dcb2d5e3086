// The embedded song as our player renders it: headroom, loudness of each section, no gaps,
// a real stereo image, and the running time the scenes are built around.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tests/song/SongSupport.h"

namespace {

constexpr uint64_t rate = 44100;
// 10 orders x 64 rows x 6 ticks x 1102 frames per tick at tempo 100.
constexpr uint64_t songFrames = 10ull * 64 * 6 * 1102;

TEST(SongLevels, PlaysTenOrdersOfSixtyFourRowsAtSpeedSixTempoHundred) {
    const RenderedSong& song = embeddedSongRender();
    ASSERT_TRUE(song.ok);
    EXPECT_EQ(song.pcm.size() / 2, songFrames);
    for (int order = 1; order < 10; ++order)
        EXPECT_EQ(firstFrameOfOrder(song, order), uint64_t(order) * 64 * 6 * 1102) << "order " << order;
}

TEST(SongLevels, LeavesHeadroomAndNeverClips) {
    const RenderedSong& song = embeddedSongRender();
    ASSERT_TRUE(song.ok);
    int peak = 0;
    for (int16_t v : song.pcm) peak = std::max(peak, std::abs(int(v)));
    double peakDb = 20.0 * std::log10(std::max(peak, 1) / 32767.0);
    double floatPeakDb = 20.0 * std::log10(std::max(song.floatPeak, 1.0f) / 32767.0);
    std::printf("peak %.2f dBFS (before conversion %.2f dBFS)\n", peakDb, floatPeakDb);
    EXPECT_LE(song.floatPeak, 32767.0f) << "the mix clipped in the 16-bit conversion";
    EXPECT_LE(peakDb, -1.0);
}

TEST(SongLevels, MainSectionsSitBetweenMinusTwentyAndMinusTwelveDbfs) {
    const RenderedSong& song = embeddedSongRender();
    ASSERT_TRUE(song.ok);
    for (int order = 0; order < 10; ++order) {
        uint64_t begin = firstFrameOfOrder(song, order);
        uint64_t end = order < 9 ? firstFrameOfOrder(song, order + 1) : song.pcm.size() / 2;
        double level = rmsDbfs(song.pcm, begin, end, 2);
        std::printf("order %d: %.2f dBFS RMS\n", order, level);
        if (order >= 2 && order <= 8) {
            EXPECT_GE(level, -20.0) << "order " << order;
            EXPECT_LE(level, -12.0) << "order " << order;
        }
    }
}

TEST(SongLevels, HasNoSilenceLongerThanASecondBeforeTheLastOrder) {
    const RenderedSong& song = embeddedSongRender();
    ASSERT_TRUE(song.ok);
    const int quiet = 33;  // below -60 dBFS
    uint64_t lastOrder = firstFrameOfOrder(song, 9);
    ASSERT_GT(lastOrder, 0u);
    uint64_t run = 0, longest = 0;
    for (uint64_t frame = 0; frame < lastOrder; ++frame) {
        bool silent = std::abs(song.pcm[frame * 2]) < quiet && std::abs(song.pcm[frame * 2 + 1]) < quiet;
        run = silent ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    EXPECT_LT(longest, rate) << "a silent stretch of " << longest << " frames";
}

TEST(SongLevels, UsesBothStereoSidesWithDifferentContent) {
    const RenderedSong& song = embeddedSongRender();
    ASSERT_TRUE(song.ok);
    uint64_t frames = song.pcm.size() / 2;
    double left = rmsDbfs(song.pcm, 0, frames, 0);
    double right = rmsDbfs(song.pcm, 0, frames, 1);
    double side = 0, mid = 0;
    for (uint64_t f = 0; f < frames; ++f) {
        double l = song.pcm[f * 2], r = song.pcm[f * 2 + 1];
        side += (l - r) * (l - r);
        mid += (l + r) * (l + r);
    }
    double sideDb = 10.0 * std::log10(side / std::max(mid, 1.0));
    std::printf("left %.2f dBFS, right %.2f dBFS, side/mid %.2f dB\n", left, right, sideDb);
    EXPECT_GT(left, -30.0);
    EXPECT_GT(right, -30.0);
    EXPECT_LT(std::fabs(left - right), 3.0) << "the mix leans to one side";
    EXPECT_GT(sideDb, -30.0) << "left and right carry nearly the same signal";
}

TEST(SongLevels, ComesToRestInTheLastOrder) {
    const RenderedSong& song = embeddedSongRender();
    ASSERT_TRUE(song.ok);
    uint64_t lastOrder = firstFrameOfOrder(song, 9);
    uint64_t fadeEnd = lastOrder + rate * 67 / 10;  // the picture is black after about 6.7 s
    uint64_t end = song.pcm.size() / 2;
    double start = rmsDbfs(song.pcm, lastOrder, lastOrder + rate, 2);
    double tail = rmsDbfs(song.pcm, fadeEnd, end, 2);
    std::printf("last order: first second %.2f dBFS, after the fade %.2f dBFS\n", start, tail);
    EXPECT_GT(start, -30.0) << "the last chord is missing";
    EXPECT_LT(tail, -70.0) << "still sounding after the picture went black";
}

}  // namespace
