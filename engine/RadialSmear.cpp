#include <algorithm>
#include <vector>

#include "core/ProcessorFeatures.h"
#include "engine/Draw2D.h"
#include "engine/PixelLanes.h"
#include "engine/Rounding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if INTRO_AVX2_CODE
#include <immintrin.h>
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
// How the four sources of a group of four columns are read (the same for every row). The zoom moves
// a column's source one column less every 1/scale columns, so a group's sources are mostly four
// neighbours, or four neighbours where one repeats the one before it: one load of the four from
// first, and the lanes from a repeat on take the lane below instead. Any other group is gathered.
struct SourceGroup {
    int32_t first = 0;
    bool gathered = false;
    __m128i repeat = _mm_setzero_si128();  // all ones in the lanes that take the lane below
};

std::vector<SourceGroup> sourceGroups(const SmearSetup& setup, int32_t width) {
    std::vector<SourceGroup> groups(size_t(width / 4));
    const int32_t* source = setup.columnSource.data();
    for (size_t g = 0; g < groups.size(); ++g) {
        const int32_t* s = source + 4 * g;
        SourceGroup& group = groups[g];
        group.first = s[0];
        int32_t repeats = 0, lanes[4] = {0, 0, 0, 0};
        for (int j = 1; j < 4; ++j) {
            int32_t advance = s[j] - s[j - 1];
            if (advance == 0) ++repeats;
            if ((advance != 0 && advance != 1) || repeats > 1) group.gathered = true;
            lanes[j] = repeats > 0 ? -1 : 0;
        }
        if (s[0] + 3 >= width) group.gathered = true;  // the load would leave the row
        group.repeat = _mm_set_epi32(lanes[3], lanes[2], lanes[1], lanes[0]);
    }
    return groups;
}

// Blends four pixels in 16-bit lanes: (d * keep) >> 8 + (s * weight) >> 8, each product's high
// half with the byte in the upper half of its lane, packed back to bytes (the sums stay below 255).
inline __m128i blendFour(__m128i d, __m128i s, __m128i keep, __m128i weight) {
    __m128i zero = _mm_setzero_si128();
    __m128i low = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(zero, d), keep),
                                _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, s), weight));
    __m128i high = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpackhi_epi8(zero, d), keep),
                                 _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, s), weight));
    return _mm_packus_epi16(low, high);
}

// Row r from a different row sr: no pixel of the row reads another pixel of the same row, so the
// order within the row does not matter and four pixels go at a time.
void smearRowPacked(Bitmap& bitmap, const SmearSetup& setup, const std::vector<SourceGroup>& groups, int32_t r,
                    int32_t sr) {
    uint32_t* row = bitmap.pixels + int64_t(r) * bitmap.width;
    const uint32_t* source = bitmap.pixels + int64_t(sr) * bitmap.width;
    const int32_t* columnSource = setup.columnSource.data();
    __m128i keep = _mm_set1_epi16(int16_t(255 - setup.weight));
    __m128i weight = _mm_set1_epi16(int16_t(setup.weight));
    // (The group count is read once: the stores into the row could otherwise be the vector's own.)
    const SourceGroup* group = groups.data();
    const int32_t grouped = int32_t(4 * groups.size());
    for (int32_t c = 0; c < grouped; c += 4, ++group) {
        __m128i s;
        if (group->gathered) {
            s = _mm_set_epi32(int32_t(source[columnSource[c + 3]]), int32_t(source[columnSource[c + 2]]),
                              int32_t(source[columnSource[c + 1]]), int32_t(source[columnSource[c]]));
        } else {
            __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + group->first));
            s = _mm_or_si128(_mm_andnot_si128(group->repeat, four),
                             _mm_and_si128(group->repeat, _mm_slli_si128(four, 4)));
        }
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + c));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + c), blendFour(d, s, keep, weight));
    }
    for (int32_t c = grouped; c < bitmap.width; ++c) row[c] = blendPixel(row[c], source[columnSource[c]], setup.weight);
}

// Which runs of four columns a row that reads itself can smear at once. In the in-place order (the
// left part from cx - 1 down, then the right part from cx up) four pixels may go together when none
// of them reads another of the four: each reads itself, still unsmeared, or a pixel the order has
// smeared before the four. rightFree[c]: columns c .. c + 3 of the right part; leftFree[c]:
// columns c - 3 .. c of the left part.
struct InOrderRuns {
    std::vector<uint8_t> rightFree, leftFree;
};

