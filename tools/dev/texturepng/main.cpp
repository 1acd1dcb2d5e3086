// texturepng: runs a texture script and writes the result as PNG files.
//
//   texturepng [--steps PREFIX] [--script FILE] OUTPUT.png
//
// Without --script it runs the show's own script. With --steps it also writes the target layer
// after every command that ran, as PREFIX-NN-layerL.png.
#include <cstdio>
#include <string>
#include <vector>

#include "assets/TextureScript.h"
#include "texture/TextureScript.h"
#include "tools/common/FileBytes.h"
#include "tools/common/PngWriter.h"

namespace {

void printUsage(FILE* out) {
    std::fprintf(out,
                 "usage: texturepng [--steps PREFIX] [--script FILE] OUTPUT.png\n"
                 "Builds a 256 x 256 texture from a texture script and writes it as a PNG.\n"
                 "  --script FILE   run the script in FILE (raw bytes) instead of the built-in one\n"
                 "  --steps PREFIX  also write the target layer after each command as PREFIX-NN-layerL.png\n"
                 "  --help          show this text\n");
}

// Writes a 256 x 256 texture as a PNG file: packed 0x00RRGGBB words as they are, layer image words
// (red in the low byte) turned into packed ones first. One line on stderr when it cannot.
bool writeTexture(const std::string& path, const uint32_t* words, bool imageWords) {
    std::vector<uint32_t> packed(words, words + texturePixels);
    if (imageWords)
        for (uint32_t& word : packed)
            word = uint32_t(pixelChannel(word, channelRed)) << 16 | uint32_t(pixelChannel(word, channelGreen)) << 8 |
                   uint32_t(pixelChannel(word, channelBlue));
    std::string error;
    if (writePng(path, packed.data(), textureSize, textureSize, 1, &error)) return true;
    std::fprintf(stderr, "texturepng: %s\n", error.c_str());
    return false;
}

// Writes the target layer after each command of the script that ran, as PREFIX-NN-layerL.png.
struct StepWriter {
    std::string prefix;
    bool ok = true;
};

void writeStep(int32_t index, const uint8_t* command, const TextureLayer* layers, void* context) {
    StepWriter& writer = *static_cast<StepWriter*>(context);
    int32_t layer = int8_t(command[1]);
    char name[64];
    std::snprintf(name, sizeof name, "-%02d-layer%d.png", int(index + 1), int(layer));
    writer.ok = writer.ok && writeTexture(writer.prefix + name, layers[layer - 1].image, true);
}

bool writeSteps(const TextureScript& script, const std::string& prefix) {
    TextureLayer layers[textureLayerCount];
    for (TextureLayer& layer : layers) layer = TextureLayer::allocate();
    StepWriter writer{prefix};
    runTextureCommands(script, layers, writeStep, &writer);
    for (TextureLayer& layer : layers) TextureLayer::release(layer);
    return writer.ok;
}

}  // namespace

int main(int argc, char** argv) {
    const char* output = nullptr;
    const char* scriptPath = nullptr;
    const char* stepsPrefix = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 0;
        } else if (arg == "--script" || arg == "--steps") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "texturepng: %s needs a value\n", arg.c_str());
                return 2;
            }
            (arg == "--script" ? scriptPath : stepsPrefix) = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "texturepng: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        } else if (output) {
            std::fprintf(stderr, "texturepng: more than one output file given (see --help)\n");
            return 2;
        } else {
            output = argv[i];
        }
    }
    if (!output) {
        std::fprintf(stderr, "texturepng: no output file given (see --help)\n");
        return 2;
    }

    std::string bytes, error;
    TextureScript script = textureScriptTable.scripts[0];
    if (scriptPath) {
        if (!readFileBytes(scriptPath, bytes, &error)) {
            std::fprintf(stderr, "texturepng: %s\n", error.c_str());
            return 1;
        }
        script = TextureScript{reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size())};
    }

    if (stepsPrefix && !writeSteps(script, stepsPrefix)) return 1;

    TextureScriptTable table{1, &script};
    TextureTable built = buildTextures(table, nullptr);
    bool ok = false;
    if (!built.textures[0])
        std::fprintf(stderr, "texturepng: the script has no readable output layer 1..6\n");
    else
        ok = writeTexture(output, built.textures[0], false);
    TextureTable::release(built);
    return ok ? 0 : 1;
}
