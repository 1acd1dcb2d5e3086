#include "display/PixelConverterSets.h"

namespace {

// Channel extraction from an XRGB source word.
inline uint32_t redOf(uint32_t pixel) { return (pixel >> 16) & 0xFF; }
inline uint32_t greenOf(uint32_t pixel) { return (pixel >> 8) & 0xFF; }
inline uint32_t blueOf(uint32_t pixel) { return pixel & 0xFF; }

// Stores are byte by byte: surface rows need not be aligned and the layout stays little-endian on
// every host.
inline void store16(uint8_t* destination, uint32_t value) {
    destination[0] = uint8_t(value);
    destination[1] = uint8_t(value >> 8);
}

inline void store32(uint8_t* destination, uint32_t value) {
    destination[0] = uint8_t(value);
    destination[1] = uint8_t(value >> 8);
    destination[2] = uint8_t(value >> 16);
    destination[3] = uint8_t(value >> 24);
}

void convertXRGB32Plain(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 4) store32(destination, source[i]);
}

void convertXBGR32Plain(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 4) {
        uint32_t p = source[i];
        store32(destination, blueOf(p) << 16 | greenOf(p) << 8 | redOf(p));
    }
}

void convertRGB24Plain(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 3) {
        uint32_t p = source[i];
        destination[0] = uint8_t(blueOf(p));
        destination[1] = uint8_t(greenOf(p));
        destination[2] = uint8_t(redOf(p));
    }
}

void convertBGR24Plain(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 3) {
        uint32_t p = source[i];
        destination[0] = uint8_t(redOf(p));
        destination[1] = uint8_t(greenOf(p));
        destination[2] = uint8_t(blueOf(p));
    }
}

void convertRGB565Plain(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 2) {
        uint32_t p = source[i];
        store16(destination, (redOf(p) >> 3) << 11 | (greenOf(p) >> 2) << 5 | blueOf(p) >> 3);
    }
}

void convertBGR565Plain(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 2) {
        uint32_t p = source[i];
        store16(destination, (blueOf(p) >> 3) << 11 | (greenOf(p) >> 2) << 5 | redOf(p) >> 3);
    }
}

void convertRGB555Plain(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 2) {
        uint32_t p = source[i];
        store16(destination, (redOf(p) >> 3) << 10 | (greenOf(p) >> 3) << 5 | blueOf(p) >> 3);
    }
}

void convertBGR555Plain(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 2) {
        uint32_t p = source[i];
        store16(destination, (blueOf(p) >> 3) << 10 | (greenOf(p) >> 3) << 5 | redOf(p) >> 3);
    }
}

}  // namespace

const PixelConverterSet& plainPixelConverters() {
    static const PixelConverterSet set = {"plain",           convertXRGB32Plain, convertXBGR32Plain, convertRGB24Plain,
                                          convertBGR24Plain, convertRGB565Plain, convertBGR565Plain, convertRGB555Plain,
                                          convertBGR555Plain};
    return set;
}

int32_t runnablePixelConverterSets(const PixelConverterSet** sets, int32_t capacity) {
    const PixelConverterSet* runnable[3];
    int32_t count = 0;
    runnable[count++] = &plainPixelConverters();
#if defined(__SSE2__)
    runnable[count++] = &sse2PixelConverters();
#endif
#if INTRO_AVX2_CODE
    if (ProcessorFeatures::current().avx2) runnable[count++] = &avx2PixelConverters();
#endif
    for (int32_t i = 0; i < count && i < capacity; ++i) sets[i] = runnable[i];
    return count;
}
