#include "engine/Vector3.h"

#include <cmath>
#include <numbers>

#include "core/PortableMath.h"

float degToRad(float degrees) { return degrees * std::numbers::pi_v<float> / 180.0f; }

float Vector3::length() const { return std::sqrt(x * x + y * y + z * z); }

void Vector3::normalise() {
    float len = length();
    if (len == 0.0f) return;
    float inverse = 1.0f / len;
    x *= inverse;
    y *= inverse;
    z *= inverse;
}

void Vector3::rotateStepwise(float a, float b, float c) { rotateStepwise(TurnAngles::of(a, b, c)); }

void Vector3::rotateStepwise(const TurnAngles& angles) {
    y = angles.ca * y - angles.sa * z;
    z = angles.sa * y + angles.ca * z;  // the y just written
    x = angles.cb * x - angles.sb * y;
    y = angles.sb * x + angles.cb * y;  // the x just written
    x = angles.cc * x - angles.sc * z;
    z = angles.sc * x + angles.cc * z;  // the x just written
}

TurnAngles TurnAngles::of(float a, float b, float c) {
    TurnAngles angles;
    portable::sinCos(degToRad(a), angles.sa, angles.ca);
    portable::sinCos(degToRad(b), angles.sb, angles.cb);
    portable::sinCos(degToRad(c), angles.sc, angles.cc);
    return angles;
}

void TurnAngles::ofFour(const float* a, const float* b, const float* c, TurnAngles* out) {
    float radians[3][4], sines[3][4], cosines[3][4];
    for (int i = 0; i < 4; ++i) {
        radians[0][i] = degToRad(a[i]);
        radians[1][i] = degToRad(b[i]);
        radians[2][i] = degToRad(c[i]);
    }
    for (int k = 0; k < 3; ++k) portable::sinCosFour(radians[k], sines[k], cosines[k]);
    for (int i = 0; i < 4; ++i)
        out[i] = {sines[0][i], cosines[0][i], sines[1][i], cosines[1][i], sines[2][i], cosines[2][i]};
}

void Vector3::reflectTurn(float a, float b, float c) { reflectTurn(TurnAngles::of(a, b, c)); }

void Vector3::reflectTurn(const TurnAngles& angles) {
    float t = angles.cc * x + angles.sc * y;
    float h = angles.sc * x - angles.cc * y;
    float k = angles.sb * t - angles.cb * z;
    x = angles.cb * t + angles.sb * z;
    y = angles.ca * h + angles.sa * k;
    z = angles.sa * h - angles.ca * k;
}
