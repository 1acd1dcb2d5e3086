#pragma once
#include <cstdint>
#include <vector>

#include "core/Random.h"
#include "engine/Bitmap.h"
#include "engine/Mesh.h"
#include "engine/Vector3.h"

// Builders and comparisons shared by the engine tests.

// A bitmap of the given size with every pixel from the show's random generator, seeded.
Bitmap randomBitmap(int32_t width, int32_t height, uint32_t seed);

// Whether two bitmaps have the same size and pixels.
bool sameBitmap(const Bitmap& a, const Bitmap& b);

// Number of pixels that differ from value.
int32_t countNot(const Bitmap& bitmap, uint32_t value);

// A mesh from triangles given as corner triples; vertices are not shared. Each triangle keeps
// the winding given; matrix is the identity.
Mesh meshOfTriangles(const std::vector<Vector3>& corners);

// The cube with corners at +-half as twelve triangles wound outward (two per side, each side's
// two triangles starting at the same corner).
Mesh cubeMesh(float half);

// A random float in [low, high) from the show's random generator.
float randomIn(float low, float high);
