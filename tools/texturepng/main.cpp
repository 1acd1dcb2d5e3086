// texturepng: runs a texture script and writes the result as PNG files.
//
//   texturepng [--steps PREFIX] [--script FILE] OUTPUT.png
//
// Without --script it runs the show's own script. With --steps it also writes the target layer
// after every command that ran, as PREFIX-NN-layerL.png.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/TextureScript.h"
#include "core/ByteReader.h"
#include "texture/TextureScript.h"

namespace {

void printUsage(FILE* out) {
    std::fprintf(out,
                 "usage: texturepng [--steps PREFIX] [--script FILE] OUTPUT.png\n"
                 "Builds a 256 x 256 texture from a texture script and writes it as a PNG.\n"
                 "  --script FILE   run the script in FILE (raw bytes) instead of the built-in one\n"
                 "  --steps PREFIX  also write the target layer after each command as PREFIX-NN-layerL.png\n"
                 "  --help          show this text\n");
}

// Writes 65,536 words as a 256 x 256 RGB PNG; imageWords tells whether the words are layer image
// words (red in the low byte) or packed 0x00RRGGBB words.
bool writePng(const std::string& path, const uint32_t* words, bool imageWords) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "texturepng: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    png_byte row[textureSize * 3];  // declared before setjmp: nothing to unwind on a PNG error
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        std::fprintf(stderr, "texturepng: PNG encoding failed for %s\n", path.c_str());
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, textureSize, textureSize, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < textureSize; ++y) {
        for (int x = 0; x < textureSize; ++x) {
            uint32_t w = words[y * textureSize + x];
            int redShift = imageWords ? 0 : 16, blueShift = imageWords ? 16 : 0;
            row[x * 3 + 0] = png_byte(w >> redShift);
            row[x * 3 + 1] = png_byte(w >> 8);
            row[x * 3 + 2] = png_byte(w >> blueShift);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    bool ok = std::fclose(file) == 0;
    if (!ok) std::fprintf(stderr, "texturepng: cannot finish %s\n", path.c_str());
    return ok;
}

bool readFile(const char* path, std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::fprintf(stderr, "texturepng: cannot read %s: %s\n", path, std::strerror(errno));
        return false;
    }
    uint8_t buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    bool ok = !std::ferror(file);
    std::fclose(file);
    if (!ok) std::fprintf(stderr, "texturepng: error reading %s\n", path);
    return ok;
}

// Replays the script's commands one by one, writing the target layer after each one that ran.
bool writeSteps(const TextureScript& script, const std::string& prefix) {
    TextureLayer layers[textureLayerCount];
    for (TextureLayer& layer : layers) layer = TextureLayer::allocate();
    ByteReader reader = ByteReader::over(script.bytes, script.size);
    int32_t count = reader.readValue<int32_t>();
    bool ok = true;
    for (int32_t i = 0; ok && i < count; ++i) {
        uint8_t command[textureCommandSize];
        reader.read(command, 1, textureCommandSize);
        if (reader.overrun) break;
        if (!runTextureCommand(command, layers)) continue;
        char name[64];
        std::snprintf(name, sizeof name, "-%02d-layer%d.png", int(i + 1), int(int8_t(command[1])));
        ok = writePng(prefix + name, layers[int8_t(command[1]) - 1].image, true);
    }
    for (TextureLayer& layer : layers) TextureLayer::release(layer);
    return ok;
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

    std::vector<uint8_t> bytes;
    TextureScript script = textureScriptTable.scripts[0];
    if (scriptPath) {
        if (!readFile(scriptPath, bytes)) return 1;
        script = TextureScript{bytes.data(), uint32_t(bytes.size())};
    }

    if (stepsPrefix && !writeSteps(script, stepsPrefix)) return 1;

    TextureScriptTable table{1, &script};
    TextureTable built = buildTextures(table, nullptr);
    bool ok = false;
    if (!built.textures[0])
        std::fprintf(stderr, "texturepng: the script has no readable output layer 1..6\n");
    else
        ok = writePng(output, built.textures[0], false);
    TextureTable::release(built);
    return ok ? 0 : 1;
}
