#include "engine/Draw2D.h"
#include "engine/PixelLanes.h"

uint32_t blendPixel(uint32_t a, uint32_t b, uint32_t w) {
    if (w > 255) w = 255;
    return lanes::blend(a, b, w);
}
