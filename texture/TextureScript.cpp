#include "texture/TextureScript.h"

#include <cstring>

#include "core/ByteReader.h"
#include "texture/TextureCombine.h"
#include "texture/TextureFilters.h"
#include "texture/TextureGenerators.h"

namespace {

// The opcodes, in the order the operations are numbered.
enum TextureOpcode : int {
    opClear = 0,
    opSinePlasma,
    opFractalGradient,
    opFractalColour,
    opRandomTiles,
    opShiftHue,
    opShiftValue,
    opShiftSaturation,
    opSineWarp,
    opEmbossShade,
    opInvertChannels,
    opBlurPasses,
    opSwirl,
    opRelief,
    opAddColour,
    opRemapThroughLayer,
    opMixLayers,
    opMultiplyLayers,
    opCopyLayer,
};

// Layer number 1..6 to its layer; null for any other number.
TextureLayer* layerNumbered(TextureLayer* layers, int number) {
    return number >= 1 && number <= textureLayerCount ? &layers[number - 1] : nullptr;
}

// A parameter byte widened with its sign, and a signed byte in hundredths.
inline int signedByte(uint8_t byte) { return int(int8_t(byte)); }
inline float hundredths(uint8_t byte) { return float(signedByte(byte)) * 0.01f; }

using AfterCommand = void (*)();

// The build's observer: the caller's step (context points to it), which takes no arguments.
void callAfterCommand(int32_t, const uint8_t*, const TextureLayer*, void* context) {
    (*static_cast<AfterCommand*>(context))();
}

// Runs one script; returns its texture, or null when the output layer cannot be read.
uint32_t* runScript(const TextureScript& script, TextureLayer* layers, AfterCommand afterCommand) {
    int32_t output = runTextureCommands(script, layers, afterCommand ? callAfterCommand : nullptr, &afterCommand);
    TextureLayer* layer = layerNumbered(layers, output);
    if (!layer) return nullptr;

    packLayer(*layer);
    uint32_t* texture = new uint32_t[texturePixels];
    std::memcpy(texture, layer->packed, texturePixels * sizeof(uint32_t));
    return texture;
}

}  // namespace

int32_t runTextureCommands(const TextureScript& script, TextureLayer* layers, TextureCommandObserver observer,
                           void* context) {
    ByteReader reader = ByteReader::over(script.bytes, script.size);
    int32_t count = reader.readValue<int32_t>();
    for (int32_t i = 0; i < count && !reader.overrun; ++i) {
        uint8_t command[textureCommandSize];
        reader.read(command, 1, textureCommandSize);
        if (reader.overrun) break;
        if (runTextureCommand(command, layers) && observer) observer(i, command, layers, context);
    }
    int32_t output = reader.readValue<int32_t>();
    return reader.overrun || !layerNumbered(layers, output) ? 0 : output;
}

bool runTextureCommand(const uint8_t* command, TextureLayer* layers) {
    int opcode = signedByte(command[0]);
    TextureLayer* layer = layerNumbered(layers, signedByte(command[1]));
    const uint8_t* p = command + 1;  // p[1] .. p[8] are the parameters p1 .. p8
    if (opcode < opClear || opcode > opCopyLayer || !layer) return false;

    TextureLayer* source = nullptr;
    if (opcode >= opRemapThroughLayer) {
        source = layerNumbered(layers, signedByte(p[1]));
        if (!source) return false;
    }
    if (opcode >= opSinePlasma && opcode <= opRandomTiles)
        std::memset(layer->image, 0, texturePixels * sizeof(uint32_t));

    switch (opcode) {
    case opClear: clearLayer(*layer); break;
    case opSinePlasma: genSinePlasma(*layer, TextureRgb{p[1], p[2], p[3]}, signedByte(p[4]), signedByte(p[5])); break;
    case opFractalGradient:
        genFractalGradient(*layer, TextureRgb{p[1], p[2], p[3]}, TextureRgb{p[4], p[5], p[6]}, signedByte(p[7]),
                           signedByte(p[8]));
        break;
    case opFractalColour:
        genFractalColour(*layer, makePixel(p[1], p[2], p[3], p[4]), signedByte(p[4]), signedByte(p[5]));
        break;
    case opRandomTiles:
        genRandomTiles(*layer, signedByte(p[1]), signedByte(p[2]), p[3], p[4], p[5], signedByte(p[6]));
        break;
    case opShiftHue: shiftHue(*layer, signedByte(p[1])); break;
    case opShiftValue: shiftValue(*layer, signedByte(p[1])); break;
    case opShiftSaturation: shiftSaturation(*layer, hundredths(p[1])); break;
    case opSineWarp:
        sineWarp(*layer, signedByte(p[1]), signedByte(p[2]), signedByte(p[3]), signedByte(p[4]), signedByte(p[5]),
                 signedByte(p[6]));
        break;
    case opEmbossShade: embossShade(*layer); break;
    case opInvertChannels: invertChannels(*layer, p[1]); break;
    case opBlurPasses: blurPasses(*layer, signedByte(p[1])); break;
    case opSwirl: swirl(*layer, signedByte(p[1])); break;
    case opRelief: relief(*layer, signedByte(p[1])); break;
    case opAddColour: addColour(*layer, signedByte(p[1]), signedByte(p[2]), signedByte(p[3])); break;
    case opRemapThroughLayer: remapThroughLayer(*layer, *source, p[2], p[3]); break;
    case opMixLayers: mixLayers(*layer, *source, hundredths(p[2]), hundredths(p[3]), p[4], p[5]); break;
    case opMultiplyLayers: multiplyLayers(*layer, *source, hundredths(p[2]), p[3], p[4]); break;
    case opCopyLayer: copyLayer(*layer, *source); break;
    }
    return true;
}

TextureTable buildTextures(const TextureScriptTable& table, void (*afterCommand)()) {
    TextureTable result;
    result.count = table.count;
    result.textures = new uint32_t*[table.count > 0 ? table.count : 1]();

    TextureLayer layers[textureLayerCount];
    for (TextureLayer& layer : layers) layer = TextureLayer::allocate();
    for (uint32_t i = 0; i < table.count; ++i) result.textures[i] = runScript(table.scripts[i], layers, afterCommand);
    for (TextureLayer& layer : layers) TextureLayer::release(layer);
    releaseScratch();
    return result;
}

void TextureTable::release(TextureTable& table) {
    for (uint32_t i = 0; i < table.count; ++i) delete[] table.textures[i];
    delete[] table.textures;
    table.count = 0;
    table.textures = nullptr;
}
