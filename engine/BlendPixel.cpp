#include "engine/Draw2D.h"
#include "engine/PixelLanes.h"

uint32_t blendPixel(uint32_t a, uint32_t b, uint32_t w) {
    if (w > 255) w = 255;
    uint32_t keep = 255 - w;
    // Each lane's two terms are at most 254 together, so the sum needs no limit.
    return lanes::join(lanes::scale(lanes::even(a), keep) + lanes::scale(lanes::even(b), w),
                       lanes::scale(lanes::odd(a), keep) + lanes::scale(lanes::odd(b), w));
}
