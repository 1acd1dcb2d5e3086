#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/Draw2D.h"
#include "engine/Viewport.h"

namespace {

Vector3 positionOf(const ClipVertex& vertex) { return {vertex.x, vertex.y, vertex.z}; }

void setCorners(RasterTriangle& triangle, const ClipVertex& a, const ClipVertex& b, const ClipVertex& c) {
    triangle.x0 = a.x, triangle.y0 = a.y, triangle.z0 = a.z;
    triangle.x1 = b.x, triangle.y1 = b.y, triangle.z1 = b.z;
    triangle.x2 = c.x, triangle.y2 = c.y, triangle.z2 = c.z;
    triangle.u0 = a.u, triangle.u1 = b.u, triangle.u2 = c.u;
    triangle.v0 = a.v, triangle.v1 = b.v, triangle.v2 = c.v;
}

}  // namespace

void Viewport::submit(const RasterTriangle& triangle, int32_t mode) {
    // A fresh copy takes the projected corners and absorbs the rasteriser's scaling of u and v.
    RasterTriangle screen = triangle;
    Vector3 p0 = project({triangle.x0, triangle.y0, triangle.z0});
    Vector3 p1 = project({triangle.x1, triangle.y1, triangle.z1});
    Vector3 p2 = project({triangle.x2, triangle.y2, triangle.z2});
    screen.x0 = p0.x, screen.y0 = p0.y, screen.z0 = p0.z;
    screen.x1 = p1.x, screen.y1 = p1.y, screen.z1 = p1.z;
    screen.x2 = p2.x, screen.y2 = p2.y, screen.z2 = p2.z;
    rasterizeTriangle(*target, depth, screen, mode);
}

void Viewport::drawTriangle(RasterTriangle& triangle, int32_t mode) {
    if (!target) return;
    int32_t o0 = outcode({triangle.x0, triangle.y0, triangle.z0});
    int32_t o1 = outcode({triangle.x1, triangle.y1, triangle.z1});
    int32_t o2 = outcode({triangle.x2, triangle.y2, triangle.z2});
    if ((o0 | o1 | o2) == 0) {
        submit(triangle, mode);
        return;
    }
    if ((o0 & o1 & o2) != 0) return;

    ClipVertex poly[clipPolygonCapacity] = {}, scratch[clipPolygonCapacity] = {};
    poly[0] = {triangle.x0, triangle.y0, triangle.z0, triangle.u0, triangle.v0};
    poly[1] = {triangle.x1, triangle.y1, triangle.z1, triangle.u1, triangle.v1};
    poly[2] = {triangle.x2, triangle.y2, triangle.z2, triangle.u2, triangle.v2};
    int32_t n = clipPolygon(poly, scratch, 3);
    // A fan around the first clipped vertex (n = 3 is a fan of one).
    for (int32_t k = 1; k + 1 < n; ++k) {
        setCorners(triangle, scratch[0], scratch[k], scratch[k + 1]);
        submit(triangle, mode);
    }
}

void Viewport::drawLine(Vector3 a, Vector3 b, uint32_t colour, LineMode lineMode) {
    if (!target) return;
    int32_t oa = outcode(a), ob = outcode(b);
    if ((oa & ob) != 0) return;
    if ((oa | ob) != 0) {
        ClipVertex poly[clipPolygonCapacity] = {}, scratch[clipPolygonCapacity] = {};
        poly[0] = {a.x, a.y, a.z, 0.0f, 0.0f};
        poly[1] = {b.x, b.y, b.z, 0.0f, 0.0f};
        if (clipPolygon(poly, scratch, 2) < 2) return;
        a = positionOf(scratch[0]);
        b = positionOf(scratch[1]);
    }
    Vector3 pa = project(a), pb = project(b);
    drawLine2D(*target, pa.x, pa.y, pb.x, pb.y, colour, lineMode);
}

#if defined(__SSE2__)
namespace {

// One plane's side of the four corners, ((n.x x + n.y y) + n.z z) - distance in float lanes exactly
// as Plane::side works it out; returns the corners on or outside it as bits 0-3.
inline int outsideCorners(const Plane& plane, __m128 xs, __m128 ys, __m128 zs) {
    __m128 side =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(plane.normal.x), xs), _mm_mul_ps(_mm_set1_ps(plane.normal.y), ys)),
                   _mm_mul_ps(_mm_set1_ps(plane.normal.z), zs));
    return _mm_movemask_ps(_mm_cmple_ps(_mm_sub_ps(side, _mm_set1_ps(plane.distance)), _mm_setzero_ps()));
}

}  // namespace
#endif

