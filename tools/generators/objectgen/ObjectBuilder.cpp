#include "tools/generators/objectgen/ObjectBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "engine/Matrix4.h"

namespace {

constexpr double pi = 3.14159265358979323846;

// Unwrapped angle of point k of ring, in degrees.
double ringAngle(const LatheRing& ring, int32_t k) { return ring.turn + 360.0 * k / ring.count; }

// Appends the faces joining ring a (starting at index a0) to the next ring b (starting at b0),
// walking both around by angle and always stepping the ring whose next point comes first.
void joinRings(const LatheRing& a, uint16_t a0, const LatheRing& b, uint16_t b0, std::vector<uint16_t>& faces) {
    // Start b at its point nearest a's first point.
    double start = ringAngle(a, 0);
    double stepB = 360.0 / b.count;
    int32_t first = int32_t(std::lround((start - b.turn) / stepB));
    double angleB0 = b.turn + stepB * first;
    auto indexA = [&](int32_t i) { return uint16_t(a0 + i % a.count); };
    auto indexB = [&](int32_t j) { return uint16_t(b0 + (((first + j) % b.count) + b.count) % b.count); };
    int32_t i = 0, j = 0;
    while (i < a.count || j < b.count) {
        double nextA = start + 360.0 * (i + 1) / a.count;
        double nextB = angleB0 + stepB * (j + 1);
        bool stepA = j == b.count || (i < a.count && nextA <= nextB);
        uint16_t third = stepA ? indexA(i + 1) : indexB(j + 1);
        faces.insert(faces.end(), {indexA(i), indexB(j), third});
        (stepA ? i : j)++;
    }
}

double signedVolume(const ShellGeometry& shell) {
    double volume = 0.0;
    for (size_t f = 0; f + 2 < shell.faces.size(); f += 3) {
        Vector3 a = shell.vertices[shell.faces[f]], b = shell.vertices[shell.faces[f + 1]],
                c = shell.vertices[shell.faces[f + 2]];
        volume += double(a.x) * (double(b.y) * c.z - double(b.z) * c.y) -
                  double(a.y) * (double(b.x) * c.z - double(b.z) * c.x) +
                  double(a.z) * (double(b.x) * c.y - double(b.y) * c.x);
    }
    return volume / 6.0;
}

// Little-endian output.
struct BlockWriter {
    std::vector<uint8_t>& bytes;
    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v) { bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8)}); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
    }
    void f32(float v) {
        uint32_t word;
        std::memcpy(&word, &v, 4);
        u32(word);
    }
    void vec(Vector3 v) { f32(v.x), f32(v.y), f32(v.z); }

    void vectorTrack(const KeyTrack& track) {
        u8(0);
        u16(uint16_t(track.keyCount));
        for (int32_t i = 0; i < track.keyCount; ++i) {
            const KeyFrame& k = track.keys[i];
            f32(k.time), vec(k.value), vec(k.tangentIn), vec(k.tangentOut), f32(k.easeIn), f32(k.easeOut);
        }
    }

    // A mesh record: planar coordinates, faces, no texture coordinates, the matrix column by
    // column, and a one-key position track holding the mesh's translation.
    void mesh(const std::vector<Vector3>& vertices, const std::vector<uint16_t>& faces, Vector3 place) {
        u16(uint16_t(vertices.size()));
        for (const Vector3& v : vertices) f32(v.x);
        for (const Vector3& v : vertices) f32(v.y);
        for (const Vector3& v : vertices) f32(v.z);
        u16(uint16_t(faces.size() / 3));
        for (uint16_t index : faces) u16(index);
        u8(0);
        Matrix4 matrix;
        matrix.translation(place);
        for (int32_t j = 0; j < 16; ++j) f32(matrix.m[(j % 4) * 4 + j / 4]);
        u8(1);
        KeyFrame key;
        key.value = place;
        vectorTrack(KeyTrack{1, &key, 0});
    }
};

const std::vector<SourceKey>& cameraKeys(const SourceCamera& camera, const std::string& track) {
    return track == "position" ? camera.position : camera.target;
}

}  // namespace

