#pragma once
#include <cstdint>

// How the vector converters build a 16-bit pixel from an XRGB word p, in two parts:
//  - red and blue together: the two 16-bit halves of p & 0x00F800F8 hold blue's top five bits
//    (low half) and red's (high half), each still three bits up; one multiply-add weighs blue by
//    blueFactor and red by redFactor and sums them, and a shift right by 3 drops the three zero
//    bits. RGB565 weighs blue 1 and red 2048: (B >> 3) | (R >> 3) << 11.
//  - green: (p >> greenShift) & greenMask.
// The plain converters spell the arithmetic out channel by channel; tests hold the two together.
struct Layout16 {
    int16_t blueFactor, redFactor;
    int greenShift;
    uint32_t greenMask;
};

constexpr uint32_t redBlueTopBits = 0x00F800F8;

constexpr Layout16 layoutRGB565 = {1, 2048, 5, 0x7E0};
constexpr Layout16 layoutBGR565 = {2048, 1, 5, 0x7E0};
constexpr Layout16 layoutRGB555 = {1, 1024, 6, 0x3E0};
constexpr Layout16 layoutBGR555 = {1024, 1, 6, 0x3E0};
