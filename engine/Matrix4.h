#pragma once
#include "engine/Vector3.h"

// Sixteen floats, row-major: element (r, c) is m[4r + c]. Points are row vectors multiplied from
// the left (p' = p x M), so the fourth row (12, 13, 14) holds the translation, and A x B
// transforms first by A, then by B. Every constructor writes all sixteen elements.
struct Matrix4 {
    float m[16] = {};

    // All zero.
    void zero();
    // Zero with 1 on the diagonal.
    void identity();
    // Identity with the translation v in elements 12, 13, 14.
    void translation(Vector3 v);
    // Rx(a) x Ry(b) x Rz(c), angles in degrees: turn about x by a, then y by b, then z by c.
    void rotation(float a, float b, float c);
    // In place: swaps 1/4, 2/8, 6/9 (the upper-left 3x3 transposed; fourth row and column kept).
    void transposeRotation();

    // out = a x b; computed into a temporary first, so out may be a or b.
    static void multiply(const Matrix4& a, const Matrix4& b, Matrix4& out);
    // dst = src.
    static void copy(Matrix4& dst, const Matrix4& src);
};

// p x M with p taken as (x, y, z, 1); no division.
Vector3 transformPoint(Vector3 p, const Matrix4& matrix);

// p x M without the translation row.
Vector3 rotateVector(Vector3 p, const Matrix4& matrix);
