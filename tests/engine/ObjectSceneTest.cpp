#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "assets/ObjectBlock.h"
#include "engine/ObjectScene.h"
#include "engine/Viewport.h"
#include "tests/engine/EngineSupport.h"

namespace {

std::vector<uint8_t> shippedBlock() { return std::vector<uint8_t>(objectBlock, objectBlock + objectBlockSize); }

void expectVector(Vector3 v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

void expectTrackSpan(const KeyTrack& track, int32_t keys, float first, float last) {
    ASSERT_EQ(track.keyCount, keys);
    EXPECT_EQ(track.keys[0].time, first);
    EXPECT_EQ(track.keys[keys - 1].time, last);
    for (int32_t i = 0; i < keys; ++i) {
        EXPECT_EQ(track.keys[i].easeIn, 0.0f);
        EXPECT_EQ(track.keys[i].easeOut, 0.0f);
    }
}

// The solid angle of triangle abc seen from p, in steradians, signed by the winding.
double solidAngle(Vector3 p, Vector3 a, Vector3 b, Vector3 c) {
    double ax = a.x - p.x, ay = a.y - p.y, az = a.z - p.z;
    double bx = b.x - p.x, by = b.y - p.y, bz = b.z - p.z;
    double cx = c.x - p.x, cy = c.y - p.y, cz = c.z - p.z;
    double la = std::sqrt(ax * ax + ay * ay + az * az), lb = std::sqrt(bx * bx + by * by + bz * bz),
           lc = std::sqrt(cx * cx + cy * cy + cz * cz);
    double triple = ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx);
    double divisor = la * lb * lc + (ax * bx + ay * by + az * bz) * lc + (ax * cx + ay * cy + az * cz) * lb +
                     (bx * cx + by * cy + bz * cz) * la;
    return 2.0 * std::atan2(triple, divisor);
}

}  // namespace

TEST(ObjectBlock, ShippedBlockLoadsAsLaidOut) {
    ObjectScene scene;
    EXPECT_EQ(scene.load(objectBlock), 6852u);
    EXPECT_EQ(objectBlockSize, 6852u);
    ASSERT_EQ(scene.meshCount, 6);
    ASSERT_EQ(scene.cameraCount, 1);
    EXPECT_EQ(scene.frameCount, 300);

    const Mesh& emblem = scene.meshes[0].mesh;
    EXPECT_EQ(emblem.vertexCount, 166);
    EXPECT_EQ(emblem.faceCount, 324);
    EXPECT_TRUE(emblem.indicesValid());
    EXPECT_EQ(emblem.matrix.m[12], 0.0f);
    EXPECT_EQ(emblem.matrix.m[13], 0.0f);
    EXPECT_EQ(emblem.matrix.m[14], 1.2526f);
    EXPECT_EQ(emblem.faces[0].mode, 2);
    EXPECT_EQ(emblem.faces[323].colour, 0xB4DCF0u);
    int32_t twelve = 0, fifteen = 0;
    for (int32_t i = 0; i < 6; ++i) {
        const ObjectMesh& mesh = scene.meshes[i];
        EXPECT_EQ(mesh.position.keyCount, 1);
        if (i == 0) continue;
        EXPECT_EQ(mesh.mesh.faceCount, 0);
        twelve += mesh.mesh.vertexCount == 12;
        fifteen += mesh.mesh.vertexCount == 15;
    }
    EXPECT_EQ(twelve, 1);
    EXPECT_EQ(fifteen, 4);

    const ObjectCamera& camera = scene.cameras[0];
    EXPECT_EQ(camera.fovDegrees, 70.0f);
    expectTrackSpan(camera.position, 15, 0.0f, 300.0f);
    expectTrackSpan(camera.roll, 1, 0.0f, 0.0f);
    expectTrackSpan(camera.target, 11, 0.0f, 176.0f);
    expectVector(camera.position.keys[0].value, -1.0000242f, -826.6217f, 0.5749273f);
    expectVector(camera.target.keys[0].value, -1.0000242f, -666.6217f, 0.5749273f);

    // The checked reader reads the same block the same way.
    ObjectScene checked;
    uint32_t bytesRead = 0;
    ASSERT_TRUE(checked.load(objectBlock, objectBlockSize, &bytesRead));
    EXPECT_EQ(bytesRead, 6852u);
    EXPECT_EQ(checked.meshes[0].mesh.vertices[165].z, emblem.vertices[165].z);
    checked.release();
    scene.release();
    EXPECT_EQ(scene.meshCount, 0);
    EXPECT_EQ(scene.meshes, nullptr);
}

