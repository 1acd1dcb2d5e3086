#include <gtest/gtest.h>

#include <cstring>

#include "music/ModuleLoader.h"
#include "tests/music/MusicSupport.h"

namespace {

struct ModuleDeleter {
    void operator()(Module* module) const { freeModule(module); }
};
using ModulePtr = std::unique_ptr<Module, ModuleDeleter>;

ModulePtr load(const XmSong& song) { return ModulePtr(loadImage(writeXm(song))); }

// Offset of the first pattern's packed data in an image with the standard header sizes.
constexpr size_t FirstPatternData = 60 + 276 + 9;

}  // namespace

TEST(ModuleLoader, ReadsHeaderOrdersAndPackedCells) {
    XmSong song = makeSong(3, 4, 5, 140);
    song.restart = 1;
    song.orders = {0, 1, 0};
    song.patterns.push_back(XmPattern::empty(2, 3));
    song.patterns[0].at(0, 0, 3) = XmCell{49, 1, 0x40, 0x0C, 0x20};  // all fields: stored unpacked
    song.patterns[0].at(1, 2, 3) = XmCell{97, 0, 0, 0, 0};           // key-off
    song.patterns[0].at(3, 1, 3) = XmCell{0, 200, 0, 0x0F, 0x03};    // instrument above 128 dropped
    song.instruments.push_back(makeInstrument(makeSample(10)));
    ModulePtr module = load(song);
    ASSERT_TRUE(module);

    EXPECT_EQ(module->songLength, 3);
    EXPECT_EQ(module->restartPosition, 1);
    EXPECT_EQ(module->channels, 3);
    EXPECT_EQ(module->instrumentCount, 1);
    EXPECT_EQ(module->defaultSpeed, 5);
    EXPECT_EQ(module->defaultTempo, 140);
    EXPECT_EQ(module->flags & LinearFrequencyFlag, 1);
    EXPECT_EQ(module->initialGlobalVolume, 64);
    EXPECT_EQ(module->orderTable[1], 1);
    EXPECT_EQ(module->referencedPatterns, 2u);
    EXPECT_EQ(module->patternSlots, 2u);

    const Pattern& p = module->patterns[0];
    ASSERT_EQ(p.rows, 4u);
    const NoteCell& full = p.cells[0];
    EXPECT_EQ(full.note, 49);
    EXPECT_EQ(full.instrument, 1);
    EXPECT_EQ(full.volume, 0x40);
    EXPECT_EQ(full.effect, 0x0C);
    EXPECT_EQ(full.param, 0x20);
    EXPECT_EQ(p.cells[1 * 3 + 2].note, 255);
    EXPECT_EQ(p.cells[3 * 3 + 1].instrument, 0);
    EXPECT_EQ(p.cells[3 * 3 + 1].effect, 0x0F);
    EXPECT_EQ(p.cells[3 * 3 + 1].param, 0x03);
    EXPECT_EQ(module->patterns[1].rows, 2u);
}

TEST(ModuleLoader, EmptyAndUnstoredPatternsGetEmptyRows) {
    XmSong song = makeSong(2, 8);
    song.orders = {0, 3};  // patterns 1..3 are not in the file
    ModulePtr module = load(song);
    ASSERT_TRUE(module);
    EXPECT_EQ(module->referencedPatterns, 4u);
    EXPECT_EQ(module->patternSlots, 4u);
    ASSERT_EQ(module->patterns[0].rows, 8u);  // stored with packed size 0
    for (int i = 0; i < 16; ++i) EXPECT_EQ(module->patterns[0].cells[i].note, 0);
    for (uint32_t p = 1; p < 4; ++p) {
        ASSERT_EQ(module->patterns[p].rows, 64u);
        ASSERT_NE(module->patterns[p].cells, nullptr);
        EXPECT_EQ(module->patterns[p].cells[64 * 2 - 1].effect, 0);
    }
}

