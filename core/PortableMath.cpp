#include "core/PortableMath.h"

#include <cmath>
#include <cstdint>

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
