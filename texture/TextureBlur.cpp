#include "texture/TextureFilters.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void blurPassesPlain(TextureLayer& layer, int passes) {
    uint32_t* image = layer.image;
    auto at = [image](int x, int y) { return image[wrapCoord(y) * textureSize + wrapCoord(x)]; };
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < textureSize; ++y) {
            for (int x = 0; x < textureSize; ++x) {
                uint32_t left = at(x - 1, y), below = at(x, y + 1), above = at(x, y - 1), right = at(x + 1, y);
                uint32_t blurred = 0;
                for (int k = 0; k < 4; ++k) {
                    int sum = pixelChannel(left, k) + pixelChannel(below, k) + pixelChannel(above, k) +
                              pixelChannel(right, k);
                    blurred |= uint32_t(sum >> 2) << (8 * k);
                }
                image[y * textureSize + x] = blurred;
            }
        }
    }
}

#if defined(__SSE2__)
namespace {

// Along a row each pixel is (left + c) >> 2, where left is the pixel just blurred and c the sum of
// the other three neighbours (at most 765 a byte), which are known before the row starts. Four
// steps fold into one: with a the pixel before them and c0..c3 theirs,
//     pixel k = (a + c0 + 4 c1 + ... + 4^k ck) >> 2 (k + 1),
// since (((m >> 2) + n) >> 2) is (m + 4 n) >> 4 for whole numbers. The weighted sums stay below
// 65,536, so four pixels' bytes go in 16-bit lanes, two pixels a register, and each pixel's own
// shift is the high half of a product with 2^(16 - shift).

// The four bytes of two pixels as 16-bit lanes.
inline __m128i widen(const uint32_t* pixels) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixels)), _mm_setzero_si128());
}

// Pixels x and x + 1 of the row's c: above + below + right (all bytes at once).
inline __m128i neighbourSums(const uint32_t* above, const uint32_t* below, const uint32_t* row, int x) {
    return _mm_add_epi16(_mm_add_epi16(widen(above + x), widen(below + x)), widen(row + x + 1));
}

// Blurs four pixels from a (the pixel before them, in both halves) and their c in c01 and c23;
// returns the four blurred pixels as bytes and leaves the last of them in a.
inline __m128i blurFour(__m128i& a, __m128i c01, __m128i c23) {
    __m128i p01 = _mm_mullo_epi16(c01, _mm_set_epi16(4, 4, 4, 4, 1, 1, 1, 1));  // c0 | 4 c1
    p01 = _mm_add_epi16(p01, _mm_slli_si128(p01, 8));                           // c0 | c0 + 4 c1
    __m128i p23 = _mm_mullo_epi16(c23, _mm_set_epi16(64, 64, 64, 64, 16, 16, 16, 16));
    p23 = _mm_add_epi16(_mm_add_epi16(p23, _mm_slli_si128(p23, 8)), _mm_unpackhi_epi64(p01, p01));
    __m128i n01 = _mm_mulhi_epu16(_mm_add_epi16(a, p01), _mm_set_epi16(4096, 4096, 4096, 4096, 16384, 16384, 16384,
                                                                       16384));  // >> 4 | >> 2
    __m128i n23 = _mm_mulhi_epu16(_mm_add_epi16(a, p23), _mm_set_epi16(256, 256, 256, 256, 1024, 1024, 1024,
                                                                       1024));  // >> 8 | >> 6
    a = _mm_unpackhi_epi64(n23, n23);
    return _mm_packus_epi16(n01, n23);
}

// One row, in place. above and below are the rows as this pass sees them (the row above already
// blurred, the one below not yet, except that row 255 reads row 1 blurred).
void blurRow(uint32_t* row, const uint32_t* above, const uint32_t* below) {
    const __m128i zero = _mm_setzero_si128();
    __m128i sums[textureSize / 2];
    for (int x = 0; x < textureSize - 2; x += 2) sums[x / 2] = neighbourSums(above, below, row, x);
    // Pixel 254's right neighbour is pixel 255 as it was; pixel 255's is pixel 1, blurred by then.
    __m128i lastTwo = _mm_add_epi16(widen(above + 254), widen(below + 254));
    __m128i old255 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(row[255])), zero);
    __m128i a = widen(row + 254);  // pixel 0's left neighbour: pixel 254 as it was
    a = _mm_unpacklo_epi64(a, a);
    for (int x = 0; x < textureSize - 4; x += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), blurFour(a, sums[x / 2], sums[x / 2 + 1]));
    __m128i blurred1 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(row[1])), zero);
    sums[textureSize / 2 - 1] = _mm_add_epi16(lastTwo, _mm_unpacklo_epi64(old255, blurred1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + textureSize - 4),
                     blurFour(a, sums[textureSize / 2 - 2], sums[textureSize / 2 - 1]));
}

}  // namespace

void blurPasses(TextureLayer& layer, int passes) {
    uint32_t* image = layer.image;
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < textureSize; ++y)
            blurRow(image + y * textureSize, image + wrapCoord(y - 1) * textureSize,
                    image + wrapCoord(y + 1) * textureSize);
}
#else
void blurPasses(TextureLayer& layer, int passes) { blurPassesPlain(layer, passes); }
#endif