InOrderRuns inOrderRuns(const SmearSetup& setup, int32_t width) {
    InOrderRuns runs{std::vector<uint8_t>(size_t(width), 0), std::vector<uint8_t>(size_t(width), 0)};
    const int32_t* source = setup.columnSource.data();
    for (int32_t c = setup.cx; c + 4 <= width; ++c) {
        bool free = true;
        for (int32_t i = 0; i < 4; ++i) free &= source[c + i] == c + i || source[c + i] < c;
        runs.rightFree[size_t(c)] = free;
    }
    for (int32_t c = setup.cx - 1; c >= 3; --c) {
        bool free = true;
        for (int32_t i = 0; i < 4; ++i) free &= source[c - i] == c - i || source[c - i] > c;
        runs.leftFree[size_t(c)] = free;
    }
    return runs;
}

// Row r reading itself, in the in-place order, four pixels at a time where the runs allow.
void smearRowInOrderPacked(Bitmap& bitmap, const SmearSetup& setup, const InOrderRuns& runs, int32_t r) {
    uint32_t* row = bitmap.pixels + int64_t(r) * bitmap.width;
    const int32_t* columnSource = setup.columnSource.data();
    __m128i keep = _mm_set1_epi16(int16_t(255 - setup.weight));
    __m128i weight = _mm_set1_epi16(int16_t(setup.weight));
    auto blendRun = [&](int32_t first) {  // columns first .. first + 3
        const int32_t* s = columnSource + first;
        __m128i sources = _mm_set_epi32(int32_t(row[s[3]]), int32_t(row[s[2]]), int32_t(row[s[1]]), int32_t(row[s[0]]));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + first));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + first), blendFour(d, sources, keep, weight));
    };
    for (int32_t c = setup.cx - 1; c >= 0;) {
        if (runs.leftFree[size_t(c)]) {
            blendRun(c - 3);
            c -= 4;
        } else {
            row[c] = lanes::blend(row[c], row[columnSource[c]], setup.weight);
            --c;
        }
    }
    for (int32_t c = setup.cx; c < bitmap.width;) {
        if (runs.rightFree[size_t(c)]) {
            blendRun(c);
            c += 4;
        } else {
            row[c] = lanes::blend(row[c], row[columnSource[c]], setup.weight);
            ++c;
        }
    }
}
#endif

#if INTRO_AVX2_CODE
// Eight columns a step where the processor has AVX2. A group's eight sources lie within eight
// neighbours from its first (the zoom repeats at most one column in eight): one load of the eight
// and one permutation put each where it is read. Any other group is gathered.
struct SourceGroupEight {
    int32_t first = 0;
    bool gathered = false;
    int32_t lanes[8] = {};  // source column - first, per column of the group
};

std::vector<SourceGroupEight> sourceGroupsEight(const SmearSetup& setup, int32_t width) {
    std::vector<SourceGroupEight> groups(size_t(width / 8));
    const int32_t* source = setup.columnSource.data();
    for (size_t g = 0; g < groups.size(); ++g) {
        const int32_t* s = source + 8 * g;
        SourceGroupEight& group = groups[g];
        group.first = *std::min_element(s, s + 8);
        for (int j = 0; j < 8; ++j) {
            group.lanes[j] = s[j] - group.first;
            if (group.lanes[j] > 7) group.gathered = true;
        }
        if (group.first + 7 >= width) group.gathered = true;  // the load would leave the row
    }
    return groups;
}

