#pragma once
#include <cstdint>

struct Channel;
struct Mixer;
struct AudioOutput;

// One pattern cell as stored after unpacking.
struct NoteCell {
    uint8_t note;        // 0 none, 1..96 a note, 255 key-off
    uint8_t instrument;  // 0 none, 1..128
    uint8_t volume;      // volume-column byte
    uint8_t effect;      // effect type
    uint8_t param;       // effect parameter
};

struct Pattern {
    uint32_t rows;
    NoteCell* cells;  // rows x channels, row-major
};

// Loop modes of a sample.
enum : uint8_t { LoopNone = 1, LoopForward = 2, LoopPingPong = 4 };

struct Sample {
    int16_t* data;        // length + 8 values, zero beyond the data; the slot at loop end is the guard
    uint32_t length;      // in values
    uint32_t loopStart;   // in values
    uint32_t loopLength;  // in values; never 0 after loading (a sample without a loop loops over its length)
    uint8_t volume;       // 0..64
    int8_t finetune;
    int32_t panning;   // 0..255
    uint8_t bits;      // 16 after loading
    uint8_t loopMode;  // LoopNone, LoopForward, LoopPingPong
    int8_t relativeNote;
    int16_t* allocation;  // the buffer behind data (a few zero slots precede data)
};

// Envelope point: x in ticks, y 0..64.
struct EnvelopePoint {
    uint16_t x;
    uint16_t y;
};

enum : uint8_t { EnvelopeOn = 1, EnvelopeSustain = 2, EnvelopeLoop = 4 };

// The most points an instrument envelope holds.
constexpr uint32_t MaxEnvelopePoints = 12;

// The most samples one instrument can address: its note-to-sample map holds byte indices.
constexpr uint32_t MaxInstrumentSamples = 256;

struct Instrument {
    uint32_t sampleCount;                   // 0..MaxInstrumentSamples (16 in the show's song)
    Sample* samples[MaxInstrumentSamples];  // entries beyond sampleCount point to the shared empty sample
    uint8_t sampleMap[96];                  // sample index for each note
    EnvelopePoint volumePoints[MaxEnvelopePoints];
    EnvelopePoint panningPoints[MaxEnvelopePoints];
    uint8_t volumePointCount, panningPointCount;
    uint8_t volumeSustain, volumeLoopStart, volumeLoopEnd;
    uint8_t panningSustain, panningLoopStart, panningLoopEnd;
    uint8_t volumeType, panningType;  // EnvelopeOn | EnvelopeSustain | EnvelopeLoop
    uint8_t vibratoType, vibratoSweep, vibratoDepth, vibratoRate;
    uint32_t fadeout;  // twice the stored value
};

// A loaded song and its playing state. Created zero-filled by loadModule.
struct Module {
    Pattern* patterns;
    Instrument* instruments;
    uint32_t tickFramesLeft;  // frames still to mix before the next tick
    uint32_t framesPerTick;
    int16_t songLength;
    int16_t restartPosition;
    int16_t channels;
    uint32_t referencedPatterns;
    uint32_t patternSlots;
    int16_t instrumentCount;
    uint16_t flags;  // bit 0: linear frequency table
    int16_t defaultSpeed;
    int16_t defaultTempo;
    uint8_t orderTable[256];
    uint8_t initialGlobalVolume;

    // Playing state (sequencer and block mixer).
    int32_t globalVolume;
    uint8_t globalVolumeSlideMemory;
    int32_t speed;
    int32_t tempo;
    int32_t tickCounter;
    int32_t currentRow;
    int32_t currentOrder;
    int32_t pendingRow;    // -1: no change
    int32_t pendingOrder;  // -1: no change
    int32_t patternDelayTicks;
    int32_t loopJumpRow;  // row a pattern loop (E6x) sends the next row tick to; -1: none
    int32_t elapsedMs;
    void (*tickHandler)(Module* module);

    // Links made when playback starts: the channel table, the mixer whose voices they drive and
    // the output that mixes this song (null for offline rendering).
    Channel* channelTable;
    Mixer* mixer;
    AudioOutput* output;
};

constexpr uint16_t LinearFrequencyFlag = 1;
constexpr int MaxChannels = 32;
