#pragma once
#include <cstdint>

// Side of every texture image in pixels, and the pixel count of one image.
constexpr int textureSize = 256;
constexpr int texturePixels = textureSize * textureSize;

// One working image of the texture build.
//
// `image` holds 65,536 pixel words, row-major, pixel (x, y) at word y * 256 + x. A word carries
// red in bits 0-7, green in 8-15 and blue in 16-23, which on a little-endian machine puts the
// channels in bytes 0, 1 and 2 of the pixel; bits 24-31 are a spare byte that operations may set
// to anything and nothing reads as a colour. `packed` holds 0x00RRGGBB words in the Framebuffer's
// order and is written only by packLayer, clearLayer and copyLayer.
struct TextureLayer {
    uint32_t* image = nullptr;   // owned, texturePixels words
    uint32_t* packed = nullptr;  // owned, texturePixels words

    // Allocates both buffers, zero-filled, so a layer never holds stale memory.
    static TextureLayer allocate();
    // Frees both buffers and leaves the layer empty; an empty layer is left as it is.
    static void release(TextureLayer& layer);
};

// Channel numbers within an image word.
constexpr int channelRed = 0;
constexpr int channelGreen = 1;
constexpr int channelBlue = 2;

// Byte `channel` (0 red, 1 green, 2 blue, 3 spare) of an image word.
inline int pixelChannel(uint32_t pixel, int channel) { return int(pixel >> (8 * channel)) & 255; }

// The image word with byte `channel` replaced by the low 8 bits of value.
inline uint32_t withChannel(uint32_t pixel, int channel, int value) {
    uint32_t shift = uint32_t(8 * channel);
    return (pixel & ~(0xFFu << shift)) | (uint32_t(value & 255) << shift);
}

// An image word from its four bytes (each taken modulo 256).
inline uint32_t makePixel(int red, int green, int blue, int spare = 0) {
    return uint32_t(red & 255) | uint32_t(green & 255) << 8 | uint32_t(blue & 255) << 16 | uint32_t(spare & 255) << 24;
}

// 0 below 0, 255 above 255, else v.
inline int clampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Folds a coordinate with period 255 (not 256): 0..255 unchanged, 256..511 -> v - 255,
// 512 and up -> v - 511, -255..-1 -> v + 255, below -255 -> v + 511. So -1 reads 254 and 256
// reads 1. Every input within -510..510 gives 0..255; the operations stay within -383..383.
inline int wrapCoord(int v) {
    if (v >= 512) return v - 511;
    if (v >= 256) return v - 255;
    if (v >= 0) return v;
    if (v >= -255) return v + 255;
    return v + 511;
}

// Writes `packed` from `image`: red << 16 | green << 8 | blue for every pixel, top byte 0.
void packLayer(TextureLayer& layer);

// to[x * 256 + y] = from[y * 256 + x] for every pixel: the image mirrored about its diagonal.
void transposeImage(const uint32_t* from, uint32_t* to);

// Scratch image for operations that cannot work in place: taken for one call, its result copied
// back into the layer's image by commitScratch, which also gives it back (freeScratch gives one
// back without copying). A few given-back images are kept for the next call, until releaseScratch
// frees them (the texture build does at its end). Contents are left from earlier use.
uint32_t* allocateScratch();
void commitScratch(TextureLayer& layer, uint32_t* scratch);
void freeScratch(uint32_t* scratch);
void releaseScratch();
