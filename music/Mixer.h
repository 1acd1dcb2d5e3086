#pragma once
#include <cmath>
#include <cstdint>

#include "music/Channel.h"
#include "music/Module.h"

constexpr int VoiceCount = 2 * MaxChannels;  // each channel sounds on a voice and its partner
enum : int32_t { DirectionForward = 1, DirectionBackward = 2 };

// The voice's number formats, each with the conversions the mixer makes between it and the others.

// 32.32 fixed point (positions and steps, in sample values): the integer part in the high 32 bits.
constexpr uint64_t PositionOne = uint64_t(1) << 32;
// A whole number of sample values as 32.32; exact.
inline uint64_t toPosition(uint32_t values) { return uint64_t(values) << 32; }
// The integer part of a 32.32 position read as signed (it may be -1 at a loop start); floors.
inline int64_t positionIndex(uint64_t position) { return int64_t(position) >> 32; }
// The interpolation weight of a 32.32 position: its fraction's top 31 bits times 2^-31, 0 <= w < 1.
constexpr float FractionWeightScale = 4.6566128730773926e-10f;  // 2^-31
inline float positionWeight(uint64_t position) { return float(uint32_t(position) >> 1) * FractionWeightScale; }

// 8.24 fixed point (the frame count to a loop boundary): a 32.32 value without its low 8 fraction
// bits; truncates. A step is held in 32 bits (8 integer bits: Mixer::stepFor keeps it below 256), a
// distance in 64.
inline uint64_t boundaryUnits(uint64_t value) { return value >> 8; }

// Gains 0..255 (targets), as a float multiplier: gain / 255.
inline float gainFactor(int32_t gain) { return float(gain) / 255.0f; }

// 24.8 fixed point (levels): gain x 256.
inline int32_t levelOfGain(int32_t gain) { return gain * 256; }
// The gain a level stands for: level / 256, truncating toward zero.
inline int32_t levelGain(int32_t level) { return level / 256; }
// A level as a float multiplier: level / 256 / 255, two float divisions in that order.
inline float levelFactor(int32_t level) { return float(level) / 256.0f / 255.0f; }
// A float multiplier as a level: factor x 255 x 256 in float, rounded to nearest (ties to even).
inline int32_t levelOfFactor(float factor) { return int32_t(std::nearbyint(factor * 255.0f * 256.0f)); }

// One mixed voice: a sample playing at a position and a step, with click-free gain ramps.
struct Voice {
    int32_t number;                   // own index 0..63
    int32_t volume;                   // last committed volume 0..127
    int32_t panning;                  // last committed panning 0..255
    uint32_t startOffset;             // position the next trigger starts at; consumed by the trigger
    const Sample* sample;             // null: silent, skipped
    int32_t leftTarget, rightTarget;  // gains 0..255
    uint64_t position;  // 32.32 fixed point, in sample values (integer part may dip to -1 at a loop start)
    uint64_t step;      // 32.32 fixed point, advance per output frame
    int32_t direction;  // DirectionForward, DirectionBackward (ping-pong only)
    int32_t latchedLeft, latchedRight;  // targets the running ramp was computed for
    int32_t leftLevel, rightLevel;      // 24.8 fixed point: gain x 256; target x 256 at rest
    float leftRampStep, rightRampStep;  // gain change per frame during a ramp
    uint32_t rampFrames;                // frames left in the running ramp
};

// The voice table and the output-rate constants it mixes at. Channel n of a song starts on voice n;
// its partner voice is n ^ 32.
struct Mixer {
    Voice voices[VoiceCount];
    uint32_t rate;
    float rateReciprocal;
    uint32_t rampLength;  // R = rate * 128 / 44100 frames
    float rampReciprocal;

    // Sets the output rate (above 0) and clears the voices: each numbered, each stepping 1.0.
    static void open(Mixer& mixer, uint32_t rate);

    // Applies channel.flags to the channel's voice (module.mixer's table): trigger (moving a still
    // sounding note to the partner voice to fade out), volume, panning, frequency, restart.
    // sample is the row's sample, given to the voice on a trigger.
    static void commitChannel(Channel& channel, const Sample* sample, const Module& module);

    // Adds frames frames of every sounding voice into out (interleaved left/right floats).
    static void mixVoices(Mixer& mixer, float* out, int32_t frames);

    // Rounds 2 x frames floats to nearest (ties to even), clips them to 16 bits and stores them;
    // NaN stores 0, infinities the nearer limit.
    static void toPcm16(int16_t* destination, const float* source, int32_t frames);

    // The step for a frequency in Hz at the mixer's rate (32.32), frequencies below 100 Hz
    // counting as 100 Hz and frequencies the boundary arithmetic cannot hold as the highest one.
    static uint64_t stepFor(const Mixer& mixer, int64_t frequency);

    // True (the default): steady runs and the conversion use the SSE2 loops where the build has
    // them; false: the plain scalar loops. Both give the same bits.
    static bool vectorLoops;
};