TEST(ModuleLoader, UnpackedCellWithZeroNoteStillReadsFourBytes) {
    XmSong song = makeSong(1, 2);
    song.patterns[0].at(0, 0, 1) = XmCell{10, 2, 0x30, 0x0A, 0x0F};
    song.patterns[0].at(1, 0, 1) = XmCell{0, 0, 0, 0x0C, 0x07};
    std::vector<uint8_t> image = writeXm(song);
    ASSERT_EQ(image[FirstPatternData], 10);  // first cell stored unpacked
    image[FirstPatternData] = 0;
    ModulePtr module(loadImage(image));
    ASSERT_TRUE(module);
    const NoteCell* cells = module->patterns[0].cells;
    EXPECT_EQ(cells[0].note, 0);
    EXPECT_EQ(cells[0].instrument, 2);
    EXPECT_EQ(cells[0].param, 0x0F);
    EXPECT_EQ(cells[1].effect, 0x0C);
    EXPECT_EQ(cells[1].param, 0x07);
}

TEST(ModuleLoader, ReadsInstrumentEnvelopesAndVibrato) {
    XmSong song = makeSong(1);
    XmInstrument instrument = makeInstrument(makeSample(4));
    instrument.sampleMap[40] = 3;
    instrument.volumeEnvelope = XmEnvelope{{{0, 64}, {10, 32}, {20, 0}}, 1, 0, 2, 7};
    instrument.panningEnvelope = XmEnvelope{{{5, 40}}, 0, 0, 0, 1};  // one point: turned off
    instrument.vibratoType = 2;
    instrument.vibratoSweep = 3;
    instrument.vibratoDepth = 4;
    instrument.vibratoRate = 5;
    instrument.fadeout = 0x123;
    song.instruments.push_back(instrument);
    song.instruments.push_back(XmInstrument{});  // no samples
    song.instruments.push_back(makeInstrument(makeSample(4)));
    ModulePtr module = load(song);
    ASSERT_TRUE(module);

    const Instrument& first = module->instruments[0];
    EXPECT_EQ(first.sampleCount, 1u);
    EXPECT_EQ(first.sampleMap[40], 3);
    EXPECT_EQ(first.volumePointCount, 3);
    EXPECT_EQ(first.volumePoints[1].x, 10);
    EXPECT_EQ(first.volumePoints[1].y, 32);
    EXPECT_EQ(first.volumeSustain, 1);
    EXPECT_EQ(first.volumeLoopEnd, 2);
    EXPECT_EQ(first.volumeType, 7);
    EXPECT_EQ(first.panningType, 0);
    EXPECT_EQ(first.vibratoType, 2);
    EXPECT_EQ(first.vibratoRate, 5);
    EXPECT_EQ(first.fadeout, 0x246u);
    EXPECT_EQ(first.samples[1], emptySample());

    const Instrument& silent = module->instruments[1];
    EXPECT_EQ(silent.sampleCount, 0u);
    for (Sample* s : silent.samples) EXPECT_EQ(s, emptySample());
    EXPECT_EQ(module->instruments[2].sampleCount, 1u);  // found after the short header
    EXPECT_EQ(module->instruments[2].samples[0]->length, 4u);
}

