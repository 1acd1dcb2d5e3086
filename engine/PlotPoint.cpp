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
inline bool blockInside(const Bitmap& target, const PointBlock& block) {
    return block.px >= 0 && block.py >= 0 && int64_t(block.px) + 1 < target.width &&
           int64_t(block.py) + 1 < target.height;
}

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

// Steps i = 0, 1, ... while i < len from (x, y) by (ix, iy), starting at step first and stopping
// before step end.
template <bool blend>
void stepLine(Bitmap& target, float x, float y, float ix, float iy, float len, int64_t first, int64_t end,
              uint32_t colour) {
    for (int64_t i = first; i < end && float(i) < len; ++i) {
        plotBlock<blend>(target, x, y, colour);
        x += ix;
        y += iy;
    }
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
        auto limit = [&](double start, double step, double low, double high) {
            if (step == 0.0) {
                if (start < low || start > high) end = first;
                return;
            }
            double a = (low - start) / step, b = (high - start) / step;
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
    if (mode == LineMode::Blend)
        stepLine<true>(target, x, y, ix, iy, len, i, int64_t(end), colour);
    else
        stepLine<false>(target, x, y, ix, iy, len, i, int64_t(end), colour);
}
