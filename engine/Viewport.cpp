#include "engine/Viewport.h"

#include <algorithm>
#include <cmath>

#include "core/PortableMath.h"

bool projectionFlipY = false;

Viewport::~Viewport() { delete[] depth; }

void Viewport::setup(Bitmap* targetBitmap, float fovDegrees) {
    if (!targetBitmap) return;
    float h = degToRad(fovDegrees * 0.5f);
    float width = float(targetBitmap->width), height = float(targetBitmap->height);
    // A 1 % margin: the frustum's sides map to 0.99 of the half-size from the centre.
    float marginWidth = 0.99f * width, marginHeight = 0.99f * height;
    float halfWidth = marginWidth * 0.5f;
    centreX = halfWidth * 1.010101f;
    centreY = marginHeight * 0.5f * 1.010101f;
    float tanH = portable::tan(h);
    scaleX = halfWidth / tanH;
    scaleY = -((marginWidth / (marginHeight * 1.3333334f)) * marginHeight * 0.5f) / tanH;

    float c = portable::cos(h), s = portable::sin(h);
    top = {{0.0f, -c, s}, 0.0f};
    bottom = {{0.0f, c, s}, 0.0f};
    left = {{c, 0.0f, s}, 0.0f};
    right = {{-c, 0.0f, s}, 0.0f};
    nearPlane = {{0.0f, 0.0f, 1.0f}, 1.0f};

    target = targetBitmap;
    delete[] depth;
    depth = new int32_t[size_t(std::max(targetBitmap->pixelCount(), 1))];
}

void Viewport::clearDepth() {
    if (!target || !depth) return;
    std::fill_n(depth, target->pixelCount(), depthCleared);
}

int32_t Viewport::clipPolygon(ClipVertex* poly, ClipVertex* scratch, int32_t n) const {
    n = clipToPlane(top, poly, scratch, n);
    n = clipToPlane(bottom, scratch, poly, n);
    n = clipToPlane(right, poly, scratch, n);
    n = clipToPlane(left, scratch, poly, n);
    return clipToPlane(nearPlane, poly, scratch, n);
}
