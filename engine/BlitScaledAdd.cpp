#include <algorithm>

#include "engine/Draw2D.h"
#include "engine/PixelLanes.h"
#include "engine/Rounding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The four corners and weights of one bilinear sample. Weights come from the 16.16 position
// (scale 65535): a = (65536 - fraction) >> 8 in 1..256, b = fraction >> 8 in 0..255.
struct BilinearTap {
    const uint32_t* row0;
    const uint32_t* row1;
    int32_t ix0, ix1;
    uint32_t w00, w10, w01, w11;
};

inline BilinearTap tapAt(const Bitmap& bitmap, float x, float y) {
    int32_t fx = toFixed16(x), fy = toFixed16(y);
    uint32_t ax = (65536u - (uint32_t(fx) & 0xFFFF)) >> 8, bx = (uint32_t(fx) >> 8) & 255;
    uint32_t ay = (65536u - (uint32_t(fy) & 0xFFFF)) >> 8, by = (uint32_t(fy) >> 8) & 255;
    int32_t ix = std::clamp(roundNearest(x - 0.5f), 0, bitmap.width - 1);
    int32_t iy = std::clamp(roundNearest(y - 0.5f), 0, bitmap.height - 1);
    int32_t iy1 = iy == bitmap.height - 1 ? iy : iy + 1;
    return {bitmap.pixels + int64_t(iy) * bitmap.width,
            bitmap.pixels + int64_t(iy1) * bitmap.width,
            ix,
            ix == bitmap.width - 1 ? ix : ix + 1,
            (ax * ay) >> 8,
            (bx * ay) >> 8,
            (ax * by) >> 8,
            (bx * by) >> 8};
}

// Per lane: the sum of the four (lane * weight) >> 8, limited to 255.
inline uint32_t sampleTap(const BilinearTap& tap) {
    uint32_t p00 = tap.row0[tap.ix0], p10 = tap.row0[tap.ix1], p01 = tap.row1[tap.ix0], p11 = tap.row1[tap.ix1];
    using namespace lanes;
    uint32_t evenSum =
        scale(even(p00), tap.w00) + scale(even(p10), tap.w10) + scale(even(p01), tap.w01) + scale(even(p11), tap.w11);
    uint32_t oddSum =
        scale(odd(p00), tap.w00) + scale(odd(p10), tap.w10) + scale(odd(p01), tap.w01) + scale(odd(p11), tap.w11);
    return join(saturate(evenSum), saturate(oddSum));
}

// Adds with each lane's lowest bit dropped; a lane that overflows becomes 255 and its carry
// adds 1 to the lane above (the carry out of the top lane is lost).
inline uint32_t addWithCarry(uint32_t s, uint32_t d) {
    uint32_t sum = (s & 0xFEFEFEFE) + (d & 0xFEFEFEFE);
    uint32_t carried = (sum >> 8) & 0x00010101;  // bit 0 of bytes 1..3 = carry out of bytes 0..2
    return sum | carried * 0xFF;
}

// The target rectangle after clipping, and the source position of its first pixel.
struct BlitRun {
    int32_t x0 = 0, y0 = 0;
    int64_t colFirst = 0, colEnd = 0, rowFirst = 0, rowEnd = 0;
    float sx0 = 0, sy0 = 0, dsx = 0, dsy = 0;
};

