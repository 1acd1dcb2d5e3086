#pragma once

// Sine, cosine, tangent, arc sine and arc tangent computed by our own code from plain IEEE double
// operations (argument reduction, polynomials, Newton steps), so that every platform, compiler and
// C runtime gives the same bits: the runtime libraries' own routines differ in the last bit, which
// would change textures and frames from one platform to another. The double routines are within a
// unit or two in the last place for the arguments the show uses (|x| below 2^20); the float ones
// are computed in double and rounded once, so they are the correctly rounded result all but
// very rarely.
//
// exp2 stands in for the runtime's pow(2, x): computed in double-double arithmetic and rounded
// once, it is the correctly rounded power of two for every argument the music player gives it.
namespace portable {

double sin(double x);
double cos(double x);
float sin(float x);
float cos(float x);
// sin(x) and cos(x) as the two above give them, from one argument reduction.
void sinCos(float x, float& sine, float& cosine);
// sinCos of x[0..3] into sines[0..3] and cosines[0..3]: the same values, four lanes at a time in
// AVX2 doubles where the processor has them, else two at a time in SSE2 ones where it exists, with
// the same operations in the same order.
void sinCosFour(const float* x, float* sines, float* cosines);
#if defined(__SSE2__)
// The two-lane version alone, for tests and benchmarks of the narrower path.
void sinCosFourSse2(const float* x, float* sines, float* cosines);
#endif
float tan(float x);
float asin(float x);
float atan2(float y, float x);
// 2 to the power x. Normal results are rounded once from about 100 correct bits; results below
// the normal range go through a second rounding; large arguments give infinity, NaN gives NaN.
double exp2(double x);
float exp2(float x);

}  // namespace portable
