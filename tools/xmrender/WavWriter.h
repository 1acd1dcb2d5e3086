#pragma once
#include <cstdint>
#include <cstdio>

// Streams 16-bit stereo PCM into a RIFF/WAVE file; the sizes are filled in by finish.
struct WavWriter {
    std::FILE* file;
    uint32_t rate;
    uint64_t frames;

    // Creates path and writes a header for rate Hz 16-bit stereo; false when it cannot.
    static bool open(WavWriter& writer, const char* path, uint32_t rate);
    // Appends frames frames of interleaved samples; false on a write error.
    static bool write(WavWriter& writer, const int16_t* samples, uint32_t frames);
    // Fills in the sizes and closes the file; false on a write error.
    static bool finish(WavWriter& writer);
};
