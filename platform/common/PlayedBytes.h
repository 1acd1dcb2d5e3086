#pragma once
#include <cstdint>

// A sound device's played position as a 64-bit count that never decreases, built from a 32-bit
// counter that wraps (after about 6.8 hours at 176400 bytes per second). Readings must come often
// enough that the counter moves less than 2^31 between two of them; a reading below the last one
// by less than that is a device stepping back and leaves the count where it was.
struct PlayedBytes {
    uint64_t total = 0;
    uint32_t last = 0;  // the counter's last reading that moved the count

    // Starts again from a counter reading of 0.
    static void reset(PlayedBytes& played);
    // Takes one counter reading; returns the count.
    static uint64_t advance(PlayedBytes& played, uint32_t reading);
};
