#include "engine/Bitmap.h"

#include <cstring>

Bitmap::Bitmap(int32_t w, int32_t h) : width(w), height(h) {
    int32_t count = (w > 0 && h > 0) ? w * h : 0;
    pixels = new uint32_t[count > 0 ? count : 1]();
}

Bitmap::~Bitmap() { delete[] pixels; }

void Bitmap::fill(uint32_t colour) {
    // A plain loop: the compiler turns it into wide stores, and unlike an eight-pixels-a-step
    // unrolled loop it also handles sizes that are not a multiple of 8.
    int32_t count = pixelCount();
    for (int32_t i = 0; i < count; ++i) pixels[i] = colour;
}

void Bitmap::fillGrey(float level) {
    uint8_t grey = static_cast<uint8_t>(static_cast<int32_t>(level * 255.0f) & 255);
    std::memset(pixels, grey, size_t(pixelCount()) * 4);
}
