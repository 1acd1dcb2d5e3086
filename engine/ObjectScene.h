#pragma once
#include <cstdint>

#include "engine/ObjectCamera.h"
#include "engine/ObjectMesh.h"

struct Viewport;

// A keyframed object animation: meshes seen through animated cameras, loaded from a "kelv" block.
//
// Block layout (little-endian, unaligned, no padding; counts unsigned 16-bit):
//   "kelv\0", mesh count, camera count, frame count (32-bit), the mesh records, the camera records.
//   Mesh: V, V x, V y, V z (planar floats), F, F index triples, texture flag [V u, V v],
//         16 matrix floats column by column, track flag [vector track].
//   Camera: position (3 floats), target (3), roll, field of view, vector track (position),
//           scalar track (roll), vector track (target).
//   Track: flags byte, key count K, K keys. Vector key: time, value, tangent in, tangent out (3 floats
//          each), ease-in, ease-out (48 bytes). Scalar key: time, value, tangent in, tangent out,
//          ease-in, ease-out (24 bytes).
struct ObjectScene {
    int32_t meshCount = 0;
    int32_t cameraCount = 0;
    int32_t frameCount = 0;
    ObjectMesh* meshes = nullptr;     // owned, meshCount entries
    ObjectCamera* cameras = nullptr;  // owned, cameraCount entries

    // Loads a trusted block (the embedded one) from its first byte: nothing is checked. Every mesh
    // gets flat half-blend light blue faces and its face normals. Returns the bytes read.
    uint32_t load(const uint8_t* block);

    // Loads any size bytes, checked: false, with nothing kept, when the block is shorter than its
    // counts say, a face index reaches past its mesh's vertices, or a track's key times fall.
    // Bytes past the end of the records are allowed. On success bytesRead (when given) is the block's
    // length as its counts give it.
    bool load(const uint8_t* block, uint32_t size, uint32_t* bytesRead = nullptr);

    // Frees the cameras (their tracks), then the meshes, and both arrays; the scene is left empty.
    void release();

    // One frame at time (frames) into viewport's target: the first camera follows its tracks, then
    // every mesh is shaded from the camera's position, then transformed, then drawn. The caller
    // clears the depth buffer. A scene with no camera draws nothing.
    void draw(Viewport& viewport, float time);
};

// The material every loaded face gets: the flat half-blend mode in light blue.
constexpr int32_t objectFaceMode = 2;
constexpr uint32_t objectFaceColour = 0xB4DCF0;
