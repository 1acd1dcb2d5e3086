#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Builds Extended Module (XM) images from a plain description of a song: format version 0x0104
// by default, or the older 0x0102 and 0x0103 layouts.
//
// Fill an XmSong, call writeXm, get the bytes of a file. Everything is given in the units of the
// file format itself, so what you put in is what a player reads back:
//   - notes 1..96 (1 = C-0), 97 = key-off, 0 = none; instruments 1..128, 0 = none;
//   - the volume-column byte, effect type and effect parameter exactly as stored;
//   - sample data as plain (not delta-coded) values: -128..127 for 8-bit samples,
//     -32768..32767 for 16-bit ones; loop start and loop length counted in sample values.
// The writer packs the pattern data and delta-codes (or 4-bit packs) the sample data itself.
// Header sizes are the standard ones: song header 276, pattern header 9, instrument header 263
// (29 without samples), sample header 40.

struct XmCell {
    uint8_t note = 0;        // 0 none, 1..96, 97 key-off
    uint8_t instrument = 0;  // 0 none, 1..128
    uint8_t volume = 0;      // volume-column byte (0x10..0x50 set volume, 0x60.. commands)
    uint8_t effect = 0;      // effect type 0..35 (0x0..0xF, then G=16, H=17, K=20, L=21, P=25, R=27, T=29, X=33)
    uint8_t param = 0;       // effect parameter
};

struct XmPattern {
    uint16_t rows = 64;
    std::vector<XmCell> cells;  // rows x channels, row-major; missing cells are written empty

    // Makes an empty pattern of the given size.
    static XmPattern empty(uint16_t rows, uint16_t channels);
    // The cell at (row, channel) of a pattern made for `channels` channels.
    XmCell& at(uint16_t row, uint16_t channel, uint16_t channels);
};

struct XmEnvelopePoint {
    uint16_t x = 0;  // ticks
    uint16_t y = 0;  // 0..64 (panning: 32 is the centre)
};

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points;  // at most 12 are written
    uint8_t sustain = 0;                  // point index
    uint8_t loopStart = 0;                // point index
    uint8_t loopEnd = 0;                  // point index
    uint8_t type = 0;                     // bit 0 on, bit 1 sustain, bit 2 loop
};

enum class XmLoop : uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct XmSample {
    std::string name;
    uint8_t bits = 8;           // 8 or 16
    std::vector<int16_t> data;  // plain values in the range of `bits`
    uint32_t loopStart = 0;     // in sample values
    uint32_t loopLength = 0;    // in sample values
    XmLoop loop = XmLoop::None;
    uint8_t volume = 64;    // 0..64
    uint8_t panning = 128;  // 0..255
    int8_t finetune = 0;
    int8_t relativeNote = 0;
    // 8-bit samples only: store 4 bits per value, each a step from adpcmSteps added to the
    // previous value (the nearest the steps reach; exact when every change is one of them).
    bool adpcm = false;
    int8_t adpcmSteps[16] = {0, 1, 2, 4, 8, 16, 32, 64, -1, -2, -4, -8, -16, -32, -48, -64};
};

// The values a reader gets back from sample stored 4-bit packed.
std::vector<int16_t> adpcmRoundTrip(const XmSample& sample);

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;  // all are written (the format's count is 16-bit)
    uint8_t sampleMap[96] = {};     // sample index for each note
    XmEnvelope volumeEnvelope;
    XmEnvelope panningEnvelope;
    uint8_t vibratoType = 0;
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
    uint16_t fadeout = 0;  // as stored in the file
};

struct XmSong {
    // 0x0104: patterns, then each instrument with its sample data. 0x0103: every instrument
    // header, then the patterns, then all sample data. 0x0102: as 0x0103, with 8-byte pattern
    // headers whose row count is one byte holding rows - 1.
    uint16_t version = 0x0104;
    std::string name;
    std::string tracker = "xmwriter";
    uint16_t channels = 4;
    uint16_t restart = 0;
    uint16_t flags = 1;  // bit 0: linear frequency table
    uint16_t speed = 6;
    uint16_t tempo = 125;
    std::vector<uint8_t> orders;  // song length = orders.size(), at most 256
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;

    // Bytes of padding appended to each pattern, instrument (with samples) and sample header,
    // with the stored header size grown to match. 0 writes the standard sizes; tests use the
    // others to check that a reader honours stored header sizes.
    uint32_t extraPatternHeader = 0;
    uint32_t extraInstrumentHeader = 0;
    uint32_t extraSampleHeader = 0;
};

// Returns the XM image of song in song.version's layout.
std::vector<uint8_t> writeXm(const XmSong& song);

// A silent song for driving the show's timeline: ten orders of empty 64-row patterns on two channels
// at speed 2 and tempo 125, so a tick is one 20 ms audio block and a row lasts two.
XmSong silentTimelineSong();