bool planBlit(const Bitmap& target, const Bitmap& image, float left, float top, float width, float height, float u0,
              float v0, float u1, float v1, BlitRun& run) {
    int32_t rows = truncateToInt(height), cols = truncateToInt(width);
    if (rows < 1 || cols < 1) return false;
    if (image.width <= 0 || image.height <= 0 || target.width <= 0 || target.height <= 0) return false;
    run.x0 = truncateToInt(left);
    run.y0 = truncateToInt(top);
    float imageWidth = float(image.width), imageHeight = float(image.height);
    run.sx0 = imageWidth * u0;
    run.sy0 = imageHeight * v0;
    run.dsx = (imageWidth * u1 - run.sx0) / width;
    run.dsy = (imageHeight * v1 - run.sy0) / height;
    // Only the part of the rectangle inside the target is drawn.
    run.colFirst = std::max<int64_t>(0, -int64_t(run.x0));
    run.colEnd = std::min<int64_t>(cols, int64_t(target.width) - run.x0);
    run.rowFirst = std::max<int64_t>(0, -int64_t(run.y0));
    run.rowEnd = std::min<int64_t>(rows, int64_t(target.height) - run.y0);
    if (run.colFirst >= run.colEnd || run.rowFirst >= run.rowEnd) return false;
    if (run.rowFirst > 0) run.sy0 += float(run.rowFirst) * run.dsy;
    if (run.colFirst > 0) run.sx0 += float(run.colFirst) * run.dsx;
    return true;
}

}  // namespace

uint32_t sampleBilinear(const Bitmap& bitmap, float x, float y) {
    if (bitmap.width <= 0 || bitmap.height <= 0) return 0;
    return sampleTap(tapAt(bitmap, x, y));
}

void blitScaledAddPlain(Bitmap& target, const Bitmap& image, float left, float top, float width, float height, float u0,
                        float v0, float u1, float v1) {
    BlitRun run;
    if (!planBlit(target, image, left, top, width, height, u0, v0, u1, v1, run)) return;
    float sy = run.sy0;
    for (int64_t r = run.rowFirst; r < run.rowEnd; ++r) {
        uint32_t* row = target.pixels + (run.y0 + r) * target.width;
        float sx = run.sx0;
        for (int64_t c = run.colFirst; c < run.colEnd; ++c) {
            row[run.x0 + c] = addWithCarry(sampleTap(tapAt(image, sx, sy)), row[run.x0 + c]);
            sx += run.dsx;
        }
        sy += run.dsy;
    }
}

#if defined(__SSE2__)
namespace {

// Columns are handled in chunks of this many, so that their taps stay on the stack.
constexpr int32_t columnChunk = 64;

// The horizontal halves of the bilinear taps of a chunk of columns: every row steps sx through the
// same values (sx0, then repeated += dsx), so they are worked out once per blit, four at a time.
// The chunk is padded to whole groups of four with columns that read column 0 with weight 0.
struct ColumnTaps {
    alignas(16) int32_t left[columnChunk];  // the left corner's column (the right one is the next)
    __m128i weights[columnChunk];           // 16-bit lanes: ax << 7 four times, then bx << 7 four times
    bool lastInGroup[columnChunk / 4];      // a column of the group is the image's last: its right
                                            // corner is the same pixel, not the next
};

// The next `taken` (1 to 4) of the positions v, v + step, ... (each the one before plus step, as
// the plain loop adds them) in lanes, 0 in the lanes past them; v moves past them. Built in
// registers: four stores read back as one vector would wait for the stores to land.
inline __m128 fourPositions(float& v, float step, int32_t taken) {
    float p0 = v, p1 = p0 + step, p2 = p1 + step, p3 = p2 + step;
    v = p3 + step;
    if (taken == 4) return _mm_setr_ps(p0, p1, p2, p3);
    v = taken == 3 ? p3 : (taken == 2 ? p2 : p1);
    return _mm_setr_ps(p0, taken > 1 ? p1 : 0.0f, taken > 2 ? p2 : 0.0f, 0.0f);
}

// The taps of count columns from sx (count up to columnChunk); returns sx after them.
float columnTaps(const Bitmap& image, float sx, float dsx, int32_t count, ColumnTaps& taps) {
    const __m128i last = _mm_set1_epi32(image.width - 1), zero = _mm_setzero_si128();
    for (int32_t k = 0; k < count; k += 4) {
        __m128 x = fourPositions(sx, dsx, std::min(4, count - k));
        // toFixed16 of each lane: the product in double is exact, the conversion rounds to nearest
        // even and gives INT32_MIN out of range, as roundNearestWide does.
        const __m128d scale = _mm_set1_pd(65535.0);
        __m128i fixed = _mm_unpacklo_epi64(_mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtps_pd(x), scale)),
                                           _mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(x, x)), scale)));
        __m128i ax =
            _mm_srli_epi32(_mm_sub_epi32(_mm_set1_epi32(65536), _mm_and_si128(fixed, _mm_set1_epi32(0xFFFF))), 8);
        __m128i bx = _mm_and_si128(_mm_srli_epi32(fixed, 8), _mm_set1_epi32(255));
        // clamp(roundNearest(x - 0.5), 0, width - 1)
        __m128i column = _mm_cvtps_epi32(_mm_sub_ps(x, _mm_set1_ps(0.5f)));
        column = _mm_and_si128(column, _mm_cmpgt_epi32(column, zero));
        __m128i beyond = _mm_cmpgt_epi32(column, last);
        column = _mm_or_si128(_mm_and_si128(beyond, last), _mm_andnot_si128(beyond, column));
        // Padding lanes read column 0 with weight 0.
        __m128i used = _mm_cmplt_epi32(_mm_set_epi32(3, 2, 1, 0), _mm_set1_epi32(count - k));
        column = _mm_and_si128(column, used);
        // ax in the low and bx in the high half of each lane, spread to four lanes each per column.
        __m128i pair = _mm_and_si128(_mm_slli_epi32(_mm_or_si128(ax, _mm_slli_epi32(bx, 16)), 7), used);
        __m128i low = _mm_unpacklo_epi16(pair, pair), high = _mm_unpackhi_epi16(pair, pair);  // a a b b per column
        taps.weights[k] = _mm_unpacklo_epi32(low, low);
        taps.weights[k + 1] = _mm_unpackhi_epi32(low, low);
        taps.weights[k + 2] = _mm_unpacklo_epi32(high, high);
        taps.weights[k + 3] = _mm_unpackhi_epi32(high, high);
        _mm_store_si128(reinterpret_cast<__m128i*>(taps.left + k), column);
        taps.lastInGroup[k / 4] = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi32(column, last), used)) != 0;
    }
    return sx;
}

