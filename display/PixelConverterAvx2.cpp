#include "display/PixelConverterSets.h"
#include "display/PixelFields.h"

#if INTRO_AVX2_CODE
#include <immintrin.h>

#include <cstring>

namespace {

INTRO_AVX2_TARGET inline __m256i load(const uint32_t* source) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
}

// Byte orders for vpshufb, the same in both 128-bit halves; -1 writes a zero byte.
// XBGR32: bytes 2, 1, 0 of each pixel, then 0.
#define INTRO_SWAP_RED_BLUE 2, 1, 0, -1, 6, 5, 4, -1, 10, 9, 8, -1, 14, 13, 12, -1
// The first three bytes of each of four pixels, in order, then four zeros.
#define INTRO_FIRST_THREE 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1
// The same with the first and third bytes exchanged.
#define INTRO_FIRST_THREE_SWAPPED 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1

INTRO_AVX2_TARGET void convertXBGR32Avx2(const uint32_t* source, uint8_t* destination, int32_t count) {
    const __m256i order = _mm256_setr_epi8(INTRO_SWAP_RED_BLUE, INTRO_SWAP_RED_BLUE);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 4 * i),
                            _mm256_shuffle_epi8(load(source + i), order));
    plainPixelConverters().xbgr32(source + i, destination + 4 * i, count - i);
}

// Eight pixels of three bytes: each half keeps its twelve colour bytes, the halves are then
// joined (dwords 0-2 and 4-6) and the 24 bytes written as 16 and 8.
INTRO_AVX2_TARGET void convert24Avx2(const uint32_t* source, uint8_t* destination, int32_t count, __m256i order,
                                     PixelConverter plain) {
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(load(source + i), order), join);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 3 * i), _mm256_castsi256_si128(bytes));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + 3 * i + 16), _mm256_extracti128_si256(bytes, 1));
    }
    plain(source + i, destination + 3 * i, count - i);
}

// The 16-bit value of each of eight pixels, one per 32-bit lane.
template <Layout16 layout>
INTRO_AVX2_TARGET inline __m256i words16(__m256i p) {
    __m256i redBlue =
        _mm256_srli_epi32(_mm256_madd_epi16(_mm256_and_si256(p, _mm256_set1_epi32(int32_t(redBlueTopBits))),
                                            _mm256_set1_epi32(layout.redFactor << 16 | layout.blueFactor)),
                          3);
    __m256i green =
        _mm256_and_si256(_mm256_srli_epi32(p, layout.greenShift), _mm256_set1_epi32(int32_t(layout.greenMask)));
    return _mm256_or_si256(redBlue, green);
}

// Sixteen pixels a step: the unsigned pack keeps values up to 0xFFFF as they are, but interleaves
// the two sources by halves, which the 64-bit permutation puts back in order.
template <Layout16 layout>
INTRO_AVX2_TARGET void convert16Avx2(const uint32_t* source, uint8_t* destination, int32_t count,
                                     PixelConverter plain) {
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m256i packed = _mm256_packus_epi32(words16<layout>(load(source + i)), words16<layout>(load(source + i + 8)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 2 * i), _mm256_permute4x64_epi64(packed, 0xD8));
    }
    plain(source + i, destination + 2 * i, count - i);
}

void convertXRGB32Avx2(const uint32_t* source, uint8_t* destination, int32_t count) {
    // The word is copied unchanged, and memory is little-endian on x86.
    // A row converted onto itself (a surface that is the frame) is already what it should be.
    if (count > 0 && destination != reinterpret_cast<const uint8_t*>(source))
        std::memcpy(destination, source, size_t(count) * 4);
}
INTRO_AVX2_TARGET void convertRGB24Avx2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert24Avx2(source, destination, count, _mm256_setr_epi8(INTRO_FIRST_THREE, INTRO_FIRST_THREE),
                  plainPixelConverters().rgb24);
}
INTRO_AVX2_TARGET void convertBGR24Avx2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert24Avx2(source, destination, count, _mm256_setr_epi8(INTRO_FIRST_THREE_SWAPPED, INTRO_FIRST_THREE_SWAPPED),
                  plainPixelConverters().bgr24);
}
INTRO_AVX2_TARGET void convertRGB565Avx2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert16Avx2<layoutRGB565>(source, destination, count, plainPixelConverters().rgb565);
}
INTRO_AVX2_TARGET void convertBGR565Avx2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert16Avx2<layoutBGR565>(source, destination, count, plainPixelConverters().bgr565);
}
INTRO_AVX2_TARGET void convertRGB555Avx2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert16Avx2<layoutRGB555>(source, destination, count, plainPixelConverters().rgb555);
}
INTRO_AVX2_TARGET void convertBGR555Avx2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert16Avx2<layoutBGR555>(source, destination, count, plainPixelConverters().bgr555);
}

}  // namespace

const PixelConverterSet& avx2PixelConverters() {
    static const PixelConverterSet set = {"avx2",           convertXRGB32Avx2, convertXBGR32Avx2, convertRGB24Avx2,
                                          convertBGR24Avx2, convertRGB565Avx2, convertBGR565Avx2, convertRGB555Avx2,
                                          convertBGR555Avx2};
    return set;
}
#endif
