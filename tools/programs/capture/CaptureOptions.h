#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/programs/capture/FrameSchedule.h"
#include "tools/programs/capture/SongPosition.h"

enum class VideoFormat { None, Mp4, Mkv };

// What one run of the capture tool is asked to do.
struct CaptureOptions {
    std::string output;  // the video file; empty: none
    VideoFormat format = VideoFormat::None;
    FrameRate rate;
    int32_t scale = 1;             // whole-number nearest-neighbour upscale of video and PNG frames
    std::string wavPath;           // the sound as a WAV file; empty: none
    std::string pngDirectory;      // every frame (or the --at frames) as PNG; empty: none
    std::vector<SongPosition> at;  // take only the first frame at each of these positions
    int32_t fromOrder = 0;         // the first and last order of the part captured
    int32_t toOrder = 255;
    bool hash = false;
    bool fonts = true;  // captions through the font engine; false leaves them blank
    bool help = false;
    bool version = false;
};

// Reads the command line (argv[1..argc-1]). False with *error set to one line (without the
// program's name) when an option is unknown, lacks its value, or the combination makes no sense.
bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error);

// The format a file name implies: .mp4 / .m4v -> Mp4, .mkv -> Mkv, anything else None.
VideoFormat formatFromFileName(const std::string& path);

// The text of --help.
const char* captureUsage();
