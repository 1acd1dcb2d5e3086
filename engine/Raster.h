#pragma once
#include <cstdint>

#include "engine/Bitmap.h"

// One screen-space triangle as the rasteriser takes it (seventeen 32-bit words).
struct RasterTriangle {
    float x0 = 0.0f, y0 = 0.0f, z0 = 0.0f;  // corner 0: screen x, y in pixels, camera depth z
    float x1 = 0.0f, y1 = 0.0f, z1 = 0.0f;  // corner 1
    float x2 = 0.0f, y2 = 0.0f, z2 = 0.0f;  // corner 2
    float u0 = 0.0f, u1 = 0.0f, u2 = 0.0f;  // texture u per corner, 0..1 (texel units after drawing)
    float v0 = 0.0f, v1 = 0.0f, v2 = 0.0f;  // texture v per corner
    uint32_t colour = 0;                    // XRGB fill colour, modes 1-4
    const uint32_t* texture = nullptr;      // 256 x 256 XRGB texels, row-major (v row, u column), modes 5-6
};

// Fill modes; any other value draws nothing.
enum RasterMode : int32_t {
    rasterSolid = 1,         // flat colour
    rasterHalf = 2,          // flat colour averaged with the target (top byte 0)
    rasterSolidDepth = 3,    // flat colour, depth-tested and written
    rasterHalfDepth = 4,     // averaged, depth-tested and written
    rasterTextured = 5,      // affine texture copy
    rasterTexturedAlso = 6,  // identical to 5
};

// Depth written into a DepthBuffer: toFixed16 of camera z, smaller is nearer.
constexpr int32_t depthCleared = 0x0FFFFFFF;

// Scan-converts triangle into target in the given mode. depth is the target-sized DepthBuffer
// (read only in modes 3 and 4; may be null otherwise, and a null buffer there draws nothing).
// Multiplies the triangle's u and v by 255 in place, whatever the mode. A pixel row r is covered
// from floorByRound of the top corner's y, and each span from floorByRound(left x) up to, not
// including, floorByRound(right x), with the edges pre-stepped to the next whole y. Rows and
// columns outside the target are skipped, so any input is safe.
void rasterizeTriangle(Bitmap& target, int32_t* depth, RasterTriangle& triangle, int32_t mode);