// The vertical halves of the taps of a chunk of rows, four at a time from the sy positions: each
// row's weights ay << 1 and by << 1 (ay and by are w00 and w01 of a tap at x = 0) and the image rows
// it reads.
struct RowTaps {
    alignas(16) int32_t upperWeight[columnChunk], lowerWeight[columnChunk];
    alignas(16) int32_t upperRow[columnChunk], lowerRow[columnChunk];  // first pixel of the image row
};

// The taps of count rows from sy (count up to columnChunk); returns sy after them.
float rowTaps(const Bitmap& image, float sy, float dsy, int32_t count, RowTaps& taps) {
    const __m128i last = _mm_set1_epi32(image.height - 1), zero = _mm_setzero_si128();
    const __m128d scale = _mm_set1_pd(65535.0);
    for (int32_t k = 0; k < count; k += 4) {
        __m128 y = fourPositions(sy, dsy, std::min(4, count - k));
        __m128i fixed = _mm_unpacklo_epi64(_mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtps_pd(y), scale)),
                                           _mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(y, y)), scale)));
        __m128i ay =
            _mm_srli_epi32(_mm_sub_epi32(_mm_set1_epi32(65536), _mm_and_si128(fixed, _mm_set1_epi32(0xFFFF))), 8);
        __m128i by = _mm_and_si128(_mm_srli_epi32(fixed, 8), _mm_set1_epi32(255));
        // clamp(roundNearest(y - 0.5), 0, height - 1); the row below, unless that is the last row.
        __m128i row = _mm_cvtps_epi32(_mm_sub_ps(y, _mm_set1_ps(0.5f)));
        row = _mm_and_si128(row, _mm_cmpgt_epi32(row, zero));
        __m128i beyond = _mm_cmpgt_epi32(row, last);
        row = _mm_or_si128(_mm_and_si128(beyond, last), _mm_andnot_si128(beyond, row));
        __m128i below = _mm_sub_epi32(row, _mm_cmplt_epi32(row, last));  // + 1 where row < last
        // Row numbers times the image width (below 2^31: a bitmap's pixel count is an int32).
        auto times = [&image](__m128i rows) {
            __m128i even = _mm_mul_epu32(rows, _mm_set1_epi32(image.width));
            __m128i odd = _mm_mul_epu32(_mm_srli_si128(rows, 4), _mm_set1_epi32(image.width));
            return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
        };
        _mm_store_si128(reinterpret_cast<__m128i*>(taps.upperWeight + k), _mm_slli_epi32(ay, 1));
        _mm_store_si128(reinterpret_cast<__m128i*>(taps.lowerWeight + k), _mm_slli_epi32(by, 1));
        _mm_store_si128(reinterpret_cast<__m128i*>(taps.upperRow + k), times(row));
        _mm_store_si128(reinterpret_cast<__m128i*>(taps.lowerRow + k), times(below));
    }
    return sy;
}

