#include "engine/Bitmap.h"

#include <algorithm>

// One channel of the caption blend: destination * (1 - k) + colour * k in 32-bit floats,
// truncated toward zero. Callers keep opacity within 0..1, where the result stays within 0..255;
// the mask only keeps an out-of-range opacity from spilling into the neighbouring channel.
static uint32_t blendChannel(uint32_t destination, uint32_t colour, float k) {
    return static_cast<uint32_t>(static_cast<int32_t>(float(destination) * (1.0f - k) + float(colour) * k)) & 0xFF;
}

void Bitmap::drawTextSprite(const Bitmap& sprite, int32_t x, int32_t y, uint32_t colour, float opacity) {
    // Clip the sprite rectangle against this bitmap (in 64 bits: x + width may not fit in 32).
    int64_t firstRow = std::max<int64_t>(0, -int64_t(y));
    int64_t lastRow = std::min<int64_t>(sprite.height, int64_t(height) - y);
    int64_t firstColumn = std::max<int64_t>(0, -int64_t(x));
    int64_t lastColumn = std::min<int64_t>(sprite.width, int64_t(width) - x);
    uint32_t red = (colour >> 16) & 0xFF, green = (colour >> 8) & 0xFF, blue = colour & 0xFF;

    for (int64_t r = firstRow; r < lastRow; ++r) {
        const uint32_t* source = sprite.pixels + r * sprite.width;
        uint32_t* row = pixels + (y + r) * width;
        for (int64_t c = firstColumn; c < lastColumn; ++c) {
            uint32_t coverage = source[c] & 0xFF;
            if (coverage == 0) continue;
            float k = float(coverage) * opacity / 255.0f;
            uint32_t& pixel = row[x + c];
            uint32_t d = pixel;
            pixel = blendChannel((d >> 16) & 0xFF, red, k) << 16 | blendChannel((d >> 8) & 0xFF, green, k) << 8 |
                    blendChannel(d & 0xFF, blue, k);
        }
    }
}
