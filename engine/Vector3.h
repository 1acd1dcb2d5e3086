#pragma once

// The sine and cosine of three angles given in degrees, worked out once for turning many points
// by the same angles.
struct TurnAngles {
    float sa = 0.0f, ca = 1.0f, sb = 0.0f, cb = 1.0f, sc = 0.0f, cc = 1.0f;

    static TurnAngles of(float a, float b, float c);
    // TurnAngles::of for four sets of angles (a[i], b[i], c[i]) into out[i]: the same values.
    static void ofFour(const float* a, const float* b, const float* c, TurnAngles* out);
};

// Three 32-bit floats; a plain value. Angles given to the engine are in degrees.
struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    // sqrt(x*x + y*y + z*z).
    float length() const;

    // Scales the vector to unit length; a zero vector is left unchanged.
    void normalise();

    // Three in-place steps, each of whose second line uses the value its first line has just
    // written (a on y/z, then b on x/y, then c on x/z). Not a pure rotation: each step scales
    // areas by its cosine squared. Angles in degrees; the second form takes their sines and cosines.
    void rotateStepwise(float a, float b, float c);
    void rotateStepwise(const TurnAngles& angles);

    // Three reflections in planes through the origin (determinant -1 overall); lengths are kept.
    // Angles in degrees; the second form takes their sines and cosines.
    void reflectTurn(float a, float b, float c);
    void reflectTurn(const TurnAngles& angles);
};

inline Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

inline float dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The usual cross product a x b.
inline Vector3 cross(Vector3 a, Vector3 b) {
    return {a.y * b.z - b.y * a.z, a.z * b.x - b.z * a.x, b.y * a.x - a.y * b.x};
}

// d * pi / 180 in 32-bit floats.
float degToRad(float degrees);
