#include <algorithm>
#include <cmath>

#include "engine/Draw2D.h"
#include "engine/PixelLanes.h"
#include "engine/Rounding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The 2 x 2 block of a point: its top-left pixel and the four bilinear weights (0..256), from
// the 16.16 position (scale 65535) of (x - 1, y - 1).
struct PointBlock {
    int32_t px, py;
    uint32_t w00, w10, w01, w11;
};

PointBlock blockAt(float x, float y) {
    int32_t fx = toFixed16(x - 1.0f), fy = toFixed16(y - 1.0f);
    uint32_t ax = (65536u - (uint32_t(fx) & 0xFFFF)) >> 8, bx = (uint32_t(fx) >> 8) & 255;
    uint32_t ay = (65536u - (uint32_t(fy) & 0xFFFF)) >> 8, by = (uint32_t(fy) >> 8) & 255;
    return {fx >> 16, fy >> 16, (ax * ay) >> 8, (bx * ay) >> 8, (ax * by) >> 8, (bx * by) >> 8};
}

// Per lane: min(255, pixel + (colour * w) >> 8).
inline uint32_t addWeighted(uint32_t pixel, uint32_t colour, uint32_t w) {
    using namespace lanes;
    return join(saturate(even(pixel) + scale(even(colour), w)), saturate(odd(pixel) + scale(odd(colour), w)));
}

// Per lane: min(255, (pixel * (255 - (w & 255))) >> 8 + (colour * w) >> 8).
inline uint32_t blendWeighted(uint32_t pixel, uint32_t colour, uint32_t w) {
    using namespace lanes;
    uint32_t keep = 255 - (w & 255);
    return join(saturate(scale(even(pixel), keep) + scale(even(colour), w)),
                saturate(scale(odd(pixel), keep) + scale(odd(colour), w)));
}

template <bool blend>
inline uint32_t plotOne(uint32_t pixel, uint32_t colour, uint32_t w) {
    return blend ? blendWeighted(pixel, colour, w) : addWeighted(pixel, colour, w);
}

inline bool blockInside(const Bitmap& target, const PointBlock& block) {
    return block.px >= 0 && block.py >= 0 && int64_t(block.px) + 1 < target.width &&
           int64_t(block.py) + 1 < target.height;
}

// The pixels of the block that lie inside the target, one at a time.
template <bool blend>
void plotBlockPlain(Bitmap& target, const PointBlock& block, uint32_t colour) {
    const int32_t dx[4] = {0, 1, 0, 1}, dy[4] = {0, 0, 1, 1};
    const uint32_t weights[4] = {block.w00, block.w10, block.w01, block.w11};
    for (int i = 0; i < 4; ++i) {
        int64_t x = int64_t(block.px) + dx[i], y = int64_t(block.py) + dy[i];
        if (x < 0 || y < 0 || x >= target.width || y >= target.height) continue;
        uint32_t& pixel = target.pixels[y * target.width + x];
        pixel = plotOne<blend>(pixel, colour, weights[i]);
    }
}

#if defined(__SSE2__)
// A block inside the target in 16-bit lanes: each row's two pixels side by side, the colour
// times the weights shifted by 8 added (or the pixels first scaled by 255 - (w & 255)), packed
// back to bytes with saturation at 255.
template <bool blend>
inline void plotBlockPacked(Bitmap& target, const PointBlock& block, uint32_t colour) {
    uint32_t* p = target.pixels + int64_t(block.py) * target.width + block.px;
    uint32_t* below = p + target.width;
    __m128i zero = _mm_setzero_si128();
    __m128i c = _mm_unpacklo_epi8(_mm_set1_epi32(int32_t(colour)), zero);
    auto pair = [](uint32_t left, uint32_t right) {
        return _mm_set_epi16(int16_t(right), int16_t(right), int16_t(right), int16_t(right), int16_t(left),
                             int16_t(left), int16_t(left), int16_t(left));
    };
    __m128i top = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
    __m128i bottom = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(below)), zero);
    __m128i addTop = _mm_srli_epi16(_mm_mullo_epi16(c, pair(block.w00, block.w10)), 8);
    __m128i addBottom = _mm_srli_epi16(_mm_mullo_epi16(c, pair(block.w01, block.w11)), 8);
    if (blend) {
        top = _mm_srli_epi16(_mm_mullo_epi16(top, pair(255 - (block.w00 & 255), 255 - (block.w10 & 255))), 8);
        bottom = _mm_srli_epi16(_mm_mullo_epi16(bottom, pair(255 - (block.w01 & 255), 255 - (block.w11 & 255))), 8);
    }
    __m128i rows = _mm_packus_epi16(_mm_add_epi16(top, addTop), _mm_add_epi16(bottom, addBottom));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), rows);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(below), _mm_srli_si128(rows, 8));
}
#endif

