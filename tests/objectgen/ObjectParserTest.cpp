// The object source language: meshes of turned shells, markers, the camera's keys (points and
// places on a sphere), and errors that name the line.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/generators/objectgen/ObjectParser.h"

namespace {

ObjectSource parsed(const std::string& text) {
    ObjectSource source;
    std::string error;
    EXPECT_TRUE(parseObjectSource(text, source, error)) << error;
    return source;
}

std::string errorOf(const std::string& text) {
    ObjectSource source;
    std::string error;
    EXPECT_FALSE(parseObjectSource(text, source, error)) << text;
    return error;
}

// A camera block with one key on each track, for sources that are about something else.
const std::string camera = "camera\n  position 0 0 0 -10\n  target 0 0 0 0\nend\n";

TEST(ObjectParser, ReadsMeshesShellsMarkersAndTheCamera) {
    ObjectSource source = parsed(R"(# a comment line
frames 120
mesh emblem
  place 1 2 3
  shell star
    star 0.5
    pole 0.25
    ring 6 1.0 0.1 30   # a comment after the numbers
    ring 12 0.5 -0.1
    pole -0.25
    scale 100
    rotate 90 0 45
    offset 0 -5 0
  end
end
marker flight
  keys position
  point 4 5 6
  ring star 1
  samples target 0 60 6
end
camera
  fov 70
  roll 2
  position 0 1 2 3
  position 30 4 5 6
  target 0 0 0 0
end
)");
    EXPECT_EQ(source.frames, 120);
    ASSERT_EQ(source.meshes.size(), 1u);
    const SourceMesh& mesh = source.meshes[0];
    EXPECT_EQ(mesh.name, "emblem");
    EXPECT_EQ(mesh.place.z, 3.0f);
    ASSERT_EQ(mesh.shells.size(), 1u);
    const LatheShell& shell = mesh.shells[0];
    EXPECT_EQ(shell.name, "star");
    EXPECT_EQ(shell.starRatio, 0.5f);
    EXPECT_EQ(shell.topPole, 0.25f);
    EXPECT_EQ(shell.bottomPole, -0.25f);
    ASSERT_EQ(shell.rings.size(), 2u);
    EXPECT_EQ(shell.rings[0].count, 6);
    EXPECT_EQ(shell.rings[0].turn, 30.0f);
    EXPECT_EQ(shell.rings[1].turn, 0.0f);  // TURN is optional
    EXPECT_EQ(shell.rings[1].height, -0.1f);
    EXPECT_EQ(shell.scale, 100.0f);
    EXPECT_EQ(shell.rotate.z, 45.0f);
    EXPECT_EQ(shell.offset.y, -5.0f);

    ASSERT_EQ(source.markers.size(), 1u);
    const std::vector<MarkerPart>& parts = source.markers[0].parts;
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0].kind, MarkerPart::Keys);
    EXPECT_EQ(parts[0].track, "position");
    EXPECT_EQ(parts[1].kind, MarkerPart::Point);
    EXPECT_EQ(parts[1].point.y, 5.0f);
    EXPECT_EQ(parts[2].kind, MarkerPart::Ring);
    EXPECT_EQ(parts[2].shell, "star");
    EXPECT_EQ(parts[2].ring, 1);
    EXPECT_EQ(parts[3].kind, MarkerPart::Samples);
    EXPECT_EQ(parts[3].to, 60.0f);
    EXPECT_EQ(parts[3].step, 6.0f);

    EXPECT_EQ(source.camera.fov, 70.0f);
    EXPECT_EQ(source.camera.roll, 2.0f);
    ASSERT_EQ(source.camera.position.size(), 2u);
    EXPECT_EQ(source.camera.position[1].time, 30.0f);
    EXPECT_EQ(source.camera.position[1].value.x, 4.0f);
    ASSERT_EQ(source.camera.target.size(), 1u);
}

