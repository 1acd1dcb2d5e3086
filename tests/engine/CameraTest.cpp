#include <gtest/gtest.h>

#include <cmath>

#include "engine/CameraPose.h"
#include "engine/Viewport.h"
#include "tests/engine/EngineSupport.h"

TEST(Viewport, SetupProjectsWithAOnePercentMargin) {
    Bitmap frame(640, 480);
    Viewport view;
    view.setup(&frame, 90);
    EXPECT_NEAR(view.scaleX, 316.8f, 1e-3f);
    EXPECT_NEAR(view.scaleY, -237.6f, 1e-3f);
    EXPECT_NEAR(view.centreX, 320.0f, 1e-4f);
    EXPECT_NEAR(view.centreY, 240.0f, 1e-4f);

    Vector3 p = view.project({1, 1, 10});
    EXPECT_NEAR(p.x, 351.68f, 1e-3f);
    EXPECT_NEAR(p.y, 216.24f, 1e-3f);
    EXPECT_EQ(p.z, 10.0f);
    projectionFlipY = true;
    EXPECT_NEAR(view.project({1, 1, 10}).y, 263.76f, 1e-3f);
    projectionFlipY = false;

    // Points on the side planes land 0.99 of the half-size from the centre, whatever the angle.
    for (float fov : {55.0f, 70.0f, 90.0f}) {
        view.setup(&frame, fov);
        float edge = 10 * std::tan(fov * 3.14159265f / 360);
        EXPECT_NEAR(view.project({-edge, edge, 10}).x, 3.2f, 1e-3f);
        EXPECT_NEAR(view.project({edge, edge, 10}).x, 636.8f, 1e-3f);
        EXPECT_NEAR(view.project({edge, edge, 10}).y, 2.4f, 1e-3f);
        EXPECT_NEAR(view.project({edge, -edge, 10}).y, 477.6f, 1e-3f);
    }

    view.clearDepth();
    for (int32_t i = 0; i < frame.pixelCount(); i += 997) EXPECT_EQ(view.depth[i], 0x0FFFFFFF);
}

TEST(Viewport, OutcodesCountThePlaneItselfAsOutside) {
    Bitmap frame(640, 480);
    Viewport view;
    view.setup(&frame, 90);
    EXPECT_EQ(view.outcode({0, 0, 1}), 16);
    EXPECT_EQ(view.outcode({0, 0, 2}), 0);
    EXPECT_EQ(view.outcode({-3, 0, 2}), 8);
    EXPECT_EQ(view.outcode({3, 0, 2}), 4);
    EXPECT_EQ(view.outcode({0, 3, 2}), 1);
    EXPECT_EQ(view.outcode({0, -3, 2}), 2);
    EXPECT_EQ(view.outcode({-3, 3, -1}), 1 | 8 | 16);  // behind the eye the side tests flip
}

TEST(CameraPose, ViewMatrixLooksAtTheTarget) {
    CameraPose pose;
    pose.target = {0, 0, 5};
    Matrix4 m;
    pose.viewMatrix(m);
    Matrix4 id;
    id.identity();
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i], id.m[i], 1e-6f);

    pose.target = {5, 0, 0};
    pose.viewMatrix(m);
    Vector3 p = transformPoint({1, 0, 0}, m);
    EXPECT_NEAR(p.x, 0, 1e-6f);
    EXPECT_NEAR(p.y, 0, 1e-6f);
    EXPECT_NEAR(p.z, 1, 1e-6f);

    // Straight up: pitch 90 degrees, yaw 0; the target ends up ahead.
    pose.position = {1, 2, 3};
    pose.target = {1, 7, 3};
    pose.viewMatrix(m);
    p = transformPoint({1, 4, 3}, m);
    EXPECT_NEAR(p.x, 0, 1e-5f);
    EXPECT_NEAR(p.y, 0, 1e-5f);
    EXPECT_NEAR(p.z, 2, 1e-5f);

    // Roll: a camera rolled by 90 degrees sees the world's +x as its +y.
    pose.position = {};
    pose.target = {0, 0, 1};
    pose.roll = 90;
    pose.viewMatrix(m);
    p = transformPoint({1, 0, 0}, m);
    EXPECT_NEAR(p.x, 0, 1e-6f);
    EXPECT_NEAR(p.y, 1, 1e-6f);

    pose.clear();
    EXPECT_EQ(pose.roll, 90);
    EXPECT_EQ(pose.target.z, 0);
}

TEST(CameraPose, TargetAtThePositionGivesAFiniteMatrix) {
    CameraPose pose;
    pose.position = pose.target = {4, -1, 2};
    Matrix4 m;
    pose.viewMatrix(m);
    for (float element : m.m) EXPECT_TRUE(std::isfinite(element));
    Vector3 p = transformPoint({5, -1, 3}, m);  // looks along +z, like an unturned camera
    EXPECT_NEAR(p.x, 1, 1e-6f);
    EXPECT_NEAR(p.z, 1, 1e-6f);
}
