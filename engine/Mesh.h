#pragma once
#include <cstdint>

#include "engine/Matrix4.h"
#include "engine/Raster.h"
#include "engine/Vector3.h"

struct Viewport;

// One triangle of a mesh. The winding is such that cross(V[v1] - V[v0], V[v2] - V[v0]) points out.
struct Face {
    int32_t v0 = 0, v1 = 0, v2 = 0;     // vertex indices
    int32_t normalIndex = 0;            // into the mesh's faceNormals
    uint8_t visible = 0;                // written by Mesh::shade: 1 if the face turns toward the viewer
    int32_t mode = 0;                   // RasterMode used to fill the face
    uint32_t colour = 0;                // XRGB base colour before shading
    const uint32_t* texture = nullptr;  // 256 x 256 texels, read in modes 5 and 6
    RasterTriangle triangle;            // the face as last prepared for drawing
};

// A triangle mesh. Every array is owned; allocate gives them zero-filled and the matrix the identity.
struct Mesh {
    int32_t faceCount = 0;
    int32_t vertexCount = 0;
    Face* faces = nullptr;
    Vector3* vertices = nullptr;       // object space
    Vector3* transformed = nullptr;    // camera space, written by transform
    Vector3* vertexNormals = nullptr;  // allocated with the mesh, not read by drawing
    Vector3* faceNormals = nullptr;    // unit normals, written by computeFaceNormals
    float* u = nullptr;                // texture u per vertex, 0..1
    float* v = nullptr;                // texture v per vertex, 0..1
    Matrix4 matrix;                    // object to world

    // Allocates all eight arrays for the given counts (negative counts count as 0).
    void allocate(int32_t faces, int32_t vertices);

    // Frees all eight arrays; the mesh is left empty.
    void destroy();

    // Sets mode, colour and texture of every face (their triangles are untouched).
    void setMaterial(int32_t mode, uint32_t colour, const uint32_t* texture);

    // faceNormals[i] = the unit normal of face i (zero for a degenerate face); normalIndex = i.
    void computeFaceNormals();

    // transformed[i] = vertices[i] through matrix x camera (object to world to camera).
    void transform(const Matrix4& camera);

    // Headlight shading from viewer (world space): a face is visible when the cosine t between
    // its normal and the direction to the viewer is positive, and its triangle's colour is the
    // base colour with each channel scaled by t (truncated). Takes matrix as rotation plus
    // translation.
    void shade(Vector3 viewer);

    // Draws every visible face in array order through viewport, then its black blended outline.
    void draw(Viewport& viewport);

    // Whether every face's three vertex indices and normal index lie inside the arrays.
    bool indicesValid() const;
};
