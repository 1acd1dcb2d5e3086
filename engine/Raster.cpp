#include "engine/Raster.h"

#include <algorithm>
#include <cmath>

#include "engine/Rounding.h"

// Triangle setup fills RasterState; the SpanFillers read it, draw the rows [first, end) and leave
// the edges stepped past them, so a second section continues where the first one stopped.
//
//        0            corner 0 is the top, 2 the bottom after the sort; the long edge 0-2
//       / \           is on one side, the edges 0-1 and 1-2 on the other. Rows
//      /   1          [r0, r1) use edge 0-1, rows [r1, r2) edge 1-2; r = floorByRound(y)
//     /  /            and each edge starts pre-stepped to ceil(y) of its top corner.
//      2
namespace {

using SpanFiller = void (*)(int32_t first, int32_t end, uint32_t colour);

struct RasterState {
    int32_t pitch = 0;   // target width in pixels
    int32_t height = 0;  // target rows; rows outside [0, height) are skipped
    uint32_t* pixels = nullptr;
    int32_t* depth = nullptr;
    const uint32_t* texture = nullptr;
    float xLeft = 0, xLeftStep = 0, xRight = 0, xRightStep = 0;  // edge x and its per-row step
    float zLeft = 0, zLeftStep = 0;
    int32_t zStep = 0;  // per-pixel depth step, toFixed16 units
    float uLeft = 0, uLeftStep = 0, vLeft = 0, vLeftStep = 0;
    float du = 0, dv = 0;              // per-pixel texel steps
    int32_t duFixed = 0, dvFixed = 0;  // the same in toFixed16 units
    SpanFiller filler = nullptr;
};

RasterState state;

// Rows and span ends are computed from coordinates limited to +-2^24, which leaves every value a
// caller keeps inside the target unchanged and keeps the integer arithmetic below in range.
constexpr float coordinateLimit = 16777216.0f;

int32_t pixelIndex(float coordinate) {
    if (!(coordinate > -coordinateLimit)) coordinate = -coordinateLimit;  // NaN included
    if (coordinate > coordinateLimit) coordinate = coordinateLimit;
    return floorByRound(coordinate);
}

// Rows of [first, end) that lie above the target: the edges are stepped past them at once.
int64_t rowsAbove(int32_t first, int32_t end) { return first < 0 ? int64_t(std::min(end, 0)) - first : 0; }

void stepEdgesX(float rows) {
    state.xLeft += rows * state.xLeftStep;
    state.xRight += rows * state.xRightStep;
}

// The pixel columns [xs, xe) of one row, limited to the target. skipped is how many columns the
// limit cut off at the left.
struct Span {
    int32_t xs, xe;
    int64_t skipped;
};

Span spanOfRow() {
    int32_t xs = pixelIndex(state.xLeft), xe = pixelIndex(state.xRight);
    int32_t start = std::max(xs, 0), end = std::min(xe, state.pitch);
    return {start, end, int64_t(start) - xs};
}

uint32_t halfBlend(uint32_t colour, uint32_t pixel) { return ((colour >> 1) & 0x7F7F7F) + ((pixel >> 1) & 0x7F7F7F); }

// What a flat fill leaves in a pixel: the colour, or (half) the colour averaged with the pixel.
template <bool half>
uint32_t shade(uint32_t colour, uint32_t pixel) {
    return half ? halfBlend(colour, pixel) : colour;
}

template <bool half>
void fillFlat(int32_t first, int32_t end, uint32_t colour) {
    if (first >= end) return;
    if (int64_t above = rowsAbove(first, end)) stepEdgesX(float(above));
    for (int32_t r = std::max(first, 0); r < std::min(end, state.height); ++r) {
        Span span = spanOfRow();
        uint32_t* row = state.pixels + int64_t(r) * state.pitch;
        for (int32_t x = span.xs; x < span.xe; ++x) row[x] = shade<half>(colour, row[x]);
        stepEdgesX(1.0f);
    }
}

template <bool half>
void fillDepth(int32_t first, int32_t end, uint32_t colour) {
    if (first >= end) return;
    if (int64_t above = rowsAbove(first, end)) {
        stepEdgesX(float(above));
        state.zLeft += float(above) * state.zLeftStep;
    }
    for (int32_t r = std::max(first, 0); r < std::min(end, state.height); ++r) {
        Span span = spanOfRow();
        uint32_t* row = state.pixels + int64_t(r) * state.pitch;
        int32_t* depthRow = state.depth + int64_t(r) * state.pitch;
        // d grows by zStep after every pixel, drawn or not (32-bit wrap-around).
        uint32_t d = uint32_t(toFixed16(state.zLeft)) + uint32_t(span.skipped) * uint32_t(state.zStep);
        for (int32_t x = span.xs; x < span.xe; ++x) {
            if (depthRow[x] > int32_t(d)) {
                row[x] = shade<half>(colour, row[x]);
                depthRow[x] = int32_t(d);
            }
            d += uint32_t(state.zStep);
        }
        stepEdgesX(1.0f);
        state.zLeft += state.zLeftStep;
    }
}

void fillTextured(int32_t first, int32_t end, uint32_t) {
    if (first >= end) return;
    if (int64_t above = rowsAbove(first, end)) {
        stepEdgesX(float(above));
        state.uLeft += float(above) * state.uLeftStep;
        state.vLeft += float(above) * state.vLeftStep;
    }
    const uint32_t* texels = state.texture;
    for (int32_t r = std::max(first, 0); r < std::min(end, state.height); ++r) {
        Span span = spanOfRow();
        uint32_t* row = state.pixels + int64_t(r) * state.pitch;
        // U and V are 16.16 texel coordinates (scale 65535) that wrap around at 32 bits.
        float pre = std::ceil(state.xLeft) - state.xLeft;
        uint32_t skipped = uint32_t(span.skipped);
        uint32_t u = uint32_t(toFixed16(state.uLeft + pre * state.du)) + skipped * uint32_t(state.duFixed);
        uint32_t v = uint32_t(toFixed16(state.vLeft + pre * state.dv)) + skipped * uint32_t(state.dvFixed);
        for (int32_t x = span.xs; x < span.xe; ++x) {
            row[x] = texels[((v >> 16) * 256 + (u >> 16)) & 0xFFFF];
            u += uint32_t(state.duFixed);
            v += uint32_t(state.dvFixed);
        }
        stepEdgesX(1.0f);
        state.uLeft += state.uLeftStep;
        state.vLeft += state.vLeftStep;
    }
}

struct Corner {
    float x, y, z, u, v;
};

// Three compare-and-swaps (0/1, 0/2, 1/2, strictly greater) leave corner 0 on top.
void sortByY(Corner* c) {
    if (c[0].y > c[1].y) std::swap(c[0], c[1]);
    if (c[0].y > c[2].y) std::swap(c[0], c[2]);
    if (c[1].y > c[2].y) std::swap(c[1], c[2]);
}

// Per-row steps of one edge, from corner a down to corner b.
struct EdgeSlopes {
    float x, z, u, v;
};

EdgeSlopes slopesOf(const Corner& a, const Corner& b) {
    float dy = b.y - a.y;
    return {(b.x - a.x) / dy, (b.z - a.z) / dy, (b.u - a.u) / dy, (b.v - a.v) / dy};
}

void startLeftEdge(const Corner& top, const EdgeSlopes& s, float prestep) {
    state.xLeft = top.x + prestep * s.x;
    state.xLeftStep = s.x;
    state.zLeft = top.z + prestep * s.z;
    state.zLeftStep = s.z;
    state.uLeft = top.u + prestep * s.u;
    state.uLeftStep = s.u;
    state.vLeft = top.v + prestep * s.v;
    state.vLeftStep = s.v;
}

void startRightEdge(const Corner& top, const EdgeSlopes& s, float prestep) {
    state.xRight = top.x + prestep * s.x;
    state.xRightStep = s.x;
}

// Walks the sorted triangle's two sections with the current SpanFiller.
void fillSections(const Corner* c, uint32_t colour) {
    int32_t r0 = pixelIndex(c[0].y), r1 = pixelIndex(c[1].y), r2 = pixelIndex(c[2].y);
    EdgeSlopes s02 = slopesOf(c[0], c[2]), s01 = slopesOf(c[0], c[1]), s12 = slopesOf(c[1], c[2]);
    float p0 = std::ceil(c[0].y) - c[0].y, p1 = std::ceil(c[1].y) - c[1].y;
    bool longEdgeRight = s02.x > s01.x;  // unordered (NaN) counts as left
    auto startLong = longEdgeRight ? startRightEdge : startLeftEdge;
    auto startShort = longEdgeRight ? startLeftEdge : startRightEdge;

    startLong(c[0], s02, p0);
    if (r0 == r1) {
        startShort(c[1], s12, p1);
        state.filler(r0, r2, colour);
        return;
    }
    if (r0 < r1) {
        startShort(c[0], s01, p0);
        state.filler(r0, r1, colour);
    }
    if (r1 < r2) {
        startShort(c[1], s12, p1);
        state.filler(r1, r2, colour);
    }
}

}  // namespace

