#pragma once
#include "engine/CameraPose.h"
#include "engine/KeyTrack.h"

// An animated camera: its pose, its stored field of view (drawing uses the viewport's own) and
// keyframed position, target and roll tracks.
struct ObjectCamera {
    CameraPose pose;
    float fovDegrees = 0.0f;
    KeyTrack position;
    KeyTrack target;
    KeyTrack roll;  // scalar keys; loaded, not played

    // Puts the camera where its position and target tracks say at time (frames). The roll is held
    // at 1.0 degree at every time.
    void update(float time);

    // Frees the keys of the roll, target and position tracks.
    void destroy();
};
