#include "core/PortableMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/ProcessorFeatures.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if INTRO_AVX2_CODE
#include <immintrin.h>
#endif

namespace {

constexpr double pi = 3.14159265358979311600e+00;
constexpr double halfPi = 1.57079632679489655800e+00;
constexpr double twoOverPi = 6.36619772367581382433e-01;
// pi / 2 in three parts: two of 33 significant bits (exact in a double product with any reduction
// multiple below 2^20), and the rest rounded to a double.
constexpr double halfPi1 = 1.57079632673412561417e+00;
constexpr double halfPi2 = 6.07710050630396597660e-11;
constexpr double halfPi3 = 2.02226624879595063154e-21;

// Minimax polynomials for sin and cos on [-pi/4, pi/4].
constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03, S3 = -1.98412698298579493134e-04,
                 S4 = 2.75573137070700676789e-06, S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03, C3 = 2.48015872894767294178e-05,
                 C4 = -2.75573143513906633035e-07, C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;

double kernelSin(double r) {
    double z = r * r;
    return r + r * z * (S1 + z * (S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)))));
}

double kernelCos(double r) {
    double z = r * r;
    double half = 0.5 * z;
    double tail = z * z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * (C5 + z * C6)))));
    double w = 1.0 - half;
    // 1 - half loses bits of half; put them back with the tail.
    return w + (((1.0 - w) - half) + tail);
}

// x = quadrant * pi/2 + remainder, remainder in about [-pi/4, pi/4].
struct Reduced {
    int64_t quadrant;
    double remainder;
};

// nearbyint(v) in the default round-to-nearest-even mode. Below 2^51 in size, adding and taking
// off 1.5 * 2^52 rounds v to a whole number in that mode without a library call (the sign of a
// zero may differ, which changes nothing here); larger doubles are whole numbers or close to it.
double roundToWhole(double v) {
    constexpr double shifter = 0x1.8p52;
    return std::fabs(v) < 0x1p51 ? (v + shifter) - shifter : std::nearbyint(v);
}

Reduced reduce(double x) {
    double k = roundToWhole(x * twoOverPi);
    double r = ((x - k * halfPi1) - k * halfPi2) - k * halfPi3;
    return {int64_t(k), r};
}

double sinOfReduced(const Reduced& reduced) {
    switch (reduced.quadrant & 3) {
    case 0: return kernelSin(reduced.remainder);
    case 1: return kernelCos(reduced.remainder);
    case 2: return -kernelSin(reduced.remainder);
    default: return -kernelCos(reduced.remainder);
    }
}

// atan(t) for 0 <= t <= 1: a rough start refined by Newton steps on tan(y) = t with our own sine
// and cosine. Each step squares the error: 4 steps take the start's 1e-2 below 1e-17.
double atanUnit(double t) {
    double y = t * (0.7853981633974483 + 0.273 * (1.0 - t));
    for (int step = 0; step < 4; ++step) {
        double s = portable::sin(y), c = portable::cos(y);
        y -= (s - t * c) * c;
    }
    return y;
}

// atan2 in double for finite arguments.
double atan2Double(double y, double x) {
    if (y == 0.0) return std::signbit(x) ? std::copysign(pi, y) : y;
    if (x == 0.0) return std::copysign(halfPi, y);
    double ay = std::fabs(y), ax = std::fabs(x);
    double angle = ay <= ax ? atanUnit(ay / ax) : halfPi - atanUnit(ax / ay);
    if (x < 0.0) angle = pi - angle;
    return std::copysign(angle, y);
}

}  // namespace

