#pragma once
#include <cstdint>

// When each video frame is taken, in sound frames of the 44100 Hz song: frame n is presented once
// the sound device has played exactly floor(n * 44100 * D / N) sound frames, for a frame rate of
// N / D frames a second. Whole-number arithmetic, so nothing drifts however long the show runs.
struct FrameRate {
    uint32_t numerator = 50;
    uint32_t denominator = 1;
};

constexpr uint32_t captureSampleRate = 44100;

// The sound frame at which video frame n is presented.
uint64_t soundFrameOf(uint64_t frame, FrameRate rate);

// The sound frames between video frame n and frame n + 1: what frame n lasts.
uint32_t soundFramesDuring(uint64_t frame, FrameRate rate);
