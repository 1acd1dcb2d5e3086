#pragma once
#include <cstdint>

#include "texture/TextureLayer.h"
#include "texture/TextureScriptTable.h"

// Number of working layers a script addresses as 1..6.
constexpr int textureLayerCount = 6;

// The built textures: one block of 65,536 packed 0x00RRGGBB words (row-major) per script,
// owned by the caller. A script that ends before its output layer number, or names an output
// layer outside 1..6, has no texture: its slot is null.
struct TextureTable {
    uint32_t count = 0;
    uint32_t** textures = nullptr;

    // Frees every block and the array; the table is left empty.
    static void release(TextureTable& table);
};

// Runs every script of the table in order on six working layers (zeroed at the start, kept
// from one script to the next), calling afterCommand (when not null) after each command that ran;
// returns the table of textures.
//
// Commands whose opcode is not 0..18, or whose target or source layer is not 1..6, are consumed
// and skipped without calling afterCommand (opcode 19 included: it is not implemented). A script
// whose count promises more commands than its bytes hold stops at its last whole command.
TextureTable buildTextures(const TextureScriptTable& table, void (*afterCommand)());

// Called after each command of a script that ran, with its index in the script (from 0), its 10
// bytes and the six layers as it left them.
using TextureCommandObserver = void (*)(int32_t index, const uint8_t* command, const TextureLayer* layers,
                                        void* context);

// Runs the commands of one script on layers[0..5] in order (skipping and stopping as
// buildTextures does), calling observer (when not null) after each one that ran. Returns the
// number (1..6) of the layer the script names as its texture, or 0 when it names none it can read.
int32_t runTextureCommands(const TextureScript& script, TextureLayer* layers, TextureCommandObserver observer,
                           void* context);

// Runs one 10-byte command on layers[0..5]; returns whether it ran (false when skipped as above).
// Opcodes 1 to 4 first zero the target layer's image.
bool runTextureCommand(const uint8_t* command, TextureLayer* layers);
