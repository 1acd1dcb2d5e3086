#pragma once
#include <cstdint>

#include "engine/Vector3.h"
#include "scenes/Scene.h"

struct Bitmap;
struct Viewport;

// Order positions 5 and 6: a cloud of 2000 blue glows, each point turned stepwise by its own
// angles, that swells and shrinks, swings towards and away from the viewer and tumbles as a whole,
// smeared outward from the screen centre every frame into light trails. White captions by row:
// "pelmorand::opungeffekt" in order 5, then "this intro could have been longer.." and, from row 32
// of order 6, "but who cares?".
class ParticleCloudScene final : public Scene {
public:
    static constexpr int32_t pointCount = 2000;

    ~ParticleCloudScene();

    void init(Bitmap* target, LoadingStep stepDone) override;
    void reset() override;
    void render(Bitmap* target, float timeStep, float clockMs) override;

    // The steps of one frame, in the order render takes them after clearing the target.
    // Moves the animation on by timeStep (a finite one).
    void advance(float timeStep);
    // Adds every point's glow into the target the viewport was set up on.
    void drawGlows() const;
    // Smears the picture outward from its centre into light trails.
    void smearTrails(Bitmap* target) const;
    // Blends the caption the audible order and row choose, if any.
    void drawCaption(Bitmap* target) const;

    Vector3* points = nullptr;        // pointCount points, whole numbers in -1000..999, drawn at init
    Bitmap* glowSprite = nullptr;     // 50 x 50 radial glow
    Viewport* viewport = nullptr;     // 90 degrees over the target
    Bitmap* groupCaption = nullptr;   // "pelmorand::opungeffekt"
    Bitmap* longerCaption = nullptr;  // "this intro could have been longer.."
    Bitmap* caresCaption = nullptr;   // "but who cares?"
    float tumble = 0.0f;              // degrees, the whole cloud's turn
    float depthShift = 0.0f;          // the cloud's current offset along the view axis
    float pulsePhase = 0.0f;          // radians; the cloud's scale follows its sine
    float spinOffset = 0.0f;          // degrees added to every point's own angles
};
