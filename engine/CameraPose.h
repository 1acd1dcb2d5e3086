#pragma once
#include "engine/Matrix4.h"
#include "engine/Vector3.h"

// A viewer: where it stands, the point it looks at and a roll angle in degrees. Camera space
// looks down +z with +x to the right and +y up.
struct CameraPose {
    Vector3 position;
    Vector3 target;
    float roll = 0.0f;

    // Position and target become (0, 0, 0); roll keeps its value.
    void clear();

    // Writes the world-to-camera matrix: move by -position, then turn so that the target lies
    // straight ahead on +z, rolled by -roll. A target equal to the position (no direction) is
    // taken as looking straight ahead along +z.
    void viewMatrix(Matrix4& out) const;
};
