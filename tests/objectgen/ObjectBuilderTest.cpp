// The object generator's geometry and block: turned shells that are closed and wound outward,
// camera tracks that pass through their keys without overshooting, and a block that the engine's
// checked loader reads back as the source describes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "engine/ObjectScene.h"
#include "tools/generators/objectgen/ObjectBuilder.h"
#include "tools/generators/objectgen/ObjectParser.h"

namespace {

LatheShell shellOf(std::vector<LatheRing> rings, float topPole = 1.0f, float bottomPole = -1.0f) {
    LatheShell shell;
    shell.name = "lathe";
    shell.topPole = topPole;
    shell.bottomPole = bottomPole;
    shell.rings = std::move(rings);
    return shell;
}

// A closed surface wound one way has every edge twice, once in each direction.
void expectClosedAndConsistent(const ShellGeometry& g) {
    std::map<std::pair<int, int>, int> edges;
    for (size_t f = 0; f + 2 < g.faces.size(); f += 3)
        for (int e = 0; e < 3; ++e) ++edges[{g.faces[f + e], g.faces[f + (e + 1) % 3]}];
    for (const auto& [edge, count] : edges) {
        EXPECT_EQ(count, 1) << edge.first << "-" << edge.second << " is used twice the same way";
        EXPECT_EQ(edges.count({edge.second, edge.first}), 1u) << edge.first << "-" << edge.second << " is open";
    }
}

// Six times the volume enclosed, positive when the faces are wound so that cross(b - a, c - a)
// points out.
double volumeOf(const ShellGeometry& g) {
    double volume = 0.0;
    for (size_t f = 0; f + 2 < g.faces.size(); f += 3) {
        Vector3 a = g.vertices[g.faces[f]], b = g.vertices[g.faces[f + 1]], c = g.vertices[g.faces[f + 2]];
        volume += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
    }
    return volume;
}

TEST(ObjectBuilder, LatheShellsAreClosedAndWoundOutward) {
    // Rings of equal and of different counts, star points, a profile given bottom to top (which
    // would wind inward), and a mirroring placement.
    std::vector<LatheShell> shells = {
        shellOf({{8, 1.0f, 0.0f, 0.0f}}),
        shellOf({{8, 0.6f, 0.5f, 22.5f}, {16, 1.0f, 0.0f, 0.0f}, {5, 0.4f, -0.5f, 10.0f}}),
        shellOf({{14, 1.0f, 0.0f, 90.0f}}),
        shellOf({{6, 1.0f, -0.2f, 0.0f}, {6, 1.0f, 0.2f, 0.0f}}, -1.0f, 1.0f),
    };
    shells[2].starRatio = 0.48f;
    shells[3].scale = -2.0f;
    for (const LatheShell& shell : shells) {
        ShellGeometry g = buildLathe(shell);
        size_t ringPoints = 0;
        for (const LatheRing& ring : shell.rings) ringPoints += size_t(ring.count);
        EXPECT_EQ(g.vertices.size(), ringPoints + 2);  // the two poles and every ring point
        // Euler: a closed shell of V points has 2V - 4 triangles.
        EXPECT_EQ(g.faces.size() / 3, 2 * g.vertices.size() - 4);
        expectClosedAndConsistent(g);
        EXPECT_GT(volumeOf(g), 0.0);
    }
}

TEST(ObjectBuilder, LathesArePlacedScaledTurnedThenMoved) {
    LatheShell shell = shellOf({{4, 1.0f, 0.0f, 0.0f}}, 0.5f, -0.5f);
    shell.scale = 10.0f;
    shell.rotate = {90.0f, 0.0f, 0.0f};
    shell.offset = {0.0f, 0.0f, 100.0f};
    ShellGeometry g = buildLathe(shell);
    // The poles lie on the shell's own z axis; scaled by 10 and turned 90 degrees about x they lie
    // on the y axis, then moved 100 along z.
    EXPECT_NEAR(g.vertices.front().x, 0.0f, 1e-4f);
    EXPECT_NEAR(std::fabs(g.vertices.front().y), 5.0f, 1e-4f);
    EXPECT_NEAR(g.vertices.front().z, 100.0f, 1e-4f);
    EXPECT_NEAR(g.vertices.front().y, -g.vertices.back().y, 1e-4f);
    for (size_t i = 1; i + 1 < g.vertices.size(); ++i) {
        float dx = g.vertices[i].x, dz = g.vertices[i].z - 100.0f;
        EXPECT_NEAR(dx * dx + dz * dz, 100.0f, 1e-2f) << i;  // the ring, radius 10, about the moved axis
    }
}

TEST(ObjectBuilder, SmoothTracksPassThroughTheirKeysWithoutOvershoot) {
    // x rises then falls (a turning point at the middle key), y only rises, z stays.
    std::vector<SourceKey> keys = {{0.0f, {0.0f, 0.0f, 5.0f}},
                                   {10.0f, {100.0f, 10.0f, 5.0f}},
                                   {15.0f, {40.0f, 200.0f, 5.0f}},
                                   {40.0f, {0.0f, 210.0f, 5.0f}}};
    KeyTrack track = smoothTrack(keys);
    ASSERT_EQ(track.keyCount, 4);
    for (const SourceKey& key : keys) {
        Vector3 at = track.evaluate(key.time);
        EXPECT_NEAR(at.x, key.value.x, 1e-3f);
        EXPECT_NEAR(at.y, key.value.y, 1e-3f);
        EXPECT_NEAR(at.z, key.value.z, 1e-3f);
    }
    EXPECT_EQ(track.keys[1].tangentIn.x, 0.0f);  // x turns here
    EXPECT_EQ(track.keys[1].tangentOut.x, 0.0f);
    EXPECT_EQ(track.keys[2].tangentIn.z, 0.0f);
    for (size_t k = 0; k + 1 < keys.size(); ++k)
        for (float t = keys[k].time; t <= keys[k + 1].time; t += 0.25f) {
            Vector3 at = track.evaluate(t);
            auto within = [](float v, float a, float b) {
                return v >= std::min(a, b) - 1e-3f && v <= std::max(a, b) + 1e-3f;
            };
            EXPECT_TRUE(within(at.x, keys[k].value.x, keys[k + 1].value.x)) << "x at " << t;
            EXPECT_TRUE(within(at.y, keys[k].value.y, keys[k + 1].value.y)) << "y at " << t;
        }
    track.destroy();
}

const char* smallSource = R"(
frames 90
mesh emblem
  place 0 0 7
  shell star
    pole 0.5
    ring 6 1 0
    pole -0.5
    scale 10
  end
end
marker rim
  ring star 0
  point 1 2 3
end
marker shot
  samples position 0 30 10
end
camera
  fov 70
  roll 0
  position 0 0 -100 0
  position 30 50 -80 0
  position 60 0 -100 10
  target 0 0 0 0
  target 60 0 0 7
end
)";

