#include "texture/TextureLayer.h"
#include "texture/TextureSample.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void sampleWrappedSpanScalar(const float* xs, const float* ys, int count, const uint32_t* pixels, uint32_t* out) {
    for (int i = 0; i < count; ++i) out[i] = sampleWrappedScalar(xs[i], ys[i], pixels);
}

void sampleWrappedRowScalar(const float* xs, float y, int count, const uint32_t* pixels, uint32_t* out) {
    for (int i = 0; i < count; ++i) out[i] = sampleWrappedScalar(xs[i], y, pixels);
}

#if defined(__SSE2__)
namespace {

// wrapCoord on four lanes: + 255 below 0 and 256 more below -255, - 255 from 256 and 256 more
// from 512.
inline __m128i wrapCoords(__m128i v) {
    const __m128i c255 = _mm_set1_epi32(255), c256 = _mm_set1_epi32(256);
    __m128i up = _mm_add_epi32(_mm_and_si128(_mm_cmplt_epi32(v, _mm_setzero_si128()), c255),
                               _mm_and_si128(_mm_cmplt_epi32(v, _mm_set1_epi32(-255)), c256));
    __m128i down = _mm_add_epi32(_mm_and_si128(_mm_cmpgt_epi32(v, c255), c255),
                                 _mm_and_si128(_mm_cmpgt_epi32(v, _mm_set1_epi32(511)), c256));
    return _mm_sub_epi32(_mm_add_epi32(v, up), down);
}

// One axis of four positions: the near and far weights (8.8, 0..256) from the 16.16 position
// scaled by 65535, and the wrapped near and far coordinates.
struct Axis {
    __m128i nearWeight, farWeight, nearCoord, farCoord;
};

inline Axis axisOf(__m128 position) {
    __m128i fixed = _mm_cvttps_epi32(_mm_mul_ps(position, _mm_set1_ps(65535.0f)));
    __m128i whole = _mm_cvttps_epi32(position);
    Axis axis;
    axis.farWeight = _mm_and_si128(_mm_srai_epi32(fixed, 8), _mm_set1_epi32(255));
    axis.nearWeight =
        _mm_srli_epi32(_mm_sub_epi32(_mm_set1_epi32(65536), _mm_and_si128(fixed, _mm_set1_epi32(65535))), 8);
    axis.nearCoord = wrapCoords(whole);
    axis.farCoord = wrapCoords(_mm_add_epi32(whole, _mm_set1_epi32(1)));
    return axis;
}

// The same for one position shared by a whole span.
struct SharedAxis {
    int nearWeight, farWeight, nearCoord, farCoord;
};

inline SharedAxis sharedAxisOf(float position) {
    int32_t fixed = int32_t(position * 65535.0f);
    int32_t whole = int32_t(position);
    return {(65536 - (fixed & 65535)) >> 8, (fixed >> 8) & 255, wrapCoord(whole), wrapCoord(whole + 1)};
}

// (a * b) >> 8 on four lanes holding 0..256 each: one 16-bit multiply-add per lane, the upper
// halves being 0.
inline __m128i weightOf(__m128i a, __m128i b) { return _mm_srli_epi32(_mm_madd_epi16(a, b), 8); }

inline void storeLanes(int32_t* to, __m128i v) { _mm_store_si128(reinterpret_cast<__m128i*>(to), v); }

// The weights of four reads (lane k of a, b, c and d) as 16-bit words: weights[k] holds a b c d of
// read k.
inline void storeWeights(__m128i a, __m128i b, __m128i c, __m128i d, uint64_t weights[4]) {
    __m128i ab = _mm_packs_epi32(a, b), cd = _mm_packs_epi32(c, d);  // each: reads 0-3, then 0-3
    __m128i abPairs = _mm_unpacklo_epi16(ab, _mm_srli_si128(ab, 8));
    __m128i cdPairs = _mm_unpacklo_epi16(cd, _mm_srli_si128(cd, 8));
    _mm_store_si128(reinterpret_cast<__m128i*>(weights), _mm_unpacklo_epi32(abPairs, cdPairs));
    _mm_store_si128(reinterpret_cast<__m128i*>(weights + 2), _mm_unpackhi_epi32(abPairs, cdPairs));
}

// The same for two weights a read: pairs[k] holds a b of read k.
inline void storePairs(__m128i a, __m128i b, uint32_t pairs[4]) {
    __m128i ab = _mm_packs_epi32(a, b);
    _mm_store_si128(reinterpret_cast<__m128i*>(pairs), _mm_unpacklo_epi16(ab, _mm_srli_si128(ab, 8)));
}

// Two corners' bytes, each in the upper half of a 16-bit lane, times their weights (four lanes of
// the first, four of the second): the high half of each product is byte * weight >> 8.
inline __m128i weighPair(uint32_t first, uint32_t second, __m128i weights) {
    __m128i corners = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(first)), _mm_cvtsi32_si128(int(second)));
    return _mm_mulhi_epu16(_mm_unpacklo_epi8(_mm_setzero_si128(), corners), weights);
}

