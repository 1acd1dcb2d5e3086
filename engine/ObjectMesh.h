#pragma once
#include "engine/KeyTrack.h"
#include "engine/Mesh.h"

// One mesh of an object animation with its position track. The track is loaded but not played:
// the mesh stays where its object matrix puts it.
struct ObjectMesh {
    Mesh mesh;
    KeyTrack position;

    // Frees the position track's keys, then the mesh's arrays.
    void destroy();
};
