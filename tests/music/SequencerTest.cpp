#include <gtest/gtest.h>

#include <vector>

#include "music/ChannelModulation.h"
#include "music/Mixer.h"
#include "music/Sequencer.h"
#include "tests/music/MusicSupport.h"

namespace {

constexpr uint8_t C4 = 49;

// A song of `orders` orders, each playing its own 64-row pattern, with one looping instrument.
XmSong songWithOrders(int orders, uint16_t channels = 2) {
    XmSong song = makeSong(channels);
    song.orders.clear();
    song.patterns.clear();
    for (int i = 0; i < orders; ++i) {
        song.orders.push_back(uint8_t(i));
        song.patterns.push_back(XmPattern::empty(64, channels));
    }
    song.instruments.push_back(makeInstrument(makeSample(1000, XmLoop::Forward, 0, 1000)));
    return song;
}

XmCell& cell(XmSong& song, int pattern, int row, int channel) {
    return song.patterns[pattern].at(uint16_t(row), uint16_t(channel), song.channels);
}

// The row the next row tick will play.
int32_t nextRow(const Module& m) { return m.pendingRow >= 0 ? m.pendingRow : m.currentRow; }

}  // namespace

TEST(Sequencer, FramesPerTickFollowTheTempo) {
    Playback slow(makeSong(1, 64, 6, 100));
    EXPECT_EQ(slow.module().framesPerTick, 1102u);
    Playback normal(makeSong(1, 64, 6, 125));
    EXPECT_EQ(normal.module().framesPerTick, 882u);

    XmSong song = makeSong(1, 64, 6, 125);
    song.patterns[0].at(0, 0, 1) = XmCell{0, 0, 0, 0x0F, 100};  // F64: tempo 100
    song.patterns[0].at(1, 0, 1) = XmCell{0, 0, 0, 0x0F, 3};    // F03: speed 3
    Playback played(song);
    played.ticks(1);
    EXPECT_EQ(played.module().framesPerTick, 1102u);
    EXPECT_EQ(played.module().tempo, 100);
    played.ticks(6);
    EXPECT_EQ(played.module().speed, 3);
    EXPECT_EQ(played.module().currentRow, 1);
    played.ticks(2);
    EXPECT_EQ(played.module().currentRow, 1);
    played.ticks(1);
    EXPECT_EQ(played.module().currentRow, 2);  // a row now lasts 3 ticks
}

TEST(Sequencer, JumpAndBreakInOneRow) {
    XmSong song = songWithOrders(3);
    cell(song, 0, 0, 0) = XmCell{0, 0, 0, 0x0B, 2};     // B02
    cell(song, 0, 0, 1) = XmCell{0, 0, 0, 0x0D, 0x15};  // D15: row 15
    Playback jumpFirst(song);
    jumpFirst.ticks(6);
    EXPECT_EQ(jumpFirst.module().currentOrder, 0);
    jumpFirst.ticks(1);
    EXPECT_EQ(jumpFirst.module().currentOrder, 2);
    EXPECT_EQ(jumpFirst.module().currentRow, 15);

    std::swap(cell(song, 0, 0, 0), cell(song, 0, 0, 1));
    Playback breakFirst(song);
    breakFirst.ticks(7);
    EXPECT_EQ(breakFirst.module().currentOrder, 2);
    EXPECT_EQ(breakFirst.module().currentRow, 0);  // the jump's row 0 wins
}

TEST(Sequencer, BreakAtTheLastOrderWrapsToZeroWhileTheNaturalEndRestarts) {
    XmSong song = songWithOrders(3, 1);
    song.restart = 1;
    song.patterns[2] = XmPattern::empty(2, 1);
    cell(song, 0, 0, 0) = XmCell{0, 0, 0, 0x0B, 2};  // straight to the last order
    Playback natural(song);
    natural.ticks(6);
    EXPECT_EQ(natural.module().pendingOrder, 2);
    natural.ticks(6 * 2);  // both rows of the last pattern
    EXPECT_EQ(natural.module().currentOrder, 2);
    EXPECT_EQ(natural.module().pendingOrder, 1);
    EXPECT_EQ(natural.module().pendingRow, 0);

    cell(song, 2, 0, 0) = XmCell{0, 0, 0, 0x0D, 0x03};
    Playback broken(song);
    broken.ticks(7);
    EXPECT_EQ(broken.module().currentOrder, 2);
    EXPECT_EQ(broken.module().pendingOrder, 0);
    EXPECT_EQ(broken.module().pendingRow, 3);
}

