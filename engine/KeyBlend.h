#pragma once
#include "engine/Vector3.h"

// The two curves a key track is evaluated with.

// The fraction t (0..1 between two keys) reshaped by the start key's ease-out a and the end key's
// ease-in b: a quadratic start over [0, a], a straight middle, a quadratic arrival over [1 - b, 1]
// mirroring the start, joined with matching values and slopes. Eases that sum to 0 leave t as it is;
// eases summing past 1 are scaled down to sum to 1.
float easeCurve(float t, float easeOut, float easeIn);

// The cubic Hermite blend per coordinate from p0 (leaving with tangent m0) to p1 (arriving with m1)
// at s: p0 at s = 0, p1 at s = 1.
Vector3 hermiteBlend(Vector3 p0, Vector3 m0, Vector3 p1, Vector3 m1, float s);
