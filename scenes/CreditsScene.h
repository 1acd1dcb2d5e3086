#pragma once
#include <cstdint>

#include "scenes/Scene.h"

struct Bitmap;

// Order positions 7 and 8, the closing credits in black on white. Order 7: the running time "1:30",
// and from row 20 "is all we need" fading in beside it. Order 8: four names fading in one below the
// other, one per quarter of the pattern; from row 64 the screen is plain white.
class CreditsScene final : public Scene {
public:
    static constexpr int32_t nameCount = 4;

    ~CreditsScene();

    void init(Bitmap* target, LoadingStep stepDone) override;
    void reset() override;
    void render(Bitmap* target, float timeStep, float clockMs) override;

    Bitmap* runningTime = nullptr;      // "1:30"
    Bitmap* tagline = nullptr;          // "is all we need"
    Bitmap* names[nameCount] = {};      // "kelv", "u-tarn", "sklo", "gimbo"
    float taglineOpacity = 0.0f;        // 0..1
    float nameOpacity[nameCount] = {};  // 0..1 each
};