TEST(Sequencer, PatternDelaySpeedZeroAndPatternLoop) {
    XmSong song = songWithOrders(1, 1);
    cell(song, 0, 0, 0) = XmCell{C4, 1, 0, 0x0E, 0xE2};  // EE2: two more rows' worth of ticks
    cell(song, 0, 0, 0).volume = 0x61;                   // and a per-tick volume slide
    Playback delayed(song);
    delayed.ticks(18);
    EXPECT_EQ(delayed.module().currentRow, 0);
    EXPECT_EQ(delayed.channel(0).volume, 64 - 1 - 17);  // row tick and 17 other ticks
    delayed.ticks(1);
    EXPECT_EQ(delayed.module().currentRow, 1);
    EXPECT_EQ(delayed.channel(0).volume, 64 - 1 - 17);  // no second row tick of row 0

    XmSong fast = songWithOrders(1, 1);
    cell(fast, 0, 0, 0) = XmCell{0, 0, 0, 0x0F, 0};  // F00
    Playback everyTick(fast);
    everyTick.ticks(1);
    for (int row = 1; row < 5; ++row) {
        everyTick.ticks(1);
        EXPECT_EQ(everyTick.module().currentRow, row);
    }

    XmSong loop = songWithOrders(1, 1);
    cell(loop, 0, 1, 0) = XmCell{0, 0, 0, 0x0E, 0x60};      // loop start at row 1
    cell(loop, 0, 2, 0) = XmCell{C4, 1, 0x61, 0x0E, 0x62};  // play rows 1..2 three times
    Playback looped(loop);
    std::vector<int32_t> rows;
    for (int r = 0; r < 8; ++r) {
        rows.push_back(nextRow(looped.module()));
        looped.ticks(6);
        if (r == 2) {
            // The looping row keeps its own row number and volume-column slide to its end.
            EXPECT_EQ(looped.module().currentRow, 2);
            EXPECT_EQ(looped.channel(0).volume, 64 - 6);
        }
    }
    EXPECT_EQ(rows, (std::vector<int32_t>{0, 1, 2, 1, 2, 1, 2, 3}));
}

TEST(Sequencer, NoteCutOnlyOnItsTick) {
    XmSong song = songWithOrders(1, 2);
    cell(song, 0, 0, 0) = XmCell{C4, 1, 0, 0x0E, 0xC3};
    cell(song, 0, 0, 1) = XmCell{C4, 1, 0, 0x0E, 0xC0};
    Playback played(song);
    played.ticks(3);
    EXPECT_EQ(played.channel(0).volume, 64);
    played.ticks(1);
    EXPECT_EQ(played.channel(0).volume, 0);
    played.ticks(2);
    EXPECT_EQ(played.channel(1).volume, 64);
}

TEST(Sequencer, KeyOffWithAndWithoutEnvelope) {
    XmSong song = songWithOrders(1, 2);
    XmInstrument enveloped = makeInstrument(makeSample(1000, XmLoop::Forward, 0, 1000));
    enveloped.volumeEnvelope = XmEnvelope{{{0, 64}, {4, 32}, {8, 0}}, 1, 0, 0, EnvelopeOn | EnvelopeSustain};
    enveloped.fadeout = 1000;
    song.instruments.push_back(enveloped);
    cell(song, 0, 0, 0) = XmCell{C4, 1, 0, 0, 0};
    cell(song, 0, 0, 1) = XmCell{C4, 2, 0, 0, 0};
    cell(song, 0, 2, 0) = XmCell{97, 0, 0, 0, 0};
    cell(song, 0, 2, 1) = XmCell{97, 0, 0, 0, 0};
    Playback played(song);

    played.ticks(1);
    EXPECT_EQ(played.channel(1).volumeEnvelope.value, 64);
    played.ticks(3);
    EXPECT_EQ(played.channel(1).volumeEnvelope.value, 40);  // 64 - 3 * 8
    played.ticks(8);
    EXPECT_EQ(played.channel(1).volumeEnvelope.value, 32);  // held at the sustain point
    EXPECT_EQ(played.channel(0).volumeEnvelope.value, 64);
    EXPECT_GT(played.channel(0).voice->volume, 0);

    played.ticks(1);  // key-off row
    EXPECT_EQ(played.channel(0).volumeEnvelope.value, 0);
    EXPECT_EQ(played.channel(0).voice->volume, 0);  // silenced at once
    EXPECT_EQ(played.channel(1).fadeoutVolume, 65536 - 2000);
    EXPECT_EQ(played.channel(1).volumeEnvelope.value, 32);
    played.ticks(3);
    EXPECT_EQ(played.channel(1).volumeEnvelope.value, 32 - 3 * 8);  // released
    EXPECT_EQ(played.channel(1).fadeoutVolume, 65536 - 4 * 2000);
}

