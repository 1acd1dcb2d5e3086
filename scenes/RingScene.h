#pragma once
#include <cstdint>

#include "engine/Vector3.h"
#include "scenes/Scene.h"

struct Bitmap;

// Order positions 3 and 4: a closed 3D curve, a ring wound with a fine coil whose shape breathes
// and whose point count grows and shrinks, turning in space and drawn as a chain of additive
// antialiased segments that dim with depth, on dark plum behind a huge faint "r".
class RingScene final : public Scene {
public:
    static constexpr int32_t maxPoints = 440;  // the point count swings between 40 and this

    // One point of the ring on the screen, with the colour of the segment that ends there.
    struct Point {
        float x;
        float y;
        uint32_t colour;
    };

    ~RingScene();

    void init(Bitmap* target, LoadingStep stepDone) override;
    void reset() override;
    void render(Bitmap* target, float timeStep, float clockMs) override;

    // The colour of a point of brightness k (0..2): red floor(40 k), green floor(86 k), blue
    // floor(100 k), so at most 80, 172 and 200. A k outside 0..2 (or not a number) is limited to it.
    static uint32_t pointColour(float k);

    // The screen point of the camera-space point p (perspective 256 / z about the centre), or
    // previous when p is at or behind the eye (z at most 0, or not a number).
    static Point project(Vector3 p, Point previous, float centreX, float centreY);

    // Writes this frame's ring of r points (r limited to 40..440; ceil(r) of them, at most maxPoints)
    // into points and returns how many: the table walkers started from phaseA and phaseB, turned by
    // spin and set 900 units in front of the eye. Moves colourPhase on by timeStep * 0.5 per point.
    // render joins each point to the one before and the last back to the first.
    int32_t traceRing(Point* points, float r, float centreX, float centreY, float timeStep);

    Bitmap* label = nullptr;   // "drovel:ringv2.501"
    Bitmap* letter = nullptr;  // "r"
    float colourPhase = 0.0f;  // advances once per point drawn
    float sizePhase = 0.0f;    // radians; the point count follows its cosine
    float spin = 230.0f;       // degrees about x and y
    float phaseA = 2.14f;      // radians; where the three-turn coil starts
    float phaseB = 5.6f;       // radians; where the one-turn wobble starts
};