template <bool blend>
inline void plotBlock(Bitmap& target, float x, float y, uint32_t colour) {
    PointBlock block = blockAt(x, y);
#if defined(__SSE2__)
    if (blockInside(target, block)) {
        plotBlockPacked<blend>(target, block, colour);
        return;
    }
#endif
    plotBlockPlain<blend>(target, block, colour);
}

// Steps i = first, first + 1, ... while i < end and i < len from (x, y) by (ix, iy), plotting
// each point on its own.
template <bool blend>
void stepLinePlain(Bitmap& target, float x, float y, float ix, float iy, float len, int64_t first, int64_t end,
                   uint32_t colour) {
    for (int64_t i = first; i < end && float(i) < len; ++i) {
        plotBlockPlain<blend>(target, blockAt(x, y), colour);
        x += ix;
        y += iy;
    }
}

#if defined(__SSE2__)
// A line's points four at a time: their positions stepped exactly as the plain loop steps them,
// their blocks worked out in vectors, then the blocks plotted in order (while the next four
// positions are being stepped).
struct FourBlocks {
    alignas(16) int32_t px[4], py[4];
    alignas(16) uint64_t weights[4];  // 16-bit words w00 w10 w01 w11
};

// toFixed16 of four floats: the double product is exact and cvtpd2dq rounds to nearest even, as
// roundNearestWide does.
inline __m128i fixed16(__m128 v) {
    const __m128d scale = _mm_set1_pd(65535.0);
    return _mm_unpacklo_epi64(_mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtps_pd(v), scale)),
                              _mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(v, v)), scale)));
}

// Four positions from v, each the one before plus step (the additions one after another, as the
// plain loop makes them); v becomes the position after the first `taken` of them.
inline __m128 fourSteps(float& v, float step, int32_t taken) {
    float v1 = v + step, v2 = v1 + step, v3 = v2 + step;
    __m128 four = _mm_setr_ps(v, v1, v2, v3);
    v = taken == 4 ? v3 + step : (taken == 3 ? v3 : (taken == 2 ? v2 : v1));
    return four;
}

// blockAt for the next `taken` points (up to four) from (x, y) on, by (ix, iy) a point; (x, y)
// becomes the point after them. Lanes past taken are worked out but not plotted. Returns whether
// all `taken` blocks lie inside a target of width x height pixels.
inline bool blocksOf(FourBlocks& blocks, int32_t taken, float& x, float& y, float ix, float iy, int32_t width,
                     int32_t height) {
    const __m128i low16 = _mm_set1_epi32(0xFFFF), byte = _mm_set1_epi32(255), whole = _mm_set1_epi32(65536);
    const __m128 one = _mm_set1_ps(1.0f);
    __m128i fx = fixed16(_mm_sub_ps(fourSteps(x, ix, taken), one));
    __m128i fy = fixed16(_mm_sub_ps(fourSteps(y, iy, taken), one));
    __m128i ax = _mm_srli_epi32(_mm_sub_epi32(whole, _mm_and_si128(fx, low16)), 8);
    __m128i bx = _mm_and_si128(_mm_srli_epi32(fx, 8), byte);
    __m128i ay = _mm_srli_epi32(_mm_sub_epi32(whole, _mm_and_si128(fy, low16)), 8);
    __m128i by = _mm_and_si128(_mm_srli_epi32(fy, 8), byte);
    __m128i px = _mm_srai_epi32(fx, 16), py = _mm_srai_epi32(fy, 16);
    _mm_store_si128(reinterpret_cast<__m128i*>(blocks.px), px);
    _mm_store_si128(reinterpret_cast<__m128i*>(blocks.py), py);
    // (a * b) >> 8 for a, b up to 256: one 16-bit multiply-add per lane, the upper halves 0.
    auto weight = [](__m128i a, __m128i b) { return _mm_srli_epi32(_mm_madd_epi16(a, b), 8); };
    __m128i upper = _mm_packs_epi32(weight(ax, ay), weight(bx, ay));  // w00 of points 0-3, then w10
    __m128i lower = _mm_packs_epi32(weight(ax, by), weight(bx, by));  // w01, then w11
    __m128i upperPairs = _mm_unpacklo_epi16(upper, _mm_srli_si128(upper, 8));
    __m128i lowerPairs = _mm_unpacklo_epi16(lower, _mm_srli_si128(lower, 8));
    _mm_store_si128(reinterpret_cast<__m128i*>(blocks.weights), _mm_unpacklo_epi32(upperPairs, lowerPairs));
    _mm_store_si128(reinterpret_cast<__m128i*>(blocks.weights + 2), _mm_unpackhi_epi32(upperPairs, lowerPairs));
    // Inside: 0 <= px < width - 1 and 0 <= py < height - 1 (the block's second column and row too).
    const __m128i none = _mm_set1_epi32(-1);
    __m128i inside = _mm_and_si128(
        _mm_and_si128(_mm_cmpgt_epi32(px, none), _mm_cmpgt_epi32(py, none)),
        _mm_and_si128(_mm_cmplt_epi32(px, _mm_set1_epi32(width - 1)), _mm_cmplt_epi32(py, _mm_set1_epi32(height - 1))));
    int32_t wanted = (1 << taken) - 1;
    return (_mm_movemask_ps(_mm_castsi128_ps(inside)) & wanted) == wanted;
}