void rasterizeTriangle(Bitmap& target, int32_t* depth, RasterTriangle& triangle, int32_t mode) {
    state.pitch = target.width;
    state.height = target.height;
    state.pixels = target.pixels;
    state.depth = depth;
    state.texture = triangle.texture;
    triangle.u0 *= 255.0f;
    triangle.u1 *= 255.0f;
    triangle.u2 *= 255.0f;
    triangle.v0 *= 255.0f;
    triangle.v1 *= 255.0f;
    triangle.v2 *= 255.0f;
    if (mode < rasterSolid || mode > rasterTexturedAlso) return;
    if (target.width <= 0 || target.height <= 0 || !target.pixels) return;

    Corner c[3] = {
        {triangle.x0, triangle.y0, triangle.z0, triangle.u0, triangle.v0},
        {triangle.x1, triangle.y1, triangle.z1, triangle.u1, triangle.v1},
        {triangle.x2, triangle.y2, triangle.z2, triangle.u2, triangle.v2},
    };
    sortByY(c);

    switch (mode) {
    case rasterSolid:
    case rasterHalf:
        state.filler = mode == rasterHalf ? fillFlat<true> : fillFlat<false>;
        fillSections(c, triangle.colour);
        return;
    case rasterSolidDepth:
    case rasterHalfDepth: {
        if (!depth) return;
        float height = c[2].y - c[0].y;
        if (height == 0.0f) return;
        // Divides by height; the textured mode multiplies by 1 / height: each mode's exact pixels need its rounding.
        float t = (c[1].y - c[0].y) / height;
        float w = c[0].x + t * (c[2].x - c[0].x) - c[1].x;  // corner 1 to the long edge
        if (w == 0.0f) return;
        state.zStep = toFixed16((c[0].z + t * (c[2].z - c[0].z) - c[1].z) / w);
        state.filler = mode == rasterHalfDepth ? fillDepth<true> : fillDepth<false>;
        fillSections(c, triangle.colour);
        return;
    }
    default: {
        if (!triangle.texture) return;
        float height = c[2].y - c[0].y;
        if (height == 0.0f) return;
        float t = (c[1].y - c[0].y) * (1.0f / height);
        float w = c[0].x + t * (c[2].x - c[0].x) - c[1].x;
        if (w == 0.0f) return;
        state.du = (c[0].u + t * (c[2].u - c[0].u) - c[1].u) / w;
        state.dv = (c[0].v + t * (c[2].v - c[0].v) - c[1].v) / w;
        state.duFixed = toFixed16(state.du);
        state.dvFixed = toFixed16(state.dv);
        state.filler = fillTextured;
        fillSections(c, triangle.colour);
        return;
    }
    }
}
