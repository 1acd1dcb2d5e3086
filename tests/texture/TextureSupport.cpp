#include "tests/texture/TextureSupport.h"

void fillNoise(TextureLayer& layer, uint32_t seed) {
    uint32_t state = seed * 2654435761u + 1;
    for (int i = 0; i < texturePixels; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        layer.image[i] = state;
    }
}

std::vector<uint8_t> command(int opcode, int target, std::initializer_list<int> parameters) {
    std::vector<uint8_t> bytes(10, 0);
    bytes[0] = uint8_t(opcode);
    bytes[1] = uint8_t(target);
    int i = 2;
    for (int p : parameters) bytes[i++] = uint8_t(p);
    return bytes;
}

static void appendWord(std::vector<uint8_t>& bytes, int32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(uint32_t(value) >> (8 * i)));
}

std::vector<uint8_t> script(std::initializer_list<std::vector<uint8_t>> commands, int32_t outputLayer) {
    std::vector<uint8_t> bytes;
    appendWord(bytes, int32_t(commands.size()));
    for (const std::vector<uint8_t>& c : commands) bytes.insert(bytes.end(), c.begin(), c.end());
    appendWord(bytes, outputLayer);
    return bytes;
}