TEST(ObjectBlock, EveryEmblemFaceTurnsOutOfItsShell) {
    ObjectScene scene;
    scene.load(objectBlock);
    const Mesh& mesh = scene.meshes[0].mesh;
    // Shells: faces joined through shared vertices.
    std::vector<int32_t> shellOf(size_t(mesh.vertexCount), -1);
    std::function<void(int32_t, int32_t)> mark = [&](int32_t vertex, int32_t shell) {
        if (shellOf[size_t(vertex)] != -1) return;
        shellOf[size_t(vertex)] = shell;
        for (int32_t f = 0; f < mesh.faceCount; ++f) {
            const Face& face = mesh.faces[f];
            if (face.v0 == vertex || face.v1 == vertex || face.v2 == vertex)
                for (int32_t v : {face.v0, face.v1, face.v2}) mark(v, shell);
        }
    };
    int32_t shells = 0;
    for (int32_t v = 0; v < mesh.vertexCount; ++v)
        if (shellOf[size_t(v)] == -1) mark(v, shells++);
    EXPECT_EQ(shells, 2);

    // A point just in front of a face is outside its shell (winding number 0), a point just behind it
    // inside (winding number 1): so every normal points away from the shell's inside.
    auto winding = [&](Vector3 p, int32_t shell) {
        double total = 0.0;
        for (int32_t f = 0; f < mesh.faceCount; ++f) {
            const Face& face = mesh.faces[f];
            if (shellOf[size_t(face.v0)] != shell) continue;
            total += solidAngle(p, mesh.vertices[face.v0], mesh.vertices[face.v1], mesh.vertices[face.v2]);
        }
        return total / (4.0 * 3.14159265358979);
    };
    int32_t perShell[2] = {0, 0};
    for (int32_t f = 0; f < mesh.faceCount; ++f) {
        const Face& face = mesh.faces[f];
        int32_t shell = shellOf[size_t(face.v0)];
        ++perShell[shell];
        Vector3 a = mesh.vertices[face.v0], b = mesh.vertices[face.v1], c = mesh.vertices[face.v2];
        Vector3 n = mesh.faceNormals[f];
        ASSERT_NEAR(n.length(), 1.0f, 1e-5f) << "face " << f << " is degenerate";
        Vector3 centre{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
        Vector3 front{centre.x + n.x * 0.01f, centre.y + n.y * 0.01f, centre.z + n.z * 0.01f};
        Vector3 back{centre.x - n.x * 0.01f, centre.y - n.y * 0.01f, centre.z - n.z * 0.01f};
        EXPECT_NEAR(winding(front, shell), 0.0, 1e-3) << "face " << f;
        EXPECT_NEAR(winding(back, shell), 1.0, 1e-3) << "face " << f;
    }
    // Closed shells without holes: F = 2V - 4 each.
    for (int32_t shell = 0; shell < 2; ++shell) {
        int32_t vertices = 0;
        for (int32_t s : shellOf) vertices += s == shell;
        EXPECT_EQ(perShell[shell], 2 * vertices - 4);
    }
    scene.release();
}

TEST(ObjectBlock, CheckedLoadRejectsBrokenBlocksAndKeepsNothing) {
    std::vector<uint8_t> block = shippedBlock();
    ObjectScene scene;
    // Every cut short of the whole block, sampled.
    for (uint32_t size = 0; size < objectBlockSize; size += 37) {
        EXPECT_FALSE(scene.load(block.data(), size)) << size;
        EXPECT_EQ(scene.meshes, nullptr);
        EXPECT_EQ(scene.cameras, nullptr);
    }
    EXPECT_FALSE(scene.load(block.data(), objectBlockSize - 1));

    auto rejects = [&](const std::function<void(std::vector<uint8_t>&)>& damage) {
        std::vector<uint8_t> copy = block;
        damage(copy);
        bool loaded = scene.load(copy.data(), uint32_t(copy.size()));
        scene.release();
        return !loaded;
    };
    auto put16 = [](std::vector<uint8_t>& b, size_t at, uint16_t v) {
        b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
    };
    auto putFloat = [](std::vector<uint8_t>& b, size_t at, float v) { std::memcpy(&b[at], &v, 4); };
    constexpr size_t firstMesh = 13, firstFaces = firstMesh + 2 + 12 * 166 + 2;
    constexpr size_t camera = 6852 - 1313, firstPositionKey = camera + 32 + 3;

    EXPECT_TRUE(rejects([](std::vector<uint8_t>&) {}) == false);                              // the block as shipped
    EXPECT_TRUE(rejects([](std::vector<uint8_t>& b) { b[0] = 'K'; }));                        // tag
    EXPECT_TRUE(rejects([&](std::vector<uint8_t>& b) { put16(b, 5, 7); }));                   // one mesh too many
    EXPECT_TRUE(rejects([&](std::vector<uint8_t>& b) { put16(b, 5, 65535); }));               // meshes past the end
    EXPECT_TRUE(rejects([&](std::vector<uint8_t>& b) { put16(b, firstMesh, 65535); }));       // vertices
    EXPECT_TRUE(rejects([&](std::vector<uint8_t>& b) { put16(b, firstFaces - 2, 65535); }));  // faces
    EXPECT_TRUE(rejects([&](std::vector<uint8_t>& b) { put16(b, firstFaces + 4, 166); }));    // an index
    EXPECT_TRUE(rejects([&](std::vector<uint8_t>& b) { put16(b, camera + 33, 16); }));        // keys
    // The second position key placed before the first.
    EXPECT_TRUE(rejects([&](std::vector<uint8_t>& b) { putFloat(b, firstPositionKey + 48, -1.0f); }));
    EXPECT_TRUE(rejects([&](std::vector<uint8_t>& b) { putFloat(b, firstPositionKey, NAN); }));
    // Bytes after the records are not the block's business.
    std::vector<uint8_t> longer = block;
    longer.resize(longer.size() + 100, 0xEE);
    uint32_t bytesRead = 0;
    EXPECT_TRUE(scene.load(longer.data(), uint32_t(longer.size()), &bytesRead));
    EXPECT_EQ(bytesRead, 6852u);
    scene.release();
}

TEST(ObjectAnimation, CameraStartsAtItsFirstKeysAndAlwaysRollsOneDegree) {
    ObjectScene scene;
    scene.load(objectBlock);
    Bitmap frame(640, 480);
    Viewport viewport;
    viewport.setup(&frame, 70);
    ObjectCamera& camera = scene.cameras[0];
    for (float time = 0.0f; time <= 120.0f; time += 0.15f * 7) {
        viewport.clearDepth();
        scene.draw(viewport, time);
        ASSERT_EQ(camera.pose.roll, 1.0f) << time;
    }
    scene.draw(viewport, 0.0f);
    expectVector(camera.pose.position, -1.0000242f, -826.6217f, 0.5749273f);
    expectVector(camera.pose.target, -1.0000242f, -666.6217f, 0.5749273f);
    // The meshes stay where their matrices put them.
    EXPECT_EQ(scene.meshes[0].mesh.matrix.m[14], 1.2526f);
    scene.release();
}

// The show plays frames 0 to about 90: the camera there moves without a jolt at any key (the speed
// arriving equals the speed leaving) and never swings past the keys either side of a segment.
TEST(ObjectAnimation, ShippedCameraMovesSmoothlyThroughThePlayedFrames) {
    ObjectScene scene;
    scene.load(objectBlock);
    for (const KeyTrack* track : {&scene.cameras[0].position, &scene.cameras[0].target}) {
        for (int32_t i = 1; i + 1 < track->keyCount && track->keys[i].time <= 90.0f; ++i) {
            float t = track->keys[i].time, h = 0.01f;
            Vector3 before = track->evaluate(t - h), at = track->evaluate(t), after = track->evaluate(t + h);
            float speedIn[3] = {(at.x - before.x) / h, (at.y - before.y) / h, (at.z - before.z) / h};
            float speedOut[3] = {(after.x - at.x) / h, (after.y - at.y) / h, (after.z - at.z) / h};
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(speedIn[c], speedOut[c], 0.2f) << "key " << i << " axis " << c;
        }
        for (int32_t i = 0; i + 1 < track->keyCount && track->keys[i].time < 90.0f; ++i) {
            const KeyFrame &k0 = track->keys[i], &k1 = track->keys[i + 1];
            for (float t = k0.time; t <= k1.time; t += 0.25f) {
                Vector3 p = track->evaluate(t);
                EXPECT_GE(p.x, std::fmin(k0.value.x, k1.value.x) - 1e-3f);
                EXPECT_LE(p.x, std::fmax(k0.value.x, k1.value.x) + 1e-3f);
                EXPECT_GE(p.y, std::fmin(k0.value.y, k1.value.y) - 1e-3f);
                EXPECT_LE(p.y, std::fmax(k0.value.y, k1.value.y) + 1e-3f);
                EXPECT_GE(p.z, std::fmin(k0.value.z, k1.value.z) - 1e-3f);
                EXPECT_LE(p.z, std::fmax(k0.value.z, k1.value.z) + 1e-3f);
            }
        }
    }
    scene.release();
}
