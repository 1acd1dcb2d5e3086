#pragma once
#include <cstdint>

#include "texture/TextureScriptTable.h"

// The show's one texture script: 13 commands building layer 1 from a warped orange fractal,
// darkened and lit through a blurred field of random tiles, mixed with a warped green fractal.
extern const uint8_t textureScriptBytes[];
extern const uint32_t textureScriptSize;

// The table buildTextures runs at start-up: that single script.
extern const TextureScriptTable textureScriptTable;
