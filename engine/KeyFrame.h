#pragma once
#include "engine/Vector3.h"

// One key of an animation track, at a time in frames. A vector key fills time, the three vectors
// and the eases; a scalar key fills time, the three scalars and the eases, its vectors staying zero.
// Tangents are per segment, not per frame: they are used as stored, with no scaling by the length
// of the segment they shape.
struct KeyFrame {
    float time = 0.0f;
    Vector3 value;
    Vector3 tangentIn;   // arriving at this key
    Vector3 tangentOut;  // leaving this key
    float scalar = 0.0f;
    float scalarIn = 0.0f;
    float scalarOut = 0.0f;
    float easeIn = 0.0f;   // shapes the approach to this key
    float easeOut = 0.0f;  // shapes the departure from it
};