// The two corners in one row for a column: side by side, or the last column twice.
inline __m128i cornerPair(const uint32_t* row, int32_t left, int32_t last) {
    if (left < last) return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + left));
    return _mm_shuffle_epi32(_mm_cvtsi32_si128(int32_t(row[left])), 0x00);
}

// One sample from its column's corner pairs in the upper and the lower row and the weights of the
// two rows, w00 w10 and w01 w11 (each four times): each corner's bytes go in the upper halves of
// 16-bit lanes, so that the high half of a product is byte * weight >> 8. Returns the left corners'
// sums, then the right corners' (the four products of a lane add up to at most 1020).
inline __m128i sampleOne(__m128i upper, __m128i lower, __m128i upperWeights, __m128i lowerWeights) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_add_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(zero, upper), upperWeights),
                         _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, lower), lowerWeights));
}

// Two samples' halves as one sample each: a's four lanes, then b's.
inline __m128i joinHalves(__m128i a, __m128i b) {
    return _mm_add_epi16(_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b));
}

// addWithCarry on four pixels.
inline __m128i addWithCarryFour(__m128i s, __m128i d) {
    const __m128i kept = _mm_set1_epi32(int32_t(0xFEFEFEFEu));
    __m128i sum = _mm_add_epi32(_mm_and_si128(s, kept), _mm_and_si128(d, kept));
    __m128i carried = _mm_and_si128(_mm_srli_epi32(sum, 8), _mm_set1_epi32(0x00010101));
    return _mm_or_si128(sum, _mm_sub_epi32(_mm_slli_epi32(carried, 8), carried));
}

// Four samples of one row, from columns k .. k + 3 of the taps, added into target (only the
// first count of the four are written). upperRow and lowerRow: ay << 1 and by << 1 in every lane.
template <bool checkLast, int32_t width>
inline void blitFour(uint32_t* target, int32_t count, const uint32_t* row0, const uint32_t* row1,
                     const ColumnTaps& taps, int32_t k, __m128i upperRow, __m128i lowerRow, int32_t last) {
    __m128i sample[4];
    for (int j = 0; j < width; ++j) {
        // (ax << 7) * (ay << 1) >> 16 = (ax * ay) >> 8, and alike: the four weights, none above 256.
        __m128i column = taps.weights[k + j];
        __m128i upperWeights = _mm_mulhi_epu16(column, upperRow), lowerWeights = _mm_mulhi_epu16(column, lowerRow);
        int32_t left = taps.left[k + j];
        __m128i upper =
            checkLast ? cornerPair(row0, left, last) : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row0 + left));
        __m128i lower =
            checkLast ? cornerPair(row1, left, last) : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row1 + left));
        sample[j] = sampleOne(upper, lower, upperWeights, lowerWeights);
    }
    __m128i samples = _mm_packus_epi16(joinHalves(sample[0], sample[1]),
                                       width == 4 ? joinHalves(sample[2], sample[3]) : _mm_setzero_si128());
    if (count == 4) {
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target), addWithCarryFour(samples, d));
        return;
    }
    alignas(16) uint32_t sampled[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(sampled), samples);
    for (int32_t j = 0; j < count; ++j) target[j] = addWithCarry(sampled[j], target[j]);
}

