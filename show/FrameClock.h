#pragma once
#include <cstdint>

struct Module;

// Song time in milliseconds, measured from start(). It reads the player's audible position, so it
// advances once per audio block (about 20 ms) and stands still in between.
struct FrameClock {
    const Module* module = nullptr;
    uint32_t origin = 0;

    void start(const Module* song);
    // Milliseconds since start, as an unsigned 32-bit difference; 0 without a song.
    uint32_t now() const;
};
