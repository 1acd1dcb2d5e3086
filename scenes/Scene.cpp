#include "scenes/Scene.h"

void Scene::renderFrame(Bitmap* target, float timeStep, float clockMs) {
    if (needsReset) {
        reset();
        needsReset = false;
    }
    render(target, timeStep, clockMs);
}
