#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/KeyTrack.h"
#include "engine/Vector3.h"
#include "tools/generators/objectgen/ObjectSource.h"

// A closed triangulated shell: faces wound so that cross(b - a, c - a) points out.
struct ShellGeometry {
    std::vector<Vector3> vertices;
    std::vector<uint16_t> faces;  // three indices per face
};

// The lathe's points (top pole, each ring, bottom pole) placed by the shell's scale, rotation and
// offset, and its faces: fans at the poles and between neighbouring rings strips that follow the
// points around by angle, so rings of different counts join too.
ShellGeometry buildLathe(const LatheShell& shell);

// A vector track through keys whose tangents keep the motion smooth: each key's velocity (per
// frame) is the usual neighbour difference, limited per coordinate so that no segment overshoots
// its keys (0 where a coordinate turns); tangents are that velocity times the adjacent segment's
// length, so speed carries across every key.
KeyTrack smoothTrack(const std::vector<SourceKey>& keys);

// The "kelv" block the source describes; false with a message when the source cannot make one.
bool buildObjectBlock(const ObjectSource& source, std::vector<uint8_t>& block, std::string& error);
