#include "texture/TextureSample.h"

#include "texture/TextureLayer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The four neighbours of a position and their weights (8.8, 0..256 each).
struct SampleSite {
    uint32_t p00, p10, p01, p11;  // (column, row): top-left, top-right, bottom-left, bottom-right
    int w00, w10, w01, w11;
};

SampleSite locate(float x, float y, const uint32_t* pixels) {
    // 16.16 position, scaled by 65535.
    int32_t fixedX = int32_t(x * 65535.0f);
    int32_t fixedY = int32_t(y * 65535.0f);
    int fx = (fixedX >> 8) & 255;
    int ix = (65536 - (fixedX & 65535)) >> 8;
    int fy = (fixedY >> 8) & 255;
    int iy = (65536 - (fixedY & 65535)) >> 8;

    int column = int32_t(x);
    int row = int32_t(y);
    int c0 = wrapCoord(column), c1 = wrapCoord(column + 1);
    int r0 = wrapCoord(row) * textureSize, r1 = wrapCoord(row + 1) * textureSize;

    SampleSite site;
    site.p00 = pixels[r0 + c0];
    site.p10 = pixels[r0 + c1];
    site.p01 = pixels[r1 + c0];
    site.p11 = pixels[r1 + c1];
    site.w00 = (ix * iy) >> 8;
    site.w10 = (fx * iy) >> 8;
    site.w01 = (ix * fy) >> 8;
    site.w11 = (fx * fy) >> 8;
    return site;
}

// One byte of a neighbour times its weight, as a 16-bit lane would hold it.
inline unsigned weighted(uint32_t pixel, int shift, int weight) {
    unsigned product = ((((pixel >> shift) & 255u) * unsigned(weight)) & 0xFFFFu) >> 8;
    return product > 255 ? 255 : product;
}

inline unsigned addSaturated(unsigned a, unsigned b) { return a + b > 255 ? 255 : a + b; }

}  // namespace

uint32_t sampleWrappedScalar(float x, float y, const uint32_t* pixels) {
    SampleSite s = locate(x, y, pixels);
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        unsigned sum = weighted(s.p00, shift, s.w00);
        sum = addSaturated(sum, weighted(s.p10, shift, s.w10));
        sum = addSaturated(sum, weighted(s.p01, shift, s.w01));
        sum = addSaturated(sum, weighted(s.p11, shift, s.w11));
        result |= uint32_t(sum) << shift;
    }
    return result;
}

#if defined(__SSE2__)
uint32_t sampleWrappedSse2(float x, float y, const uint32_t* pixels) {
    SampleSite s = locate(x, y, pixels);
    const __m128i zero = _mm_setzero_si128();
    // Two neighbours per register, widened to eight 16-bit lanes.
    __m128i top = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(s.p00)), _mm_cvtsi32_si128(int(s.p10)));
    __m128i bottom = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(s.p01)), _mm_cvtsi32_si128(int(s.p11)));
    top = _mm_unpacklo_epi8(top, zero);
    bottom = _mm_unpacklo_epi8(bottom, zero);
    __m128i topWeights = _mm_unpacklo_epi64(_mm_set1_epi16(short(s.w00)), _mm_set1_epi16(short(s.w10)));
    __m128i bottomWeights = _mm_unpacklo_epi64(_mm_set1_epi16(short(s.w01)), _mm_set1_epi16(short(s.w11)));
    top = _mm_srli_epi16(_mm_mullo_epi16(top, topWeights), 8);
    bottom = _mm_srli_epi16(_mm_mullo_epi16(bottom, bottomWeights), 8);
    // Back to bytes (saturating), then a saturating sum of the four products; every product is
    // non-negative, so the order of the saturating adds does not change the result.
    __m128i products = _mm_packus_epi16(top, bottom);
    __m128i sum = _mm_adds_epu8(products, _mm_srli_si128(products, 4));
    sum = _mm_adds_epu8(sum, _mm_srli_si128(sum, 8));
    return uint32_t(_mm_cvtsi128_si32(sum));
}

uint32_t sampleWrapped(float x, float y, const uint32_t* pixels) { return sampleWrappedSse2(x, y, pixels); }
#else
uint32_t sampleWrapped(float x, float y, const uint32_t* pixels) { return sampleWrappedScalar(x, y, pixels); }
#endif
