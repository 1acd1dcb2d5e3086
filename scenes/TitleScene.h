#pragma once
#include "engine/ObjectScene.h"
#include "scenes/Scene.h"

struct Bitmap;
struct Viewport;

// The opening scene (order positions 0 and 1). On white, the group name "drovel:" in black, then
// from row 20 of order 0 the title "pelmorand" fading in beside it; in order 1 both fade out while
// the embedded object animation plays in front of them. The main loop mirrors projected y while
// this scene renders.
class TitleScene final : public Scene {
public:
    ~TitleScene();

    void init(Bitmap* target, LoadingStep stepDone) override;
    void reset() override;
    void render(Bitmap* target, float timeStep, float clockMs) override;

    Viewport* viewport = nullptr;  // 70 degrees over the target
    Bitmap* groupName = nullptr;   // "drovel:"
    Bitmap* title = nullptr;       // "pelmorand"
    ObjectScene object;
    float titleOpacity = 0.0f;  // of the captions, 0..1
    float animTime = 0.0f;      // the object's time in animation frames
};
