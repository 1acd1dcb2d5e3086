#include <algorithm>
#include <vector>

#include "engine/Draw2D.h"
#include "engine/Rounding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The smear reads, for pixel (c, r), the source (columnSource[c], sr): every row uses the same
// column mapping, so it is worked out once. Offsets are 8.24 fixed point products j * step,
// computed with 32-bit wrap-around exactly like repeated 32-bit addition, and shifted
// arithmetically (floor).
namespace {

struct SmearSetup {
    int32_t cx = 0, cy = 0;
    uint32_t step = 0;  // 8.24 fixed point: trunc(scale * 2^24)
    uint32_t weight = 0;
    std::vector<int32_t> columnSource;
};

int32_t offset824(uint32_t product) { return int32_t(product) >> 24; }

bool prepare(const Bitmap& bitmap, int32_t cx, int32_t cy, float scale, float amount, SmearSetup& setup) {
    if (bitmap.width <= 0 || bitmap.height <= 0) return false;
    setup.cx = std::clamp(cx, 0, bitmap.width);
    setup.cy = std::clamp(cy, -1, bitmap.height - 1);
    setup.step = uint32_t(truncateToInt(scale * 16777216.0f));
    setup.weight = uint32_t(std::clamp(truncateToInt(amount * 255.0f), 0, 255));
    setup.columnSource.resize(size_t(bitmap.width));
    for (int32_t c = 0; c < setup.cx; ++c) {
        uint32_t j = uint32_t(setup.cx - 1 - c);
        setup.columnSource[size_t(c)] = c - offset824(0u - j * setup.step);
    }
    for (int32_t c = setup.cx; c < bitmap.width; ++c) {
        uint32_t j = uint32_t(c - setup.cx);
        setup.columnSource[size_t(c)] = c - offset824(j * setup.step);
    }
    for (int32_t& source : setup.columnSource) source = std::clamp(source, 0, bitmap.width - 1);
    return true;
}

// Row r from source row sr in the exact in-place order: the left part from cx - 1 down to 0,
// then the right part from cx up. Needed when sr == r, where a pixel may read one already
// smeared in this row.
void smearRowInOrder(Bitmap& bitmap, const SmearSetup& setup, int32_t r, int32_t sr) {
    uint32_t* row = bitmap.pixels + int64_t(r) * bitmap.width;
    const uint32_t* source = bitmap.pixels + int64_t(sr) * bitmap.width;
    const int32_t* columnSource = setup.columnSource.data();
    for (int32_t c = setup.cx - 1; c >= 0; --c) row[c] = blendPixel(row[c], source[columnSource[c]], setup.weight);
    for (int32_t c = setup.cx; c < bitmap.width; ++c)
        row[c] = blendPixel(row[c], source[columnSource[c]], setup.weight);
}

#if defined(__SSE2__)
// Blends four pixels in 16-bit lanes: (d * keep) >> 8 + (s * weight) >> 8, packed back to bytes.
inline __m128i blendFour(__m128i d, __m128i s, __m128i keep, __m128i weight) {
    __m128i zero = _mm_setzero_si128();
    __m128i low = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), keep), 8),
                                _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), weight), 8));
    __m128i high = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), keep), 8),
                                 _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), weight), 8));
    return _mm_packus_epi16(low, high);
}

// Row r from a different row sr: no pixel of the row reads another pixel of the same row, so the
// order within the row does not matter and four pixels go at a time.
void smearRowPacked(Bitmap& bitmap, const SmearSetup& setup, int32_t r, int32_t sr) {
    uint32_t* row = bitmap.pixels + int64_t(r) * bitmap.width;
    const uint32_t* source = bitmap.pixels + int64_t(sr) * bitmap.width;
    const int32_t* columnSource = setup.columnSource.data();
    __m128i keep = _mm_set1_epi16(int16_t(255 - setup.weight));
    __m128i weight = _mm_set1_epi16(int16_t(setup.weight));
    int32_t c = 0;
    for (; c + 4 <= bitmap.width; c += 4) {
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + c));
        __m128i s = _mm_set_epi32(int32_t(source[columnSource[c + 3]]), int32_t(source[columnSource[c + 2]]),
                                  int32_t(source[columnSource[c + 1]]), int32_t(source[columnSource[c]]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + c), blendFour(d, s, keep, weight));
    }
    for (; c < bitmap.width; ++c) row[c] = blendPixel(row[c], source[columnSource[c]], setup.weight);
}
#endif

using RowSmear = void (*)(Bitmap&, const SmearSetup&, int32_t, int32_t);

// Lower half outward (rows cy + 1 down the bitmap), then the upper half outward (cy up to 0).
void smear(Bitmap& bitmap, const SmearSetup& setup, RowSmear otherRow) {
    uint32_t k = 0;
    for (int32_t r = setup.cy + 1; r < bitmap.height; ++r, ++k) {
        int32_t sr = std::clamp(r + offset824(0u - k * setup.step), 0, bitmap.height - 1);
        (sr == r ? smearRowInOrder : otherRow)(bitmap, setup, r, sr);
    }
    k = 0;
    for (int32_t r = setup.cy; r >= 0; --r, ++k) {
        int32_t sr = std::clamp(r + offset824(k * setup.step), 0, bitmap.height - 1);
        (sr == r ? smearRowInOrder : otherRow)(bitmap, setup, r, sr);
    }
}

}  // namespace

void radialSmearPlain(Bitmap& bitmap, int32_t cx, int32_t cy, float scale, float amount) {
    SmearSetup setup;
    if (prepare(bitmap, cx, cy, scale, amount, setup)) smear(bitmap, setup, smearRowInOrder);
}

void radialSmear(Bitmap& bitmap, int32_t cx, int32_t cy, float scale, float amount) {
#if defined(__SSE2__)
    SmearSetup setup;
    if (prepare(bitmap, cx, cy, scale, amount, setup)) smear(bitmap, setup, smearRowPacked);
#else
    radialSmearPlain(bitmap, cx, cy, scale, amount);
#endif
}
