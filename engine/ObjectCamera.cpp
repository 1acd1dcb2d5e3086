#include "engine/ObjectCamera.h"

// The show's camera always leans by one degree; its roll track is not read.
static constexpr float heldRollDegrees = 1.0f;

void ObjectCamera::update(float time) {
    pose.position = position.evaluate(time);
    pose.target = target.evaluate(time);
    pose.roll = heldRollDegrees;
}

void ObjectCamera::destroy() {
    roll.destroy();
    target.destroy();
    position.destroy();
}
