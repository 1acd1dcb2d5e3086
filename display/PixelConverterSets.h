#pragma once
#include <cstdint>

#include "core/ProcessorFeatures.h"
#include "display/PixelConverter.h"

// One implementation of all eight converters. Every implementation writes exactly the bytes of the
// plain one, which converts one pixel at a time with the arithmetic given in PixelConverter.h; the
// others convert several pixels per instruction and hand the pixels left over after their last
// whole vector to the plain one.
struct PixelConverterSet {
    const char* name;
    PixelConverter xrgb32, xbgr32, rgb24, bgr24, rgb565, bgr565, rgb555, bgr555;
};

// One pixel at a time: the reference the others are tested against.
const PixelConverterSet& plainPixelConverters();

#if defined(__SSE2__)
// Four to sixteen pixels a step in 128-bit vectors (also what a WebAssembly build compiled with
// SSE2 intrinsics gets).
const PixelConverterSet& sse2PixelConverters();
#endif

#if INTRO_AVX2_CODE
// Eight or sixteen pixels a step in 256-bit vectors; only for a processor with AVX2.
const PixelConverterSet& avx2PixelConverters();
#endif

// The implementations this processor can run, plain first and the fastest last: writes at most
// capacity of them and returns how many there are. The named converters use the last.
int32_t runnablePixelConverterSets(const PixelConverterSet** sets, int32_t capacity);
