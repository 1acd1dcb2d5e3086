#include "engine/KeyTrack.h"

void KeyTrack::destroy() {
    delete[] keys;
    keys = nullptr;
    keyCount = 0;
}

int32_t KeyTrack::findKey(float time) const {
    int32_t i = keyCount - 1;
    while (i > 0 && keys[i].time > time) --i;
    return i > 0 ? i : 0;
}

Vector3 KeyTrack::evaluate(float time) const {
    if (keyCount <= 0) return Vector3{};
    int32_t i = findKey(time);
    const KeyFrame& k0 = keys[i];
    if (keyCount == 1) return k0.value;
    const KeyFrame& k1 = keys[i + 1 < keyCount ? i + 1 : 0];
    float t = (time - k0.time) / (k1.time - k0.time);
    float s = easeCurve(t, k0.easeOut, k1.easeIn);
    return hermiteBlend(k0.value, k0.tangentOut, k1.value, k1.tangentIn, s);
}
