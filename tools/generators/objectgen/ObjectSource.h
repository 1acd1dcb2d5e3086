#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The object source as read from its text: how the shapes are built and how the camera flies.
// Lengths are in world units, angles in degrees, times in animation frames.

struct SourcePoint {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// One ring of a lathe: count points around the lathe's axis at height, starting at turn degrees
// from +x and going counter-clockwise seen from above.
struct LatheRing {
    int32_t count = 0;
    float radius = 0.0f;
    float height = 0.0f;
    float turn = 0.0f;
};

// A closed shell turned around its own z axis: a pole, rings from top to bottom, a pole. With a
// star ratio below 1, every odd point of a ring sits at that fraction of the ring's radius, so rings
// of 2n points draw n-pointed stars.
struct LatheShell {
    std::string name;
    float topPole = 0.0f;     // height of the first pole
    float bottomPole = 0.0f;  // height of the last pole
    std::vector<LatheRing> rings;
    float starRatio = 1.0f;
    float scale = 1.0f;
    SourcePoint rotate;  // degrees about x, then y, then z, after scaling
    SourcePoint offset;  // then moved by this
};

struct SourceMesh {
    std::string name;
    SourcePoint place;  // the mesh's translation (its object matrix)
    std::vector<LatheShell> shells;
};

// A faceless mesh: a named set of points that the design uses (where the camera goes, what it
// aims at), computed from the rest of the source.
struct MarkerPart {
    enum Kind { Point, Keys, Ring, Samples } kind = Point;
    SourcePoint point;                          // Point
    std::string track;                          // Keys, Samples: "position" or "target"
    std::string shell;                          // Ring
    int32_t ring = 0;                           // Ring: index into the shell's rings
    float from = 0.0f, to = 0.0f, step = 1.0f;  // Samples: frames
};

struct SourceMarker {
    std::string name;
    std::vector<MarkerPart> parts;
};

struct SourceKey {
    float time = 0.0f;
    SourcePoint value;
};

struct SourceCamera {
    float fov = 0.0f;
    float roll = 0.0f;
    std::vector<SourceKey> position;
    std::vector<SourceKey> target;
};

struct ObjectSource {
    int32_t frames = 0;
    std::vector<SourceMesh> meshes;
    std::vector<SourceMarker> markers;
    SourceCamera camera;
};
