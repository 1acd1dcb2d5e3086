#pragma once
#include <cstdint>

#include "texture/TextureColour.h"
#include "texture/TextureLayer.h"

// The image generators. Each one that draws random numbers first restarts rng with its own seed,
// so its picture depends on its parameters only. The script interpreter zeroes the image before
// running any of them; they write only what is described here.

// Sets every byte of image and packed to 0.
void clearLayer(TextureLayer& layer);

// Sums of two sines: each channel k of colour gives trunc((sin(row angle) + sin(column angle)) *
// (k >> 2) + (k >> 1)), the row angle growing by stepY * pi / 128 per row and the column angle
// by stepX * pi / 128 per pixel from 0 on every row. Spare bytes are left as they were.
void genSinePlasma(TextureLayer& layer, TextureRgb colour, int stepX, int stepY);

// A tiling midpoint-displacement fractal on the red byte, seeded with 128 at pixel (0, 0) and
// displaced by up to roughness * cell size per point, then mapped through the gradient
// base + range * red / 255 into all three channels. A roughness of 0 gives no displacement
// (a flat picture) and draws no random numbers.
void genFractalGradient(TextureLayer& layer, TextureRgb base, TextureRgb range, int roughness, int seed);

// The same fractal on all three channels at once, started from the whole word startColour at
// pixel (0, 0) (its top byte lands in that pixel's spare byte), one displacement per cell shared
// by the cell's three points and three channels. Roughness 0 gives a flat picture.
void genFractalColour(TextureLayer& layer, uint32_t startColour, int roughness, int seed);
// The same one channel at a time, as described: the reference for genFractalColour, which sets the
// three channels of a point at once in 16-bit lanes where SSE2 exists.
void genFractalColourPlain(TextureLayer& layer, uint32_t startColour, int roughness, int seed);

// Tiles of width x height in random colours, visited column by column; each channel is
// rand() mod trunc(limit * 127 / 64) mod 256. Tiles that reach past the right or bottom edge
// are cut at the edge. A width or height of 0 or less draws nothing; a limit that comes to 0
// gives that channel 0 (its random number is still drawn, so the other channels do not shift).
void genRandomTiles(TextureLayer& layer, int width, int height, uint8_t redLimit, uint8_t greenLimit, uint8_t blueLimit,
                    int seed);
