#include <gtest/gtest.h>

#include <cmath>

#include "engine/CameraPose.h"
#include "engine/Draw2D.h"
#include "engine/Mesh.h"
#include "engine/Viewport.h"
#include "tests/engine/EngineSupport.h"

TEST(Mesh, FaceNormalsFollowTheWinding) {
    Mesh mesh = meshOfTriangles(
        {{-1, 1, -1}, {1, 1, -1}, {1, -1, -1}, {-1, 1, -1}, {1, -1, -1}, {1, 1, -1}, {0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
    for (int i = 0; i < 3; ++i) mesh.faces[i].normalIndex = 7;
    mesh.computeFaceNormals();
    EXPECT_FLOAT_EQ(mesh.faceNormals[0].z, -1);
    EXPECT_FLOAT_EQ(mesh.faceNormals[1].z, 1);
    EXPECT_EQ(mesh.faceNormals[2].x, 0);
    EXPECT_EQ(mesh.faceNormals[2].y, 0);
    EXPECT_EQ(mesh.faceNormals[2].z, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(mesh.faces[i].normalIndex, i);
    EXPECT_TRUE(mesh.indicesValid());
    mesh.faces[1].v2 = 9;
    EXPECT_FALSE(mesh.indicesValid());
    mesh.destroy();
    EXPECT_EQ(mesh.faces, nullptr);
}

TEST(Mesh, SetMaterialLeavesTheTrianglesAlone) {
    Mesh mesh = cubeMesh(1);
    mesh.faces[3].triangle.x1 = 42;
    mesh.faces[3].triangle.colour = 7;
    uint32_t texels[4] = {};
    mesh.setMaterial(rasterTextured, 0x123456, texels);
    for (int32_t i = 0; i < mesh.faceCount; ++i) {
        EXPECT_EQ(mesh.faces[i].mode, rasterTextured);
        EXPECT_EQ(mesh.faces[i].colour, 0x123456u);
        EXPECT_EQ(mesh.faces[i].texture, texels);
    }
    EXPECT_EQ(mesh.faces[3].triangle.x1, 42);
    EXPECT_EQ(mesh.faces[3].triangle.colour, 7u);
    mesh.destroy();
}

// Which faces the headlight sees from viewer, as a bit mask.
static uint32_t visibleFaces(Mesh& mesh, Vector3 viewer) {
    mesh.shade(viewer);
    uint32_t mask = 0;
    for (int32_t i = 0; i < mesh.faceCount; ++i) mask |= uint32_t(mesh.faces[i].visible) << i;
    return mask;
}

TEST(Mesh, HeadlightShadesTheFacesTurnedToTheViewer) {
    Mesh cube = cubeMesh(10);
    cube.computeFaceNormals();
    cube.setMaterial(rasterSolid, 0xFFFFFF, nullptr);
    EXPECT_EQ(visibleFaces(cube, {0, 0, -50}), 0b11u);  // the two triangles of the z = -10 side
    // t = 40 / sqrt(1800) = 0.9428 from the shared first corner (-10, 10, -10): 240 per channel.
    EXPECT_EQ(cube.faces[0].triangle.colour, 0xF0F0F0u);
    EXPECT_EQ(cube.faces[1].triangle.colour, 0xF0F0F0u);

    // Moving the mesh, or turning it half round, is seen through its matrix.
    cube.matrix.translation({0, 0, 100});
    EXPECT_EQ(visibleFaces(cube, {0, 0, 50}), 0b11u);
    cube.matrix.rotation(0, 180, 0);
    EXPECT_EQ(visibleFaces(cube, {0, 0, 50}), 0b11u);

    // Seen edge-on (t = 0) a face is not visible.
    Mesh flat = meshOfTriangles({{-1, 1, 0}, {1, 1, 0}, {1, -1, 0}});
    flat.computeFaceNormals();
    EXPECT_EQ(visibleFaces(flat, {5, 0, 0}), 0u);
    EXPECT_EQ(visibleFaces(flat, {5, 0, -1}), 1u);

    // Channels scale separately and truncate.
    flat.setMaterial(rasterSolid, 0x80FF10, nullptr);
    flat.shade({-1, 1, -1});  // straight along the normal from the first corner: t = 1
    EXPECT_EQ(flat.faces[0].triangle.colour, 0x80FF10u);
    cube.destroy();
    flat.destroy();
}

TEST(Mesh, TransformGoesThroughObjectThenCamera) {
    Mesh mesh = meshOfTriangles({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    mesh.matrix.translation({0, 0, 10});
    Matrix4 camera;
    camera.rotation(0, 0, 90);
    mesh.transform(camera);
    EXPECT_NEAR(mesh.transformed[0].x, 0, 1e-6f);
    EXPECT_NEAR(mesh.transformed[0].y, 1, 1e-6f);
    EXPECT_NEAR(mesh.transformed[0].z, 10, 1e-6f);
    EXPECT_NEAR(mesh.transformed[2].z, 11, 1e-6f);
    mesh.destroy();
}

TEST(Mesh, DrawFillsVisibleFacesAndOutlinesThem) {
    Bitmap frame(640, 480);
    frame.fill(0xFFFFFF);
    Viewport view;
    view.setup(&frame, 90);
    Mesh cube = cubeMesh(10);
    cube.computeFaceNormals();
    cube.setMaterial(rasterSolid, 0x00FF00, nullptr);
    CameraPose pose;
    pose.position = {0, 0, -50};
    pose.target = {0, 0, 0};
    Matrix4 camera;
    pose.viewMatrix(camera);
    cube.shade(pose.position);
    cube.transform(camera);
    cube.draw(view);
    // The front side spans x = 320 +- 316.8 * 10 / 40 = 240.8 .. 399.2 and y = 240 +- 59.4.
    EXPECT_EQ(frame.pixels[250 * 640 + 300], 0x00F000u);
    EXPECT_EQ(frame.pixels[240 * 640 + 200], 0xFFFFFFu);
    // The black outline darkens the filled top row (y = 180.6).
    EXPECT_LT((frame.pixels[180 * 640 + 320] >> 8) & 0xFF, 0xC0u);
    EXPECT_EQ(frame.pixels[185 * 640 + 320], 0x00F000u);
    // Unseen faces are not drawn: a mesh seen from behind leaves the frame as it was.
    Bitmap before(640, 480);
    for (int i = 0; i < frame.pixelCount(); ++i) before.pixels[i] = frame.pixels[i];
    for (int32_t i = 0; i < cube.faceCount; ++i) cube.faces[i].visible = 0;
    cube.draw(view);
    EXPECT_TRUE(sameBitmap(before, frame));
    cube.destroy();
}

static RasterTriangle cameraTriangle(Vector3 a, Vector3 b, Vector3 c) {
    RasterTriangle t;
    t.x0 = a.x, t.y0 = a.y, t.z0 = a.z;
    t.x1 = b.x, t.y1 = b.y, t.z1 = b.z;
    t.x2 = c.x, t.y2 = c.y, t.z2 = c.z;
    return t;
}

TEST(ViewportDraw, ATriangleThroughTheNearPlaneBecomesAnExactFan) {
    Bitmap frame(640, 480);
    frame.fill(0xFFFFFF);
    Viewport view;
    view.setup(&frame, 90);
    // Corner 0 behind the near plane: clipped to a quadrilateral, drawn as two triangles around
    // the first crossing. Half-blending shows any pixel the two cover twice.
    RasterTriangle t = cameraTriangle({0, 0, 0.5f}, {1, -0.5f, 1.5f}, {-1, 0.8f, 1.5f});
    t.u0 = 0, t.u1 = 1, t.u2 = 0.5f;
    t.colour = 0;
    view.drawTriangle(t, rasterHalf);
    int covered = 0;
    for (int i = 0; i < frame.pixelCount(); ++i) {
        ASSERT_TRUE(frame.pixels[i] == 0xFFFFFF || frame.pixels[i] == 0x7F7F7F) << i % 640 << "," << i / 640;
        covered += frame.pixels[i] == 0x7F7F7F;
    }
    EXPECT_GT(covered, 1000);
    // The triangle now holds the fan's last part, starting at the crossing on edge 0-1 (t = 0.5),
    // with u, v clipped alongside but not scaled to texels.
    EXPECT_FLOAT_EQ(t.z0, 1);
    EXPECT_FLOAT_EQ(t.x0, 0.5f);
    EXPECT_FLOAT_EQ(t.u0, 0.5f);
    EXPECT_FLOAT_EQ(t.x1, -1);
    EXPECT_FLOAT_EQ(t.z1, 1.5f);
    EXPECT_FLOAT_EQ(t.u2, 0.25f);
}

TEST(ViewportDraw, PrimitivesWhollyOutsideOnePlaneDrawNothing) {
    Bitmap frame = randomBitmap(320, 240, 3), before = randomBitmap(320, 240, 3);
    Viewport view;
    view.setup(&frame, 90);
    RasterTriangle left = cameraTriangle({-30, 0, 10}, {-20, 5, 10}, {-25, -5, 12});
    view.drawTriangle(left, rasterSolid);
    view.drawLine({-30, 0, 10}, {-20, 5, 10}, 0xFFFFFF, LineMode::Add);
    Bitmap glow(50, 50);
    radialGlow(glow);
    view.drawSprite(glow, {0, 0, 0.5f}, 0.4f);
    view.drawSprite(glow, {0, 0, -10}, 20);
    EXPECT_TRUE(sameBitmap(frame, before));
}

TEST(ViewportDraw, LinesAreClippedAtTheNearPlane) {
    Bitmap frame(640, 480);
    frame.fill(0);
    Viewport view;
    view.setup(&frame, 90);
    // From z = 0.5 it would start at x = 383.36; clipped at z = 1 it starts at 351.68.
    view.drawLine({0.1f, 0, 0.5f}, {0.1f, 0, 10}, 0xFFFFFF, LineMode::Add);
    int leftmost = 640, rightmost = -1;
    for (int i = 0; i < frame.pixelCount(); ++i)
        if (frame.pixels[i]) {
            leftmost = std::min(leftmost, i % 640);
            rightmost = std::max(rightmost, i % 640);
        }
    EXPECT_GE(leftmost, 321);
    EXPECT_LE(leftmost, 323);
    EXPECT_GE(rightmost, 350);
    EXPECT_LE(rightmost, 352);
}

// The four corners are tested and projected together: each sprite must draw what the corners'
// outcodes and projections, point by point, call for (flipped or not), near every plane and past it.
TEST(ViewportDraw, SpritesFollowTheirCornersOneByOne) {
    Bitmap glow(50, 50);
    radialGlow(glow);
    Bitmap frame(320, 240), expected(320, 240);
    Viewport view;
    view.setup(&frame, 90);
    struct FlipReset {
        ~FlipReset() { projectionFlipY = false; }
    } flipReset;  // also when an assertion ends the test early
    rng::srand(9);
    for (int trial = 0; trial < 600; ++trial) {
        Vector3 centre = {randomIn(-40, 40), randomIn(-30, 30), randomIn(-2, 40)};
        float size = randomIn(0.5f, 12), h = size * 0.5f;
        projectionFlipY = trial % 2 == 1;
        const Vector3 corners[4] = {{centre.x - h, centre.y + h, centre.z},
                                    {centre.x - h, centre.y - h, centre.z},
                                    {centre.x + h, centre.y - h, centre.z},
                                    {centre.x + h, centre.y + h, centre.z}};
        int32_t all = 0, shared = ~0;
        for (const Vector3& corner : corners) {
            all |= view.outcode(corner);
            shared &= view.outcode(corner);
        }
        if (all != 0 && shared == 0) continue;  // clipped: the polygon path, the same either way
        frame.fill(0x10203040);
        expected.fill(0x10203040);
        view.drawSprite(glow, centre, size);
        if (all == 0) {
            Vector3 p0 = view.project(corners[0]), p1 = view.project(corners[1]), p3 = view.project(corners[3]);
            blitScaledAdd(expected, glow, p0.x, p0.y, p3.x - p0.x, p1.y - p0.y, 0, 0, 1, 1);
        }
        ASSERT_TRUE(sameBitmap(frame, expected)) << trial;
    }
}

TEST(ViewportDraw, SpritesInsideMatchTheirBlitAndClippedOnesShowTheirVisiblePart) {
    Bitmap glow(50, 50);
    radialGlow(glow);
    Bitmap frame(640, 480), expected(640, 480);
    frame.fill(0);
    expected.fill(0);
    Viewport view;
    view.setup(&frame, 90);
    view.drawSprite(glow, {1, 2, 20}, 4);
    Vector3 topLeft = view.project({-1, 4, 20}), bottomLeft = view.project({-1, 0, 20});
    Vector3 topRight = view.project({3, 4, 20});
    blitScaledAdd(expected, glow, topLeft.x, topLeft.y, topRight.x - topLeft.x, bottomLeft.y - topLeft.y, 0, 0, 1, 1);
    EXPECT_TRUE(sameBitmap(frame, expected));

    // Centred on the left plane (x = -z at 90 degrees): only the right half, u from 0.5 to 1.
    // An image dark on its left half and bright on its right shows which half was used.
    Bitmap halves(50, 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) halves.pixels[y * 50 + x] = x < 25 ? 0 : 0x404040;
    frame.fill(0);
    view.drawSprite(halves, {-10, 0, 10}, 4);
    int drawn = 0, leftmost = 640, rightmost = -1;
    for (int i = 0; i < frame.pixelCount(); ++i)
        if (frame.pixels[i]) {
            ++drawn;
            leftmost = std::min(leftmost, i % 640);
            rightmost = std::max(rightmost, i % 640);
        }
    EXPECT_EQ(leftmost, 3);
    EXPECT_EQ(rightmost, 65);
    EXPECT_GE(drawn, 62 * 94);  // bright throughout: the dark half was cut away with the square
}