TEST(Sequencer, ArpeggioVolumeColumnAndVolumeAbove64) {
    XmSong song = songWithOrders(1, 3);
    cell(song, 0, 0, 0) = XmCell{C4, 1, 0, 0x00, 0x37};
    cell(song, 0, 0, 1) = XmCell{C4, 1, 0x62, 0, 0};
    cell(song, 0, 0, 2) = XmCell{C4, 1, 0, 0x0C, 80};
    cell(song, 0, 1, 2) = XmCell{0, 0, 0, 0x0A, 0x01};
    cell(song, 0, 2, 2) = XmCell{0, 0, 0, 0x0A, 0x10};
    Playback played(song);
    std::vector<int32_t> offsets;
    for (int t = 0; t < 6; ++t) {
        played.ticks(1);
        offsets.push_back(played.channel(0).periodOffset);
    }
    EXPECT_EQ(offsets, (std::vector<int32_t>{0, 3 * 64, 7 * 64, 0, 3 * 64, 7 * 64}));
    EXPECT_EQ(played.channel(1).volume, 64 - 12);
    EXPECT_EQ(played.channel(2).volume, 80);
    played.ticks(6);
    EXPECT_EQ(played.channel(2).volume, 75);  // sliding down from 80
    played.ticks(2);
    EXPECT_EQ(played.channel(2).volume, 64);  // sliding up stops at 64
}

TEST(Sequencer, RetriggerAndNoteDelay) {
    XmSong song = songWithOrders(1, 2);
    song.instruments[0].samples[0].volume = 48;
    cell(song, 0, 0, 0) = XmCell{C4, 1, 0, 0x1B, 0x03};  // R03
    cell(song, 0, 0, 1) = XmCell{C4, 1, 0x20, 0, 0};     // volume 16
    cell(song, 0, 1, 1) = XmCell{C4 + 12, 1, 0, 0x0E, 0xD2};
    Playback played(song);
    std::vector<int> retriggers;
    for (int t = 0; t < 6; ++t) {
        played.ticks(1);
        if (t > 0 && (played.channel(0).flags & UpdateTrigger)) retriggers.push_back(t);
    }
    EXPECT_EQ(retriggers, std::vector<int>{3});

    int32_t firstPeriod = played.channel(1).period;
    const uint8_t noteFlags = UpdateTrigger | UpdateVolume | UpdatePanning;
    for (int t = 0; t < 2; ++t) {
        played.ticks(1);
        EXPECT_EQ(played.channel(1).flags & noteFlags, 0) << t;
        EXPECT_EQ(played.channel(1).period, firstPeriod);
        EXPECT_EQ(played.channel(1).volume, 16);
    }
    played.ticks(1);
    EXPECT_TRUE(played.channel(1).flags & UpdateTrigger);
    EXPECT_EQ(played.channel(1).period, firstPeriod - 12 * 64);
    EXPECT_EQ(played.channel(1).volume, 48);
}

TEST(Sequencer, OffsetBeyondTheLoopRestartsTheVoice) {
    XmSong song = songWithOrders(1, 1);
    song.instruments[0].samples[0] = makeSample(300, XmLoop::None);
    cell(song, 0, 0, 0) = XmCell{C4, 1, 0, 0x09, 0x01};  // offset 256: inside
    cell(song, 0, 1, 0) = XmCell{C4, 1, 0, 0x09, 0x02};  // offset 512: beyond the end
    Playback played(song);
    played.ticks(1);
    Voice* first = played.channel(0).voice;
    EXPECT_EQ(first->position >> 32, 256u);
    played.ticks(6);
    EXPECT_EQ(played.channel(0).voice, first);  // no trigger, no move to the partner
    EXPECT_EQ(first->position, 0u);
    EXPECT_NE(first->sample, nullptr);
}

TEST(Sequencer, EnvelopeInterpolatesLoopsAndJumps) {
    XmSong song = songWithOrders(1, 1);
    XmInstrument& instrument = song.instruments[0];
    instrument.volumeEnvelope = XmEnvelope{{{0, 0}, {4, 64}, {6, 32}}, 0, 1, 2, EnvelopeOn | EnvelopeLoop};
    cell(song, 0, 0, 0) = XmCell{C4, 1, 0, 0, 0};
    cell(song, 0, 1, 0) = XmCell{0, 0, 0, 0x15, 5};  // L05
    Playback played(song);
    std::vector<int32_t> values;
    for (int t = 0; t < 6; ++t) {
        played.ticks(1);
        values.push_back(played.channel(0).volumeEnvelope.value);
    }
    // Up 16 per tick to point 1, down 16 per tick to point 2, then back to point 1.
    EXPECT_EQ(values, (std::vector<int32_t>{0, 16, 32, 48, 64, 48}));
    played.ticks(1);  // L05: halfway between points 1 and 2
    EXPECT_EQ(played.channel(0).volumeEnvelope.value, 48);
    EXPECT_EQ(played.channel(0).volumeEnvelope.pointIndex, 2);
}

