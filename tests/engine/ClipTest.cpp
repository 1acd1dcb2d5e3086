#include <gtest/gtest.h>

#include <cmath>

#include "engine/Clip.h"
#include "engine/Viewport.h"
#include "tests/engine/EngineSupport.h"

static const Plane nearPlane = {{0, 0, 1}, 1};

static void expectVertex(const ClipVertex& v, float x, float y, float z, float u, float vv) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
    EXPECT_FLOAT_EQ(v.u, u);
    EXPECT_FLOAT_EQ(v.v, vv);
}

TEST(ClipToPlane, InsidePolygonsComeBackUnchanged) {
    ClipVertex in[clipPolygonCapacity] = {{0, 0, 2, 0.1f, 0.2f}, {1, 0, 3, 0.3f, 0.4f}, {0, 1, 4, 0.5f, 0.6f}};
    ClipVertex out[clipPolygonCapacity] = {};
    ASSERT_EQ(clipToPlane(nearPlane, in, out, 3), 3);
    for (int i = 0; i < 3; ++i) expectVertex(out[i], in[i].x, in[i].y, in[i].z, in[i].u, in[i].v);
    EXPECT_EQ(clipToPlane(nearPlane, in, out, 0), 0);
    EXPECT_EQ(clipToPlane(nearPlane, in, out, 1), 1);
}

TEST(ClipToPlane, CrossingPointsCarryTextureWithTheSameT) {
    // A is behind the near plane; the result starts at the first crossing, not at A's place.
    ClipVertex in[clipPolygonCapacity] = {{0, 0, 0, 0, 1}, {1, 0, 2, 1, 0}, {-1, 1, 2, 0.5f, 0.5f}};
    ClipVertex out[clipPolygonCapacity] = {};
    ASSERT_EQ(clipToPlane(nearPlane, in, out, 3), 4);
    expectVertex(out[0], 0.5f, 0, 1, 0.5f, 0.5f);  // A-B at t = 0.5
    expectVertex(out[1], 1, 0, 2, 1, 0);
    expectVertex(out[2], -1, 1, 2, 0.5f, 0.5f);
    expectVertex(out[3], -0.5f, 0.5f, 1, 0.25f, 0.75f);  // C-A at t = 0.5
}

TEST(ClipToPlane, VerticesOnThePlaneFollowTheTwoTieRules) {
    ClipVertex out[clipPolygonCapacity] = {};
    // On the plane between two inside neighbours: dropped, and no crossing is added.
    ClipVertex between[clipPolygonCapacity] = {{0, 0, 1, 0, 0}, {1, 0, 2, 0, 0}, {0, 1, 2, 0, 0}};
    ASSERT_EQ(clipToPlane(nearPlane, between, out, 3), 2);
    EXPECT_EQ(out[0].x, 1);
    EXPECT_EQ(out[1].y, 1);

    // From the on-plane vertex to an outside one the crossing is the vertex itself (t = 0).
    ClipVertex towardOutside[clipPolygonCapacity] = {{0, 0, 3, 0, 0}, {2, 0, 1, 0.25f, 0}, {0, 2, 0, 0, 0}};
    ASSERT_EQ(clipToPlane(nearPlane, towardOutside, out, 3), 3);
    expectVertex(out[0], 0, 0, 3, 0, 0);
    expectVertex(out[1], 2, 0, 1, 0.25f, 0);
    EXPECT_FLOAT_EQ(out[2].z, 1);  // the crossing of the closing edge

    // A single vertex survives only strictly inside.
    ClipVertex single[clipPolygonCapacity] = {{0, 0, 1, 0, 0}};
    EXPECT_EQ(clipToPlane(nearPlane, single, out, 1), 0);
}

TEST(ClipToPlane, NeverWritesPastTheArrayCapacity) {
    // A zigzag whose every edge crosses the plane would add a crossing per edge on top of its
    // inside vertices: more than the arrays hold.
    ClipVertex zigzag[clipPolygonCapacity] = {};
    for (int i = 0; i < clipPolygonCapacity; ++i) zigzag[i] = {float(i), 0, i % 2 ? 0.0f : 2.0f, 0, 0};
    ClipVertex out[clipPolygonCapacity + 1] = {};
    out[clipPolygonCapacity].x = 1234;
    EXPECT_EQ(clipToPlane(nearPlane, zigzag, out, clipPolygonCapacity), clipPolygonCapacity);
    EXPECT_EQ(out[clipPolygonCapacity].x, 1234);
    EXPECT_EQ(clipToPlane(nearPlane, zigzag, out, 1000), clipPolygonCapacity);
}

TEST(ViewportClip, ResultsLieWithinTheFrustumAndProjectInsideTheTarget) {
    Bitmap frame(640, 480);
    Viewport view;
    view.setup(&frame, 70);
    rng::srand(99);
    int32_t clippedCount = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        ClipVertex poly[clipPolygonCapacity] = {}, scratch[clipPolygonCapacity] = {};
        for (int i = 0; i < 3; ++i) poly[i] = {randomIn(-30, 30), randomIn(-30, 30), randomIn(-5, 30), 0, 0};
        int32_t n = view.clipPolygon(poly, scratch, 3);
        EXPECT_LE(n, 8);
        clippedCount += n > 0;
        for (int32_t i = 0; i < n; ++i) {
            Vector3 p = {scratch[i].x, scratch[i].y, scratch[i].z};
            for (const Plane* plane : {&view.top, &view.bottom, &view.left, &view.right, &view.nearPlane})
                EXPECT_GE(plane->side(p), -1e-4f);
            Vector3 s = view.project(p);
            EXPECT_GE(s.x, 3.1f);
            EXPECT_LE(s.x, 636.9f);
            EXPECT_GE(s.y, 2.3f);
            EXPECT_LE(s.y, 477.7f);
        }
    }
    EXPECT_GT(clippedCount, 200);
}