TEST(ObjectParser, PlacesAroundTheCentreOnASphere) {
    ObjectSource source = parsed(R"(camera
  centre 10 20 30
  position 0 around 100 0 0
  position 1 around 100 90 0
  position 2 around 100 0 90
  target 0 around 50 30 45
end
)");
    const std::vector<SourceKey>& keys = source.camera.position;
    ASSERT_EQ(keys.size(), 3u);
    // Azimuth 0 lies toward -z, elevation 90 toward -y (up on the title's screen), azimuth 90 toward +x.
    EXPECT_NEAR(keys[0].value.x, 10.0f, 1e-4f);
    EXPECT_NEAR(keys[0].value.z, 30.0f - 100.0f, 1e-4f);
    EXPECT_NEAR(keys[1].value.y, 20.0f - 100.0f, 1e-4f);
    EXPECT_NEAR(keys[1].value.z, 30.0f, 1e-4f);
    EXPECT_NEAR(keys[2].value.x, 10.0f + 100.0f, 1e-4f);
    // Whatever the angles, the place is that far from the centre.
    const SourcePoint& aim = source.camera.target[0].value;
    float dx = aim.x - 10.0f, dy = aim.y - 20.0f, dz = aim.z - 30.0f;
    EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), 50.0f, 1e-3f);
}

TEST(ObjectParser, ErrorsNameTheLineAndTheFault) {
    struct Case {
        std::string text;
        std::string says;
    };
    const Case cases[] = {
        {"frames 10\nwobble 3\n" + camera, "line 2"},
        {"frames 10\nwobble 3\n" + camera, "unknown statement 'wobble'"},
        {"frames ten\n" + camera, "'ten' is not a number"},
        {"frames 1 2\n" + camera, "'frames' takes 1 number"},
        {"mesh m\n shell s\n  pole 1\n  ring 4 1\n", "'ring' takes 3 to 4 numbers"},
        {"mesh m\n  shell s\n    pole 1\n", "has no 'end'"},
        {"mesh m\nend\n" + camera, "mesh 'm' has no shell"},
        {"mesh m\n shell s\n  pole 1\n  ring 2 1 0\n  pole -1\n end\nend\n" + camera, "3 to 1000"},
        {"mesh m\n shell s\n  pole 1\n  ring 4.5 1 0\n  pole -1\n end\nend\n" + camera, "whole number"},
        {"mesh m\n shell s\n  ring 4 1 0\n  pole 1\n  pole -1\n end\nend\n" + camera, "rings go between"},
        {"mesh m\n shell s\n  pole 1\n  ring 4 1 0\n  pole -1\n  pole -2\n", "a shell has two poles"},
        {"mesh m\n shell s\n  pole 1\n  pole -1\n  ring 4 1 0\n end\nend\n" + camera, "rings go between"},
        {"mesh m\n shell s\n  pole 1\n  ring 4 1 0\n end\nend\n" + camera, "needs a pole, rings and a pole"},
        {"marker k\nend\n" + camera, "marker 'k' is empty"},
        {"marker k\n  keys roll\nend\n" + camera, "'roll' is not a camera track"},
        {"marker k\n  samples position 10 0 1\nend\n" + camera, "from <= to and a positive step"},
        {"marker k\n  samples position 0 10 0\nend\n" + camera, "from <= to and a positive step"},
        {"camera\n  position 0 around 1 2 3\n  target 0 0 0 0\nend\n", "needs a 'centre' first"},
        {"camera\n  position 5 0 0 0\n  position 5 1 1 1\n  target 0 0 0 0\nend\n", "key times must rise"},
        {"camera\n  position 0 0 0 0\nend\n", "needs position and target keys"},
        {"camera\n  zoom 2\nend\n", "unknown camera statement 'zoom'"},
    };
    for (const Case& c : cases) {
        std::string error = errorOf(c.text);
        EXPECT_NE(error.find(c.says), std::string::npos) << "source:\n" << c.text << "\nerror: " << error;
    }
}

TEST(ObjectParser, ANewParseStartsFromNothing) {
    ObjectSource source = parsed("frames 5\nmesh m\n shell s\n  pole 1\n  ring 4 1 0\n  pole -1\n end\nend\n" + camera);
    std::string error;
    ASSERT_TRUE(parseObjectSource(camera, source, error)) << error;
    EXPECT_EQ(source.frames, 0);
    EXPECT_TRUE(source.meshes.empty());
}

}  // namespace
