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
float tan(float x);
float asin(float x);
float atan2(float y, float x);
// 2 to the power x. Normal results are rounded once from about 100 correct bits; results below
// the normal range go through a second rounding; large arguments give infinity, NaN gives NaN.
double exp2(double x);
float exp2(float x);

}  // namespace portable