namespace portable {

double sin(double x) {
    if (!std::isfinite(x)) return x - x;
    if (std::fabs(x) < 0x1p-27) return x;
    return sinOfReduced(reduce(x));
}

double cos(double x) {
    if (!std::isfinite(x)) return x - x;
    Reduced reduced = reduce(x);
    ++reduced.quadrant;  // cos x = sin(x + pi/2)
    return sinOfReduced(reduced);
}

float sin(float x) { return float(sin(double(x))); }

float cos(float x) { return float(cos(double(x))); }

void sinCos(float x, float& sine, float& cosine) {
    double v = double(x);
    if (!std::isfinite(v)) {
        sine = cosine = float(v - v);
        return;
    }
    Reduced reduced = reduce(v);
    sine = float(std::fabs(v) < 0x1p-27 ? v : sinOfReduced(reduced));
    ++reduced.quadrant;  // cos x = sin(x + pi/2)
    cosine = float(sinOfReduced(reduced));
}

float tan(float x) {
    if (!std::isfinite(x)) return x - x;
    Reduced reduced = reduce(double(x));
    double s = kernelSin(reduced.remainder), c = kernelCos(reduced.remainder);
    return float((reduced.quadrant & 1) ? -c / s : s / c);
}

float asin(float x) {
    double v = double(x);
    if (!(std::fabs(v) <= 1.0)) return (x - x) / (x - x);
    return float(atan2Double(v, std::sqrt((1.0 - v) * (1.0 + v))));
}

float atan2(float y, float x) {
    if (std::isnan(x) || std::isnan(y)) return x + y;
    if (std::isinf(y)) {
        double angle = std::isinf(x) ? (x > 0 ? pi / 4 : 3 * pi / 4) : halfPi;
        return float(std::copysign(angle, double(y)));
    }
    if (std::isinf(x)) return float(std::copysign(x > 0 ? 0.0 : pi, double(y)));
    return float(atan2Double(double(y), double(x)));
}

}  // namespace portable

