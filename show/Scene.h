#pragma once
#include <cstdint>

struct Bitmap;

// One visual section of the show. A Scene builds its assets once at start-up (init), puts its
// animation to start values the first time the main loop selects it (reset), and draws one whole
// frame per call (render). The main loop drives a Scene only through renderFrame.
//
// Scenes own their assets and are destroyed through their concrete type, so the interface has no
// virtual destructor.
class Scene {
public:
    bool needsReset = true;

    // Builds everything needed to draw into target; ends with one LoadingScreen::step.
    virtual void init(Bitmap* target) = 0;
    // Sets the animation variables to their start values.
    virtual void reset() = 0;
    // Draws one complete frame into target. timeStep is the previous frame's duration in 1/60 s of
    // song time (0 is valid); clockMs is the frame clock at the start of this frame.
    virtual void render(Bitmap* target, float timeStep, float clockMs) = 0;

    // Resets the Scene on its first selected frame, then renders.
    void renderFrame(Bitmap* target, float timeStep, float clockMs);

protected:
    ~Scene() = default;
};