TEST(Sequencer, VolumeColumnPanningSlidesHaveNoLimitButTheMixerClampsThem) {
    XmSong song = songWithOrders(1, 2);
    cell(song, 0, 0, 0) = XmCell{C4, 1, 0xC1, 0, 0};  // panning 16, then slide left by 15 a tick
    cell(song, 0, 1, 0) = XmCell{0, 0, 0xDF, 0, 0};
    cell(song, 0, 0, 1) = XmCell{C4, 1, 0xCF, 0, 0};  // panning 240, then slide right by 15 a tick
    cell(song, 0, 1, 1) = XmCell{0, 0, 0xEF, 0, 0};
    Playback played(song);
    played.ticks(1);
    EXPECT_EQ(played.channel(0).panning, 16);
    EXPECT_EQ(played.channel(1).panning, 240);
    played.ticks(6);  // the rest of row 0, then row 1's row tick slides once
    EXPECT_EQ(played.channel(0).panning, 1);
    EXPECT_EQ(played.channel(1).panning, 255);
    played.ticks(5);  // and once more on each other tick, past the ends
    EXPECT_EQ(played.channel(0).panning, 1 - 5 * 15);
    EXPECT_EQ(played.channel(1).panning, 255 + 5 * 15);
    // The voices stay at the sides: gains within 0..255, one side silent.
    const Voice& left = *played.channel(0).voice;
    const Voice& right = *played.channel(1).voice;
    EXPECT_EQ(left.panning, 0);
    EXPECT_EQ(right.panning, 255);
    EXPECT_EQ(left.rightTarget, 0);
    EXPECT_EQ(right.leftTarget, 0);
    EXPECT_GT(left.leftTarget, 0);
    EXPECT_LE(left.leftTarget, 255);
    EXPECT_GT(right.rightTarget, 0);
    EXPECT_LE(right.rightTarget, 255);
}

TEST(Sequencer, SineVibratoAndAutoVibratoPeaksStayBelowAFullSwing) {
    // Vibrato 48F: speed 8, depth 15; the sine reaches its peak at position 16 on tick 3, where
    // the amplitude is 255 (the argument stays short of a quarter turn): (255 * 15) >> 5 = 119,
    // low two bits cleared: 116.
    XmSong song = songWithOrders(1, 1);
    cell(song, 0, 0, 0) = XmCell{C4, 1, 0, 0x04, 0x8F};
    Playback played(song);
    std::vector<int32_t> offsets;
    for (int t = 0; t < 6; ++t) {
        played.ticks(1);
        offsets.push_back(played.channel(0).periodOffset);
    }
    // Positions 0, 0, 8, 16, 24, -32 (sine 181 at 8 and 24): (181 * 15) >> 5 = 84.
    EXPECT_EQ(offsets, (std::vector<int32_t>{0, 0, -84, -116, -84, 0}));
    EXPECT_EQ(waveAmplitude(0, 16), 255);
    EXPECT_EQ(waveAmplitude(0, -16), 255);
    for (int position = -32; position < 32; ++position) EXPECT_LE(waveAmplitude(0, position), 255) << position;

    // Auto-vibrato sine at depth 64 without sweep: positions 64 and 192 give +-63.
    XmSong automatic = songWithOrders(1, 1);
    automatic.instruments[0].vibratoType = 0;
    automatic.instruments[0].vibratoDepth = 64;
    automatic.instruments[0].vibratoRate = 64;
    cell(automatic, 0, 0, 0) = XmCell{C4, 1, 0, 0, 0};
    Playback wobbling(automatic);
    std::vector<int32_t> autoOffsets;
    for (int t = 0; t < 4; ++t) {
        wobbling.ticks(1);
        autoOffsets.push_back(wobbling.channel(0).periodOffset);
    }
    EXPECT_EQ(autoOffsets, (std::vector<int32_t>{0, 63, 0, -63}));
}

TEST(Sequencer, SlidesStopAtTheirEndsWhileAVolumeAbove64SlidesDownFromWhereItIs) {
    Channel channel{};
    channel.volume = 80;  // as Cxx may set it
    slideVolume(channel, Slide::Down, 3);
    EXPECT_EQ(channel.volume, 77);
    EXPECT_TRUE(channel.flags & UpdateVolume);
    slideVolume(channel, Slide::Up, 0);  // even a zero step up stops at the top
    EXPECT_EQ(channel.volume, 64);
    slideVolume(channel, Slide::Down, 70);
    EXPECT_EQ(channel.volume, 0);

    // The high nibble wins; each direction stops at its own end.
    EXPECT_EQ(nibbleSlide(10, 0x12, 64), 11);
    EXPECT_EQ(nibbleSlide(250, 0x90, 255), 255);
    EXPECT_EQ(nibbleSlide(3, 0x0F, 255), 0);
    EXPECT_EQ(nibbleSlide(80, 0x01, 64), 79);
}
