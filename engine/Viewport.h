#pragma once
#include <cstdint>

#include "engine/Bitmap.h"
#include "engine/Clip.h"
#include "engine/Draw2D.h"
#include "engine/Plane.h"
#include "engine/Raster.h"
#include "engine/Vector3.h"

// When set, Viewport::project mirrors screen y about centreY. The entry routine sets it around
// the first scene only.
extern bool projectionFlipY;

// Everything needed to put camera-space points on a target Bitmap: perspective scales, screen
// centre, five frustum planes (four sides through the eye and a near plane at z = 1) and the
// target's DepthBuffer. The projection keeps a 1 % margin, so every point strictly inside the
// frustum lands strictly inside the target.
struct Viewport {
    float scaleX = 0.0f;
    float scaleY = 0.0f;  // negative: +y goes up on the screen
    Plane top, bottom, left, right;
    Plane nearPlane;  // z = 1 (not "near": a Windows header defines that word away)
    float centreX = 0.0f;
    float centreY = 0.0f;
    Bitmap* target = nullptr;  // not owned
    int32_t* depth = nullptr;  // the DepthBuffer, target width x height entries, owned

    Viewport() = default;
    ~Viewport();
    Viewport(const Viewport&) = delete;
    Viewport& operator=(const Viewport&) = delete;

    // Fills every field for target with the field of view fovDegrees (the same angle across and
    // down) and allocates the DepthBuffer (contents undefined until clearDepth).
    void setup(Bitmap* target, float fovDegrees);

    // Sets every depth entry to depthCleared (0x0FFFFFFF).
    void clearDepth();

    // Screen x, screen y and the unchanged camera z of camera-space point p (divides by p.z).
    // (Inline, with outcode: every sprite and line end goes through both.)
    Vector3 project(Vector3 p) const {
        float flip = projectionFlipY ? -1.0f : 1.0f;
        return {p.x * scaleX / p.z + centreX, p.y * scaleY * flip / p.z + centreY, p.z};
    }

    // The planes p is not strictly inside of: 1 top, 2 bottom, 4 right, 8 left, 16 near.
    int32_t outcode(Vector3 p) const {
        int32_t code = 0;
        if (top.side(p) <= 0.0f) code |= 1;
        if (bottom.side(p) <= 0.0f) code |= 2;
        if (right.side(p) <= 0.0f) code |= 4;
        if (left.side(p) <= 0.0f) code |= 8;
        if (nearPlane.side(p) <= 0.0f) code |= 16;
        return code;
    }

    // Clips the n-vertex polygon against top, bottom, right, left and near in turn, alternating
    // between poly and scratch (each clipPolygonCapacity entries); the result is in scratch and
    // its count is returned.
    int32_t clipPolygon(ClipVertex* poly, ClipVertex* scratch, int32_t n) const;

    // Draws a camera-space triangle (u, v in 0..1) in a RasterMode: drawn as it is when inside,
    // skipped when wholly outside one plane, else clipped and drawn as a fan around the first
    // clipped vertex. The triangle's corners, u and v may be overwritten with clipped values.
    void drawTriangle(RasterTriangle& triangle, int32_t mode);

    // Draws the camera-space segment a-b, clipped to the frustum.
    void drawLine(Vector3 a, Vector3 b, uint32_t colour, LineMode lineMode);

    // Adds image as a camera-facing square of edge size around centre, clipped to the frustum
    // (a clipped square shows the matching part of the image).
    void drawSprite(const Bitmap& image, Vector3 centre, float size);

private:
    void submit(const RasterTriangle& triangle, int32_t mode);
};
