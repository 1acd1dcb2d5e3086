// Runs arbitrary bytes through the checked object block loader; whatever it accepts is drawn at a
// few animation times into a small frame with projected y mirrored, as the title scene draws it.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "engine/Bitmap.h"
#include "engine/ObjectScene.h"
#include "engine/Viewport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    ObjectScene scene;
    if (!scene.load(data, uint32_t(size))) {
        if (scene.meshes || scene.cameras) __builtin_trap();  // a refused block keeps nothing
        return 0;
    }
    for (int32_t i = 0; i < scene.meshCount; ++i)
        if (!scene.meshes[i].mesh.indicesValid()) __builtin_trap();
    Bitmap frame(64, 48);
    Viewport viewport;
    viewport.setup(&frame, 70.0f);
    projectionFlipY = true;
    for (float time : {0.0f, 4.5f, 90.0f, 400.0f}) {
        frame.fill(0xFFFFFFFF);
        viewport.clearDepth();
        scene.draw(viewport, time);
    }
    projectionFlipY = false;
    scene.release();
    return 0;
}
