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

void Vector3::rotateStepwise(float a, float b, float c) {
    float ra = degToRad(a), rb = degToRad(b), rc = degToRad(c);
    float sa, ca, sb, cb, sc, cc;
    portable::sinCos(ra, sa, ca);
    portable::sinCos(rb, sb, cb);
    portable::sinCos(rc, sc, cc);
    y = ca * y - sa * z;
    z = sa * y + ca * z;  // the y just written
    x = cb * x - sb * y;
    y = sb * x + cb * y;  // the x just written
    x = cc * x - sc * z;
    z = sc * x + cc * z;  // the x just written
}

TurnAngles TurnAngles::of(float a, float b, float c) {
    TurnAngles angles;
    portable::sinCos(degToRad(a), angles.sa, angles.ca);
    portable::sinCos(degToRad(b), angles.sb, angles.cb);
    portable::sinCos(degToRad(c), angles.sc, angles.cc);
    return angles;
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
