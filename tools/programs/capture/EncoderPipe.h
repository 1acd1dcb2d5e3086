#pragma once
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/programs/capture/CaptureOptions.h"

// What the encoder makes: the video file, its format and frame rate, and the frames' size.
struct EncoderSettings {
    std::string program;  // path of the ffmpeg program
    std::string output;
    VideoFormat format = VideoFormat::Mp4;
    FrameRate rate;
    int32_t width = 640;
    int32_t height = 480;
    int32_t scale = 1;
};

// The full path of an executable program found on PATH (name as given when it holds a slash);
// empty when there is none.
std::string findProgram(const std::string& name, const char* searchPath);

// The encoder's arguments, program first: raw XRGB frames come in on descriptor 3 and raw 16-bit
// stereo sound on descriptor 4. MP4 is H.264 4:2:0 in the BT.709 matrix at limited range with AAC;
// MKV keeps the frames exactly (FFV1 in RGB) with FLAC. Both are tagged with BT.709 primaries and
// transfer, and with the matrix and range they use.
std::vector<std::string> encoderArguments(const EncoderSettings& settings);

// The ffmpeg program fed over two pipes. Frames and sound are handed over on the caller's thread
// and written by one thread per pipe, so neither stream can hold the other up: the encoder reads
// them in whatever interleaving it likes. A few frames are queued at most; sound is never held
// back. A write that fails (the encoder has gone) marks the pipe failed; the caller then stops.
struct EncoderPipe {
    struct Stream {
        int fd = -1;
        std::deque<std::vector<uint8_t>> queue;
        std::thread writer;
    };

    pid_t pid = -1;
    Stream video;
    Stream sound;
    std::vector<std::vector<uint8_t>> spareBuffers;  // frame buffers the video writer has finished with
    int errorFd = -1;
    std::thread errorReader;
    std::string lastErrorLine;  // the encoder's last line on its standard error
    std::mutex mutex;
    std::condition_variable changed;
    bool closing = false;
    std::atomic<bool> failed{false};

    // Starts the program; false with *error when it cannot be started.
    static bool start(EncoderPipe& pipe, const EncoderSettings& settings, std::string* error);
    // Queues one frame (width x height XRGB pixels); waits while the queue is full. False once the
    // encoder has failed.
    static bool writeFrame(EncoderPipe& pipe, const uint32_t* pixels, size_t count);
    // Queues frames frames of interleaved 16-bit stereo. False once the encoder has failed.
    static bool writeSound(EncoderPipe& pipe, const int16_t* samples, uint32_t frames);
    // Writes out what is queued, closes both pipes and waits for the program to end. True when it
    // took everything and exited with status 0; otherwise false with *error saying why.
    static bool finish(EncoderPipe& pipe, std::string* error);
};
