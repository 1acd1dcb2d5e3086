#pragma once
#include <cstdint>

// The records below are laid out as tables, one field a line; the formatter leaves them as written.
// clang-format off

// The Extended Module file as stored: little-endian records one after another. Each record's
// fields stand in file order with their offset and size in bytes from the record's start; the
// loader reads them in that order, one field a line.
//
//   version 0x0104                               versions 0x0102 and 0x0103
//   song header, at 0                            song header, at 0
//   at 60 + its header size, per pattern:        at 60 + its header size, per instrument:
//     pattern header, packed cells                 instrument header, its sample headers
//   per instrument:                              per pattern:
//     instrument header, its sample headers,       pattern header, packed cells
//     its samples' data                          every sample's data, in header order

constexpr uint16_t XmOldestVersion = 0x0102;       // also the one storing rows in one byte, less one
constexpr uint16_t XmInterleavedVersion = 0x0104;  // the newest: each instrument's data after its headers

// Returns true when version keeps a pattern's row count in one byte, less one.
constexpr bool storesByteRowCounts(uint16_t version) { return version == XmOldestVersion; }
// Returns true when version stores all instruments, then patterns, then all sample data.
constexpr bool storesSamplesLast(uint16_t version) { return version < XmInterleavedVersion; }

// ---- Song header ----------------------------------------------------------------------------

constexpr char XmSignature[] = "Extended Module: ";
constexpr uint32_t XmSignatureBytes = 17;
constexpr uint32_t XmVersionAt = 58;
constexpr uint32_t XmHeaderSizeAt = 60;      // the header size counts from here
constexpr uint32_t XmFieldsBeforeOrders = 20;  // header size through tempo
constexpr uint32_t XmMaxOrders = 256;
constexpr uint32_t XmMaxPatterns = 256;
constexpr uint32_t XmMaxInstruments = 128;
constexpr uint16_t XmMaxSpeedOrTempo = 255;   // larger values play as this

struct XmSongHeader {           // at  size
    char signature[XmSignatureBytes];  //   0   17  XmSignature
                                //  17   20  song name
                                //  37    1  0x1A
                                //  38   20  tracker name
    uint16_t version;           //  58    2  XmOldestVersion..XmInterleavedVersion
    uint32_t headerSize;        //  60    4  from this field on; below 276 it cuts the order table short
    uint16_t songLength;        //  64    2  orders played, at most XmMaxOrders
    uint16_t restart;           //  66    2  order the song loops back to
    uint16_t channels;          //  68    2  1..MaxChannels
    uint16_t patterns;          //  70    2  patterns stored, at most XmMaxPatterns
    uint16_t instruments;       //  72    2  at most XmMaxInstruments
    uint16_t flags;             //  74    2  bit 0: linear frequency table (LinearFrequencyFlag)
    uint16_t speed;             //  76    2  ticks per row
    uint16_t tempo;             //  78    2  beats per minute; 0 cannot play
    uint8_t orders[XmMaxOrders];  //  80  256  pattern index of each order
};

// ---- Pattern header and cells ---------------------------------------------------------------

constexpr uint32_t XmPatternHeaderBytes = 9;  // 8 where the row count takes one byte
constexpr uint32_t XmMaxRows = 256;
constexpr uint32_t XmUnstoredPatternRows = 64;  // a pattern an order names but the file lacks

struct XmPatternHeader {        // at  size
    uint32_t headerLength;      //   0    4  from this field on; bytes past the ones read are skipped
    uint8_t packing;            //   4    1  packing type, always 0
    uint32_t rows;              //   5    2  at most XmMaxRows (one byte, rows - 1, where storesByteRowCounts)
    uint16_t packedSize;        //   7    2  bytes of packed cells; 0: every cell is empty
};

// A cell starts with a byte that is either the note itself, followed by the other four fields,
// or XmCellPacked plus one bit for each field that follows, in this order.
enum : uint8_t {
    XmCellNote = 0x01, XmCellInstrument = 0x02, XmCellVolume = 0x04, XmCellEffect = 0x08, XmCellParam = 0x10,
    XmCellPacked = 0x80,
};

constexpr uint8_t XmKeyOffNote = 97;  // notes 1..96 play, 97 releases

// ---- Instrument header ----------------------------------------------------------------------

constexpr uint32_t XmInstrumentNameBytes = 22;
constexpr uint32_t XmMappedNotes = 96;
constexpr uint32_t XmEnvelopePoints = 12;
constexpr uint32_t XmEditableSamples = 16;  // what trackers let an instrument hold; the loader takes more
constexpr uint16_t XmEnvelopeTop = 64;  // higher point values play as this

struct XmInstrumentHeader {     // at  size
    uint32_t headerSize;        //   0    4  from this field on; the sample headers start there
                                //   4   22  name
    uint8_t type;               //  26    1  always 0
    uint16_t sampleCount;       //  27    2  0: the header ends here, no samples
    uint32_t sampleHeaderSize;  //  29    4  size of each sample header that follows
};

// The rest of a header with samples is read straight into Instrument, whose fields it matches:
//   33   96  sample index for each note
//  129   48  volume envelope: XmEnvelopePoints points, each x (ticks, 2) then y (0..64, 2)
//  177   48  panning envelope
//  225    1  volume point count        226  1  panning point count
//  227    1  volume sustain point      228  1  volume loop start     229  1  volume loop end
//  230    1  panning sustain point     231  1  panning loop start    232  1  panning loop end
//  233    1  volume type               234  1  panning type: EnvelopeOn | EnvelopeSustain | EnvelopeLoop
//  235    1  vibrato waveform          236  1  vibrato sweep
//  237    1  vibrato depth             238  1  vibrato rate
//  239    2  fade-out, half the step Instrument keeps
//  241    -  reserved, up to the header size

// ---- Sample header and data -----------------------------------------------------------------

constexpr uint32_t XmSampleHeaderBytes = 40;
constexpr uint32_t XmSampleNameBytes = 22;

// Sample type bits; with both loop bits set the loop is ping-pong.
enum : uint8_t { XmSampleLoopForward = 0x01, XmSampleLoopPingPong = 0x02, XmSample16Bit = 0x10 };

constexpr uint8_t XmAdpcmMark = 0xAD;       // reserved byte of an 8-bit sample stored 4-bit packed
constexpr uint32_t XmAdpcmTableBytes = 16;  // packed data starts with 16 signed 8-bit steps

struct XmSampleHeader {         // at  size
    uint32_t length;            //   0    4  data length in bytes
    uint32_t loopStart;         //   4    4  in bytes
    uint32_t loopLength;        //   8    4  in bytes; 0: no loop
    uint8_t volume;             //  12    1  0..64
    int8_t finetune;            //  13    1  signed
    uint8_t type;               //  14    1  XmSampleLoopForward | XmSampleLoopPingPong | XmSample16Bit
    uint8_t panning;            //  15    1  0..255
    int8_t relativeNote;        //  16    1  signed, in semitones
    uint8_t reserved;           //  17    1  XmAdpcmMark: 4-bit packed data
                                //  18   22  name
};

// Sample data: each value the difference from the one before (8 or 16 bits), or 4-bit packed: the
// step table, then two values a byte, low nibble first, each the one before plus its nibble's step.
// clang-format on
