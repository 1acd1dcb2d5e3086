#pragma once
#include <cstdint>

#include "engine/Bitmap.h"

// Pixel-level operations on whole Bitmaps and on single fractional points. Every pixel is four
// independent 8-bit lanes (the top byte included). Coordinates are raw target pixels; whatever
// falls outside the target is skipped (or clamped, for samples), so no input writes or reads
// outside a bitmap.

// Per lane: ((a * (255 - w)) >> 8) + ((b * w) >> 8). w above 255 counts as 255.
uint32_t blendPixel(uint32_t a, uint32_t b, uint32_t w);

// In-place zoom-smear toward (cx, cy): each pixel is blended (weight trunc(amount * 255)) with
// the pixel found by scaling its offset from the centre by (1 - scale), the step kept in 8.24
// fixed point. Rows run outward from the centre, so pixels nearer the centre have usually been
// smeared already and the streaks build up outward. Source pixels are clamped to the bitmap;
// cx is limited to [0, width] and cy to [-1, height - 1].
void radialSmear(Bitmap& bitmap, int32_t cx, int32_t cy, float scale, float amount);
// The same without packed-lane instructions; identical results.
void radialSmearPlain(Bitmap& bitmap, int32_t cx, int32_t cy, float scale, float amount);
#if defined(__SSE2__)
// The vector version with SSE2 alone (radialSmear takes eight pixels a step where the processor
// has AVX2): for tests and benchmarks of the narrower path.
void radialSmearSse2(Bitmap& bitmap, int32_t cx, int32_t cy, float scale, float amount);
#endif

// Fills the bitmap with a blue radial glow: (70, 130, 255) at the centre falling to black at the
// corners with the square of the distance's complement.
void radialGlow(Bitmap& bitmap);

// The bilinearly filtered pixel at (x, y): weights from toFixed16 of the coordinates, corners from
// roundNearest(x - 0.5) and its right/lower neighbour (the last column and row repeat). Positions
// outside the bitmap read its nearest edge; an empty bitmap reads 0.
uint32_t sampleBilinear(const Bitmap& bitmap, float x, float y);

// Adds the image window (u0, v0)-(u1, v1) (0..1 of the image), scaled onto the target rectangle
// at (left, top) of trunc(width) x trunc(height) pixels. The sum drops each lane's lowest bit,
// saturates a lane that overflows at 255 and carries 1 into the next lane up.
void blitScaledAdd(Bitmap& target, const Bitmap& image, float left, float top, float width, float height, float u0,
                   float v0, float u1, float v1);
// The same without packed-lane instructions; identical results.
void blitScaledAddPlain(Bitmap& target, const Bitmap& image, float left, float top, float width, float height, float u0,
                        float v0, float u1, float v1);

// Adds colour into the 2 x 2 block whose top-left pixel holds (x - 1, y - 1), each pixel weighted
// by its bilinear share (saturating per lane).
void plotPointAdd(Bitmap& target, float x, float y, uint32_t colour);

// Blends colour over the same 2 x 2 block: lane = lane * (255 - (w & 255)) / 256 + colour * w / 256.
void plotPointBlend(Bitmap& target, float x, float y, uint32_t colour);

// The same two without packed-lane instructions; identical results.
void plotPointAddPlain(Bitmap& target, float x, float y, uint32_t colour);
void plotPointBlendPlain(Bitmap& target, float x, float y, uint32_t colour);

// How a line's points meet the picture: blended over it (plotPointBlend) or added to it
// (plotPointAdd).
enum class LineMode : int32_t { Blend = 0, Add = 1 };

// Steps from the endpoint with the smaller y (equal y: smaller x) one pixel along the longer axis
// at a time, plotting a point at each step; the far endpoint is not plotted when the length is a
// whole number. A mode that is neither Blend nor Add plots nothing.
void drawLine2D(Bitmap& target, float x0, float y0, float x1, float y1, uint32_t colour, LineMode mode);
// The same plotting each point on its own with the plain plotters. drawLine2D steps the same
// positions a chunk at a time and works out their blocks four at a time where SSE2 exists.
void drawLine2DPlain(Bitmap& target, float x0, float y0, float x1, float y1, uint32_t colour, LineMode mode);
