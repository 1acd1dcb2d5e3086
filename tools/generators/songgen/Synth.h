#pragma once
#include <cstdint>
#include <vector>

#include "tools/generators/songgen/SongSource.h"

// Renders sample recipes into sample values and finds the relative note and finetune that make
// the module play them in tune.
//
// Rendering, per sample: every layer is generated on its own (tone layers additively, so every
// harmonic stays below the render rate's Nyquist frequency; noise from rng::rand), coloured by the
// layer's own filters and summed; the sum runs through the sample's filter chain, is saturated
// (drive), faded at the end of a one-shot or blended across the loop seam (crossfade), normalised
// to full scale, scaled by gain and rounded to the sample's bit depth.
//
// A looping sample keeps its loop seamless: the pitch and every unswept tone layer are snapped
// to a whole number of cycles within the loop.

struct RenderedSample {
    std::vector<int16_t> data;  // -128..127 (8-bit) or -32768..32767 (16-bit)
    double pitchHz = 0.0;       // the fundamental after snapping (0 for samples without pitch)
    int8_t relativeNote = 0;
    int8_t finetune = 0;
};

// Renders one sample. The recipe is assumed valid (length >= 1, loop inside the length).
RenderedSample renderSample(const SampleRecipe& recipe);

// The fundamental a looping recipe really plays: pitchHz snapped to a whole number of cycles
// per loop (unchanged without a forward loop, 0 for a sample without pitch).
double snappedPitch(const SampleRecipe& recipe);

// Relative note and finetune (1/128 semitone) that make module note rootNote (1 = C-0) play a
// sample at its render rate: the module plays C-4 at 8363 Hz before these are applied.
void tuneToRoot(double rate, double rootNote, int8_t& relativeNote, int8_t& finetune);

// The module note (fractional, 1 = C-0, A-4 = 58 at 440 Hz) whose pitch is hz.
double noteOfFrequency(double hz);
// The frequency in Hz of a note number (A-4 is 440 Hz); the inverse of noteOfFrequency.
double frequencyOfNote(int note);
