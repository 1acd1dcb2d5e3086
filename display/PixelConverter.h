#pragma once
#include <cstdint>

// Converts one row of 32-bit XRGB pixels (blue in bits 0-7, green 8-15, red 16-23) into a display
// surface's own layout. Each routine converts count pixels in order, reading one 32-bit source word
// and writing 4, 3 or 2 bytes per pixel with no gap between pixels (16-bit values as little-endian
// words). Channels are narrowed by dropping their low bits. A count of 0 (or less) writes nothing.
// The caller steps the destination by the surface's row pitch.
using PixelConverter = void (*)(const uint32_t* source, uint8_t* destination, int32_t count);

// 32 bits, red mask 0xFF0000: the source word copied unchanged, top byte included. The destination
// may be the source row itself (it is then left as it is); other converters need separate rows.
void convertXRGB32(const uint32_t* source, uint8_t* destination, int32_t count);
// 32 bits, red mask 0xFF: B << 16 | G << 8 | R, top byte 0.
void convertXBGR32(const uint32_t* source, uint8_t* destination, int32_t count);
// 24 bits, red mask 0xFF0000: the bytes B, G, R.
void convertRGB24(const uint32_t* source, uint8_t* destination, int32_t count);
// 24 bits, red mask 0xFF: the bytes R, G, B.
void convertBGR24(const uint32_t* source, uint8_t* destination, int32_t count);
// 16 bits 5-6-5, red on top: (R >> 3) << 11 | (G >> 2) << 5 | B >> 3.
void convertRGB565(const uint32_t* source, uint8_t* destination, int32_t count);
// 16 bits 5-6-5, blue on top: (B >> 3) << 11 | (G >> 2) << 5 | R >> 3.
void convertBGR565(const uint32_t* source, uint8_t* destination, int32_t count);
// 16 bits 5-5-5, red on top, bit 15 clear: (R >> 3) << 10 | (G >> 3) << 5 | B >> 3.
void convertRGB555(const uint32_t* source, uint8_t* destination, int32_t count);
// 16 bits 5-5-5, blue on top, bit 15 clear: (B >> 3) << 10 | (G >> 3) << 5 | R >> 3.
void convertBGR555(const uint32_t* source, uint8_t* destination, int32_t count);

// The converter whose bit count and red, green and blue masks all equal the arguments exactly, or
// nullptr for any other layout (palettised modes, unlisted masks).
PixelConverter choosePixelConverter(int32_t bitCount, uint32_t redMask, uint32_t greenMask, uint32_t blueMask);
