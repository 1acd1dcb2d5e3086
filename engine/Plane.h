#pragma once
#include "engine/Vector3.h"

// A point p is inside when dot(normal, p) - distance > 0 (strictly).
struct Plane {
    Vector3 normal;
    float distance = 0.0f;

    // dot(normal, p) - distance: positive inside, 0 on the plane, negative outside.
    float side(Vector3 p) const { return dot(normal, p) - distance; }
};
