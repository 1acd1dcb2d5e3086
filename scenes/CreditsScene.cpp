#include "scenes/CreditsScene.h"

#include "engine/Bitmap.h"
#include "music/ModulePlayer.h"
#include "scenes/SceneCaption.h"

namespace {

constexpr int32_t captionRow = 230;
constexpr int32_t runningTimeColumn = 210;
constexpr int32_t taglineColumn = 270;
constexpr int32_t taglineFromRow = 20;  // of order 7
constexpr int32_t nameColumn = 250;
constexpr int32_t nameSpacing = 23;   // rows between one name and the next
constexpr int32_t rowsPerName = 16;   // a quarter of the pattern
constexpr float fadePerStep = 0.01f;  // opacity per time-step unit: 100 units, about 1.7 s

constexpr int32_t captionHeight = 30;

Bitmap* caption(const char* text) { return sceneCaption(boldCaption, captionHeight, text); }

void drawCaption(Bitmap* target, const Bitmap* sprite, int32_t column, int32_t row, float opacity) {
    if (sprite) target->drawTextSprite(*sprite, column, row, 0, opacity);
}

// Adds timeStep's share of a fade-in, limited to 1 (also when timeStep is not a number).
void raise(float& opacity, float timeStep) {
    opacity += timeStep * fadePerStep;
    if (!(opacity <= 1.0f)) opacity = 1.0f;
}

}  // namespace

CreditsScene::~CreditsScene() {
    for (int32_t i = nameCount - 1; i >= 0; --i) delete names[i];
    delete tagline;
    delete runningTime;
}

void CreditsScene::init(Bitmap* target, LoadingStep stepDone) {
    (void)target;
    runningTime = caption("1:30");
    tagline = caption("is all we need");
    names[0] = caption("kelv");
    names[1] = caption("u-tarn");
    names[2] = caption("sklo");
    names[3] = caption("gimbo");
    stepDone();
}

void CreditsScene::reset() {
    taglineOpacity = 0.0f;
    for (float& opacity : nameOpacity) opacity = 0.0f;
}

void CreditsScene::render(Bitmap* target, float timeStep, float clockMs) {
    (void)clockMs;
    target->fill(0xFFFFFFFF);
    int32_t order = ModulePlayer::currentOrder();
    int32_t row = ModulePlayer::currentRow();
    if (order < 8) {
        drawCaption(target, runningTime, runningTimeColumn, captionRow, 1.0f);
        if (row < taglineFromRow) return;
        raise(taglineOpacity, timeStep);
        drawCaption(target, tagline, taglineColumn, captionRow, taglineOpacity);
        return;
    }
    if (order != 8) return;
    int32_t current = row / rowsPerName;  // the name fading in now
    if (current < 0 || current >= nameCount) return;
    for (int32_t i = 0; i < current; ++i) drawCaption(target, names[i], nameColumn, captionRow + i * nameSpacing, 1.0f);
    // Drawn before its opacity is raised, so a name's first frame shows nothing of it.
    drawCaption(target, names[current], nameColumn, captionRow + current * nameSpacing, nameOpacity[current]);
    raise(nameOpacity[current], timeStep);
}
