#include "engine/Bitmap.h"

#include <cstring>

#include "engine/Rounding.h"

Bitmap::Bitmap(int32_t w, int32_t h) : width(w), height(h) {
    int32_t count = (w > 0 && h > 0) ? w * h : 0;
    pixels = new uint32_t[count > 0 ? count : 1]();
}

Bitmap::~Bitmap() { delete[] pixels; }

void Bitmap::fill(uint32_t colour) {
    int32_t count = pixelCount();
    if (count <= 0) return;
    // Black, white and greys repeat one byte: the C library's memset is the fastest store there.
    if (colour == (colour & 0xFF) * 0x01010101u) {
        std::memset(pixels, int(colour & 0xFF), size_t(count) * 4);
        return;
    }
    // A plain loop: the compiler turns it into wide stores, and unlike an eight-pixels-a-step
    // unrolled loop it also handles sizes that are not a multiple of 8.
    for (int32_t i = 0; i < count; ++i) pixels[i] = colour;
}

void Bitmap::fillGrey(float level) {
    if (pixelCount() <= 0) return;
    uint8_t grey = static_cast<uint8_t>(truncateToInt(level * 255.0f) & 255);
    std::memset(pixels, grey, size_t(pixelCount()) * 4);
}