void Viewport::drawSprite(const Bitmap& image, Vector3 centre, float size) {
    if (!target) return;
    float h = size * 0.5f;
    // Top-left, bottom-left, bottom-right, top-right, with their texture corners.
    ClipVertex corners[4] = {
        {centre.x - h, centre.y + h, centre.z, 0.0f, 0.0f},
        {centre.x - h, centre.y - h, centre.z, 0.0f, 1.0f},
        {centre.x + h, centre.y - h, centre.z, 1.0f, 1.0f},
        {centre.x + h, centre.y + h, centre.z, 1.0f, 0.0f},
    };
    int32_t all = 0, shared = ~0;
#if defined(__SSE2__)
    // The four corners' outcodes, a plane at a time for all four: which planes any corner is
    // outside of, and which all four are.
    __m128 xs = _mm_setr_ps(corners[0].x, corners[1].x, corners[2].x, corners[3].x);
    __m128 ys = _mm_setr_ps(corners[0].y, corners[1].y, corners[2].y, corners[3].y);
    __m128 zs = _mm_set1_ps(centre.z);
    const Plane* planes[5] = {&top, &bottom, &right, &left, &nearPlane};  // outcode bits 1, 2, 4, 8, 16
    shared = 0;
    for (int k = 0; k < 5; ++k) {
        int outside = outsideCorners(*planes[k], xs, ys, zs);
        if (outside != 0) all |= 1 << k;
        if (outside == 0xF) shared |= 1 << k;
    }
    if (all == 0) {
        // Corners 0, 1 and 3 projected together: the same operations as project, in lanes.
        float flip = projectionFlipY ? -1.0f : 1.0f;
        __m128 screenX = _mm_add_ps(_mm_div_ps(_mm_mul_ps(xs, _mm_set1_ps(scaleX)), zs), _mm_set1_ps(centreX));
        __m128 screenY = _mm_add_ps(_mm_div_ps(_mm_mul_ps(_mm_mul_ps(ys, _mm_set1_ps(scaleY)), _mm_set1_ps(flip)), zs),
                                    _mm_set1_ps(centreY));
        alignas(16) float sx[4], sy[4];
        _mm_store_ps(sx, screenX);
        _mm_store_ps(sy, screenY);
        blitScaledAdd(*target, image, sx[0], sy[0], sx[3] - sx[0], sy[1] - sy[0], 0.0f, 0.0f, 1.0f, 1.0f);
        return;
    }
#else
    for (int i = 0; i < 4; ++i) {
        int32_t code = outcode(positionOf(corners[i]));
        all |= code;
        shared &= code;
    }
    if (all == 0) {
        Vector3 p0 = project(positionOf(corners[0])), p1 = project(positionOf(corners[1]));
        Vector3 p3 = project(positionOf(corners[3]));
        blitScaledAdd(*target, image, p0.x, p0.y, p3.x - p0.x, p1.y - p0.y, 0.0f, 0.0f, 1.0f, 1.0f);
        return;
    }
#endif
    if (shared != 0) return;

    ClipVertex poly[clipPolygonCapacity] = {}, scratch[clipPolygonCapacity] = {};
    std::copy(corners, corners + 4, poly);
    if (clipPolygon(poly, scratch, 4) < 4) return;
    // The square is parallel to the screen, so the clipped shape is an axis-aligned rectangle;
    // its texture window runs from the vertex at its top-left to the one at its bottom-right.
    Vector3 p[4];
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 0; i < 4; ++i) {
        p[i] = project(positionOf(scratch[i]));
        minX = i == 0 ? p[i].x : std::min(minX, p[i].x);
        minY = i == 0 ? p[i].y : std::min(minY, p[i].y);
        maxX = i == 0 ? p[i].x : std::max(maxX, p[i].x);
        maxY = i == 0 ? p[i].y : std::max(maxY, p[i].y);
    }
    int topLeft = 0, bottomRight = 0;
    for (int i = 1; i < 4; ++i) {
        if ((p[i].x - minX) + (p[i].y - minY) < (p[topLeft].x - minX) + (p[topLeft].y - minY)) topLeft = i;
        if ((maxX - p[i].x) + (maxY - p[i].y) < (maxX - p[bottomRight].x) + (maxY - p[bottomRight].y)) bottomRight = i;
    }
    blitScaledAdd(*target, image, minX, minY, maxX - minX, maxY - minY, scratch[topLeft].u, scratch[topLeft].v,
                  scratch[bottomRight].u, scratch[bottomRight].v);
}
