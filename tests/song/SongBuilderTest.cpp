// From parsed source to the module description: names resolved to numbers, samples and maps,
// envelope flags, faults reported; and a built song played by our player sounds in tune.
#include <gtest/gtest.h>

#include <cmath>

#include "music/SongRender.h"
#include "tools/generators/songgen/SongBuilder.h"
#include "tools/generators/songgen/SongParser.h"

namespace {

const char* const tinyInstruments = R"(
instrument beep
  volume-envelope 0:64 10:32 sustain 1
  panning-envelope 0:10 20:50 40:10 loop 0 2
  sample low
    rate 16726
    pitch C-4
    length 512
    loop forward 0 512
    keys C-0 B-3
    tone sine
  sample high
    bits 16
    rate 16726
    pitch C-5
    length 512
    loop forward 0 512
    keys C-4 B-7
    tone sine
instrument thud
  sample thud
    rate 11025
    root C-5
    length 300
    tone sine hz 80 decay 0.01
)";

bool build(const std::string& text, XmSong& song, std::string& error) {
    SongSource source;
    return parseSong({{"t.song", text}}, source, error) && buildSong(source, song, error);
}

XmSong built(const std::string& text) {
    XmSong song;
    std::string error;
    EXPECT_TRUE(build(text, song, error)) << error;
    return song;
}

std::string errorOf(const std::string& text) {
    XmSong song;
    std::string error;
    EXPECT_FALSE(build(text, song, error));
    return error;
}

TEST(SongBuilder, ResolvesNamesIntoCells) {
    XmSong song = built(std::string(tinyInstruments) + R"(
channels 2
speed 3
tempo 140
phrase hits @thud
  C-5 . C-5:@beep off C-5:~:305
pattern b
  1: hits
pattern a
  2: [ A-4:v20 ]@beep
order a b a
)");
    EXPECT_EQ(song.channels, 2);
    EXPECT_EQ(song.speed, 3);
    EXPECT_EQ(song.tempo, 140);
    EXPECT_EQ(song.flags & 1, 1);
    EXPECT_EQ(song.orders, (std::vector<uint8_t>{1, 0, 1}));  // patterns numbered as defined
    ASSERT_EQ(song.patterns.size(), 2u);
    XmPattern& b = song.patterns[0];
    EXPECT_EQ(b.at(0, 0, 2).note, 61);
    EXPECT_EQ(b.at(0, 0, 2).instrument, 2);  // thud, the phrase's instrument
    EXPECT_EQ(b.at(2, 0, 2).instrument, 1);  // beep, the row's own
    EXPECT_EQ(b.at(3, 0, 2).note, 97);       // key-off
    EXPECT_EQ(b.at(3, 0, 2).instrument, 0);
    EXPECT_EQ(b.at(4, 0, 2).instrument, 0);  // legato: no instrument byte
    EXPECT_EQ(b.at(4, 0, 2).effect, 3);
    EXPECT_EQ(b.at(4, 0, 2).param, 0x05);
    EXPECT_EQ(b.at(0, 1, 2).note, 0);
    XmPattern& a = song.patterns[1];
    EXPECT_EQ(a.at(0, 1, 2).note, 58);
    EXPECT_EQ(a.at(0, 1, 2).volume, 0x10 + 20);
}

