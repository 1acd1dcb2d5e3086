// Runs arbitrary bytes as a texture script through the whole build, with a no-op loading step.
// Inputs are cut to a few commands so that one run stays short under the sanitizers; the count
// field is left as it comes, so counts that promise more than the bytes hold are exercised too.
#include <cstddef>
#include <cstdint>

#include "texture/TextureScript.h"

namespace {

constexpr size_t maxCommands = 8;
constexpr size_t maxBytes = 4 + maxCommands * textureCommandSize + 4;

void noStep() {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TextureScript script{data, uint32_t(size < maxBytes ? size : maxBytes)};
    TextureTable table = buildTextures(TextureScriptTable{1, &script}, noStep);
    if (table.textures[0]) {
        uint32_t top = 0;
        for (int i = 0; i < texturePixels; ++i) top |= table.textures[0][i] >> 24;
        if (top != 0) __builtin_trap();  // packed words never carry a top byte
    }
    TextureTable::release(table);
    return 0;
}
