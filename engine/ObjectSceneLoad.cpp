#include <cmath>
#include <cstring>

#include "core/ByteReader.h"
#include "engine/ObjectScene.h"

namespace {

// The smallest records the block can hold, for bounding counts before anything is allocated.
constexpr uint32_t headerBytes = 13;
constexpr uint32_t smallestMeshBytes = 2 + 2 + 1 + 64 + 1;
constexpr uint32_t smallestTrackBytes = 3;
constexpr uint32_t smallestCameraBytes = 32 + 3 * smallestTrackBytes;
constexpr uint32_t vectorKeyBytes = 48;
constexpr uint32_t scalarKeyBytes = 24;

// Reads records front to back. When checked, every count is bounded by the bytes left before it is
// used and every index and key time is tested; the first fault stops the reading.
struct BlockLoader {
    ByteReader reader;
    bool checked = false;
    bool failed = false;

    // Fails (when checked) unless count records of recordBytes each can still follow.
    bool fits(uint64_t count, uint64_t recordBytes) {
        if (checked && count * recordBytes > reader.remaining()) failed = true;
        return !failed;
    }

    float readFloat() {
        float value;
        reader.read(&value, 4, 1);
        return value;
    }

    Vector3 readVector() {
        Vector3 v;
        v.x = readFloat();
        v.y = readFloat();
        v.z = readFloat();
        return v;
    }

    uint16_t readCount() { return reader.readValue<uint16_t>(); }

    void readTrack(KeyTrack& track, bool vector) {
        track.flags = reader.readValue<uint8_t>();
        uint16_t count = readCount();
        if (!fits(count, vector ? vectorKeyBytes : scalarKeyBytes)) return;
        track.keyCount = count;
        track.keys = new KeyFrame[count]();
        for (uint16_t i = 0; i < count; ++i) {
            KeyFrame& key = track.keys[i];
            key.time = readFloat();
            if (vector) {
                key.value = readVector();
                key.tangentIn = readVector();
                key.tangentOut = readVector();
            } else {
                key.scalar = readFloat();
                key.scalarIn = readFloat();
                key.scalarOut = readFloat();
            }
            key.easeIn = readFloat();
            key.easeOut = readFloat();
            if (checked && (std::isnan(key.time) || (i > 0 && key.time < track.keys[i - 1].time))) {
                failed = true;
                return;
            }
        }
    }

    void readMesh(ObjectMesh& object) {
        Mesh& mesh = object.mesh;
        uint16_t vertexCount = readCount();
        if (!fits(vertexCount, 12)) return;
        // Face count 0 for now: the faces are allocated once their count is known.
        mesh.allocate(0, vertexCount);
        for (uint16_t i = 0; i < vertexCount; ++i) mesh.vertices[i].x = readFloat();
        for (uint16_t i = 0; i < vertexCount; ++i) mesh.vertices[i].y = readFloat();
        for (uint16_t i = 0; i < vertexCount; ++i) mesh.vertices[i].z = readFloat();

        uint16_t faceCount = readCount();
        if (!fits(faceCount, 6)) return;
        delete[] mesh.faces;
        delete[] mesh.faceNormals;
        mesh.faceCount = faceCount;
        mesh.faces = new Face[faceCount]();
        mesh.faceNormals = new Vector3[faceCount]();
        for (uint16_t i = 0; i < faceCount; ++i) {
            Face& face = mesh.faces[i];
            face.v0 = readCount();
            face.v1 = readCount();
            face.v2 = readCount();
            if (checked && (face.v0 >= vertexCount || face.v1 >= vertexCount || face.v2 >= vertexCount)) {
                failed = true;
                return;
            }
        }

        if (reader.readValue<uint8_t>() != 0) {
            if (!fits(vertexCount, 8)) return;
            reader.read(mesh.u, 4, vertexCount);
            reader.read(mesh.v, 4, vertexCount);
        }
        // Stored column by column: file index j is row j mod 4, column j div 4.
        for (int32_t j = 0; j < 16; ++j) mesh.matrix.m[(j % 4) * 4 + j / 4] = readFloat();
        if (reader.readValue<uint8_t>() != 0) readTrack(object.position, true);
        if (failed) return;

        mesh.setMaterial(objectFaceMode, objectFaceColour, nullptr);
        mesh.computeFaceNormals();
    }

    void readCamera(ObjectCamera& camera) {
        camera.pose.position = readVector();
        camera.pose.target = readVector();
        camera.pose.roll = readFloat();
        camera.fovDegrees = readFloat();
        readTrack(camera.position, true);
        if (!failed) readTrack(camera.roll, false);
        if (!failed) readTrack(camera.target, true);
    }

    void readScene(ObjectScene& scene) {
        char tag[5];
        reader.read(tag, 1, 5);
        if (checked && std::memcmp(tag, "kelv", 5) != 0) failed = true;
        uint16_t meshCount = readCount();
        uint16_t cameraCount = readCount();
        scene.frameCount = reader.readValue<int32_t>();
        if (failed || !fits(uint64_t(meshCount) * smallestMeshBytes + uint64_t(cameraCount) * smallestCameraBytes, 1))
            return;
        scene.meshCount = meshCount;
        scene.cameraCount = cameraCount;
        scene.meshes = new ObjectMesh[meshCount]();
        scene.cameras = new ObjectCamera[cameraCount]();
        for (int32_t i = 0; i < meshCount && !failed; ++i) readMesh(scene.meshes[i]);
        for (int32_t i = 0; i < cameraCount && !failed; ++i) readCamera(scene.cameras[i]);
        if (checked && reader.overrun) failed = true;
    }
};

}  // namespace

uint32_t ObjectScene::load(const uint8_t* block) {
    release();
    BlockLoader loader{ByteReader::over(block, 0xFFFFFFFFu)};
    loader.readScene(*this);
    return loader.reader.position;
}

bool ObjectScene::load(const uint8_t* block, uint32_t size, uint32_t* bytesRead) {
    release();
    if (size < headerBytes) return false;
    BlockLoader loader{ByteReader::over(block, size), true};
    loader.readScene(*this);
    if (loader.failed) {
        release();
        return false;
    }
    if (bytesRead) *bytesRead = loader.reader.position;
    return true;
}
