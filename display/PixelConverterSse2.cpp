#include "display/PixelConverterSets.h"
#include "display/PixelFields.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstring>

namespace {

inline __m128i load(const uint32_t* source) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(source)); }
inline void store(uint8_t* destination, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), v); }

// B << 16 | G << 8 | R with a zero top byte: red and blue trade places.
inline __m128i swapRedBlue(__m128i p) {
    const __m128i low = _mm_set1_epi32(0xFF), green = _mm_set1_epi32(0xFF00);
    return _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_and_si128(p, low), 16), _mm_and_si128(p, green)),
                        _mm_and_si128(_mm_srli_epi32(p, 16), low));
}

// The first three bytes of each of four pixels, twelve bytes in a row, with zeros above them.
inline __m128i firstThreeBytes(__m128i p) {
    // Each 64-bit half holds two pixels a (low) and b (high); it becomes the six bytes a | b << 24.
    __m128i pairs = _mm_or_si128(
        _mm_and_si128(p, _mm_set_epi32(0, 0xFFFFFF, 0, 0xFFFFFF)),
        _mm_and_si128(_mm_srli_epi64(p, 8), _mm_set_epi32(0xFFFF, int32_t(0xFF000000u), 0xFFFF, int32_t(0xFF000000u))));
    // The upper half's six bytes moved down beside the lower half's.
    return _mm_or_si128(_mm_move_epi64(pairs), _mm_slli_si128(_mm_srli_si128(pairs, 8), 6));
}

// Sixteen pixels of three bytes each, given as four groups of twelve, in three 16-byte stores.
inline void storeThreeByteGroups(uint8_t* destination, __m128i a, __m128i b, __m128i c, __m128i d) {
    store(destination, _mm_or_si128(a, _mm_slli_si128(b, 12)));
    store(destination + 16, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    store(destination + 32, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
}

// The 16-bit value of each of four pixels, one per 32-bit lane.
template <Layout16 layout>
inline __m128i words16(__m128i p) {
    __m128i redBlue = _mm_srli_epi32(_mm_madd_epi16(_mm_and_si128(p, _mm_set1_epi32(int32_t(redBlueTopBits))),
                                                    _mm_set1_epi32(layout.redFactor << 16 | layout.blueFactor)),
                                     3);
    __m128i green = _mm_and_si128(_mm_srli_epi32(p, layout.greenShift), _mm_set1_epi32(int32_t(layout.greenMask)));
    return _mm_or_si128(redBlue, green);
}

// Eight 32-bit lanes holding 16-bit values as eight 16-bit words: each value is sign-extended
// first, so that the signed saturating pack keeps all sixteen bits.
inline __m128i packWords(__m128i low, __m128i high) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(low, 16), 16), _mm_srai_epi32(_mm_slli_epi32(high, 16), 16));
}

void convertXRGB32Sse2(const uint32_t* source, uint8_t* destination, int32_t count) {
    // The word is copied unchanged, and memory is little-endian wherever SSE2 exists.
    // A row converted onto itself (a surface that is the frame) is already what it should be.
    if (count > 0 && destination != reinterpret_cast<const uint8_t*>(source))
        std::memcpy(destination, source, size_t(count) * 4);
}

void convertXBGR32Sse2(const uint32_t* source, uint8_t* destination, int32_t count) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) store(destination + 4 * i, swapRedBlue(load(source + i)));
    plainPixelConverters().xbgr32(source + i, destination + 4 * i, count - i);
}

template <bool swap>
void convert24Sse2(const uint32_t* source, uint8_t* destination, int32_t count) {
    auto group = [](const uint32_t* pixels) {
        __m128i p = load(pixels);
        return firstThreeBytes(swap ? swapRedBlue(p) : p);
    };
    int32_t i = 0;
    for (; i + 16 <= count; i += 16)
        storeThreeByteGroups(destination + 3 * i, group(source + i), group(source + i + 4), group(source + i + 8),
                             group(source + i + 12));
    const PixelConverterSet& plain = plainPixelConverters();
    (swap ? plain.bgr24 : plain.rgb24)(source + i, destination + 3 * i, count - i);
}

template <Layout16 layout>
void convert16Sse2(const uint32_t* source, uint8_t* destination, int32_t count, PixelConverter plain) {
    int32_t i = 0;
    for (; i + 8 <= count; i += 8)
        store(destination + 2 * i, packWords(words16<layout>(load(source + i)), words16<layout>(load(source + i + 4))));
    plain(source + i, destination + 2 * i, count - i);
}

void convertRGB24Sse2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert24Sse2<false>(source, destination, count);
}
void convertBGR24Sse2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert24Sse2<true>(source, destination, count);
}
void convertRGB565Sse2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert16Sse2<layoutRGB565>(source, destination, count, plainPixelConverters().rgb565);
}
void convertBGR565Sse2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert16Sse2<layoutBGR565>(source, destination, count, plainPixelConverters().bgr565);
}
void convertRGB555Sse2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert16Sse2<layoutRGB555>(source, destination, count, plainPixelConverters().rgb555);
}
void convertBGR555Sse2(const uint32_t* source, uint8_t* destination, int32_t count) {
    convert16Sse2<layoutBGR555>(source, destination, count, plainPixelConverters().bgr555);
}

}  // namespace

const PixelConverterSet& sse2PixelConverters() {
    static const PixelConverterSet set = {"sse2",           convertXRGB32Sse2, convertXBGR32Sse2, convertRGB24Sse2,
                                          convertBGR24Sse2, convertRGB565Sse2, convertBGR565Sse2, convertRGB555Sse2,
                                          convertBGR555Sse2};
    return set;
}
#endif
