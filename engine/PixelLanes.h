#pragma once
#include <cstdint>

// Lane helpers for XRGB words handled as two 32-bit halves: the even lanes (blue, red) and the odd
// lanes (green, top byte), each lane in its own 16-bit slot so that a lane times a weight of up to
// 256 cannot spill into its neighbour.
namespace lanes {

constexpr uint32_t evenMask = 0x00FF00FF;

inline uint32_t even(uint32_t pixel) { return pixel & evenMask; }
inline uint32_t odd(uint32_t pixel) { return (pixel >> 8) & evenMask; }

// Per lane (lane * w) >> 8, for w in 0..256; the lanes stay in their 16-bit slots.
inline uint32_t scale(uint32_t slots, uint32_t w) { return ((slots * w) >> 8) & evenMask; }

// Limits each 16-bit slot (holding at most 0x3FF) to 255.
inline uint32_t saturate(uint32_t slots) {
    uint32_t over = (slots >> 8) & 0x00030003;
    uint32_t flag = (over | (over >> 1)) & 0x00010001;
    return (slots | flag * 0xFF) & evenMask;
}

inline uint32_t join(uint32_t evenSlots, uint32_t oddSlots) { return evenSlots | (oddSlots << 8); }

// Per lane ((a * keep) >> 8) + ((b * w) >> 8) with keep = 255 - w, w in 0..255: blendPixel, inline
// for the loops that blend one pixel at a time. Each lane's two terms are at most 254 together, so
// the sum needs no limit.
inline uint32_t blend(uint32_t a, uint32_t b, uint32_t w) {
    uint32_t keep = 255 - w;
    return join(scale(even(a), keep) + scale(even(b), w), scale(odd(a), keep) + scale(odd(b), w));
}

}  // namespace lanes
