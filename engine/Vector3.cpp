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

void Vector3::reflectTurn(float a, float b, float c) {
    float ra = degToRad(a), rb = degToRad(b), rc = degToRad(c);
    float sa, ca, sb, cb, sc, cc;
    portable::sinCos(ra, sa, ca);
    portable::sinCos(rb, sb, cb);
    portable::sinCos(rc, sc, cc);
    float t = cc * x + sc * y;
    float h = sc * x - cc * y;
    float k = sb * t - cb * z;
    x = cb * t + sb * z;
    y = ca * h + sa * k;
    z = sa * h - ca * k;
}