// exp2 in double-double arithmetic: a value hi + lo with |lo| at most half a unit in hi's last
// place, about 106 significant bits. Every step is a plain IEEE double operation (no fused
// multiply-add: the build forbids contraction), so every platform gives the same bits.
namespace {

struct DoubleDouble {
    double hi;
    double lo;
};

DoubleDouble quickTwoSum(double a, double b) {  // |a| >= |b|
    double s = a + b;
    return {s, b - (s - a)};
}

DoubleDouble twoSum(double a, double b) {
    double s = a + b;
    double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// a split into two halves of 26 bits each, so that products of halves are exact.
DoubleDouble split(double a) {
    double c = 134217729.0 * a;  // 2^27 + 1
    double hi = c - (c - a);
    return {hi, a - hi};
}

DoubleDouble twoProduct(double a, double b) {
    double p = a * b;
    DoubleDouble x = split(a), y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

DoubleDouble multiply(DoubleDouble a, DoubleDouble b) {
    DoubleDouble p = twoProduct(a.hi, b.hi);
    return quickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

DoubleDouble add(DoubleDouble a, double b) {
    DoubleDouble s = twoSum(a.hi, b);
    return quickTwoSum(s.hi, s.lo + a.lo);
}

DoubleDouble divide(DoubleDouble a, double b) {
    double q = a.hi / b;
    DoubleDouble p = twoProduct(q, b);
    double rest = ((a.hi - p.hi) - p.lo) + a.lo;
    return quickTwoSum(q, rest / b);
}

// ln 2 in two parts.
constexpr DoubleDouble ln2{6.93147180559945286227e-01, 2.31904681384629955842e-17};

// 2^f for |f| <= 1/2: e^(f ln 2) by its Taylor series in Horner form; the 24 terms leave an error
// near 2^-115.
DoubleDouble exp2Fraction(double f) {
    DoubleDouble t = multiply(DoubleDouble{f, 0.0}, ln2);
    DoubleDouble sum{1.0, 0.0};
    for (int n = 24; n >= 1; --n) sum = add(divide(multiply(sum, t), double(n)), 1.0);
    return sum;
}

// 2^n as a double, for -1022 <= n <= 1023.
double powerOfTwo(int64_t n) {
    uint64_t bits = uint64_t(n + 1023) << 52;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// 2^x as a double-double hi + lo (before scaling by 2^n) with x = n + f.
struct Exp2Parts {
    DoubleDouble mantissa;
    int64_t exponent;
};

Exp2Parts exp2Parts(double x) {
    double n = std::nearbyint(x);
    return {exp2Fraction(x - n), int64_t(n)};  // x - n is exact
}

}  // namespace

namespace portable {

double exp2(double x) {
    if (std::isnan(x)) return x + x;
    if (x >= 1024.0) return HUGE_VAL;
    if (x < -1080.0) return 0.0;
    Exp2Parts parts = exp2Parts(x);
    double rounded = parts.mantissa.hi;  // hi is hi + lo rounded to nearest
    int64_t n = parts.exponent;
    if (n > 1023) return rounded * 2.0 * powerOfTwo(n - 1);
    if (n < -1021) return rounded * powerOfTwo(n + 64) * powerOfTwo(-64);
    return rounded * powerOfTwo(n);
}

float exp2(float x) {
    if (std::isnan(x)) return x + x;
    if (x >= 128.0f) return HUGE_VALF;
    if (x < -160.0f) return 0.0f;
    Exp2Parts parts = exp2Parts(double(x));
    // Rounding hi to float is rounding hi + lo, except when hi lies exactly halfway between two
    // floats: then lo decides, so hi is moved one double step towards it first.
    double hi = parts.mantissa.hi;
    uint64_t bits;
    std::memcpy(&bits, &hi, sizeof bits);
    if ((bits & 0x1FFFFFFF) == 0x10000000 && parts.mantissa.lo != 0.0) bits += parts.mantissa.lo > 0.0 ? 1 : -1;
    std::memcpy(&hi, &bits, sizeof hi);
    return float(hi * powerOfTwo(parts.exponent));
}

}  // namespace portable

#if defined(__SSE2__)
namespace {

// The lanes of a where mask is set, of b elsewhere.
inline __m128d select(__m128d mask, __m128d a, __m128d b) {
    return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
}

// kernelSin and kernelCos on two lanes, with the same operations in the same order.
inline __m128d kernelSinTwo(__m128d r) {
    __m128d z = _mm_mul_pd(r, r);
    __m128d p = _mm_add_pd(_mm_set1_pd(S5), _mm_mul_pd(z, _mm_set1_pd(S6)));
    p = _mm_add_pd(_mm_set1_pd(S4), _mm_mul_pd(z, p));
    p = _mm_add_pd(_mm_set1_pd(S3), _mm_mul_pd(z, p));
    p = _mm_add_pd(_mm_set1_pd(S2), _mm_mul_pd(z, p));
    p = _mm_add_pd(_mm_set1_pd(S1), _mm_mul_pd(z, p));
    return _mm_add_pd(r, _mm_mul_pd(_mm_mul_pd(r, z), p));
}

inline __m128d kernelCosTwo(__m128d r) {
    const __m128d one = _mm_set1_pd(1.0);
    __m128d z = _mm_mul_pd(r, r);
    __m128d half = _mm_mul_pd(_mm_set1_pd(0.5), z);
    __m128d p = _mm_add_pd(_mm_set1_pd(C5), _mm_mul_pd(z, _mm_set1_pd(C6)));
    p = _mm_add_pd(_mm_set1_pd(C4), _mm_mul_pd(z, p));
    p = _mm_add_pd(_mm_set1_pd(C3), _mm_mul_pd(z, p));
    p = _mm_add_pd(_mm_set1_pd(C2), _mm_mul_pd(z, p));
    p = _mm_add_pd(_mm_set1_pd(C1), _mm_mul_pd(z, p));
    __m128d tail = _mm_mul_pd(_mm_mul_pd(z, z), p);
    __m128d w = _mm_sub_pd(one, half);
    return _mm_add_pd(w, _mm_add_pd(_mm_sub_pd(_mm_sub_pd(one, w), half), tail));
}

// sinOfReduced on two lanes: by quadrant & 3, sin, cos, -sin or -cos of the remainder (quadrant
// given as the low bits of 32-bit lanes 0 and 1).
inline __m128d ofQuadrant(__m128i quadrant, __m128d sine, __m128d cosine) {
    // Each lane's 32-bit quadrant spread over its 64-bit lane.
    __m128i q = _mm_unpacklo_epi32(quadrant, quadrant);
    __m128d odd = _mm_castsi128_pd(_mm_cmpeq_epi32(_mm_and_si128(q, _mm_set1_epi32(1)), _mm_set1_epi32(1)));
    __m128d negative = _mm_castsi128_pd(_mm_cmpeq_epi32(_mm_and_si128(q, _mm_set1_epi32(2)), _mm_set1_epi32(2)));
    __m128d value = select(odd, cosine, sine);
    return _mm_xor_pd(value, _mm_and_pd(negative, _mm_set1_pd(-0.0)));
}

// Only arguments whose quadrant number fits 32 bits and whose reduction needs no library call go in
// lanes; anything else (beyond 2^30 in size, infinite, not a number) goes one by one.
inline bool inLanes(const float* x) {
    bool lanes = true;
    for (int i = 0; i < 4; ++i) lanes &= std::fabs(x[i]) < 0x1p30f;
    return lanes;
}

#if INTRO_AVX2_CODE
// The same four lanes at a time where the processor has AVX2 (only its 256-bit double operations
// are used; no fused multiply-add).
INTRO_AVX2_TARGET inline __m256d select4(__m256d mask, __m256d a, __m256d b) {
    return _mm256_or_pd(_mm256_and_pd(mask, a), _mm256_andnot_pd(mask, b));
}

INTRO_AVX2_TARGET inline __m256d kernelSinFour(__m256d r) {
    __m256d z = _mm256_mul_pd(r, r);
    __m256d p = _mm256_add_pd(_mm256_set1_pd(S5), _mm256_mul_pd(z, _mm256_set1_pd(S6)));
    p = _mm256_add_pd(_mm256_set1_pd(S4), _mm256_mul_pd(z, p));
    p = _mm256_add_pd(_mm256_set1_pd(S3), _mm256_mul_pd(z, p));
    p = _mm256_add_pd(_mm256_set1_pd(S2), _mm256_mul_pd(z, p));
    p = _mm256_add_pd(_mm256_set1_pd(S1), _mm256_mul_pd(z, p));
    return _mm256_add_pd(r, _mm256_mul_pd(_mm256_mul_pd(r, z), p));
}

INTRO_AVX2_TARGET inline __m256d kernelCosFour(__m256d r) {
    const __m256d one = _mm256_set1_pd(1.0);
    __m256d z = _mm256_mul_pd(r, r);
    __m256d half = _mm256_mul_pd(_mm256_set1_pd(0.5), z);
    __m256d p = _mm256_add_pd(_mm256_set1_pd(C5), _mm256_mul_pd(z, _mm256_set1_pd(C6)));
    p = _mm256_add_pd(_mm256_set1_pd(C4), _mm256_mul_pd(z, p));
    p = _mm256_add_pd(_mm256_set1_pd(C3), _mm256_mul_pd(z, p));
    p = _mm256_add_pd(_mm256_set1_pd(C2), _mm256_mul_pd(z, p));
    p = _mm256_add_pd(_mm256_set1_pd(C1), _mm256_mul_pd(z, p));
    __m256d tail = _mm256_mul_pd(_mm256_mul_pd(z, z), p);
    __m256d w = _mm256_sub_pd(one, half);
    return _mm256_add_pd(w, _mm256_add_pd(_mm256_sub_pd(_mm256_sub_pd(one, w), half), tail));
}

INTRO_AVX2_TARGET inline __m256d ofQuadrantFour(__m128i quadrant, __m256d sine, __m256d cosine) {
    __m256i q = _mm256_cvtepi32_epi64(quadrant);
    const __m256i one = _mm256_set1_epi64x(1), two = _mm256_set1_epi64x(2);
    __m256d odd = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(q, one), one));
    __m256d negative = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(q, two), two));
    return _mm256_xor_pd(select4(odd, cosine, sine), _mm256_and_pd(negative, _mm256_set1_pd(-0.0)));
}

INTRO_AVX2_TARGET void sinCosFourAvx2(const float* x, float* sines, float* cosines) {
    __m256d v = _mm256_cvtps_pd(_mm_loadu_ps(x));
    const __m256d shifter = _mm256_set1_pd(0x1.8p52);
    __m256d k = _mm256_sub_pd(_mm256_add_pd(_mm256_mul_pd(v, _mm256_set1_pd(twoOverPi)), shifter), shifter);
    __m256d r = _mm256_sub_pd(_mm256_sub_pd(_mm256_sub_pd(v, _mm256_mul_pd(k, _mm256_set1_pd(halfPi1))),
                                            _mm256_mul_pd(k, _mm256_set1_pd(halfPi2))),
                              _mm256_mul_pd(k, _mm256_set1_pd(halfPi3)));
    __m128i quadrant = _mm256_cvttpd_epi32(k);
    __m256d s = kernelSinFour(r), c = kernelCosFour(r);
    __m256d sine = ofQuadrantFour(quadrant, s, c);
    __m256d cosine = ofQuadrantFour(_mm_add_epi32(quadrant, _mm_set1_epi32(1)), s, c);
    __m256d tiny = _mm256_cmp_pd(_mm256_andnot_pd(_mm256_set1_pd(-0.0), v), _mm256_set1_pd(0x1p-27), _CMP_LT_OQ);
    sine = select4(tiny, v, sine);
    _mm_storeu_ps(sines, _mm256_cvtpd_ps(sine));
    _mm_storeu_ps(cosines, _mm256_cvtpd_ps(cosine));
}
#endif

}  // namespace
#endif

