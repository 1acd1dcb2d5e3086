// The forms of the format that other trackers write: the older 0x0102 and 0x0103 layouts,
// 4-bit packed sample data, instruments with more than 16 samples, and errors that name the cause.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "music/ModuleLoader.h"
#include "tests/music/MusicSupport.h"

namespace {

struct ModuleDeleter {
    void operator()(Module* module) const { freeModule(module); }
};
using ModulePtr = std::unique_ptr<Module, ModuleDeleter>;

// Offset of the first pattern's row count in a 0x0104 image with the standard header sizes.
constexpr size_t FirstPatternRows = 60 + 276 + 5;

// Two patterns of different sizes, two instruments (one silent), an 8-bit and a 16-bit sample.
XmSong mixedSong() {
    XmSong song = makeSong(3, 5);
    song.orders = {1, 0, 1};
    song.patterns.push_back(XmPattern::empty(256, 3));
    song.patterns[0].at(4, 2, 3) = XmCell{61, 2, 0x30, 0x0A, 0x0F};
    song.patterns[1].at(255, 0, 3) = XmCell{97, 0, 0, 0, 0};
    song.instruments.push_back(XmInstrument{});
    XmSample wide;
    wide.bits = 16;
    for (int i = 0; i < 50; ++i) wide.data.push_back(int16_t(i * 1000 - 20000));
    XmInstrument two = makeInstrument(makeSample(30, XmLoop::Forward, 10, 8));
    two.samples.push_back(wide);
    two.sampleMap[40] = 1;
    song.instruments.push_back(two);
    return song;
}

void expectSameSamples(const Sample& a, const Sample& b) {
    ASSERT_EQ(a.length, b.length);
    EXPECT_EQ(a.loopStart, b.loopStart);
    EXPECT_EQ(a.loopLength, b.loopLength);
    EXPECT_EQ(a.loopMode, b.loopMode);
    for (uint32_t i = 0; i <= a.length; ++i) ASSERT_EQ(a.data[i], b.data[i]) << i;
}

}  // namespace

TEST(ModuleLoaderFormats, OlderLayoutsLoadAsTheCurrentOne) {
    XmSong song = mixedSong();
    ModulePtr current(loadImage(writeXm(song)));
    ASSERT_TRUE(current);
    for (uint16_t version : {uint16_t(0x0102), uint16_t(0x0103)}) {
        song.version = version;
        const char* error = nullptr;
        ModulePtr old(loadImage(writeXm(song), &error));
        ASSERT_TRUE(old) << std::hex << version << ": " << error;
        ASSERT_EQ(old->patternSlots, 2u);
        for (uint32_t p = 0; p < 2; ++p) {
            ASSERT_EQ(old->patterns[p].rows, current->patterns[p].rows) << version;
            size_t cells = size_t(old->patterns[p].rows) * 3;
            EXPECT_EQ(std::memcmp(old->patterns[p].cells, current->patterns[p].cells, cells * sizeof(NoteCell)), 0);
        }
        EXPECT_EQ(old->patterns[0].cells[4 * 3 + 2].effect, 0x0A);
        EXPECT_EQ(old->patterns[1].cells[255 * 3].note, 255);
        ASSERT_EQ(old->instruments[1].sampleCount, 2u);
        EXPECT_EQ(old->instruments[0].sampleCount, 0u);
        EXPECT_EQ(old->instruments[1].sampleMap[40], 1);
        for (uint32_t s = 0; s < 2; ++s)
            expectSameSamples(*old->instruments[1].samples[s], *current->instruments[1].samples[s]);
    }

    const char* error = nullptr;
    song.version = 0x0101;
    EXPECT_FALSE(loadImage(writeXm(song), &error));
    EXPECT_STREQ(error, "XM version 0x0101 is not supported");
    song.version = 0x0105;
    EXPECT_FALSE(loadImage(writeXm(song), &error));
    EXPECT_STREQ(error, "XM version 0x0105 is not supported");
}

