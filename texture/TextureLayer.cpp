#include "texture/TextureLayer.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

TextureLayer TextureLayer::allocate() {
    TextureLayer layer;
    layer.image = new uint32_t[texturePixels]();
    layer.packed = new uint32_t[texturePixels]();
    return layer;
}

void TextureLayer::release(TextureLayer& layer) {
    delete[] layer.image;
    delete[] layer.packed;
    layer.image = nullptr;
    layer.packed = nullptr;
}

void packLayer(TextureLayer& layer) {
    for (int i = 0; i < texturePixels; ++i) {
        uint32_t pixel = layer.image[i];
        layer.packed[i] = (pixel & 0xFF) << 16 | (pixel & 0xFF00) | (pixel >> 16 & 0xFF);
    }
}

#if defined(__SSE2__)
// Tiles of 16 x 16 pixels, so that the rows written (1 KB apart, which the cache maps onto few
// sets) stay cached while a tile is filled; within a tile, blocks of 4 x 4 turned in registers.
void transposeImage(const uint32_t* from, uint32_t* to) {
    constexpr int tile = 16;
    for (int tileY = 0; tileY < textureSize; tileY += tile) {
        for (int tileX = 0; tileX < textureSize; tileX += tile) {
            for (int y = tileY; y < tileY + tile; y += 4) {
                for (int x = tileX; x < tileX + tile; x += 4) {
                    const __m128i* in = reinterpret_cast<const __m128i*>(from + y * textureSize + x);
                    __m128i r0 = _mm_loadu_si128(in), r1 = _mm_loadu_si128(in + textureSize / 4),
                            r2 = _mm_loadu_si128(in + textureSize / 2), r3 = _mm_loadu_si128(in + 3 * textureSize / 4);
                    __m128i t0 = _mm_unpacklo_epi32(r0, r1),
                            t1 = _mm_unpackhi_epi32(r0, r1);  // a0 b0 a1 b1, a2 b2 a3 b3
                    __m128i t2 = _mm_unpacklo_epi32(r2, r3),
                            t3 = _mm_unpackhi_epi32(r2, r3);  // c0 d0 c1 d1, c2 d2 c3 d3
                    __m128i* out = reinterpret_cast<__m128i*>(to + x * textureSize + y);
                    _mm_storeu_si128(out, _mm_unpacklo_epi64(t0, t2));
                    _mm_storeu_si128(out + textureSize / 4, _mm_unpackhi_epi64(t0, t2));
                    _mm_storeu_si128(out + textureSize / 2, _mm_unpacklo_epi64(t1, t3));
                    _mm_storeu_si128(out + 3 * textureSize / 4, _mm_unpackhi_epi64(t1, t3));
                }
            }
        }
    }
}
#else
void transposeImage(const uint32_t* from, uint32_t* to) {
    for (int y = 0; y < textureSize; ++y)
        for (int x = 0; x < textureSize; ++x) to[x * textureSize + y] = from[y * textureSize + x];
}
#endif

namespace {

// Scratch images given back, kept for the next operation: a fresh 256 KB allocation comes from the
// operating system, which zero-fills it page by page on first touch, every time. A build takes
// three at most at once. Main thread only, like every texture operation.
constexpr int keptScratchLimit = 3;
uint32_t* keptScratch[keptScratchLimit];
int keptScratchCount = 0;

}  // namespace

uint32_t* allocateScratch() {
    if (keptScratchCount > 0) return keptScratch[--keptScratchCount];
    return new uint32_t[texturePixels];
}

void commitScratch(TextureLayer& layer, uint32_t* scratch) {
    std::memcpy(layer.image, scratch, texturePixels * sizeof(uint32_t));
    freeScratch(scratch);
}

void freeScratch(uint32_t* scratch) {
    if (keptScratchCount < keptScratchLimit)
        keptScratch[keptScratchCount++] = scratch;
    else
        delete[] scratch;
}

void releaseScratch() {
    while (keptScratchCount > 0) delete[] keptScratch[--keptScratchCount];
}
