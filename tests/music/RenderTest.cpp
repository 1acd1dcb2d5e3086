#include <gtest/gtest.h>

#include <vector>

#include "music/SongRender.h"
#include "tests/music/MusicSupport.h"

TEST(SongRender, StopsAtTheSongsLoopWithATickTimeline) {
    XmSong song = makeSong(2, 8, 3, 125);  // 882 frames per tick, 3 ticks per row
    song.orders = {0, 1, 0};
    song.restart = 1;
    song.patterns.push_back(XmPattern::empty(4, 2));
    song.patterns[1].at(2, 0, 2) = XmCell{0, 0, 0, 0x0B, 2};  // order 1 row 2 jumps to order 2
    song.instruments.push_back(makeInstrument(makeSample(400, XmLoop::Forward, 0, 400)));
    song.patterns[0].at(0, 0, 2) = XmCell{49, 1, 0, 0, 0};
    std::vector<uint8_t> image = writeXm(song);

    std::vector<int16_t> pcm;
    std::vector<SongTick> timeline;
    ASSERT_TRUE(renderSong(image.data(), uint32_t(image.size()), 44100 * 60, true, pcm, &timeline));
    // Rows played: 8 (order 0) + 3 (order 1, up to the jump) + 8 (order 2), then back to order 1.
    const int ticks = (8 + 3 + 8) * 3;
    EXPECT_EQ(pcm.size(), size_t(ticks) * 882 * 2);
    ASSERT_EQ(timeline.size(), size_t(ticks));
    EXPECT_EQ(timeline[0].frame, 0u);
    EXPECT_EQ(timeline[0].order, 0);
    EXPECT_EQ(timeline[4].row, 1);
    EXPECT_EQ(timeline[4].tick, 1);
    EXPECT_EQ(timeline[8 * 3].order, 1);
    EXPECT_EQ(timeline[11 * 3].order, 2);
    EXPECT_EQ(timeline[11 * 3].row, 0);
    for (size_t i = 1; i < timeline.size(); ++i) {
        ASSERT_EQ(timeline[i].frame - timeline[i - 1].frame, 882u) << i;
        ASSERT_GE(timeline[i].elapsedMs, timeline[i - 1].elapsedMs + 19) << i;
    }

    // Without the stop it keeps going, and a frame limit cuts anywhere.
    std::vector<int16_t> longer;
    ASSERT_TRUE(renderSong(image.data(), uint32_t(image.size()), uint64_t(ticks) * 882 + 1000, false, longer));
    EXPECT_EQ(longer.size(), (size_t(ticks) * 882 + 1000) * 2);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), longer.begin()));

    // Rendering in odd-sized pieces gives the same samples.
    SongRender* render = SongRender::open(image.data(), uint32_t(image.size()));
    ASSERT_NE(render, nullptr);
    std::vector<int16_t> pieces;
    for (uint32_t piece : {1u, 883u, 5000u, 17u, 100000u}) {
        std::vector<int16_t> part(size_t(piece) * 2);
        uint32_t got = SongRender::render(render, part.data(), piece, true);
        pieces.insert(pieces.end(), part.begin(), part.begin() + size_t(got) * 2);
    }
    EXPECT_TRUE(SongRender::songEnded(render));
    SongRender::close(render);
    EXPECT_TRUE(pieces == pcm);

    const char* error = nullptr;
    std::vector<int16_t> none;
    EXPECT_FALSE(renderSong(image.data(), 30, 100, true, none, nullptr, &error));
    EXPECT_NE(error, nullptr);
}
