#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "texture/TextureLayer.h"

// A layer that frees itself at the end of a test.
struct OwnedLayer {
    TextureLayer layer = TextureLayer::allocate();
    OwnedLayer() = default;
    ~OwnedLayer() { TextureLayer::release(layer); }
    OwnedLayer(const OwnedLayer&) = delete;
    OwnedLayer& operator=(const OwnedLayer&) = delete;

    uint32_t& at(int x, int y) { return layer.image[y * textureSize + x]; }
    int channel(int x, int y, int k) { return pixelChannel(at(x, y), k); }
};

// Fills every image word (spare byte included) with arbitrary bytes from a private generator,
// so the shared rng sequence is not touched.
void fillNoise(TextureLayer& layer, uint32_t seed);

// One 10-byte command: opcode, target layer, then up to eight parameter bytes.
std::vector<uint8_t> command(int opcode, int target, std::initializer_list<int> parameters = {});

// A script: the command count, the commands, the output layer number.
std::vector<uint8_t> script(std::initializer_list<std::vector<uint8_t>> commands, int32_t outputLayer);
