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

}  // namespace lanes
