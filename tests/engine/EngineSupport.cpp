#include "tests/engine/EngineSupport.h"

#include <cstddef>

#include "core/Random.h"

Bitmap randomBitmap(int32_t width, int32_t height, uint32_t seed) {
    rng::srand(seed);
    Bitmap bitmap(width, height);
    for (int32_t i = 0; i < bitmap.pixelCount(); ++i)
        bitmap.pixels[i] = uint32_t(rng::rand()) << 17 ^ uint32_t(rng::rand()) << 2 ^ uint32_t(rng::rand());
    return bitmap;
}

bool sameBitmap(const Bitmap& a, const Bitmap& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (int32_t i = 0; i < a.pixelCount(); ++i)
        if (a.pixels[i] != b.pixels[i]) return false;
    return true;
}

int32_t countNot(const Bitmap& bitmap, uint32_t value) {
    int32_t count = 0;
    for (int32_t i = 0; i < bitmap.pixelCount(); ++i) count += bitmap.pixels[i] != value;
    return count;
}

Mesh meshOfTriangles(const std::vector<Vector3>& corners) {
    Mesh mesh;
    int32_t faces = int32_t(corners.size() / 3);
    mesh.allocate(faces, faces * 3);
    for (int32_t i = 0; i < faces * 3; ++i) mesh.vertices[i] = corners[size_t(i)];
    for (int32_t f = 0; f < faces; ++f) {
        mesh.faces[f].v0 = 3 * f;
        mesh.faces[f].v1 = 3 * f + 1;
        mesh.faces[f].v2 = 3 * f + 2;
    }
    return mesh;
}

Mesh cubeMesh(float h) {
    // Each side as four corners going round it; the triangles (0, 1, 2) and (0, 2, 3) are
    // flipped where needed so that their normal points away from the centre.
    const Vector3 sides[6][4] = {
        {{-h, h, -h}, {h, h, -h}, {h, -h, -h}, {-h, -h, -h}},  // z = -h, front
        {{-h, h, h}, {h, h, h}, {h, -h, h}, {-h, -h, h}},     {{-h, -h, -h}, {-h, h, -h}, {-h, h, h}, {-h, -h, h}},
        {{h, -h, -h}, {h, h, -h}, {h, h, h}, {h, -h, h}},     {{-h, -h, -h}, {h, -h, -h}, {h, -h, h}, {-h, -h, h}},
        {{-h, h, -h}, {h, h, -h}, {h, h, h}, {-h, h, h}},
    };
    std::vector<Vector3> corners;
    for (const auto& side : sides) {
        Vector3 centre = {(side[0].x + side[2].x) / 2, (side[0].y + side[2].y) / 2, (side[0].z + side[2].z) / 2};
        for (int t = 0; t < 2; ++t) {
            Vector3 a = side[0], b = side[1 + t], c = side[2 + t];
            if (dot(cross(b - a, c - a), centre) < 0) std::swap(b, c);
            corners.insert(corners.end(), {a, b, c});
        }
    }
    return meshOfTriangles(corners);
}

float randomIn(float low, float high) { return low + (high - low) * float(rng::rand()) / 32768.0f; }
