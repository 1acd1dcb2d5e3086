#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

// The two header layouts: RIFF/WAVE, whose 32-bit sizes hold up to 4 GiB of data, and RF64 (the
// broadcast extension of it), which keeps the sizes in a 64-bit "ds64" chunk for more.
enum class WavLayout : uint8_t { Riff, Rf64 };

// Streams 16-bit stereo PCM into a WAV file, or headerless (raw) into any file. A file that can
// seek gets its sizes filled in by finish; one that cannot (a pipe, a terminal) needs its length in
// frames up front, given to start. The length given to start also picks the layout: RIFF while the
// data fits, RF64 beyond.
struct WavWriter {
    std::FILE* file;
    uint32_t rate;
    uint64_t frames;  // written so far
    bool raw;         // no header
    bool seekable;
    bool ownsFile;  // false for standard output
    WavLayout layout;
    int error;  // errno of the first failure, 0 while there is none

    // Opens path for writing ("-" is standard output); false (with error set) when it cannot.
    static bool open(WavWriter& writer, const char* path, uint32_t rate, bool raw);
    // Writes the header for expectedFrames frames (nothing when raw); false on a write error.
    static bool start(WavWriter& writer, uint64_t expectedFrames);
    // Appends frames frames of interleaved samples; false on a write error.
    static bool write(WavWriter& writer, const int16_t* samples, uint32_t frames);
    // Fills in the sizes where the file can seek, and closes it; false on a write error.
    static bool finish(WavWriter& writer);

    // RIFF when its 32-bit sizes can hold dataBytes of data (and the header before it), else RF64.
    static WavLayout layoutFor(uint64_t dataBytes);
    // The header of a file holding frames frames in layout: 44 bytes for RIFF, 80 for RF64.
    static std::vector<uint8_t> header(WavLayout layout, uint32_t rate, uint64_t frames);
};
