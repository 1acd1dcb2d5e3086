#include <algorithm>

#include "engine/Bitmap.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// One channel of the caption blend: destination * (1 - k) + colour * k in 32-bit floats,
// truncated toward zero. Callers keep opacity within 0..1, where the result stays within 0..255;
// the mask only keeps an out-of-range opacity from spilling into the neighbouring channel.
uint32_t blendChannel(uint32_t destination, uint32_t colour, float k) {
    return static_cast<uint32_t>(static_cast<int32_t>(float(destination) * (1.0f - k) + float(colour) * k)) & 0xFF;
}

// The part of the sprite that lands inside the bitmap, in sprite rows and columns (64 bits: x +
// width may not fit in 32).
struct SpriteClip {
    int64_t firstRow, lastRow, firstColumn, lastColumn;
};

SpriteClip clipSprite(const Bitmap& target, const Bitmap& sprite, int32_t x, int32_t y) {
    return {std::max<int64_t>(0, -int64_t(y)), std::min<int64_t>(sprite.height, int64_t(target.height) - y),
            std::max<int64_t>(0, -int64_t(x)), std::min<int64_t>(sprite.width, int64_t(target.width) - x)};
}

// Sprite columns first .. last - 1 of one row, one pixel at a time; column c lands on row[x + c].
void blendRowPlain(uint32_t* row, int32_t x, const uint32_t* source, int64_t first, int64_t last, uint32_t colour,
                   float opacity) {
    uint32_t red = (colour >> 16) & 0xFF, green = (colour >> 8) & 0xFF, blue = colour & 0xFF;
    for (int64_t c = first; c < last; ++c) {
        uint32_t coverage = source[c] & 0xFF;
        if (coverage == 0) continue;
        float k = float(coverage) * opacity / 255.0f;
        uint32_t d = row[x + c];
        row[x + c] = blendChannel((d >> 16) & 0xFF, red, k) << 16 | blendChannel((d >> 8) & 0xFF, green, k) << 8 |
                     blendChannel(d & 0xFF, blue, k);
    }
}

#if defined(__SSE2__)
// The same four pixels at a time, each a float lane, with the same operations in the same order;
// pixels with no coverage keep their value, and runs of four with none are skipped.
void blendRowPacked(uint32_t* row, int32_t x, const uint32_t* source, int64_t first, int64_t last, uint32_t colour,
                    float opacity) {
    const __m128i byte = _mm_set1_epi32(0xFF), zero = _mm_setzero_si128();
    const __m128 red = _mm_set1_ps(float((colour >> 16) & 0xFF)), green = _mm_set1_ps(float((colour >> 8) & 0xFF));
    const __m128 blue = _mm_set1_ps(float(colour & 0xFF)), one = _mm_set1_ps(1.0f);
    const __m128 alpha = _mm_set1_ps(opacity), full = _mm_set1_ps(255.0f);
    int64_t c = first;
    for (; c + 4 <= last; c += 4) {
        __m128i coverage = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source + c)), byte);
        __m128i uncovered = _mm_cmpeq_epi32(coverage, zero);
        if (_mm_movemask_epi8(uncovered) == 0xFFFF) continue;
        __m128 k = _mm_div_ps(_mm_mul_ps(_mm_cvtepi32_ps(coverage), alpha), full);
        __m128 keep = _mm_sub_ps(one, k);
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + (x + c)));
        auto channel = [&](int shift, __m128 ink) {
            __m128 own = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(d, shift), byte));
            __m128i mixed = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(own, keep), _mm_mul_ps(ink, k)));
            return _mm_slli_epi32(_mm_and_si128(mixed, byte), shift);
        };
        __m128i blended = _mm_or_si128(_mm_or_si128(channel(16, red), channel(8, green)), channel(0, blue));
        __m128i result = _mm_or_si128(_mm_and_si128(uncovered, d), _mm_andnot_si128(uncovered, blended));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + (x + c)), result);
    }
    blendRowPlain(row, x, source, c, last, colour, opacity);
}
#endif

}  // namespace

void Bitmap::drawTextSprite(const Bitmap& sprite, int32_t x, int32_t y, uint32_t colour, float opacity) {
    SpriteClip clip = clipSprite(*this, sprite, x, y);
    for (int64_t r = clip.firstRow; r < clip.lastRow; ++r) {
#if defined(__SSE2__)
        blendRowPacked(pixels + (y + r) * width, x, sprite.pixels + r * sprite.width, clip.firstColumn, clip.lastColumn,
                       colour, opacity);
#else
        blendRowPlain(pixels + (y + r) * width, x, sprite.pixels + r * sprite.width, clip.firstColumn, clip.lastColumn,
                      colour, opacity);
#endif
    }
}

void Bitmap::drawTextSpritePlain(const Bitmap& sprite, int32_t x, int32_t y, uint32_t colour, float opacity) {
    SpriteClip clip = clipSprite(*this, sprite, x, y);
    for (int64_t r = clip.firstRow; r < clip.lastRow; ++r)
        blendRowPlain(pixels + (y + r) * width, x, sprite.pixels + r * sprite.width, clip.firstColumn, clip.lastColumn,
                      colour, opacity);
}
