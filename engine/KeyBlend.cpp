#include "engine/KeyBlend.h"

float easeCurve(float t, float a, float b) {
    float sum = a + b;
    if (sum == 0.0f) return t;
    if (sum > 1.0f) {
        a /= sum;
        b /= sum;
    }
    float k = 1.0f / (2.0f - a - b);
    // Start: k/a t^2 reaches k a with slope 2k at t = a. Middle: slope 2k. Arrival: the start turned
    // about (0.5, 0.5), reaching 1 at t = 1 and k (2 - 2b - a) with slope 2k at t = 1 - b.
    if (a > 0.0f && t < a) return k / a * t * t;
    if (b > 0.0f && t > 1.0f - b) {
        float r = 1.0f - t;
        return 1.0f - k / b * r * r;
    }
    return k * (2.0f * t - a);
}

static float hermite(float p0, float m0, float p1, float m1, float s) {
    float s2 = s * s;
    float s3 = s2 * s;
    return (2.0f * s3 - 3.0f * s2 + 1.0f) * p0 + (s3 - 2.0f * s2 + s) * m0 + (3.0f * s2 - 2.0f * s3) * p1 +
           (s3 - s2) * m1;
}

Vector3 hermiteBlend(Vector3 p0, Vector3 m0, Vector3 p1, Vector3 m1, float s) {
    return {hermite(p0.x, m0.x, p1.x, m1.x, s), hermite(p0.y, m0.y, p1.y, m1.y, s), hermite(p0.z, m0.z, p1.z, m1.z, s)};
}