// The sum of the two halves' four lanes (at most 1020 each) as bytes, saturated at 255.
inline uint32_t sumHalves(__m128i products) {
    __m128i sum = _mm_add_epi16(products, _mm_srli_si128(products, 8));
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
}

// One read from four corners, its weights w00 w10 w01 w11 in the low 64 bits.
inline uint32_t blendFour(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, __m128i weights) {
    __m128i w = _mm_unpacklo_epi16(weights, weights);  // w00 w00 w10 w10 w01 w01 w11 w11
    return sumHalves(
        _mm_add_epi16(weighPair(p00, p10, _mm_unpacklo_epi32(w, w)), weighPair(p01, p11, _mm_unpackhi_epi32(w, w))));
}

// One read from two corners, its two weights in the low 32 bits: the other two corners of the read
// have weight 0 and add nothing.
inline uint32_t blendTwo(uint32_t first, uint32_t second, __m128i weights) {
    __m128i w = _mm_unpacklo_epi16(weights, weights);  // a a b b
    return sumHalves(weighPair(first, second, _mm_unpacklo_epi32(w, w)));
}

// Four reads at (x, y) lanes from four corners each.
inline void readFour(const Axis& x, const Axis& y, const uint32_t* pixels, uint32_t* out) {
    alignas(16) uint64_t weights[4];
    storeWeights(weightOf(x.nearWeight, y.nearWeight), weightOf(x.farWeight, y.nearWeight),
                 weightOf(x.nearWeight, y.farWeight), weightOf(x.farWeight, y.farWeight), weights);
    __m128i upperRow = _mm_slli_epi32(y.nearCoord, 8), lowerRow = _mm_slli_epi32(y.farCoord, 8);
    alignas(16) int32_t p00[4], p10[4], p01[4], p11[4];  // pixel offsets of the corners
    storeLanes(p00, _mm_add_epi32(upperRow, x.nearCoord));
    storeLanes(p10, _mm_add_epi32(upperRow, x.farCoord));
    storeLanes(p01, _mm_add_epi32(lowerRow, x.nearCoord));
    storeLanes(p11, _mm_add_epi32(lowerRow, x.farCoord));
    for (int k = 0; k < 4; ++k)
        out[k] = blendFour(pixels[p00[k]], pixels[p10[k]], pixels[p01[k]], pixels[p11[k]],
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(weights + k)));
}

// Four reads that each take two corners, at pixel offsets first[k] and second[k] with the
// weights a and b (lanes of four).
inline void readTwo(__m128i first, __m128i second, __m128i a, __m128i b, const uint32_t* pixels, uint32_t* out) {
    alignas(16) uint32_t weights[4];
    storePairs(a, b, weights);
    alignas(16) int32_t firstOffset[4], secondOffset[4];
    storeLanes(firstOffset, first);
    storeLanes(secondOffset, second);
    for (int k = 0; k < 4; ++k)
        out[k] = blendTwo(pixels[firstOffset[k]], pixels[secondOffset[k]], _mm_cvtsi32_si128(int(weights[k])));
}

inline __m128i broadcast(int v) { return _mm_set1_epi32(v); }

