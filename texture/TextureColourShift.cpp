#include "texture/TextureColour.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void shiftHsvPlain(uint32_t* pixels, int count, HsvComponent component, float amount) {
    for (int i = 0; i < count; ++i) {
        TextureHsv hsv = rgbToHsv(pixels[i]);
        switch (component) {
        case HsvComponent::hue: hsv.h += amount; break;
        case HsvComponent::saturation: hsv.s += amount; break;
        case HsvComponent::value: hsv.v += amount; break;
        }
        pixels[i] = hsvToRgb(hsv.h, hsv.s, hsv.v);
    }
}

#if defined(__SSE2__)
namespace {

// The lanes of a where mask is set, of b elsewhere.
inline __m128 select(__m128 mask, __m128 a, __m128 b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }

inline bool anyLane(__m128 mask) { return _mm_movemask_ps(mask) != 0; }

// Adds 360 to each lane while it is below 0, then takes 360 off while it is 360 or more: one lane
// at a time the same additions as the plain loops make.
inline __m128 foldDegrees(__m128 h) {
    const __m128 turn = _mm_set1_ps(360.0f);
    for (__m128 below = _mm_cmplt_ps(h, _mm_setzero_ps()); anyLane(below); below = _mm_cmplt_ps(h, _mm_setzero_ps()))
        h = select(below, _mm_add_ps(h, turn), h);
    for (__m128 above = _mm_cmpge_ps(h, turn); anyLane(above); above = _mm_cmpge_ps(h, turn))
        h = select(above, _mm_sub_ps(h, turn), h);
    return h;
}

struct HsvLanes {
    __m128 h, s, v;
};

// rgbToHsv of four pixels.
inline HsvLanes toHsv(__m128i pixels) {
    const __m128i byte = _mm_set1_epi32(0xFF);
    __m128 r = _mm_cvtepi32_ps(_mm_and_si128(pixels, byte));
    __m128 g = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(pixels, 8), byte));
    __m128 b = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(pixels, 16), byte));
    __m128 max = _mm_max_ps(_mm_max_ps(r, g), b), min = _mm_min_ps(_mm_min_ps(r, g), b);
    __m128 zero = _mm_setzero_ps();
    HsvLanes hsv;
    hsv.v = max;
    hsv.s = _mm_and_ps(_mm_cmpneq_ps(max, zero), _mm_div_ps(_mm_sub_ps(max, min), max));
    __m128 grey = _mm_cmpeq_ps(hsv.s, zero);
    __m128 d = _mm_sub_ps(max, min);
    // Red the largest: (g - b) / d; else green: 2 + (b - r) / d; else 4 + (r - g) / d. The
    // quotient is chosen before the one division; adding 0 for red changes nothing, as the
    // quotient is never -0.
    __m128 redLargest = _mm_cmpeq_ps(r, max), greenLargest = _mm_andnot_ps(redLargest, _mm_cmpeq_ps(g, max));
    __m128 blueLargest = _mm_andnot_ps(_mm_or_ps(redLargest, greenLargest), _mm_castsi128_ps(_mm_set1_epi32(-1)));
    __m128 numerator = select(redLargest, _mm_sub_ps(g, b), select(greenLargest, _mm_sub_ps(b, r), _mm_sub_ps(r, g)));
    __m128 base = _mm_or_ps(_mm_and_ps(greenLargest, _mm_set1_ps(2.0f)), _mm_and_ps(blueLargest, _mm_set1_ps(4.0f)));
    __m128 h = _mm_add_ps(base, _mm_div_ps(numerator, d));
    h = _mm_mul_ps(h, _mm_set1_ps(60.0f));
    // Greys have no hue (their quotients are 0 / 0): they are folded as 0 and become -1.
    h = foldDegrees(_mm_andnot_ps(grey, h));
    hsv.h = select(grey, _mm_set1_ps(-1.0f), h);
    return hsv;
}

// clampByte(trunc(x)) for each lane; not a number gives 0.
inline __m128i truncToBytes(__m128 x) {
    return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(x, _mm_setzero_ps()), _mm_set1_ps(255.0f)));
}

// hsvToRgb of four pixels.
inline __m128i toRgb(HsvLanes hsv) {
    const __m128 one = _mm_set1_ps(1.0f);
    __m128 h = foldDegrees(hsv.h), s = hsv.s, v = hsv.v;
    __m128 q = _mm_div_ps(h, _mm_set1_ps(60.0f));
    __m128i sector = _mm_cvttps_epi32(q);  // floor, as q is 0 or more
    __m128 f = _mm_sub_ps(q, _mm_cvtepi32_ps(sector));
    __m128 p = _mm_mul_ps(v, _mm_sub_ps(one, s));
    __m128 qq = _mm_mul_ps(v, _mm_sub_ps(one, _mm_mul_ps(s, f)));
    __m128 t = _mm_mul_ps(v, _mm_sub_ps(one, _mm_mul_ps(s, _mm_sub_ps(one, f))));
    // Sector 6 (a hue a hair below 360 rounding q up) is sector 0 again.
    auto in = [sector](int a, int b) {
        return _mm_castsi128_ps(
            _mm_or_si128(_mm_cmpeq_epi32(sector, _mm_set1_epi32(a)), _mm_cmpeq_epi32(sector, _mm_set1_epi32(b))));
    };
    __m128 s0 = in(0, 6), s1 = in(1, 1), s2 = in(2, 2), s3 = in(3, 3), s4 = in(4, 4);
    // By sector: 0 (v, t, p), 1 (qq, v, p), 2 (p, v, t), 3 (p, qq, v), 4 (t, p, v), 5 (v, p, qq).
    __m128 r = select(s0, v, select(s1, qq, select(s2, p, select(s3, p, select(s4, t, v)))));
    __m128 g = select(s0, t, select(s1, v, select(s2, v, select(s3, qq, select(s4, p, p)))));
    __m128 b = select(s0, p, select(s1, p, select(s2, t, select(s3, v, select(s4, v, qq)))));
    __m128 flat = _mm_cmpeq_ps(s, _mm_setzero_ps());
    r = select(flat, v, r);
    g = select(flat, v, g);
    b = select(flat, v, b);
    return _mm_or_si128(_mm_or_si128(truncToBytes(r), _mm_slli_epi32(truncToBytes(g), 8)),
                        _mm_slli_epi32(truncToBytes(b), 16));
}

}  // namespace

void shiftHsv(uint32_t* pixels, int count, HsvComponent component, float amount) {
    const __m128 shift = _mm_set1_ps(amount);
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        HsvLanes hsv = toHsv(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i)));
        switch (component) {
        case HsvComponent::hue: hsv.h = _mm_add_ps(hsv.h, shift); break;
        case HsvComponent::saturation: hsv.s = _mm_add_ps(hsv.s, shift); break;
        case HsvComponent::value: hsv.v = _mm_add_ps(hsv.v, shift); break;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i), toRgb(hsv));
    }
    shiftHsvPlain(pixels + i, count - i, component, amount);
}
#else
void shiftHsv(uint32_t* pixels, int count, HsvComponent component, float amount) {
    shiftHsvPlain(pixels, count, component, amount);
}
#endif
