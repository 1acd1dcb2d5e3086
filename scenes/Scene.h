#pragma once
#include <cstdint>

struct Bitmap;

// Called when a unit of start-up work is done. The show passes the step that redraws and presents
// its loading screen; a caller that shows no progress passes a function that does nothing.
using LoadingStep = void (*)();

// One visual section of the show. A Scene builds its assets once at start-up (init), puts its
// animation to start values the first time the main loop selects it (reset), and draws one whole
// frame per call (render). The main loop drives a Scene only through renderFrame.
//
// Scenes own their assets through plain pointers and free them in their destructors; the owner
// deletes a Scene through this interface.
class Scene {
public:
    bool needsReset = true;

    virtual ~Scene() = default;

    // Builds everything needed to draw into target; its last act is one call of stepDone.
    virtual void init(Bitmap* target, LoadingStep stepDone) = 0;
    // Sets the animation variables to their start values.
    virtual void reset() = 0;
    // Draws one complete frame into target. timeStep is the previous frame's duration in 1/60 s of
    // song time (0 is valid); clockMs is the frame clock at the start of this frame.
    virtual void render(Bitmap* target, float timeStep, float clockMs) = 0;

    // Resets the Scene on its first selected frame, then renders.
    void renderFrame(Bitmap* target, float timeStep, float clockMs);
};