ShellGeometry buildLathe(const LatheShell& shell) {
    ShellGeometry g;
    std::vector<uint16_t> ringStart;
    g.vertices.push_back({0.0f, 0.0f, shell.topPole});
    for (const LatheRing& ring : shell.rings) {
        ringStart.push_back(uint16_t(g.vertices.size()));
        for (int32_t k = 0; k < ring.count; ++k) {
            double angle = ringAngle(ring, k) * pi / 180.0;
            double radius = ring.radius * ((k & 1) ? shell.starRatio : 1.0f);
            g.vertices.push_back({float(radius * std::cos(angle)), float(radius * std::sin(angle)), ring.height});
        }
    }
    uint16_t bottom = uint16_t(g.vertices.size());
    g.vertices.push_back({0.0f, 0.0f, shell.bottomPole});

    const LatheRing& firstRing = shell.rings.front();
    for (int32_t k = 0; k < firstRing.count; ++k)
        g.faces.insert(g.faces.end(),
                       {0, uint16_t(ringStart[0] + k), uint16_t(ringStart[0] + (k + 1) % firstRing.count)});
    for (size_t r = 0; r + 1 < shell.rings.size(); ++r)
        joinRings(shell.rings[r], ringStart[r], shell.rings[r + 1], ringStart[r + 1], g.faces);
    const LatheRing& lastRing = shell.rings.back();
    uint16_t last = ringStart.back();
    for (int32_t k = 0; k < lastRing.count; ++k)
        g.faces.insert(g.faces.end(), {uint16_t(last + k), bottom, uint16_t(last + (k + 1) % lastRing.count)});

    Matrix4 turn;
    turn.rotation(shell.rotate.x, shell.rotate.y, shell.rotate.z);
    for (Vector3& v : g.vertices) {
        Vector3 scaled{v.x * shell.scale, v.y * shell.scale, v.z * shell.scale};
        v = rotateVector(scaled, turn) + Vector3{shell.offset.x, shell.offset.y, shell.offset.z};
    }
    // A profile given bottom to top, or a mirroring turn, winds the faces inward: turn them over.
    if (signedVolume(g) < 0.0)
        for (size_t f = 0; f + 2 < g.faces.size(); f += 3) std::swap(g.faces[f + 1], g.faces[f + 2]);
    return g;
}

KeyTrack smoothTrack(const std::vector<SourceKey>& keys) {
    KeyTrack track;
    track.keyCount = int32_t(keys.size());
    track.keys = new KeyFrame[keys.size()]();
    size_t n = keys.size();
    auto coordinate = [&](size_t i, int c) {
        const SourcePoint& p = keys[i].value;
        return double(c == 0 ? p.x : c == 1 ? p.y : p.z);
    };
    for (size_t i = 0; i < n; ++i) {
        KeyFrame& key = track.keys[i];
        key.time = keys[i].time;
        key.value = {keys[i].value.x, keys[i].value.y, keys[i].value.z};
    }
    if (n < 2) return track;
    for (size_t i = 0; i < n; ++i) {
        double before = i > 0 ? keys[i].time - keys[i - 1].time : keys[1].time - keys[0].time;
        double after = i + 1 < n ? keys[i + 1].time - keys[i].time : before;
        float in[3], out[3];
        for (int c = 0; c < 3; ++c) {
            // Slopes of the segments either side (an end key sees its one segment on both sides).
            double slopeBefore = i > 0 ? (coordinate(i, c) - coordinate(i - 1, c)) / before
                                       : (coordinate(1, c) - coordinate(0, c)) / after;
            double slopeAfter = i + 1 < n ? (coordinate(i + 1, c) - coordinate(i, c)) / after : slopeBefore;
            double velocity = 0.0;
            if (slopeBefore * slopeAfter > 0.0) {
                velocity = (slopeBefore * after + slopeAfter * before) / (before + after);
                double limit = 3.0 * std::min(std::fabs(slopeBefore), std::fabs(slopeAfter));
                velocity = std::clamp(velocity, -limit, limit);
            }
            in[c] = float(velocity * before);
            out[c] = float(velocity * after);
        }
        track.keys[i].tangentIn = {in[0], in[1], in[2]};
        track.keys[i].tangentOut = {out[0], out[1], out[2]};
    }
    return track;
}

