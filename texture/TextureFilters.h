#pragma once
#include "texture/TextureLayer.h"

// Operations that change one layer's image. Those that read neighbours or resample write into a
// scratch image from the unchanged layer and copy it back, except blurPasses, which works in place.
// Neighbour coordinates fold through wrapCoord.

// Every pixel through rgbToHsv, one component changed, back through hsvToRgb. shiftHue adds
// trunc(amount * 2.8125) degrees, shiftValue adds amount, shiftSaturation adds amount (already a
// fraction, e.g. 0.25); nothing is clamped before converting back.
void shiftHue(TextureLayer& layer, int amount);
void shiftValue(TextureLayer& layer, int amount);
void shiftSaturation(TextureLayer& layer, float amount);

// Two resampling passes. Rows: the phase starts at rowPhase (radians) and grows by
// rowFrequency * pi / 128 per row; row y is read at (x + rowAmplitude * sin(phase), y). Columns:
// likewise with the column parameters, column x read at (x, y + columnAmplitude * sin(phase)) from
// the result of the row pass.
void sineWarp(TextureLayer& layer, int rowFrequency, int columnFrequency, int rowAmplitude, int columnAmplitude,
              int rowPhase, int columnPhase);

// Per channel, e = clampByte(right column sum - left column sum of the 3 x 3 neighbourhood + 128),
// then the channel becomes trunc(e / 255 * channel).
void embossShade(TextureLayer& layer);

// Each channel chosen by channelSelect (1 red, 2 green, 3 blue, 4 all three) becomes 255 - k;
// any other selector changes nothing.
void invertChannels(TextureLayer& layer, int channelSelect);

// passes times (none for 0 or less): each channel becomes the mean (>> 2) of its left, lower,
// upper and right neighbours, in place, rows top to bottom and columns left to right, so the left
// and upper neighbours already hold this pass's values.
void blurPasses(TextureLayer& layer, int passes);
// The same one byte at a time, as the formula reads: the reference for blurPasses, which takes
// four pixels a step in 16-bit lanes where SSE2 exists. Both blur the spare byte too.
void blurPassesPlain(TextureLayer& layer, int passes);

// Rotates each point (u, v), u and v in -128..127, by pi * r / 128 * amount degrees, r its
// distance from the origin, and reads the layer there; the result is centred on (128, 128).
void swirl(TextureLayer& layer, int amount);

// d = amount * (red - red of the left neighbour) is added to all three channels, clamped.
void relief(TextureLayer& layer, int amount);

// Adds the offsets to the three channels, clamped.
void addColour(TextureLayer& layer, int red, int green, int blue);