TEST(ObjectBuilder, TheBlockLoadsBackAsTheSourceDescribesIt) {
    ObjectSource source;
    std::string error;
    ASSERT_TRUE(parseObjectSource(smallSource, source, error)) << error;
    std::vector<uint8_t> block;
    ASSERT_TRUE(buildObjectBlock(source, block, error)) << error;
    ASSERT_GE(block.size(), 5u);
    EXPECT_EQ(std::string(block.begin(), block.begin() + 5), std::string("kelv", 5));

    ObjectScene scene;
    uint32_t read = 0;
    ASSERT_TRUE(scene.load(block.data(), uint32_t(block.size()), &read));
    EXPECT_EQ(read, block.size());  // nothing left over, nothing missing
    EXPECT_EQ(scene.frameCount, 90);
    ASSERT_EQ(scene.meshCount, 3);  // the emblem, then the two markers
    ASSERT_EQ(scene.cameraCount, 1);

    const Mesh& emblem = scene.meshes[0].mesh;
    EXPECT_EQ(emblem.vertexCount, 8);
    EXPECT_EQ(emblem.faceCount, 12);
    // The rim marker: ring 0 of the star where its mesh puts it (moved 7 along z), then the point.
    const Mesh& rim = scene.meshes[1].mesh;
    ASSERT_EQ(rim.vertexCount, 7);
    EXPECT_EQ(rim.faceCount, 0);
    for (int32_t i = 0; i < 6; ++i) {
        EXPECT_NEAR(rim.vertices[i].x, emblem.vertices[i + 1].x, 1e-4f);
        EXPECT_NEAR(rim.vertices[i].z, emblem.vertices[i + 1].z + 7.0f, 1e-4f);
    }
    EXPECT_EQ(rim.vertices[6].y, 2.0f);
    // The shot marker: the position track sampled at frames 0, 10, 20 and 30.
    const Mesh& shot = scene.meshes[2].mesh;
    ASSERT_EQ(shot.vertexCount, 4);
    EXPECT_NEAR(shot.vertices[3].x, 50.0f, 1e-3f);  // frame 30 is a key

    const ObjectCamera& camera = scene.cameras[0];
    EXPECT_EQ(camera.fovDegrees, 70.0f);
    EXPECT_EQ(camera.position.keyCount, 3);
    EXPECT_EQ(camera.target.keyCount, 2);
    EXPECT_EQ(camera.target.keys[1].value.z, 7.0f);
    scene.release();
}

TEST(ObjectBuilder, RefusesWhatCannotMakeABlock) {
    ObjectSource source;
    std::string error;
    std::vector<uint8_t> block;
    EXPECT_FALSE(buildObjectBlock(source, block, error));
    EXPECT_NE(error.find("camera"), std::string::npos) << error;

    ASSERT_TRUE(parseObjectSource(smallSource, source, error)) << error;
    source.markers[0].parts[0].ring = 3;  // the star has one ring
    EXPECT_FALSE(buildObjectBlock(source, block, error));
    EXPECT_NE(error.find("names no ring 3 of 'star'"), std::string::npos) << error;
}

}  // namespace
