#include "engine/ObjectScene.h"

#include "engine/Matrix4.h"
#include "engine/Viewport.h"

void ObjectScene::release() {
    for (int32_t i = 0; i < cameraCount; ++i) cameras[i].destroy();
    for (int32_t i = 0; i < meshCount; ++i) meshes[i].destroy();
    delete[] cameras;
    delete[] meshes;
    cameras = nullptr;
    meshes = nullptr;
    meshCount = cameraCount = frameCount = 0;
}

void ObjectScene::draw(Viewport& viewport, float time) {
    if (cameraCount < 1) return;
    ObjectCamera& camera = cameras[0];
    camera.update(time);
    Matrix4 view;
    view.zero();
    camera.pose.viewMatrix(view);
    for (int32_t i = 0; i < meshCount; ++i) meshes[i].mesh.shade(camera.pose.position);
    for (int32_t i = 0; i < meshCount; ++i) meshes[i].mesh.transform(view);
    for (int32_t i = 0; i < meshCount; ++i) meshes[i].mesh.draw(viewport);
}
