#pragma once
#include <cstdint>
#include <functional>

#include "show/Show.h"
#include "tools/programs/capture/FrameSchedule.h"

// The show run for capture: the real entry routine on the headless display and the virtual sound
// device, with the song clock moved by the frame schedule. Frame n is drawn and presented with the
// device standing at soundFrameOf(n); after it has been handed on, the device plays on to the next
// frame's sound frame, so every time step and every song position are the ones that frame rate
// gives on a real machine, however long the drawing takes.
//
// The loading screens presented before the music starts are not frames of the show: they have no
// sound and no song time. They are handed on separately.

struct CapturedFrame {
    uint64_t index;  // frames since the music started, from 0
    int32_t order;   // the audible song position the frame was drawn at
    int32_t row;
    const uint32_t* pixels;  // width x height XRGB, rows top-down, valid during the call
    int32_t width;
    int32_t height;
};

struct CaptureHooks {
    // Each loading-screen present, counted from 0.
    std::function<void(const uint32_t* pixels, int32_t width, int32_t height, uint32_t index)> loadingFrame;
    // Each frame of the show. Returning false ends the capture: see stop.
    std::function<bool(const CapturedFrame& frame)> frame;
    // The sound a frame lasts (interleaved 16-bit stereo), handed on right after the frame.
    std::function<void(const int16_t* samples, uint32_t frames)> sound;
    // Called once after frame returned false. The show cannot be left half-way except by ending the
    // process, so stop is expected to finish the caller's work and end it; if stop returns, the
    // capture ends the show as Escape would (the process exits with status 0).
    std::function<void()> stop;
};

struct CaptureSetup {
    FrameRate rate;
    bool fonts = true;  // captions through FreeType; false leaves them blank
    SceneFactory scenes;
    const uint8_t* song = nullptr;
    uint32_t songSize = 0;
};

struct CaptureResult {
    uint64_t frames = 0;  // frames of the show presented
    bool inStep = true;   // false when the music worker once failed to catch up with the clock
};

// Runs the show from start to end with the hooks watching.
CaptureResult captureShow(const CaptureSetup& setup, const CaptureHooks& hooks);
