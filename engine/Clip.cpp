#include "engine/Clip.h"

#include "engine/Rounding.h"

void lerpFloats(float* out, const float* a, const float* b, int32_t count, float t) {
    for (int32_t i = 0; i < count; ++i) out[i] = a[i] + t * (b[i] - a[i]);
}

static Vector3 positionOf(const ClipVertex& vertex) { return {vertex.x, vertex.y, vertex.z}; }

int32_t clipToPlane(const Plane& plane, const ClipVertex* input, ClipVertex* output, int32_t n) {
    if (n > clipPolygonCapacity) n = clipPolygonCapacity;
    int32_t count = 0;
    auto append = [&](const ClipVertex& vertex) {
        if (count < clipPolygonCapacity) output[count++] = vertex;
    };
    for (int32_t i = 0; i < n; ++i) {
        // Edges 0-1, 1-2, ..., then the closing edge (n-1)-0.
        const ClipVertex& a = input[i];
        const ClipVertex& b = input[i + 1 < n ? i + 1 : 0];
        float da = plane.side(positionOf(a));
        float db = plane.side(positionOf(b));
        if (da > 0.0f) append(a);
        if (signOf(da) != signOf(db)) {
            float t = da / (da - db);
            ClipVertex crossing;
            crossing.x = a.x + t * (b.x - a.x);
            crossing.y = a.y + t * (b.y - a.y);
            crossing.z = a.z + t * (b.z - a.z);
            lerpFloats(&crossing.u, &a.u, &b.u, 1, t);
            lerpFloats(&crossing.v, &a.v, &b.v, 1, t);
            append(crossing);
        }
    }
    return count;
}