TEST(SongBuilder, BuildsSamplesMapsAndEnvelopes) {
    XmSong song = built(std::string(tinyInstruments) + "pattern p\norder p\n");
    ASSERT_EQ(song.instruments.size(), 2u);
    const XmInstrument& beep = song.instruments[0];
    ASSERT_EQ(beep.samples.size(), 2u);
    EXPECT_EQ(beep.sampleMap[0], 0);   // C-0
    EXPECT_EQ(beep.sampleMap[47], 0);  // B-3
    EXPECT_EQ(beep.sampleMap[48], 1);  // C-4
    EXPECT_EQ(beep.sampleMap[95], 1);  // B-7
    EXPECT_EQ(beep.samples[1].bits, 16);
    EXPECT_EQ(beep.samples[1].loop, XmLoop::Forward);
    EXPECT_EQ(beep.samples[1].loopLength, 512u);
    EXPECT_EQ(beep.samples[1].data.size(), 512u);
    // The octave between the samples' pitches shows up in their tuning.
    int low = beep.samples[0].relativeNote * 128 + beep.samples[0].finetune;
    int high = beep.samples[1].relativeNote * 128 + beep.samples[1].finetune;
    EXPECT_NEAR(low - high, 12 * 128, 2);
    EXPECT_EQ(beep.volumeEnvelope.type, 1 | 2);
    EXPECT_EQ(beep.volumeEnvelope.sustain, 1);
    EXPECT_EQ(beep.panningEnvelope.type, 1 | 4);
    EXPECT_EQ(beep.panningEnvelope.loopEnd, 2);
    const XmInstrument& thud = song.instruments[1];
    EXPECT_EQ(thud.volumeEnvelope.type, 0);
    EXPECT_EQ(thud.samples[0].loop, XmLoop::None);
    EXPECT_EQ(thud.samples[0].loopLength, 0u);
}

TEST(SongBuilder, ReportsWhatCannotBeBuilt) {
    std::string base = std::string(tinyInstruments) + "channels 1\n";
    EXPECT_NE(errorOf(base + "pattern p\norder q\n").find("unknown pattern 'q'"), std::string::npos);
    EXPECT_NE(errorOf(base + "pattern p\norder p\nrestart 1\n").find("restart"), std::string::npos);
    EXPECT_NE(errorOf(base + "pattern p\n").find("1..256 orders"), std::string::npos);
    EXPECT_NE(errorOf(base + "phrase x @nope\n C-4\npattern p\n 1: x\norder p\n").find("unknown instrument 'nope'"),
              std::string::npos);
    EXPECT_NE(errorOf(base + "phrase x\n C-4\npattern p\n 1: x\norder p\n").find("without an instrument"),
              std::string::npos);
    EXPECT_NE(errorOf(base + "instrument z\nsample s\nlength 100\nloop forward 50 60\ntone sine\npattern p\norder p\n")
                  .find("loop must lie inside"),
              std::string::npos);
    EXPECT_NE(errorOf(base + "instrument z\nsample s\nlength 100\npattern p\norder p\n").find("no layers"),
              std::string::npos);
}

// Upward zero crossings per second over the frames [begin, end) of the left side.
double measuredHz(const std::vector<int16_t>& pcm, size_t begin, size_t end) {
    size_t first = 0, last = 0, crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (pcm[(i - 1) * 2] < 0 && pcm[i * 2] >= 0) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * 44100.0 / double(last - first);
}

TEST(SongBuilder, BuiltSongPlaysInTuneThroughOurPlayer) {
    XmSong song = built(std::string(tinyInstruments) + R"(
channels 1
tempo 100
pattern p
  1: [ A-3 .*15 A-4 .*15 E-5 .*15 ]@beep
order p
)");
    std::vector<uint8_t> image = writeXm(song);
    std::vector<int16_t> pcm;
    ASSERT_TRUE(renderSong(image.data(), uint32_t(image.size()), 44100 * 8, true, pcm));
    const size_t row = 6 * 1102;
    // Skip the first two rows of each note (attack and click-free ramp), measure the next ten.
    EXPECT_NEAR(measuredHz(pcm, 2 * row, 12 * row), 220.0, 220.0 * 0.003);
    EXPECT_NEAR(measuredHz(pcm, 18 * row, 28 * row), 440.0, 440.0 * 0.003);
    EXPECT_NEAR(measuredHz(pcm, 34 * row, 44 * row), 659.255, 659.255 * 0.003);
}

}  // namespace
