// The song source language: settings, instruments and their recipes, phrases with repeats,
// patterns assembled from phrases, and errors that point at the line.
#include <gtest/gtest.h>

#include "tools/generators/songgen/SongParser.h"

namespace {

bool parse(const std::string& text, SongSource& song, std::string& error) {
    return parseSong({{"test.song", text}}, song, error);
}

SongSource parsed(const std::string& text) {
    SongSource song;
    std::string error;
    EXPECT_TRUE(parse(text, song, error)) << error;
    return song;
}

std::string errorOf(const std::string& text) {
    SongSource song;
    std::string error;
    EXPECT_FALSE(parse(text, song, error));
    return error;
}

const ChannelPart* partOf(const PatternSource& pattern, int channel) {
    for (const ChannelPart& part : pattern.parts)
        if (part.channel == channel) return &part;
    return nullptr;
}

TEST(SongParser, ReadsSettingsAndInstrumentRecipes) {
    SongSource song = parsed(R"(
song "two words"   # a comment
channels 4
speed 6
tempo 100
restart 1
order a b
instrument lead
  volume-envelope 0:0 4:64 20:40 sustain 2 loop 1 2
  fadeout 512
  auto-vibrato ramp-up sweep 3 depth 4 rate 5
  sample main
    bits 16
    rate 22050
    pitch A-4
    length 0.5s
    loop pingpong 100 200
    tone pulse width 0.25 detune -7 decay 0.3
    fm mod 3.5 index 2 to 0.5 time 0.1
    noise level 0.2 hp 5000
    lowpass 3000 to 500 time 0.05 res 0.4
)");
    EXPECT_EQ(song.name, "two words");
    EXPECT_EQ(song.channels, 4);
    EXPECT_EQ(song.tempo, 100);
    EXPECT_EQ(song.restart, 1);
    EXPECT_EQ(song.order, (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(song.instruments.size(), 1u);
    const InstrumentSource& lead = song.instruments[0];
    ASSERT_EQ(lead.volumeEnvelope.points.size(), 3u);
    EXPECT_EQ(lead.volumeEnvelope.points[1], (std::pair<uint16_t, uint16_t>{4, 64}));
    EXPECT_EQ(lead.volumeEnvelope.sustain, 2);
    EXPECT_EQ(lead.volumeEnvelope.loopStart, 1);
    EXPECT_EQ(lead.fadeout, 512);
    EXPECT_EQ(lead.vibratoType, 3);
    EXPECT_EQ(lead.vibratoRate, 5);
    ASSERT_EQ(lead.samples.size(), 1u);
    const SampleRecipe& sample = lead.samples[0];
    EXPECT_EQ(sample.bits, 16);
    EXPECT_NEAR(sample.pitchHz, 440.0, 1e-9);
    EXPECT_EQ(sample.length, 11025u);  // 0.5 s at the rate given above it
    EXPECT_EQ(sample.loop, SampleLoop::PingPong);
    EXPECT_EQ(sample.loopLength, 200u);
    ASSERT_EQ(sample.layers.size(), 3u);
    EXPECT_EQ(sample.layers[0].wave, Wave::Pulse);
    EXPECT_DOUBLE_EQ(sample.layers[0].detuneCents, -7.0);
    EXPECT_EQ(sample.layers[1].kind, LayerKind::Fm);
    EXPECT_DOUBLE_EQ(sample.layers[1].indexEnd, 0.5);
    EXPECT_EQ(sample.layers[2].kind, LayerKind::Noise);
    ASSERT_EQ(sample.filters.size(), 1u);
    EXPECT_DOUBLE_EQ(sample.filters[0].endHz, 500.0);
}

TEST(SongParser, PhrasesExpandRepeatsAndGroups) {
    SongSource song = parsed(R"(
phrase beat @kick
  C-5 .*3
  (C-5:v20 .)*2 off
  ( E-4 ( G-4 )*2 )*2
)");
    ASSERT_EQ(song.phrases.size(), 1u);
    const Phrase& beat = song.phrases[0];
    EXPECT_EQ(beat.instrument, "kick");
    std::vector<uint8_t> notes;
    for (const SongCell& cell : beat.rows) notes.push_back(cell.note);
    EXPECT_EQ(notes, (std::vector<uint8_t>{61, 0, 0, 0, 61, 0, 61, 0, 97, 53, 56, 56, 53, 56, 56}));
    EXPECT_EQ(beat.rows[4].volume, 0x24);
}

TEST(SongParser, PatternsAssemblePhrasesWithModifiers) {
    SongSource song = parsed(R"(
channels 3
channel-names drums bass lead
phrase riff @bass
  A-1 . C-2:v30:@sub .
pattern main
  rows 16
  bass: riff riff+12@synth:v40*2 [ E-4:~ . ]-12
  lead: >14 riff:8C0
  3: [G-4]@lead
)");
    ASSERT_EQ(song.patterns.size(), 1u);
    const PatternSource& main = song.patterns[0];
    EXPECT_EQ(main.rows, 16);
    const ChannelPart* bass = partOf(main, 1);
    ASSERT_NE(bass, nullptr);
    ASSERT_EQ(bass->rows.size(), 14u);
    EXPECT_EQ(bass->rows[0].note, 22);  // A-1
    EXPECT_EQ(bass->rows[0].instrumentName, "bass");
    EXPECT_EQ(bass->rows[2].instrumentName, "sub");  // a row's own instrument wins
    EXPECT_EQ(bass->rows[4].note, 34);               // A-2
    EXPECT_EQ(bass->rows[4].instrumentName, "synth");
    EXPECT_EQ(bass->rows[4].volume, 0x10 + 40);  // :v40 for rows without a volume
    EXPECT_EQ(bass->rows[6].volume, 0x10 + 30);  // the row's own v30 wins
    EXPECT_EQ(bass->rows[8].note, 34);           // repeated
    EXPECT_EQ(bass->rows[12].note, 41);          // E-4 - 12
    EXPECT_TRUE(bass->rows[12].noInstrument);
    EXPECT_TRUE(bass->rows[12].instrumentName.empty());
    // The lead line starts late and is cut at the pattern's end; the later line for channel 3
    // continues it.
    const ChannelPart* lead = partOf(main, 2);
    ASSERT_NE(lead, nullptr);
    ASSERT_EQ(lead->rows.size(), 16u);
    EXPECT_EQ(lead->rows[14].note, 22);
    EXPECT_EQ(lead->rows[14].effect, 8);
    EXPECT_EQ(lead->rows[14].param, 0xC0);
}

TEST(SongParser, PatternsInheritAndReplaceChannels) {
    SongSource song = parsed(R"(
channels 2
phrase a @x
  C-4
phrase b @x
  D-4
pattern first
  1: a
  2: a
pattern second from first
  2: b
  2: b
)");
    ASSERT_EQ(song.patterns.size(), 2u);
    const PatternSource& second = song.patterns[1];
    ASSERT_NE(partOf(second, 0), nullptr);
    EXPECT_EQ(partOf(second, 0)->rows[0].note, 49);
    ASSERT_NE(partOf(second, 1), nullptr);
    ASSERT_EQ(partOf(second, 1)->rows.size(), 2u);
    EXPECT_EQ(partOf(second, 1)->rows[0].note, 51);
    EXPECT_EQ(partOf(second, 1)->rows[1].note, 51);
}

TEST(SongParser, ErrorsNameTheFileAndLine) {
    EXPECT_EQ(errorOf("song x\nbogus 1\n"), "test.song:2: unknown word 'bogus'");
    EXPECT_NE(errorOf("instrument a\n  bits 8\n").find("test.song:2:"), std::string::npos);
    EXPECT_NE(errorOf("channels 1\npattern p\n  rows 2\n  1: [ C-4 . . ]@a\n").find("test.song:4: channel runs 3"),
              std::string::npos);
    EXPECT_NE(errorOf("channels 1\npattern p\n  1: nothing\n").find("unknown phrase 'nothing'"), std::string::npos);
    EXPECT_NE(errorOf("pattern p from q\n").find("'q' is not defined"), std::string::npos);
    EXPECT_NE(errorOf("phrase p\n  ( C-4 .\n").find("'(' without ')'"), std::string::npos);
    EXPECT_NE(errorOf("phrase p\n  C-4 )\n").find("')' without '('"), std::string::npos);
    EXPECT_NE(errorOf("phrase p\n  C-9\n").find("not a note"), std::string::npos);
    EXPECT_NE(errorOf("channels 2\npattern p\n  3: x\n").find("unknown channel '3'"), std::string::npos);
    EXPECT_NE(errorOf("phrase p @a\n  C-0\nchannels 1\npattern q\n  1: p-1\n").find("leaves C-0..B-7"),
              std::string::npos);
    EXPECT_NE(errorOf("instrument a\nvolume-envelope 0:0 5:70\n").find("bad envelope point"), std::string::npos);
    EXPECT_NE(errorOf("instrument a\nvolume-envelope 5:0 5:10\n").find("must increase"), std::string::npos);
    EXPECT_NE(errorOf("instrument a\nsample s\ntone sine to 50\n").find("needs a 'time'"), std::string::npos);
    EXPECT_NE(errorOf("phrase p\nphrase p\n").find("defined twice"), std::string::npos);
}

TEST(SongParser, LaterFilesContinueTheSong) {
    SongSource song;
    std::string error;
    ASSERT_TRUE(
        parseSong({{"a.song", "channels 1\nphrase p @i\n"}, {"b.song", "  C-4 D-4\npattern q\n  1: p\n"}}, song, error))
        << error;
    ASSERT_EQ(song.phrases.size(), 1u);
    EXPECT_EQ(song.phrases[0].rows.size(), 2u);
    EXPECT_FALSE(parseSong({{"a.song", "channels 1\n"}, {"b.song", "\n\nwhat\n"}}, song, error));
    EXPECT_EQ(error, "b.song:3: unknown word 'what'");
}

}  // namespace
