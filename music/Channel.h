#pragma once
#include <cstdint>

struct Sample;
struct Voice;

// Channel update flags, read by Mixer::commitChannel.
enum : uint8_t {
    UpdateFrequency = 0x01,
    UpdateVolume = 0x02,
    UpdatePanning = 0x04,
    UpdateTrigger = 0x08,
    UpdateRestart = 0x20,
};

// The scales of a channel's envelopes and fade-out.
constexpr int32_t EnvelopeTop = 64;            // an envelope's highest value: full volume, or panning far right
constexpr int32_t PanningEnvelopeCentre = 32;  // the panning envelope's value that moves nothing
constexpr int32_t EnvelopeOne = 65536;         // 1 in the 16.16 accumulator and slope
constexpr int32_t FadeoutFull = 65536;         // the fade-out volume until a key-off starts lowering it

// Progress through one instrument envelope.
struct EnvelopeState {
    int32_t tick;
    int32_t pointIndex;
    int32_t accumulator;  // 16.16
    int32_t value;        // 0..EnvelopeTop (panning: PanningEnvelopeCentre is the centre)
    int32_t slope;        // 16.16 per tick
    uint8_t finished;
};

// The playing state of one song channel. Zero-filled at start.
struct Channel {
    uint8_t note;   // latched note, 0-based
    uint8_t flags;  // Update* bits for this tick
    Voice* voice;
    Sample* sample;  // latched sample
    int32_t period;
    int32_t volume;        // 0..64 (Cxx may set more)
    int32_t panning;       // 0..255 nominal
    int32_t volumeOffset;  // tremolo, tremor
    int32_t periodOffset;  // arpeggio, vibrato, auto-vibrato
    EnvelopeState volumeEnvelope;
    EnvelopeState panningEnvelope;
    int32_t fadeoutVolume;  // FadeoutFull down to 0
    int32_t autoVibratoPosition;
    int32_t autoVibratoSweep;
    uint8_t keyOff;
    uint8_t instrument;  // latched instrument, 0-based
    uint8_t playedNote;
    int32_t notePeriod;
    uint8_t previousEffect;
    int32_t offsetMemory;
    uint8_t portaDownMemory, portaUpMemory, extraFineDownMemory, extraFineUpMemory;
    uint8_t volumeSlideMemory, panningSlideMemory, retriggerVolumeChange, retriggerInterval;
    int32_t portaTarget;
    uint8_t portaSpeed;
    int8_t vibratoPosition;  // -32..31
    uint8_t vibratoSpeed, vibratoDepth;
    int8_t tremoloPosition;  // -32..31
    uint8_t tremoloSpeed, tremoloDepth;
    uint8_t tremorCounter, tremorOn, tremorOff;
    int32_t loopRow, loopCounter;
    uint8_t waveControl;  // low nibble vibrato waveform, high nibble tremolo waveform
    uint8_t fineVolumeMemory, finePortaUpMemory, finePortaDownMemory;
};