bool buildObjectBlock(const ObjectSource& source, std::vector<uint8_t>& block, std::string& error) {
    if (source.camera.position.empty() || source.camera.target.empty()) {
        error = "the source needs a camera with position and target keys";
        return false;
    }
    if (source.meshes.size() + source.markers.size() > 65535) {
        error = "too many meshes and markers for the block";
        return false;
    }
    std::map<std::string, std::pair<const LatheShell*, ShellGeometry>> shells;
    BlockWriter out{block};
    block.clear();
    for (char c : std::string("kelv")) out.u8(uint8_t(c));
    out.u8(0);
    out.u16(uint16_t(source.meshes.size() + source.markers.size()));
    out.u16(1);
    out.u32(uint32_t(source.frames));

    for (const SourceMesh& mesh : source.meshes) {
        std::vector<Vector3> vertices;
        std::vector<uint16_t> faces;
        for (const LatheShell& shell : mesh.shells) {
            ShellGeometry g = buildLathe(shell);
            uint16_t base = uint16_t(vertices.size());
            vertices.insert(vertices.end(), g.vertices.begin(), g.vertices.end());
            for (uint16_t index : g.faces) faces.push_back(uint16_t(base + index));
            // Markers name shell points in world space: where the mesh puts them.
            for (Vector3& v : g.vertices) v = v + Vector3{mesh.place.x, mesh.place.y, mesh.place.z};
            shells[shell.name] = {&shell, g};
        }
        if (vertices.size() > 65535 || faces.size() / 3 > 65535) {
            error = "mesh '" + mesh.name + "' is too large for the block";
            return false;
        }
        out.mesh(vertices, faces, {mesh.place.x, mesh.place.y, mesh.place.z});
    }

    KeyTrack position = smoothTrack(source.camera.position);
    KeyTrack target = smoothTrack(source.camera.target);
    for (const SourceMarker& marker : source.markers) {
        std::vector<Vector3> points;
        for (const MarkerPart& part : marker.parts) {
            switch (part.kind) {
            case MarkerPart::Point: points.push_back({part.point.x, part.point.y, part.point.z}); break;
            case MarkerPart::Keys:
                for (const SourceKey& key : cameraKeys(source.camera, part.track))
                    points.push_back({key.value.x, key.value.y, key.value.z});
                break;
            case MarkerPart::Ring: {
                auto found = shells.find(part.shell);
                if (found == shells.end() || part.ring < 0 || size_t(part.ring) >= found->second.first->rings.size()) {
                    error = "marker '" + marker.name + "' names no ring " + std::to_string(part.ring) + " of '" +
                            part.shell + "'";
                    position.destroy(), target.destroy();
                    return false;
                }
                const std::vector<LatheRing>& rings = found->second.first->rings;
                size_t first = 1;
                for (int32_t r = 0; r < part.ring; ++r) first += size_t(rings[r].count);
                const std::vector<Vector3>& v = found->second.second.vertices;
                points.insert(points.end(), v.begin() + long(first), v.begin() + long(first + rings[part.ring].count));
                break;
            }
            case MarkerPart::Samples: {
                const KeyTrack& track = part.track == "position" ? position : target;
                for (float t = part.from; t <= part.to; t += part.step) points.push_back(track.evaluate(t));
                break;
            }
            }
        }
        out.mesh(points, {}, {});
    }

    const SourceCamera& camera = source.camera;
    out.vec(position.keys[0].value);
    out.vec(target.keys[0].value);
    out.f32(camera.roll);
    out.f32(camera.fov);
    out.vectorTrack(position);
    out.u8(0);
    out.u16(1);
    for (float v : {0.0f, camera.roll, 0.0f, 0.0f, 0.0f, 0.0f}) out.f32(v);
    out.vectorTrack(target);
    position.destroy();
    target.destroy();
    return true;
}
