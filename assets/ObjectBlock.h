#pragma once
#include <cstdint>

// The title scene's object animation: a "kelv" block generated at build time from the object
// source in assets/object/ and embedded whole.
extern const uint8_t objectBlock[];
extern const uint32_t objectBlockSize;