namespace portable {

#if defined(__SSE2__)
void sinCosFourSse2(const float* x, float* sines, float* cosines) {
    if (!inLanes(x)) {
        for (int i = 0; i < 4; ++i) sinCos(x[i], sines[i], cosines[i]);
        return;
    }
    for (int pair = 0; pair < 4; pair += 2) {
        __m128d v = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(x + pair))));
        const __m128d shifter = _mm_set1_pd(0x1.8p52);
        __m128d k = _mm_sub_pd(_mm_add_pd(_mm_mul_pd(v, _mm_set1_pd(twoOverPi)), shifter), shifter);
        __m128d r = _mm_sub_pd(
            _mm_sub_pd(_mm_sub_pd(v, _mm_mul_pd(k, _mm_set1_pd(halfPi1))), _mm_mul_pd(k, _mm_set1_pd(halfPi2))),
            _mm_mul_pd(k, _mm_set1_pd(halfPi3)));
        __m128i quadrant = _mm_cvttpd_epi32(k);
        __m128d s = kernelSinTwo(r), c = kernelCosTwo(r);
        __m128d sine = ofQuadrant(quadrant, s, c);
        __m128d cosine = ofQuadrant(_mm_add_epi32(quadrant, _mm_set1_epi32(1)), s, c);
        // Below 2^-27 in size the sine is the argument itself.
        __m128d tiny = _mm_cmplt_pd(_mm_andnot_pd(_mm_set1_pd(-0.0), v), _mm_set1_pd(0x1p-27));
        sine = select(tiny, v, sine);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(sines + pair), _mm_castps_si128(_mm_cvtpd_ps(sine)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(cosines + pair), _mm_castps_si128(_mm_cvtpd_ps(cosine)));
    }
}
#endif

void sinCosFour(const float* x, float* sines, float* cosines) {
#if INTRO_AVX2_CODE
    if (ProcessorFeatures::current().avx2 && inLanes(x)) {
        sinCosFourAvx2(x, sines, cosines);
        return;
    }
#endif
#if defined(__SSE2__)
    sinCosFourSse2(x, sines, cosines);
#else
    for (int i = 0; i < 4; ++i) sinCos(x[i], sines[i], cosines[i]);
#endif
}

}  // namespace portable