TEST(ModuleLoader, DecodesDeltaSamplesAndWritesTheGuardSlot) {
    XmSong song = makeSong(1);
    XmSample eight;
    eight.data = {0x10, 0x00, -0x80, 0x7F};  // stored deltas 0x10, 0xF0, 0x80, 0xFF
    XmSample wide;
    wide.bits = 16;
    wide.data = {1000, -2000, 3000, 4000, 5000, 6000};
    wide.loop = XmLoop::PingPong;
    wide.loopStart = 1;
    wide.loopLength = 3;
    XmSample forward = makeSample(8, XmLoop::Forward, 2, 4);
    XmInstrument instrument = makeInstrument(eight);
    instrument.samples.push_back(wide);
    instrument.samples.push_back(forward);
    song.instruments.push_back(instrument);
    ModulePtr module = load(song);
    ASSERT_TRUE(module);

    const Sample& a = *module->instruments[0].samples[0];
    ASSERT_EQ(a.length, 4u);
    EXPECT_EQ(a.data[0], 0x1000);
    EXPECT_EQ(a.data[1], 0x0000);
    EXPECT_EQ(a.data[2], -0x8000);
    EXPECT_EQ(a.data[3], 0x7F00);
    EXPECT_EQ(a.data[4], 0);  // no loop: guard stays 0
    EXPECT_EQ(a.loopMode, LoopNone);
    EXPECT_EQ(a.loopStart, 0u);
    EXPECT_EQ(a.loopLength, 4u);
    EXPECT_EQ(a.bits, 16);

    const Sample& b = *module->instruments[0].samples[1];
    ASSERT_EQ(b.length, 6u);  // bytes halved
    EXPECT_EQ(b.loopStart, 1u);
    EXPECT_EQ(b.loopLength, 3u);
    EXPECT_EQ(b.loopMode, LoopPingPong);
    EXPECT_EQ(b.data[1], -2000);
    EXPECT_EQ(b.data[4], 4000);  // ping-pong guard: the slot before it, replacing 5000

    const Sample& c = *module->instruments[0].samples[2];
    EXPECT_EQ(c.loopMode, LoopForward);
    EXPECT_EQ(c.data[6], c.data[2]);  // forward guard copies the loop start
}

TEST(ModuleLoader, LoopTypesAndEmptyLoops) {
    XmSong song = makeSong(1);
    XmInstrument instrument = makeInstrument(makeSample(10, XmLoop::Forward, 4, 0));  // empty loop
    instrument.samples.push_back(makeSample(10, XmLoop::PingPong, 2, 2));
    song.instruments.push_back(instrument);
    std::vector<uint8_t> image = writeXm(song);
    ModulePtr module(loadImage(image));
    ASSERT_TRUE(module);
    const Sample& empty = *module->instruments[0].samples[0];
    EXPECT_EQ(empty.loopMode, LoopNone);
    EXPECT_EQ(empty.loopStart, 0u);
    EXPECT_EQ(empty.loopLength, 10u);

    // Type 3 (both loop bits) loads as ping-pong.
    size_t typeAt = 60 + 276 + 9 + 263 + 14;
    ASSERT_EQ(image[typeAt], 1);
    image[typeAt] = 3;
    ModulePtr patched(loadImage(image));
    EXPECT_EQ(patched->instruments[0].samples[0]->loopMode, LoopNone);  // still an empty loop
    image[typeAt] = 3;
    image[typeAt - 6] = 2;  // loop length 2
    ModulePtr pingPong(loadImage(image));
    EXPECT_EQ(pingPong->instruments[0].samples[0]->loopMode, LoopPingPong);
    EXPECT_EQ(pingPong->instruments[0].samples[0]->loopLength, 2u);
}

