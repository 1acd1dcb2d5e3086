#pragma once
#include <cstdint>

#include "engine/Vector3.h"
#include "scenes/Scene.h"

struct Bitmap;
struct Viewport;

// Order position 2: a 10 x 10 x 10 lattice of points joined to their neighbours by grey additive
// lines, its layers twisted against each other by angles that swing over time, the whole lattice
// turning and bobbing in front of a slate-blue screen with faint oversized axis letters.
class CubeScene final : public Scene {
public:
    static constexpr int32_t side = 10;                        // points along each axis
    static constexpr int32_t pointCount = side * side * side;  // index (i * 10 + j) * 10 + k
    static constexpr int32_t segmentCount = 3 * side * side * (side - 1);

    // The two lattice points a segment joins.
    struct Segment {
        int32_t from;
        int32_t to;
    };

    ~CubeScene();

    void init(Bitmap* target, LoadingStep stepDone) override;
    void reset() override;
    void render(Bitmap* target, float timeStep, float clockMs) override;

    // Writes the segmentCount segments in drawing order: first along k, then along j, then along
    // i, each from the lower index to the point one step on.
    static void buildSegments(Segment* segments);

    Vector3* restGrid = nullptr;   // pointCount points, the lattice at rest: -45..45, spacing 10
    Vector3* workGrid = nullptr;   // pointCount points, the lattice of the current frame
    Segment* segments = nullptr;   // segmentCount, in drawing order
    Viewport* viewport = nullptr;  // 90 degrees over the target
    Bitmap* label = nullptr;       // "<< this is a cu b  e  "
    Bitmap* axisX = nullptr;       // "x"
    Bitmap* axisY = nullptr;       // "y"
    Bitmap* backdrop = nullptr;    // "{degenerate coordinatesystem}"
    float gridSpin = 0.0f;         // degrees about all three axes
    float twistPhaseA = 0.0f;      // radians; the layers' twist about the first axis
    float twistPhaseB = 0.0f;      // radians; about the second
    float twistPhaseC = 0.0f;      // radians; about the third
};
