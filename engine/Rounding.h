#pragma once
#include <cmath>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The engine's float-to-integer conversions. "Round" is round to nearest with ties to even.
// A value that is NaN, infinite or outside the 32-bit range gives INT32_MIN, the value the
// processor's own conversion yields, so no input is undefined behaviour.

// round(x), ties to even, without SSE2 instructions (relies on the default rounding mode).
inline int32_t roundNearestPlain(float x) {
    if (!(x >= -2147483648.0f && x < 2147483648.0f)) return INT32_MIN;
    return static_cast<int32_t>(std::nearbyint(x));
}

// round(x), ties to even; the same results as roundNearestPlain.
inline int32_t roundNearest(float x) {
#if defined(__SSE2__)
    return _mm_cvtss_si32(_mm_set_ss(x));  // uses the default round-to-nearest-even mode
#else
    return roundNearestPlain(x);
#endif
}

// round(x - 0.5), ties to even: floor(x) for a fraction, but 2.0 -> 2 and 3.0 -> 2.
inline int32_t floorByRound(float x) { return roundNearest(x - 0.5f); }

// round(x), ties to even, for a double: the same rules as roundNearest.
inline int32_t roundNearestWide(double x) {
    if (!(x >= -2147483648.0 && x < 2147483647.5)) return INT32_MIN;
#if defined(__SSE2__)
    return _mm_cvtsd_si32(_mm_set_sd(x));  // uses the default round-to-nearest-even mode
#else
    return static_cast<int32_t>(std::nearbyint(x));
#endif
}

// round(x * 65535): 16.16 fixed point with the scale 65535, so toFixed16(1.0) is 0x0000FFFF.
// The product is taken exactly (a float times 65535 needs at most 40 bits, which a double holds),
// as the wider intermediate of a 32-bit x86 float unit gives it; a float product would round
// before the conversion does, losing ties (0.3f) and, past 2^24, every odd result (depths).
inline int32_t toFixed16(float x) { return roundNearestWide(double(x) * 65535.0); }

// 1 if x >= 0, else -1 (NaN gives -1).
inline int32_t signOf(float x) { return x >= 0.0f ? 1 : -1; }

// trunc(x) toward zero, with INT32_MIN for NaN, infinities and values outside the 32-bit range.
inline int32_t truncateToInt(float x) {
    if (!(x > -2147483904.0f && x < 2147483648.0f)) return INT32_MIN;
    return static_cast<int32_t>(x);
}
