#include "core/PortableMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>

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

Reduced reduce(double x) {
    double k = std::nearbyint(x * twoOverPi);
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
