// The embedded song image: the header values the show relies on, a timeline no command can
// move, every channel in use, the player's features exercised, and agreement with its source.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "assets/Song.h"
#include "music/ModuleLoader.h"
#include "music/ModuleStream.h"
#include "tests/song/SongSupport.h"
#include "tools/generators/songgen/SongBuilder.h"
#include "tools/generators/songgen/SongParser.h"

namespace {

uint16_t u16At(uint32_t offset) { return uint16_t(songImage[offset] | songImage[offset + 1] << 8); }
uint32_t u32At(uint32_t offset) { return u16At(offset) | uint32_t(u16At(offset + 2)) << 16; }

Module* loadEmbedded() {
    if (!ModuleStream::installed()) ModuleStream::install(MemoryStream::operations());
    ModuleImage source{songImage, songImageSize};
    return loadModule(&source);
}

bool buildFromSource(XmSong& song, std::string& error) {
    std::vector<std::string> names, texts;
    if (!readSongSources(names, texts)) {
        error = "cannot read the song source";
        return false;
    }
    std::vector<SourceText> files;
    for (size_t i = 0; i < names.size(); ++i) files.push_back({names[i], texts[i]});
    SongSource source;
    return parseSong(files, source, error) && buildSong(source, song, error);
}

TEST(SongImage, HeaderHoldsTheValuesTheShowReliesOn) {
    ASSERT_GE(songImageSize, 80u + 256u);
    EXPECT_LE(songImageSize, 65536u);
    EXPECT_EQ(std::memcmp(songImage, "Extended Module: ", 17), 0);
    EXPECT_EQ(songImage[37], 0x1A);
    EXPECT_EQ(u16At(58), 0x0104);  // version
    EXPECT_EQ(u32At(60), 276u);    // standard header size
    EXPECT_EQ(u16At(64), 10);      // song length
    EXPECT_EQ(u16At(68), 20);      // channels
    EXPECT_EQ(u16At(74) & 1, 1);   // linear frequency table
    EXPECT_EQ(u16At(76), 6);       // speed
    EXPECT_EQ(u16At(78), 100);     // tempo
}

TEST(SongImage, PatternsKeepTheTimelineAndUseEveryChannel) {
    Module* module = loadEmbedded();
    ASSERT_NE(module, nullptr);
    std::set<int> channelsWithNotes;
    for (int order = 0; order < module->songLength; ++order) {
        const Pattern& pattern = module->patterns[module->orderTable[order]];
        EXPECT_EQ(pattern.rows, 64u) << "order " << order;
        for (uint32_t i = 0; i < pattern.rows * uint32_t(module->channels); ++i) {
            const NoteCell& cell = pattern.cells[i];
            int where = int(i / module->channels);
            EXPECT_NE(cell.effect, 0xF) << "speed/tempo change at order " << order << " row " << where;
            EXPECT_NE(cell.effect, 0xB) << "position jump at order " << order << " row " << where;
            EXPECT_NE(cell.effect, 0xD) << "pattern break at order " << order << " row " << where;
            if (cell.effect == 0xE) {
                EXPECT_NE(cell.param >> 4, 0x6) << "pattern loop at order " << order << " row " << where;
                EXPECT_NE(cell.param >> 4, 0xE) << "pattern delay at order " << order << " row " << where;
            }
            if (cell.note >= 1 && cell.note <= 96) channelsWithNotes.insert(int(i % module->channels));
        }
    }
    EXPECT_EQ(channelsWithNotes.size(), 20u);
    freeModule(module);
}

TEST(SongImage, MatchesWhatTheSourceGenerates) {
    XmSong song;
    std::string error;
    ASSERT_TRUE(buildFromSource(song, error)) << error;
    std::vector<uint8_t> image = writeXm(song);
    ASSERT_EQ(image.size(), songImageSize);
    EXPECT_EQ(std::memcmp(image.data(), songImage, songImageSize), 0);
}

// The song is the player's real workload: it should reach every feature the player has.
TEST(SongImage, ExercisesThePlayersInstrumentFeatures) {
    XmSong song;
    std::string error;
    ASSERT_TRUE(buildFromSource(song, error)) << error;
    std::set<int> bits;
    bool forward = false, pingPong = false, sustain = false, envelopeLoop = false, panning = false;
    bool fadeout = false, vibrato = false, relative = false, finetune = false;
    for (const XmInstrument& instrument : song.instruments) {
        sustain |= (instrument.volumeEnvelope.type & 3) == 3;
        envelopeLoop |= (instrument.volumeEnvelope.type & 5) == 5;
        panning |= (instrument.panningEnvelope.type & 1) != 0;
        fadeout |= instrument.fadeout > 0;
        vibrato |= instrument.vibratoDepth > 0 && instrument.vibratoRate > 0;
        for (const XmSample& sample : instrument.samples) {
            bits.insert(sample.bits);
            forward |= sample.loop == XmLoop::Forward;
            pingPong |= sample.loop == XmLoop::PingPong;
            relative |= sample.relativeNote != 0;
            finetune |= sample.finetune != 0;
        }
    }
    EXPECT_EQ(bits, (std::set<int>{8, 16}));
    EXPECT_TRUE(forward && pingPong) << "forward and ping-pong loops";
    EXPECT_TRUE(sustain && envelopeLoop && panning) << "envelope sustain, loop and panning";
    EXPECT_TRUE(fadeout && vibrato && relative && finetune) << "fade-out, auto-vibrato, tuning";
}

TEST(SongImage, ExercisesThePlayersEffectsAndVolumeColumn) {
    XmSong song;
    std::string error;
    ASSERT_TRUE(buildFromSource(song, error)) << error;
    std::set<int> effects, volumeCommands;
    for (uint8_t order : song.orders) {
        for (const XmCell& cell : song.patterns[order].cells) {
            if (cell.effect == 0xE)
                effects.insert(0xE0 | (cell.param >> 4));
            else if (cell.effect != 0 || cell.param != 0)
                effects.insert(cell.effect);
            if (cell.volume >= 0x10) volumeCommands.insert(cell.volume >= 0x60 ? cell.volume >> 4 : 1);
        }
    }
    // arpeggio, portamento up/down, tone portamento, vibrato, tremolo, panning, sample offset,
    // volume slide, note cut, note delay, global volume and its slide, panning slide, retrigger
    for (int effect : {0x0, 0x1, 0x2, 0x3, 0x4, 0x7, 0x8, 0x9, 0xA, 0xEC, 0xED, 16, 17, 25, 27})
        EXPECT_TRUE(effects.count(effect)) << "effect " << effect << " unused";
    // set volume, slides down/up, fine slide, vibrato speed/depth, panning, panning slides, portamento
    for (int command : {1, 0x6, 0x7, 0x8, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF})
        EXPECT_TRUE(volumeCommands.count(command)) << "volume-column command " << command << " unused";
}

}  // namespace
