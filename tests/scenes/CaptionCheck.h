#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/Bitmap.h"

// Where a caption sprite is drawn: its top-left corner on the frame.
struct CaptionPlace {
    int32_t x;
    int32_t y;
    const Bitmap* sprite;
};

// Compares a frame drawn with real captions against the same frame with blank ones: the colour
// bytes may differ only inside the captions' rectangles, and each caption must show somewhere in its
// own. (A caption also clears the top byte where it covers, so only the colour bytes count.)
inline void expectOnlyCaptionsDiffer(const Bitmap& captioned, const Bitmap& blank,
                                     const std::vector<CaptionPlace>& places) {
    std::vector<int64_t> inside(places.size(), 0);
    int64_t outside = 0;
    for (int32_t y = 0; y < captioned.height; ++y)
        for (int32_t x = 0; x < captioned.width; ++x) {
            int64_t at = int64_t(y) * captioned.width + x;
            if (((captioned.pixels[at] ^ blank.pixels[at]) & 0xFFFFFF) == 0) continue;
            bool placed = false;
            for (size_t n = 0; n < places.size(); ++n) {
                const CaptionPlace& p = places[n];
                if (x >= p.x && x < p.x + p.sprite->width && y >= p.y && y < p.y + p.sprite->height) {
                    ++inside[n];
                    placed = true;
                }
            }
            outside += !placed;
        }
    EXPECT_EQ(outside, 0);
    for (size_t n = 0; n < places.size(); ++n) EXPECT_GT(inside[n], 20) << "caption " << n;
}
