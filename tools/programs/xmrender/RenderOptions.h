#pragma once
#include <cstdint>
#include <string>

// The longest render, in seconds: the most --length takes, and where a song played --loop N times
// is cut at the latest.
constexpr double LongestRenderSeconds = 86400.0;
// How long --loop 0 (play on without end) plays when no --length is given.
constexpr double EndlessRenderSeconds = 600.0;
constexpr uint32_t MostPasses = 1000;

// xmrender's command line.
struct RenderOptions {
    std::string input;  // the module file, "-" for standard input; empty with song
    std::string output = "out.wav";
    double seconds = 0.0;  // --length; 0 when not given
    uint32_t passes = 1;   // --loop; 0 plays on up to the length
    bool song = false;
    bool raw = false;
    bool info = false;
    bool timeline = false;
    bool help = false;
    bool version = false;
};

// Reads the command line into options. False with *error: one line naming the option and, for
// numbers, what it takes ("--length must be at most 86400 seconds").
bool parseRenderOptions(int argc, const char* const* argv, RenderOptions& options, std::string* error);

const char* renderUsage();
