#pragma once
#include <cstdint>
#include <cstdio>

// Streams 16-bit stereo PCM into a RIFF/WAVE file, or headerless (raw) into any file. A file
// that can seek gets its sizes filled in by finish; one that cannot (a pipe, a terminal) needs
// its length in frames up front, given to start.
struct WavWriter {
    std::FILE* file;
    uint32_t rate;
    uint64_t frames;  // written so far
    bool raw;         // no header
    bool seekable;
    bool ownsFile;  // false for standard output

    // Opens path for writing ("-" is standard output); false when it cannot.
    static bool open(WavWriter& writer, const char* path, uint32_t rate, bool raw);
    // Writes the header for expectedFrames frames (nothing when raw); false on a write error.
    static bool start(WavWriter& writer, uint64_t expectedFrames);
    // Appends frames frames of interleaved samples; false on a write error.
    static bool write(WavWriter& writer, const int16_t* samples, uint32_t frames);
    // Fills in the sizes where the file can seek, and closes it; false on a write error.
    static bool finish(WavWriter& writer);
};
