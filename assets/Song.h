#pragma once
#include <cstdint>

// The show's song: an Extended Module image (version 0x0104) generated at build time from the
// song source in assets/song/ and embedded whole.
extern const uint8_t songImage[];
extern const uint32_t songImageSize;
