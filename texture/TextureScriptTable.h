#pragma once
#include <cstdint>

// The texture scripts the show carries, as plain data (no code, so the asset library can hold
// them without linking the texture build).
//
// A script is: a signed 32-bit command count N, N commands of 10 bytes each (opcode, target
// layer 1..6, parameters p1..p8), then the 32-bit number (1..6) of the layer that becomes the
// script's texture. All values little-endian.
struct TextureScript {
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;  // bytes in the script; nothing past it is ever read
};

// The scripts of one build, one texture each.
struct TextureScriptTable {
    uint32_t count = 0;
    const TextureScript* scripts = nullptr;
};

// Bytes in one command.
constexpr uint32_t textureCommandSize = 10;
