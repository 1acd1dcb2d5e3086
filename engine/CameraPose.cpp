#include "engine/CameraPose.h"

#include <algorithm>
#include <cmath>

#include "core/PortableMath.h"

void CameraPose::clear() {
    position = {};
    target = {};
}

void CameraPose::viewMatrix(Matrix4& out) const {
    Vector3 d = target - position;
    float len = d.length();
    float yaw = -portable::atan2(d.x, d.z);
    // With no direction the pitch would be 0 / 0; look level instead. The clamp keeps a
    // rounding excess over 1 from turning asin into NaN.
    float pitch = len > 0.0f ? portable::asin(std::clamp(d.y / len, -1.0f, 1.0f)) : 0.0f;
    float r = -degToRad(roll);
    float sy = portable::sin(yaw), cy = portable::cos(yaw);
    float sp = portable::sin(pitch), cp = portable::cos(pitch);
    float sr = portable::sin(r), cr = portable::cos(r);

    Matrix4 turn;
    turn.identity();
    turn.m[0] = sr * sp * sy + cr * cy;
    turn.m[1] = cr * sp * sy - sr * cy;
    turn.m[2] = -cp * sy;
    turn.m[4] = sr * cp;
    turn.m[5] = cr * cp;
    turn.m[6] = sp;
    turn.m[8] = cr * sy - sr * sp * cy;
    turn.m[9] = -cr * sp * cy - sr * sy;
    turn.m[10] = cp * cy;

    Matrix4 move;
    move.translation({-position.x, -position.y, -position.z});
    Matrix4::multiply(move, turn, out);
}