TEST(ModuleLoaderFormats, UnpacksFourBitSamples) {
    // Every change is one of the steps, so packing loses nothing: an odd length leaves the last
    // byte's high nibble unused.
    XmSample exact = makeSample(0, XmLoop::Forward, 3, 6);
    const int steps[] = {1, 2, 4, 8, 16, 32, 64, -1, -2, -64, -48, -32, -16, 0, -4, -8, 16};
    int value = 0;
    for (int step : steps) exact.data.push_back(int16_t(value = int8_t(uint8_t(value + step))));
    exact.adpcm = true;
    XmSample plain = exact;
    plain.adpcm = false;
    // A sample the steps cannot follow exactly comes back as the writer's nearest reconstruction.
    XmSample rough = makeSample(101);
    rough.adpcm = true;
    std::vector<int16_t> expected = adpcmRoundTrip(rough);
    ASSERT_NE(expected, rough.data);

    XmSong song = makeSong(1);
    XmInstrument instrument = makeInstrument(exact);
    instrument.samples.push_back(rough);
    instrument.samples.push_back(plain);
    song.instruments.push_back(instrument);
    song.instruments.push_back(makeInstrument(makeSample(9)));  // read past the packed data
    for (uint16_t version : {uint16_t(0x0104), uint16_t(0x0103)}) {
        song.version = version;
        std::vector<uint8_t> image = writeXm(song);
        ModulePtr module(loadImage(image));
        ASSERT_TRUE(module);
        const Instrument& loaded = module->instruments[0];
        expectSameSamples(*loaded.samples[0], *loaded.samples[2]);
        EXPECT_EQ(loaded.samples[0]->data[16], int16_t(uint16_t(exact.data[16]) << 8));
        EXPECT_EQ(loaded.samples[0]->data[9], loaded.samples[0]->data[3]);  // the loop's guard slot
        const Sample& r = *loaded.samples[1];
        ASSERT_EQ(r.length, 101u);
        for (uint32_t i = 0; i < 101; ++i) ASSERT_EQ(r.data[i], int16_t(uint16_t(expected[i]) << 8)) << i;
        EXPECT_EQ(module->instruments[1].samples[0]->length, 9u);
        EXPECT_EQ(module->instruments[1].samples[0]->data[8], int16_t(uint16_t(makeSample(9).data[8]) << 8));
    }
}

TEST(ModuleLoaderFormats, InstrumentsHoldAsManySamplesAsTheFileStores) {
    XmSong song = makeSong(1);
    XmInstrument big;
    for (int s = 0; s < 20; ++s) {
        XmSample sample = makeSample(4 + s);
        sample.relativeNote = int8_t(s);
        big.samples.push_back(sample);
    }
    for (int n = 0; n < 96; ++n) big.sampleMap[n] = uint8_t(n % 20);
    song.instruments.push_back(big);
    song.instruments.push_back(makeInstrument(makeSample(5)));
    song.patterns[0].at(0, 0, 1) = XmCell{20, 1, 0, 0, 0};  // note 19 (0-based) maps to sample 19
    ModulePtr module(loadImage(writeXm(song)));
    ASSERT_TRUE(module);
    const Instrument& loaded = module->instruments[0];
    ASSERT_EQ(loaded.sampleCount, 20u);
    for (uint32_t s = 0; s < 20; ++s) {
        EXPECT_EQ(loaded.samples[s]->length, 4 + s);
        EXPECT_EQ(loaded.samples[s]->relativeNote, int8_t(s));
    }
    EXPECT_EQ(loaded.samples[20], emptySample());
    EXPECT_EQ(module->instruments[1].samples[0]->length, 5u);

    // The sequencer plays the 20th sample.
    Playback playback(song);
    playback.ticks(1);
    EXPECT_EQ(playback.channel(0).sample->relativeNote, 19);
}

TEST(ModuleLoaderFormats, ErrorsNameTheCause) {
    const char* error = nullptr;
    XmSong song = makeSong(1);
    song.instruments.push_back(makeInstrument(makeSample(300)));
    song.instruments.push_back(makeInstrument(makeSample(10)));
    std::vector<uint8_t> image = writeXm(song);
    size_t secondInstrument = image.size() - (29 + 4 + 96 + 48 * 2 + 16 + 22 + 40 + 10);
    size_t firstData = secondInstrument - 300;

    // Claiming more data than there is, with an instrument still to come.
    std::vector<uint8_t> claims = image;
    claims[firstData - 40 + 1] = 0x10;  // the first sample's length: 300 becomes 4140
    EXPECT_FALSE(loadImage(claims, &error));
    EXPECT_EQ(std::string(error), "sample data runs past the end of the file at offset " + std::to_string(firstData));

    // Cut inside the last instrument's data: what is there plays.
    std::vector<uint8_t> cut(image.begin(), image.end() - 4);
    ModulePtr shorter(loadImage(cut));
    ASSERT_TRUE(shorter);
    EXPECT_EQ(shorter->instruments[1].samples[0]->length, 6u);

    std::vector<uint8_t> rows = writeXm(makeSong(1, 4));
    rows[FirstPatternRows] = 1;
    rows[FirstPatternRows + 1] = 2;  // 513 rows
    EXPECT_FALSE(loadImage(rows, &error));
    EXPECT_STREQ(error, "pattern 0 has 513 rows (at most 256)");
}