// Up to four samples of a row: a group of one or two columns (the end of a narrow blit) works out
// only two.
template <bool checkLast>
inline void blitGroup(uint32_t* target, int32_t count, const uint32_t* row0, const uint32_t* row1,
                      const ColumnTaps& taps, int32_t k, __m128i upperRow, __m128i lowerRow, int32_t last) {
    if (count > 2)
        blitFour<checkLast, 4>(target, count, row0, row1, taps, k, upperRow, lowerRow, last);
    else
        blitFour<checkLast, 2>(target, count, row0, row1, taps, k, upperRow, lowerRow, last);
}

// The rows of one chunk: rows rows of count columns from first (the chunk's top-left target pixel,
// rows pitch pixels apart), with the rows' and the columns' taps.
void blitRows(uint32_t* first, int32_t pitch, int32_t rows, int32_t count, const Bitmap& image, const RowTaps& rowTap,
              const ColumnTaps& taps) {
    const int32_t last = image.width - 1;
    // Most chunks read no column twice: their whole groups go without a check.
    bool anyLast = false;
    for (int32_t g = 0; g < (count + 3) / 4; ++g) anyLast |= taps.lastInGroup[g];
    const int32_t whole = anyLast ? 0 : count & ~3;
    for (int32_t j = 0; j < rows; ++j) {
        __m128i upperRow = _mm_set1_epi16(int16_t(rowTap.upperWeight[j]));
        __m128i lowerRow = _mm_set1_epi16(int16_t(rowTap.lowerWeight[j]));
        const uint32_t* row0 = image.pixels + rowTap.upperRow[j];
        const uint32_t* row1 = image.pixels + rowTap.lowerRow[j];
        uint32_t* row = first + int64_t(j) * pitch;
        for (int32_t k = 0; k < whole; k += 4)
            blitFour<false, 4>(row + k, 4, row0, row1, taps, k, upperRow, lowerRow, last);
        for (int32_t k = whole; k < count; k += 4) {
            int32_t n = std::min(4, count - k);
            if (taps.lastInGroup[k / 4])
                blitGroup<true>(row + k, n, row0, row1, taps, k, upperRow, lowerRow, last);
            else
                blitGroup<false>(row + k, n, row0, row1, taps, k, upperRow, lowerRow, last);
        }
    }
}

// The vector blit.
void blitPacked(Bitmap& target, const Bitmap& image, float left, float top, float width, float height, float u0,
                float v0, float u1, float v1) {
    BlitRun run;
    if (!planBlit(target, image, left, top, width, height, u0, v0, u1, v1, run)) return;
    float sxChunk = run.sx0;
    for (int64_t c0 = run.colFirst; c0 < run.colEnd; c0 += columnChunk) {
        int32_t count = int32_t(std::min<int64_t>(columnChunk, run.colEnd - c0));
        ColumnTaps taps;
        sxChunk = columnTaps(image, sxChunk, run.dsx, count, taps);
        float sy = run.sy0;
        for (int64_t r0 = run.rowFirst; r0 < run.rowEnd; r0 += columnChunk) {
            int32_t rows = int32_t(std::min<int64_t>(columnChunk, run.rowEnd - r0));
            RowTaps rowTap;
            sy = rowTaps(image, sy, run.dsy, rows, rowTap);
            blitRows(target.pixels + (run.y0 + r0) * target.width + run.x0 + c0, target.width, rows, count, image,
                     rowTap, taps);
        }
    }
}

}  // namespace
#endif

void blitScaledAdd(Bitmap& target, const Bitmap& image, float left, float top, float width, float height, float u0,
                   float v0, float u1, float v1) {
#if defined(__SSE2__)
    blitPacked(target, image, left, top, width, height, u0, v0, u1, v1);
#else
    blitScaledAddPlain(target, image, left, top, width, height, u0, v0, u1, v1);
#endif
}