// smearRowPacked with eight pixels a step; in 256-bit lanes the unpacks and the pack work within
// each half alike, so the order comes out as it went in.
INTRO_AVX2_TARGET void smearRowPackedAvx2(Bitmap& bitmap, const SmearSetup& setup,
                                          const std::vector<SourceGroupEight>& groups, int32_t r, int32_t sr) {
    uint32_t* row = bitmap.pixels + int64_t(r) * bitmap.width;
    const uint32_t* source = bitmap.pixels + int64_t(sr) * bitmap.width;
    const int32_t* columnSource = setup.columnSource.data();
    const __m256i keep = _mm256_set1_epi16(int16_t(255 - setup.weight));
    const __m256i weight = _mm256_set1_epi16(int16_t(setup.weight));
    const __m256i zero = _mm256_setzero_si256();
    const SourceGroupEight* group = groups.data();
    const int32_t grouped = int32_t(8 * groups.size());
    for (int32_t c = 0; c < grouped; c += 8, ++group) {
        __m256i s;
        if (group->gathered) {
            const int32_t* cs = columnSource + c;
            s = _mm256_setr_epi32(int32_t(source[cs[0]]), int32_t(source[cs[1]]), int32_t(source[cs[2]]),
                                  int32_t(source[cs[3]]), int32_t(source[cs[4]]), int32_t(source[cs[5]]),
                                  int32_t(source[cs[6]]), int32_t(source[cs[7]]));
        } else {
            __m256i eight = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + group->first));
            s = _mm256_permutevar8x32_epi32(eight, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group->lanes)));
        }
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + c));
        __m256i low = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, d), keep),
                                       _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, s), weight));
        __m256i high = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, d), keep),
                                        _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, s), weight));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + c), _mm256_packus_epi16(low, high));
    }
    for (int32_t c = grouped; c < bitmap.width; ++c) row[c] = blendPixel(row[c], source[columnSource[c]], setup.weight);
}
#endif

// Lower half outward (rows cy + 1 down the bitmap), then the upper half outward (cy up to 0); a
// row that reads itself goes through sameRow(r), any other through otherRow(r, sr).
template <typename SameRow, typename OtherRow>
void smear(Bitmap& bitmap, const SmearSetup& setup, SameRow sameRow, OtherRow otherRow) {
    uint32_t k = 0;
    for (int32_t r = setup.cy + 1; r < bitmap.height; ++r, ++k) {
        int32_t sr = std::clamp(r + offset824(0u - k * setup.step), 0, bitmap.height - 1);
        if (sr == r)
            sameRow(r);
        else
            otherRow(r, sr);
    }
    k = 0;
    for (int32_t r = setup.cy; r >= 0; --r, ++k) {
        int32_t sr = std::clamp(r + offset824(k * setup.step), 0, bitmap.height - 1);
        if (sr == r)
            sameRow(r);
        else
            otherRow(r, sr);
    }
}

}  // namespace

void radialSmearPlain(Bitmap& bitmap, int32_t cx, int32_t cy, float scale, float amount) {
    SmearSetup setup;
    if (!prepare(bitmap, cx, cy, scale, amount, setup)) return;
    auto inOrder = [&](int32_t r, int32_t sr) { smearRowInOrder(bitmap, setup, r, sr); };
    smear(
        bitmap, setup, [&](int32_t r) { inOrder(r, r); }, inOrder);
}

#if defined(__SSE2__)
namespace {

void smearPacked(bool useAvx2, Bitmap& bitmap, int32_t cx, int32_t cy, float scale, float amount) {
    SmearSetup setup;
    if (!prepare(bitmap, cx, cy, scale, amount, setup)) return;
    InOrderRuns runs = inOrderRuns(setup, bitmap.width);
    auto inOrder = [&](int32_t r) { smearRowInOrderPacked(bitmap, setup, runs, r); };
#if INTRO_AVX2_CODE
    if (useAvx2 && ProcessorFeatures::current().avx2) {
        std::vector<SourceGroupEight> groups = sourceGroupsEight(setup, bitmap.width);
        smear(bitmap, setup, inOrder, [&](int32_t r, int32_t sr) { smearRowPackedAvx2(bitmap, setup, groups, r, sr); });
        return;
    }
#else
    (void)useAvx2;
#endif
    std::vector<SourceGroup> groups = sourceGroups(setup, bitmap.width);
    smear(bitmap, setup, inOrder, [&](int32_t r, int32_t sr) { smearRowPacked(bitmap, setup, groups, r, sr); });
}

}  // namespace

void radialSmearSse2(Bitmap& bitmap, int32_t cx, int32_t cy, float scale, float amount) {
    smearPacked(false, bitmap, cx, cy, scale, amount);
}
#endif

void radialSmear(Bitmap& bitmap, int32_t cx, int32_t cy, float scale, float amount) {
#if defined(__SSE2__)
    smearPacked(true, bitmap, cx, cy, scale, amount);
#else
    radialSmearPlain(bitmap, cx, cy, scale, amount);
#endif
}
