#pragma once
#include <cstdint>

#include "engine/Plane.h"

// A polygon corner while clipping: camera-space x, y, z, then texture u, v.
struct ClipVertex {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float u = 0.0f, v = 0.0f;
};

// Size of the polygon arrays callers pass in. Clipping a convex polygon against one plane adds at
// most one vertex, so a triangle ends with at most 8 and a quadrilateral with at most 9; the
// clipper never writes more than this many entries whatever its input.
constexpr int32_t clipPolygonCapacity = 32;

// out[i] = a[i] + t * (b[i] - a[i]) for i < count.
void lerpFloats(float* out, const float* a, const float* b, int32_t count, float t);

// One Sutherland-Hodgman pass: clips the n-vertex polygon input against plane into output and
// returns the new count (n is taken as at most clipPolygonCapacity; 0 gives 0). A vertex exactly
// on the plane is not kept as an inside vertex, but counts as inside when deciding whether an
// edge crosses, so an edge from it to an outside vertex yields the vertex itself (t = 0).
int32_t clipToPlane(const Plane& plane, const ClipVertex* input, ClipVertex* output, int32_t n);
