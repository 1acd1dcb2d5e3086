#include "engine/Matrix4.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "core/PortableMath.h"

void Matrix4::zero() {
    for (float& element : m) element = 0.0f;
}

void Matrix4::identity() {
    zero();
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

void Matrix4::translation(Vector3 v) {
    identity();
    m[12] = v.x;
    m[13] = v.y;
    m[14] = v.z;
}

void Matrix4::rotation(float a, float b, float c) {
    float ra = degToRad(a), rb = degToRad(b), rc = degToRad(c);
    float sa = portable::sin(ra), ca = portable::cos(ra);
    float sb = portable::sin(rb), cb = portable::cos(rb);
    float sc = portable::sin(rc), cc = portable::cos(rc);
    // clang-format off
    float rows[16] = {
        cb * cc,                cb * sc,                -sb,     0.0f,
        sa * sb * cc - ca * sc, sa * sb * sc + ca * cc, sa * cb, 0.0f,
        ca * sb * cc + sa * sc, ca * sb * sc - sa * cc, ca * cb, 0.0f,
        0.0f,                   0.0f,                   0.0f,    1.0f,
    };
    // clang-format on
    std::memcpy(m, rows, sizeof m);
}

void Matrix4::transposeRotation() {
    std::swap(m[1], m[4]);
    std::swap(m[2], m[8]);
    std::swap(m[6], m[9]);
}

void Matrix4::multiply(const Matrix4& a, const Matrix4& b, Matrix4& out) {
    Matrix4 product;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            product.m[4 * r + c] = a.m[4 * r] * b.m[c] + a.m[4 * r + 1] * b.m[4 + c] + a.m[4 * r + 2] * b.m[8 + c] +
                                   a.m[4 * r + 3] * b.m[12 + c];
    copy(out, product);
}

void Matrix4::copy(Matrix4& dst, const Matrix4& src) { std::memcpy(dst.m, src.m, sizeof dst.m); }

Vector3 transformPoint(Vector3 p, const Matrix4& matrix) {
    const float* m = matrix.m;
    return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
            p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}

Vector3 rotateVector(Vector3 p, const Matrix4& matrix) {
    const float* m = matrix.m;
    return {p.x * m[0] + p.y * m[4] + p.z * m[8], p.x * m[1] + p.y * m[5] + p.z * m[9],
            p.x * m[2] + p.y * m[6] + p.z * m[10]};
}