// plotBlockPacked for block k of the four, whose top-left pixel is p in rows of pitch pixels. The
// pixels are loaded one by one: the block before has often just stored an overlapping pair, which
// a 32-bit load takes straight from the store.
template <bool blend>
inline void plotFromFour(uint32_t* p, int32_t pitch, const FourBlocks& blocks, int32_t k, __m128i colourPair) {
    uint32_t* below = p + pitch;
    const __m128i zero = _mm_setzero_si128();
    __m128i w = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(blocks.weights + k));
    __m128i pairs = _mm_unpacklo_epi16(w, w);  // w00 w00 w10 w10 w01 w01 w11 w11
    __m128i upperWeights = _mm_unpacklo_epi32(pairs, pairs), lowerWeights = _mm_unpackhi_epi32(pairs, pairs);
    __m128i upper = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int32_t(p[0])), _mm_cvtsi32_si128(int32_t(p[1])));
    __m128i lower = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int32_t(below[0])), _mm_cvtsi32_si128(int32_t(below[1])));
    if (blend) {
        // Each pixel kept at 255 - (w & 255): the byte in the upper half of a lane, the product's high half.
        __m128i keep = _mm_sub_epi16(_mm_set1_epi16(255), _mm_and_si128(w, _mm_set1_epi16(255)));
        __m128i keepPairs = _mm_unpacklo_epi16(keep, keep);
        upper = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, upper), _mm_unpacklo_epi32(keepPairs, keepPairs));
        lower = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, lower), _mm_unpackhi_epi32(keepPairs, keepPairs));
    } else {
        upper = _mm_unpacklo_epi8(upper, zero);
        lower = _mm_unpacklo_epi8(lower, zero);
    }
    // colour * w >> 8 per lane: the colour's bytes sit in the upper halves of colourPair's lanes.
    __m128i rows = _mm_packus_epi16(_mm_add_epi16(upper, _mm_mulhi_epu16(colourPair, upperWeights)),
                                    _mm_add_epi16(lower, _mm_mulhi_epu16(colourPair, lowerWeights)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), rows);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(below), _mm_srli_si128(rows, 8));
}

// Up to this many points of a line are worked out before they are plotted.
constexpr int32_t lineChunk = 64;

template <bool blend>
void stepLine(Bitmap& target, float x, float y, float ix, float iy, float len, int64_t first, int64_t end,
              uint32_t colour) {
    FourBlocks blocks[lineChunk / 4];
    bool inside[lineChunk / 4];
    const __m128i colourPair = _mm_unpacklo_epi8(_mm_setzero_si128(), _mm_set1_epi32(int32_t(colour)));
    // Read once: the stores into the pixels could otherwise be stores into the Bitmap itself.
    uint32_t* const pixels = target.pixels;
    const int32_t width = target.width, height = target.height;
    // Below 2^24 every step number is exact as a float, and i < end already means i < len.
    const bool exactSteps = end <= (int64_t(1) << 24);
    auto plot = [&](int32_t n) {
        const FourBlocks& four = blocks[n / 4];
        int32_t k = n % 4, px = four.px[k], py = four.py[k];
        if (inside[n / 4] || (px >= 0 && py >= 0 && int64_t(px) + 1 < width && int64_t(py) + 1 < height)) {
            plotFromFour<blend>(pixels + int64_t(py) * width + px, width, four, k, colourPair);
        } else {
            // Partly outside the target: the plain plot, with the block's own weights.
            const uint16_t* w = reinterpret_cast<const uint16_t*>(four.weights + k);
            plotBlockPlain<blend>(target, PointBlock{px, py, w[0], w[1], w[2], w[3]}, colour);
        }
    };
    for (int64_t i = first; i < end && float(i) < len;) {
        int32_t count = 0;
        while (count < lineChunk && i < end && float(i) < len) {
            int32_t taken = 1;
            if (exactSteps)
                taken = int32_t(std::min<int64_t>({4, end - i, lineChunk - count}));
            else
                while (taken < 4 && i + taken < end && float(i + taken) < len) ++taken;
            inside[count / 4] = blocksOf(blocks[count / 4], taken, x, y, ix, iy, width, height);
            i += taken;
            count += taken;
            if (taken < 4) break;
        }
        if (blend) {
            for (int32_t n = 0; n < count; ++n) plot(n);
        } else {
            // Added colour saturates alike in any order, so the four quarters of the run go side
            // by side: four chains of stores and loads instead of one.
            int32_t quarter = (count + 3) / 4;
            for (int32_t n = 0; n < quarter; ++n)
                for (int32_t q = n; q < count; q += quarter) plot(q);
        }
    }
}
#else
template <bool blend>
void stepLine(Bitmap& target, float x, float y, float ix, float iy, float len, int64_t first, int64_t end,
              uint32_t colour) {
    stepLinePlain<blend>(target, x, y, ix, iy, len, first, end, colour);
}
#endif

