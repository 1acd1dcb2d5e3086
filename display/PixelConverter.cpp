#include "display/PixelConverter.h"

#include "display/PixelConverterSets.h"

namespace {

// The fastest implementation this processor runs, chosen on the first call.
const PixelConverterSet& fastest() {
    static const PixelConverterSet* chosen = [] {
        const PixelConverterSet* sets[8];
        int32_t count = runnablePixelConverterSets(sets, 8);
        return sets[(count < 8 ? count : 8) - 1];
    }();
    return *chosen;
}

}  // namespace

void convertXRGB32(const uint32_t* source, uint8_t* destination, int32_t count) {
    fastest().xrgb32(source, destination, count);
}
void convertXBGR32(const uint32_t* source, uint8_t* destination, int32_t count) {
    fastest().xbgr32(source, destination, count);
}
void convertRGB24(const uint32_t* source, uint8_t* destination, int32_t count) {
    fastest().rgb24(source, destination, count);
}
void convertBGR24(const uint32_t* source, uint8_t* destination, int32_t count) {
    fastest().bgr24(source, destination, count);
}
void convertRGB565(const uint32_t* source, uint8_t* destination, int32_t count) {
    fastest().rgb565(source, destination, count);
}
void convertBGR565(const uint32_t* source, uint8_t* destination, int32_t count) {
    fastest().bgr565(source, destination, count);
}
void convertRGB555(const uint32_t* source, uint8_t* destination, int32_t count) {
    fastest().rgb555(source, destination, count);
}
void convertBGR555(const uint32_t* source, uint8_t* destination, int32_t count) {
    fastest().bgr555(source, destination, count);
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
