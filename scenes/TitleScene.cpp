#include "scenes/TitleScene.h"

#include "assets/ObjectBlock.h"
#include "engine/Bitmap.h"
#include "engine/Viewport.h"
#include "music/ModulePlayer.h"
#include "scenes/SceneCaption.h"

namespace {

constexpr float fieldOfView = 70.0f;
constexpr int32_t captionRow = 230;
constexpr int32_t groupNameColumn = 210;
constexpr int32_t titleColumn = 310;
constexpr int32_t titleFromRow = 20;    // of order 0
constexpr float fadePerStep = 0.01f;    // opacity per time-step unit: 100 units, about 1.7 s
constexpr float framesPerStep = 0.15f;  // animation frames per time-step unit: 9 a second

constexpr int32_t captionHeight = 30;

Bitmap* caption(const char* text) { return sceneCaption(boldCaption, captionHeight, text); }

void drawCaption(Bitmap* target, const Bitmap* sprite, int32_t column, float opacity) {
    if (sprite) target->drawTextSprite(*sprite, column, captionRow, 0, opacity);
}

}  // namespace

TitleScene::~TitleScene() {
    object.release();
    delete title;
    delete groupName;
    delete viewport;
}

void TitleScene::init(Bitmap* target, LoadingStep stepDone) {
    viewport = new Viewport;
    viewport->setup(target, fieldOfView);
    groupName = caption("drovel:");
    title = caption("pelmorand");
    object.load(objectBlock);
    stepDone();
}

void TitleScene::reset() {
    titleOpacity = 0.0f;
    animTime = 0.0f;
}

void TitleScene::render(Bitmap* target, float timeStep, float clockMs) {
    (void)clockMs;
    target->fill(0xFFFFFFFF);
    int32_t order = ModulePlayer::currentOrder();
    if (order == 0) {
        drawCaption(target, groupName, groupNameColumn, 1.0f);
        if (ModulePlayer::currentRow() < titleFromRow) return;
        titleOpacity += timeStep * fadePerStep;
        if (!(titleOpacity <= 1.0f)) titleOpacity = 1.0f;  // also when timeStep is not a number
        drawCaption(target, title, titleColumn, titleOpacity);
        return;
    }
    if (order != 1) return;
    titleOpacity -= timeStep * fadePerStep;
    if (!(titleOpacity >= 0.0f)) titleOpacity = 0.0f;
    drawCaption(target, groupName, groupNameColumn, titleOpacity);
    drawCaption(target, title, titleColumn, titleOpacity);
    animTime += timeStep * framesPerStep;
    viewport->clearDepth();
    object.draw(*viewport, animTime);
}