// Four reads that take two corners each from one row, at columns c and c + 1 (no column folded
// over an edge): both corners of a read come in one 64-bit load, two reads share a register.
inline void readTwoAdjacent(const uint32_t* row, __m128i columns, __m128i a, __m128i b, uint32_t* out) {
    alignas(16) int32_t column[4];
    storeLanes(column, columns);
    const __m128i zero = _mm_setzero_si128();
    auto pairAt = [row](int32_t c) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + c)); };
    __m128i first = _mm_unpacklo_epi64(pairAt(column[0]), pairAt(column[1]));   // reads 0 and 1
    __m128i second = _mm_unpacklo_epi64(pairAt(column[2]), pairAt(column[3]));  // reads 2 and 3
    // Weights a a a a b b b b for each read, from the words a0 b0 a1 b1 a2 b2 a3 b3.
    __m128i ab = _mm_packs_epi32(a, b);
    ab = _mm_unpacklo_epi16(ab, _mm_srli_si128(ab, 8));
    __m128i w01 = _mm_unpacklo_epi16(ab, ab), w23 = _mm_unpackhi_epi16(ab, ab);
    __m128i p0 = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, first), _mm_unpacklo_epi32(w01, w01));
    __m128i p1 = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, first), _mm_unpackhi_epi32(w01, w01));
    __m128i p2 = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, second), _mm_unpacklo_epi32(w23, w23));
    __m128i p3 = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, second), _mm_unpackhi_epi32(w23, w23));
    // Left corner plus right corner of each read, then all four reads packed to bytes.
    __m128i sum01 = _mm_add_epi16(_mm_unpacklo_epi64(p0, p1), _mm_unpackhi_epi64(p0, p1));
    __m128i sum23 = _mm_add_epi16(_mm_unpacklo_epi64(p2, p3), _mm_unpackhi_epi64(p2, p3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(sum01, sum23));
}

// Whether every lane lies within 0..254, where wrapCoord leaves c and c + 1 as they are.
inline bool insideRow(__m128i c) {
    __m128i outside = _mm_or_si128(_mm_cmplt_epi32(c, _mm_setzero_si128()), _mm_cmpgt_epi32(c, _mm_set1_epi32(254)));
    return _mm_movemask_epi8(outside) == 0;
}

}  // namespace

void sampleWrappedSpan(const float* xs, const float* ys, int count, const uint32_t* pixels, uint32_t* out) {
    int i = 0;
    for (; i + 4 <= count; i += 4)
        readFour(axisOf(_mm_loadu_ps(xs + i)), axisOf(_mm_loadu_ps(ys + i)), pixels, out + i);
    for (; i < count; ++i) out[i] = sampleWrappedSse2(xs[i], ys[i], pixels);
}

// A whole-number y (the rows of a row pass) puts weight 0 on one of its two rows: the reads then
// take two corners from the other row, side by side unless a column folds over an edge.
void sampleWrappedRow(const float* xs, float y, int count, const uint32_t* pixels, uint32_t* out) {
    SharedAxis row = sharedAxisOf(y);
    bool oneRow = row.nearWeight == 0 || row.farWeight == 0;
    __m128i rowWeight = broadcast(row.farWeight == 0 ? row.nearWeight : row.farWeight);
    int32_t rowStart = (row.farWeight == 0 ? row.nearCoord : row.farCoord) * textureSize;
    Axis rows = {broadcast(row.nearWeight), broadcast(row.farWeight), broadcast(row.nearCoord),
                 broadcast(row.farCoord)};
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128 position = _mm_loadu_ps(xs + i);
        if (!oneRow) {
            readFour(axisOf(position), rows, pixels, out + i);
            continue;
        }
        __m128i fixed = _mm_cvttps_epi32(_mm_mul_ps(position, _mm_set1_ps(65535.0f)));
        __m128i whole = _mm_cvttps_epi32(position);
        __m128i farWeight = _mm_and_si128(_mm_srai_epi32(fixed, 8), _mm_set1_epi32(255));
        __m128i nearWeight =
            _mm_srli_epi32(_mm_sub_epi32(_mm_set1_epi32(65536), _mm_and_si128(fixed, _mm_set1_epi32(65535))), 8);
        __m128i a = weightOf(nearWeight, rowWeight), b = weightOf(farWeight, rowWeight);
        if (insideRow(whole)) {
            readTwoAdjacent(pixels + rowStart, whole, a, b, out + i);
        } else {
            __m128i start = broadcast(rowStart);
            readTwo(_mm_add_epi32(start, wrapCoords(whole)),
                    _mm_add_epi32(start, wrapCoords(_mm_add_epi32(whole, _mm_set1_epi32(1)))), a, b, pixels, out + i);
        }
    }
    for (; i < count; ++i) out[i] = sampleWrappedSse2(xs[i], y, pixels);
}
#else
void sampleWrappedSpan(const float* xs, const float* ys, int count, const uint32_t* pixels, uint32_t* out) {
    sampleWrappedSpanScalar(xs, ys, count, pixels, out);
}
void sampleWrappedRow(const float* xs, float y, int count, const uint32_t* pixels, uint32_t* out) {
    sampleWrappedRowScalar(xs, y, count, pixels, out);
}
#endif
