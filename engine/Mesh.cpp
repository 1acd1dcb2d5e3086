#include "engine/Mesh.h"

#include <algorithm>

#include "engine/Viewport.h"

void Mesh::allocate(int32_t faces_, int32_t vertices_) {
    destroy();
    faceCount = std::max(faces_, 0);
    vertexCount = std::max(vertices_, 0);
    faces = new Face[size_t(faceCount)]();
    vertices = new Vector3[size_t(vertexCount)]();
    transformed = new Vector3[size_t(vertexCount)]();
    vertexNormals = new Vector3[size_t(vertexCount)]();
    faceNormals = new Vector3[size_t(faceCount)]();
    u = new float[size_t(vertexCount)]();
    v = new float[size_t(vertexCount)]();
    matrix.identity();
}

void Mesh::destroy() {
    delete[] faces;
    delete[] vertices;
    delete[] transformed;
    delete[] vertexNormals;
    delete[] faceNormals;
    delete[] u;
    delete[] v;
    faces = nullptr;
    vertices = transformed = vertexNormals = faceNormals = nullptr;
    u = v = nullptr;
    faceCount = vertexCount = 0;
}

void Mesh::setMaterial(int32_t mode, uint32_t colour, const uint32_t* texture) {
    for (int32_t i = 0; i < faceCount; ++i) {
        faces[i].mode = mode;
        faces[i].colour = colour;
        faces[i].texture = texture;
    }
}

bool Mesh::indicesValid() const {
    auto inside = [](int32_t index, int32_t count) { return index >= 0 && index < count; };
    for (int32_t i = 0; i < faceCount; ++i) {
        const Face& f = faces[i];
        if (!inside(f.v0, vertexCount) || !inside(f.v1, vertexCount) || !inside(f.v2, vertexCount) ||
            !inside(f.normalIndex, faceCount))
            return false;
    }
    return true;
}

void Mesh::computeFaceNormals() {
    for (int32_t i = 0; i < faceCount; ++i) {
        Face& f = faces[i];
        Vector3 n = cross(vertices[f.v1] - vertices[f.v0], vertices[f.v2] - vertices[f.v0]);
        n.normalise();
        faceNormals[i] = n;
        f.normalIndex = i;
    }
}

void Mesh::transform(const Matrix4& camera) {
    Matrix4 objectToCamera;
    Matrix4::multiply(matrix, camera, objectToCamera);
    for (int32_t i = 0; i < vertexCount; ++i) transformed[i] = transformPoint(vertices[i], objectToCamera);
}

// One channel of the headlight colour: trunc(t * channel).
static uint32_t shadeChannel(float t, uint32_t channel) { return uint32_t(int32_t(t * float(channel))); }

void Mesh::shade(Vector3 viewer) {
    // The viewer in object space: undo the translation, then the rotation (its transpose).
    Vector3 q = viewer - Vector3{matrix.m[12], matrix.m[13], matrix.m[14]};
    Matrix4 inverseTurn;
    Matrix4::copy(inverseTurn, matrix);
    inverseTurn.transposeRotation();
    q = rotateVector(q, inverseTurn);

    for (int32_t i = 0; i < faceCount; ++i) {
        Face& f = faces[i];
        Vector3 direction = q - vertices[f.v0];
        direction.normalise();
        Vector3 n = faceNormals[f.normalIndex];
        n.normalise();
        float t = dot(n, direction);
        f.visible = t > 0.0f ? 1 : 0;
        if (!f.visible) continue;
        uint32_t c = f.colour;
        f.triangle.colour =
            (shadeChannel(t, c >> 16) << 16) + (shadeChannel(t, (c >> 8) & 255) << 8) + shadeChannel(t, c & 255);
    }
}

void Mesh::draw(Viewport& viewport) {
    for (int32_t i = 0; i < faceCount; ++i) {
        Face& f = faces[i];
        if (!f.visible) continue;
        RasterTriangle& triangle = f.triangle;
        Vector3 a = transformed[f.v0], b = transformed[f.v1], c = transformed[f.v2];
        triangle.x0 = a.x, triangle.y0 = a.y, triangle.z0 = a.z;
        triangle.x1 = b.x, triangle.y1 = b.y, triangle.z1 = b.z;
        triangle.x2 = c.x, triangle.y2 = c.y, triangle.z2 = c.z;
        triangle.u0 = u[f.v0], triangle.u1 = u[f.v1], triangle.u2 = u[f.v2];
        triangle.v0 = v[f.v0], triangle.v1 = v[f.v1], triangle.v2 = v[f.v2];
        triangle.texture = f.texture;
        viewport.drawTriangle(triangle, f.mode);  // may overwrite the corners with clipped ones
        viewport.drawLine(a, b, 0x000000, LineMode::Blend);
        viewport.drawLine(b, c, 0x000000, LineMode::Blend);
        viewport.drawLine(c, a, 0x000000, LineMode::Blend);
    }
}