TEST(ModuleLoader, HonoursStoredHeaderSizes) {
    XmSong song = makeSong(2, 4);
    song.patterns[0].at(2, 1, 2) = XmCell{30, 1, 0, 0, 0};
    song.instruments.push_back(makeInstrument(makeSample(6, XmLoop::Forward, 1, 3)));
    song.instruments.push_back(makeInstrument(makeSample(5)));
    ModulePtr standard = load(song);
    ASSERT_TRUE(standard);
    auto sameSamples = [&](const Module& other) {
        for (int i = 0; i < 2; ++i) {
            const Sample& a = *standard->instruments[i].samples[0];
            const Sample& b = *other.instruments[i].samples[0];
            ASSERT_EQ(a.length, b.length);
            EXPECT_EQ(a.loopLength, b.loopLength);
            EXPECT_EQ(0, std::memcmp(a.data, b.data, (a.length + 1) * sizeof(int16_t)));
        }
    };

    // A longer instrument header is skipped.
    XmSong paddedInstruments = song;
    paddedInstruments.extraInstrumentHeader = 11;
    ModulePtr padded = load(paddedInstruments);
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->patterns[0].cells[2 * 2 + 1].note, 30);
    sameSamples(*padded);

    // A song header that keeps only 16 order-table entries: the patterns start where its size says.
    std::vector<uint8_t> full = writeXm(song);
    std::vector<uint8_t> shortHeader = full;
    shortHeader.erase(shortHeader.begin() + 60 + 20 + 16, shortHeader.begin() + 60 + 276);
    shortHeader[60] = 20 + 16;
    shortHeader[61] = 0;
    ModulePtr shortened(loadImage(shortHeader));
    ASSERT_TRUE(shortened);
    EXPECT_EQ(shortened->patterns[0].rows, 4u);
    EXPECT_EQ(shortened->patterns[0].cells[2 * 2 + 1].note, 30);
    sameSamples(*shortened);

    // Longer pattern and sample headers, as other trackers write them, are skipped by their
    // stored sizes: the cells and the sample data come out as with the standard sizes.
    XmSong paddedHeaders = song;
    paddedHeaders.extraPatternHeader = 7;
    paddedHeaders.extraSampleHeader = 5;
    ModulePtr skipped = load(paddedHeaders);
    ASSERT_TRUE(skipped);
    EXPECT_EQ(skipped->patterns[0].rows, 4u);
    EXPECT_EQ(skipped->patterns[0].cells[2 * 2 + 1].note, 30);
    EXPECT_EQ(skipped->patterns[0].cells[2 * 2 + 1].instrument, 1);
    sameSamples(*skipped);
}

TEST(ModuleLoader, RejectsWhatItCannotPlay) {
    const char* error = nullptr;
    std::vector<uint8_t> image = writeXm(makeSong(4));
    image[0] = 'e';
    EXPECT_EQ(loadImage(image, &error), nullptr);
    EXPECT_STREQ(error, "not an Extended Module");

    XmSong wide = makeSong(33);
    EXPECT_EQ(loadImage(writeXm(wide), &error), nullptr);
    EXPECT_NE(error, nullptr);

    XmSong crowded = makeSong(1);
    crowded.instruments.push_back(makeInstrument(makeSample(2)));
    image = writeXm(crowded);
    size_t countAt = 60 + 276 + 9 + 4 + 23;
    ASSERT_EQ(image[countAt], 1);
    image[countAt] = 17;
    EXPECT_EQ(loadImage(image, &error), nullptr);
    EXPECT_STREQ(error, "instrument 1 has 17 samples, more than the file holds");
}

TEST(ModuleLoader, BoundsSamplesByTheDataPresent) {
    XmSong song = makeSong(1);
    XmSample wide;
    wide.bits = 16;
    for (int i = 0; i < 100; ++i) wide.data.push_back(int16_t(i * 100));
    wide.loop = XmLoop::Forward;
    wide.loopStart = 60;
    wide.loopLength = 40;
    song.instruments.push_back(makeInstrument(wide));
    std::vector<uint8_t> full = writeXm(song);

    // Cut the image inside the sample data: the sample keeps what is there and its loop stays
    // inside it.
    for (size_t keep : {size_t(150), size_t(100), size_t(10), size_t(0)}) {
        std::vector<uint8_t> cut(full.begin(), full.end() - 200 + keep);
        ModulePtr module(loadImage(cut));
        ASSERT_TRUE(module) << keep;
        const Sample& s = *module->instruments[0].samples[0];
        EXPECT_EQ(s.length, keep / 2) << keep;
        EXPECT_LE(s.loopStart + s.loopLength, s.length) << keep;
        if (s.length > 60) {
            EXPECT_EQ(s.loopMode, LoopForward);
            EXPECT_EQ(s.data[s.length - 1], int16_t((s.length - 1) * 100));
        } else {
            EXPECT_EQ(s.loopMode, LoopNone);
        }
    }
    // Every shorter prefix loads or is rejected without reading outside the image.
    for (size_t size = 0; size < full.size(); size += 7) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + size);
        freeModule(loadImage(cut));
    }
}
