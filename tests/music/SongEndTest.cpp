// Where a rendered song ends: at the first row played again in the same state, or at a stop.
#include <gtest/gtest.h>

#include <vector>

#include "music/SongRender.h"
#include "tests/music/MusicSupport.h"

namespace {

constexpr uint64_t RowFrames = 6 * 882;  // speed 6, tempo 125

// Two channels, patterns of the given row counts, one note so the song is not silent.
XmSong songOf(std::vector<uint16_t> rows, std::vector<uint8_t> orders) {
    XmSong song = makeSong(2, rows[0]);
    for (size_t p = 1; p < rows.size(); ++p) song.patterns.push_back(XmPattern::empty(rows[p], 2));
    song.orders = orders;
    song.instruments.push_back(makeInstrument(makeSample(400, XmLoop::Forward, 0, 400)));
    song.patterns[0].at(0, 0, 2) = XmCell{49, 1, 0, 0, 0};
    return song;
}

void effect(XmSong& song, int pattern, uint16_t row, uint16_t channel, uint8_t type, uint8_t param) {
    XmCell& cell = song.patterns[size_t(pattern)].at(row, channel, 2);
    cell.effect = type;
    cell.param = param;
}

// Frames rendered up to the song end (at most a minute), checked against the sequencer-only
// measure.
uint64_t songFrames(const XmSong& song, uint32_t passes = 1) {
    std::vector<uint8_t> image = writeXm(song);
    SongRender* render = SongRender::open(image.data(), uint32_t(image.size()));
    EXPECT_NE(render, nullptr);
    if (!render) return 0;
    render->passes = passes;
    std::vector<int16_t> pcm(size_t(44100) * 2);
    uint64_t frames = 0;
    uint32_t got;
    while ((got = SongRender::render(render, pcm.data(), 44100, true)) > 0 && frames < 60 * 44100) frames += got;
    SongRender::close(render);
    uint64_t measured = 0;
    EXPECT_TRUE(SongRender::measure(image.data(), uint32_t(image.size()), passes, 60 * 44100, measured));
    EXPECT_EQ(measured, frames);
    return frames;
}

}  // namespace

TEST(SongEnd, AJumpBackIntoAnotherRowPlaysOnUntilARowRepeats) {
    // Order 0 leaves at row 3; order 1 returns to order 0 at row 5, which has not played yet.
    XmSong song = songOf({16, 16}, {0, 1});
    effect(song, 0, 3, 1, 0x0B, 1);
    effect(song, 1, 3, 0, 0x0B, 0);
    effect(song, 1, 3, 1, 0x0D, 0x05);
    EXPECT_EQ(songFrames(song), (4 + 4 + 11) * RowFrames);  // then order 1 row 0 again

    // Returning to a row already played ends the song there.
    effect(song, 1, 3, 1, 0x0D, 0x02);
    EXPECT_EQ(songFrames(song), (4 + 4) * RowFrames);
}

TEST(SongEnd, NestedLoopsRunOutAndEndlessOnesAreCut) {
    // Channel 1 loops rows 0-7 twice; inside, channel 0 loops rows 2-4 three times.
    XmSong nested = songOf({8}, {0});
    effect(nested, 0, 0, 1, 0x0E, 0x60);
    effect(nested, 0, 7, 1, 0x0E, 0x61);
    effect(nested, 0, 2, 0, 0x0E, 0x60);
    effect(nested, 0, 4, 0, 0x0E, 0x62);
    EXPECT_EQ(songFrames(nested), 2 * (2 + 3 * 3 + 3) * RowFrames);

    // Two loop ends share one counter: each lets the other start again, forever. Rows 0-1 play
    // three times, then rows 2-3, whose loop end sends row 0 back with the counter it had on
    // its second time: the song repeats from there.
    XmSong endless = songOf({8}, {0});
    effect(endless, 0, 1, 1, 0x0E, 0x62);
    effect(endless, 0, 3, 1, 0x0E, 0x62);
    EXPECT_EQ(songFrames(endless), (3 * 2 + 2) * RowFrames);
    // Each further pass plays the repeating part once more: rows 0-1 twice, rows 2-3.
    EXPECT_EQ(songFrames(endless, 3), (3 * 2 + 2 + 2 * (2 * 2 + 2)) * RowFrames);
}

TEST(SongEnd, OrdersOutsideAShortHeaderAreNotPlayed) {
    // The header ends after two order entries, so the table's third entry would be pattern data.
    XmSong song = songOf({8, 8}, {0, 1, 1});
    std::vector<uint8_t> image = writeXm(song);
    image.erase(image.begin() + 60 + 20 + 2, image.begin() + 60 + 276);
    image[60] = 22;
    image[61] = 0;
    uint64_t frames = 0;
    ASSERT_TRUE(SongRender::measure(image.data(), uint32_t(image.size()), 1, 60 * 44100, frames));
    EXPECT_EQ(frames, 16 * RowFrames);

    // No order entry at all: nothing to play.
    image = writeXm(song);
    image.erase(image.begin() + 60 + 20, image.begin() + 60 + 276);
    image[60] = 20;
    image[61] = 0;
    ASSERT_TRUE(SongRender::measure(image.data(), uint32_t(image.size()), 1, 60 * 44100, frames));
    EXPECT_EQ(frames, 0u);
}

TEST(SongEnd, AStopEndsTheSongAfterItsRowTick) {
    XmSong song = songOf({8}, {0});
    effect(song, 0, 4, 1, 0x0F, 0x00);
    EXPECT_EQ(songFrames(song), 4 * RowFrames + 882);
    EXPECT_EQ(songFrames(song, 5), 4 * RowFrames + 882);  // a stop is final
}