// The endpoints ordered and the steps worked out; calls step(x, y, ix, iy, len, first, end) for
// the part of the line that can touch the target.
template <typename Step>
void walkLine(const Bitmap& target, float x0, float y0, float x1, float y1, Step step) {
    if (x0 > x1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    float dx = x1 - x0, dy = y1 - y0;
    float len = std::max(std::fabs(dx), std::fabs(dy));
    if (!(len > 0.0f) || !std::isfinite(len)) return;  // zero length, NaN or an infinite endpoint
    float ix = dx / len, iy = dy / len;

    // Steps i = 0, 1, ... while i < len. A line that leaves the area where points can touch the
    // target only steps over the part that can (found in double precision), so a far-away
    // endpoint costs no time; a line within that area steps from its start as it is.
    double first = 0.0, end = std::ceil(double(len));
    const double lowX = -2.0, highX = double(target.width) + 2.0, lowY = -2.0, highY = double(target.height) + 2.0;
    auto inArea = [&](float x, float y) { return x >= lowX && x <= highX && y >= lowY && y <= highY; };
    if (!inArea(x0, y0) || !inArea(x1, y1)) {
        auto limit = [&](double start, double stepSize, double low, double high) {
            if (stepSize == 0.0) {
                if (start < low || start > high) end = first;
                return;
            }
            double a = (low - start) / stepSize, b = (high - start) / stepSize;
            if (a > b) std::swap(a, b);
            first = std::max(first, std::floor(a));
            end = std::min(end, std::ceil(b) + 1.0);
        };
        limit(x0, ix, lowX, highX);
        limit(y0, iy, lowY, highY);
        // Far beyond float precision the steps would not move anyway.
        if (first >= end || first > 9.0e15) return;
    }
    int64_t i = int64_t(first);
    float x = x0, y = y0;
    if (i > 0) {
        x = x0 + float(i) * ix;
        y = y0 + float(i) * iy;
    }
    step(x, y, ix, iy, len, i, int64_t(end));
}

}  // namespace

void plotPointAdd(Bitmap& target, float x, float y, uint32_t colour) { plotBlock<false>(target, x, y, colour); }

void plotPointBlend(Bitmap& target, float x, float y, uint32_t colour) { plotBlock<true>(target, x, y, colour); }

void plotPointAddPlain(Bitmap& target, float x, float y, uint32_t colour) {
    plotBlockPlain<false>(target, blockAt(x, y), colour);
}

void plotPointBlendPlain(Bitmap& target, float x, float y, uint32_t colour) {
    plotBlockPlain<true>(target, blockAt(x, y), colour);
}

void drawLine2D(Bitmap& target, float x0, float y0, float x1, float y1, uint32_t colour, LineMode mode) {
    if (mode != LineMode::Blend && mode != LineMode::Add) return;
    walkLine(target, x0, y0, x1, y1, [&](float x, float y, float ix, float iy, float len, int64_t first, int64_t end) {
        if (mode == LineMode::Blend)
            stepLine<true>(target, x, y, ix, iy, len, first, end, colour);
        else
            stepLine<false>(target, x, y, ix, iy, len, first, end, colour);
    });
}

void drawLine2DPlain(Bitmap& target, float x0, float y0, float x1, float y1, uint32_t colour, LineMode mode) {
    if (mode != LineMode::Blend && mode != LineMode::Add) return;
    walkLine(target, x0, y0, x1, y1, [&](float x, float y, float ix, float iy, float len, int64_t first, int64_t end) {
        if (mode == LineMode::Blend)
            stepLinePlain<true>(target, x, y, ix, iy, len, first, end, colour);
        else
            stepLinePlain<false>(target, x, y, ix, iy, len, first, end, colour);
    });
}
