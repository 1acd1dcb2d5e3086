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

// The horizontal half of a bilinear tap for one blit column. Every row steps sx through the same
// values (sx0, then repeated += dsx), so the columns' taps are worked out once per blit.
struct ColumnTap {
    int32_t ix0, ix1;
    __m128i weights;  // 16-bit lanes: ax four times (left corner), then bx four times (right)
};

// Columns are handled in chunks of this many, to keep the taps on the stack.
constexpr int32_t columnChunk = 64;

// (a * b) >> 8 per 16-bit lane for a, b up to 256, whose product may need 17 bits.
inline __m128i productShifted8(__m128i a, __m128i b) {
    return _mm_or_si128(_mm_slli_epi16(_mm_mulhi_epu16(a, b), 8), _mm_srli_epi16(_mm_mullo_epi16(a, b), 8));
}

// One bilinear sample in 16-bit lanes: the left and right corners of a row side by side, times
// (ax, bx) * ay >> 8 (the top row) or * by >> 8 (the bottom row), shifted, summed with unsigned
// saturation, then packed (again saturating) to bytes.
inline uint32_t samplePacked(const uint32_t* row0, const uint32_t* row1, const ColumnTap& tap, __m128i ay, __m128i by) {
    __m128i zero = _mm_setzero_si128();
    __m128i top = _mm_unpacklo_epi8(
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(int32_t(row0[tap.ix0])), _mm_cvtsi32_si128(int32_t(row0[tap.ix1]))), zero);
    __m128i bottom = _mm_unpacklo_epi8(
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(int32_t(row1[tap.ix0])), _mm_cvtsi32_si128(int32_t(row1[tap.ix1]))), zero);
    __m128i topWeights = productShifted8(tap.weights, ay);
    __m128i bottomWeights = productShifted8(tap.weights, by);
    __m128i sum = _mm_adds_epu16(_mm_srli_epi16(_mm_mullo_epi16(top, topWeights), 8),
                                 _mm_srli_epi16(_mm_mullo_epi16(bottom, bottomWeights), 8));
    sum = _mm_adds_epu16(sum, _mm_srli_si128(sum, 8));  // left corners plus right corners
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
}

}  // namespace
#endif

void blitScaledAdd(Bitmap& target, const Bitmap& image, float left, float top, float width, float height, float u0,
                   float v0, float u1, float v1) {
#if defined(__SSE2__)
    BlitRun run;
    if (!planBlit(target, image, left, top, width, height, u0, v0, u1, v1, run)) return;
    float sxChunk = run.sx0;
    for (int64_t c0 = run.colFirst; c0 < run.colEnd; c0 += columnChunk) {
        int32_t count = int32_t(std::min<int64_t>(columnChunk, run.colEnd - c0));
        ColumnTap taps[columnChunk];
        float sx = sxChunk;
        for (int32_t k = 0; k < count; ++k) {
            // The same weights and corners as tapAt, for the x half.
            BilinearTap tap = tapAt(image, sx, 0.0f);
            uint32_t ax = tap.w00, bx = tap.w10;  // with ay = 256 these are ax and bx themselves
            taps[k] = {tap.ix0, tap.ix1,
                       _mm_set_epi16(int16_t(bx), int16_t(bx), int16_t(bx), int16_t(bx), int16_t(ax), int16_t(ax),
                                     int16_t(ax), int16_t(ax))};
            sx += run.dsx;
        }
        sxChunk = sx;
        float sy = run.sy0;
        for (int64_t r = run.rowFirst; r < run.rowEnd; ++r) {
            BilinearTap rowTap = tapAt(image, 0.0f, sy);  // ay = w00 and by = w01 when ax = 256
            __m128i ay = _mm_set1_epi16(int16_t(rowTap.w00)), by = _mm_set1_epi16(int16_t(rowTap.w01));
            uint32_t* row = target.pixels + (run.y0 + r) * target.width + run.x0 + c0;
            for (int32_t k = 0; k < count; ++k)
                row[k] = addWithCarry(samplePacked(rowTap.row0, rowTap.row1, taps[k], ay, by), row[k]);
            sy += run.dsy;
        }
    }
#else
    blitScaledAddPlain(target, image, left, top, width, height, u0, v0, u1, v1);
#endif
}
