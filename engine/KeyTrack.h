#pragma once
#include <cstdint>

#include "engine/KeyBlend.h"
#include "engine/KeyFrame.h"
#include "engine/Vector3.h"

// A keyframed track: keys in rising time order, owned.
struct KeyTrack {
    int32_t keyCount = 0;
    KeyFrame* keys = nullptr;
    uint8_t flags = 0;  // stored with the track, not interpreted

    // Frees the keys; the track is left empty.
    void destroy();

    // Walking from the last key toward the first, the first key whose time is not later than time;
    // 0 when every key is later.
    int32_t findKey(float time) const;

    // The track's vector at time: the Hermite curve from the key findKey gives to the next one (past
    // the last key, back to key 0) at the eased fraction of the way between their times. A track of
    // one key holds its value at every time; a track of no keys gives (0, 0, 0).
    Vector3 evaluate(float time) const;
};
