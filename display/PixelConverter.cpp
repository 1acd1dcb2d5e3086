#include "display/PixelConverter.h"

// Channel extraction from an XRGB source word.
static inline uint32_t redOf(uint32_t pixel) { return (pixel >> 16) & 0xFF; }
static inline uint32_t greenOf(uint32_t pixel) { return (pixel >> 8) & 0xFF; }
static inline uint32_t blueOf(uint32_t pixel) { return pixel & 0xFF; }

// Stores are byte by byte: surface rows need not be aligned and the layout stays little-endian on
// every host.
static inline void store16(uint8_t* destination, uint32_t value) {
    destination[0] = uint8_t(value);
    destination[1] = uint8_t(value >> 8);
}

static inline void store32(uint8_t* destination, uint32_t value) {
    destination[0] = uint8_t(value);
    destination[1] = uint8_t(value >> 8);
    destination[2] = uint8_t(value >> 16);
    destination[3] = uint8_t(value >> 24);
}

void convertXRGB32(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 4) store32(destination, source[i]);
}

void convertXBGR32(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 4) {
        uint32_t p = source[i];
        store32(destination, blueOf(p) << 16 | greenOf(p) << 8 | redOf(p));
    }
}

void convertRGB24(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 3) {
        uint32_t p = source[i];
        destination[0] = uint8_t(blueOf(p));
        destination[1] = uint8_t(greenOf(p));
        destination[2] = uint8_t(redOf(p));
    }
}

void convertBGR24(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 3) {
        uint32_t p = source[i];
        destination[0] = uint8_t(redOf(p));
        destination[1] = uint8_t(greenOf(p));
        destination[2] = uint8_t(blueOf(p));
    }
}

void convertRGB565(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 2) {
        uint32_t p = source[i];
        store16(destination, (redOf(p) >> 3) << 11 | (greenOf(p) >> 2) << 5 | blueOf(p) >> 3);
    }
}

void convertBGR565(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 2) {
        uint32_t p = source[i];
        store16(destination, (blueOf(p) >> 3) << 11 | (greenOf(p) >> 2) << 5 | redOf(p) >> 3);
    }
}

void convertRGB555(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 2) {
        uint32_t p = source[i];
        store16(destination, (redOf(p) >> 3) << 10 | (greenOf(p) >> 3) << 5 | blueOf(p) >> 3);
    }
}

void convertBGR555(const uint32_t* source, uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i, destination += 2) {
        uint32_t p = source[i];
        store16(destination, (blueOf(p) >> 3) << 10 | (greenOf(p) >> 3) << 5 | redOf(p) >> 3);
    }
}

PixelConverter choosePixelConverter(int32_t bitCount, uint32_t redMask, uint32_t greenMask, uint32_t blueMask) {
    if (bitCount == 32) {
        if (redMask == 0xFF0000 && greenMask == 0xFF00 && blueMask == 0xFF) return convertXRGB32;
        if (redMask == 0xFF && greenMask == 0xFF00 && blueMask == 0xFF0000) return convertXBGR32;
        return nullptr;
    }
    if (bitCount == 24) {
        if (redMask == 0xFF0000 && greenMask == 0xFF00 && blueMask == 0xFF) return convertRGB24;
        if (redMask == 0xFF && greenMask == 0xFF00 && blueMask == 0xFF0000) return convertBGR24;
        return nullptr;
    }
    if (bitCount == 16) {
        if (redMask == 0xF800 && greenMask == 0x7E0 && blueMask == 0x1F) return convertRGB565;
        if (redMask == 0x1F && greenMask == 0x7E0 && blueMask == 0xF800) return convertBGR565;
        if (redMask == 0x7C00 && greenMask == 0x3E0 && blueMask == 0x1F) return convertRGB555;
        if (redMask == 0x1F && greenMask == 0x3E0 && blueMask == 0x7C00) return convertBGR555;
        return nullptr;
    }
    return nullptr;
}
