// Runs one texture command per input on six layers that the input itself fills, so the fuzzer
// spends its time inside one operation instead of building whole scripts: the opcode and the layer
// numbers are folded into their valid ranges, the eight parameter bytes stay as they come.
//
// Input: 10 command bytes, then 3 bytes per layer (a base colour and two gradient steps, cheap
// to spread over the image but different enough to reach every branch of the filters), then the
// random seed. Missing bytes read as 0. The layers are allocated once and kept; every input
// overwrites all of them, so each run depends only on its own bytes.
#include <cstddef>
#include <cstdint>

#include "core/Random.h"
#include "texture/TextureLayer.h"
#include "texture/TextureScript.h"

namespace {

constexpr int opcodeCount = 19;
constexpr int sourceLayerOpcodes = 15;  // opcodes from here on read a second layer named by p1

struct InputBytes {
    const uint8_t* data;
    size_t size;
    uint8_t at(size_t index) const { return index < size ? data[index] : 0; }
};

TextureLayer* keptLayers() {
    static TextureLayer layers[textureLayerCount];
    if (!layers[0].image)
        for (TextureLayer& layer : layers) layer = TextureLayer::allocate();
    return layers;
}

// Pixel (x, y) of layer i: base + x * stepX + y * stepY in each channel, with a spare byte that
// varies too (operations may read or keep it).
void fillLayer(TextureLayer& layer, uint8_t base, uint8_t stepX, uint8_t stepY) {
    for (int y = 0; y < textureSize; ++y)
        for (int x = 0; x < textureSize; ++x) {
            int v = base + x * stepX + y * stepY;
            layer.image[y * textureSize + x] = makePixel(v, v >> 1, v ^ x, y ^ stepX);
        }
    packLayer(layer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputBytes input{data, size};
    uint8_t command[textureCommandSize];
    for (uint32_t i = 0; i < textureCommandSize; ++i) command[i] = input.at(i);
    command[0] = uint8_t(command[0] % opcodeCount);
    command[1] = uint8_t(1 + command[1] % textureLayerCount);
    if (command[0] >= sourceLayerOpcodes) command[2] = uint8_t(1 + command[2] % textureLayerCount);

    TextureLayer* layers = keptLayers();
    for (int i = 0; i < textureLayerCount; ++i)
        fillLayer(layers[i], input.at(10 + 3 * i), input.at(11 + 3 * i), input.at(12 + 3 * i));
    rng::srand(uint32_t(input.at(28)) | uint32_t(input.at(29)) << 8);

    if (!runTextureCommand(command, layers)) __builtin_trap();  // every folded command runs
    return 0;
}
