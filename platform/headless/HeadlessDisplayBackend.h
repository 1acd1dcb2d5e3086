#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/DisplayBackend.h"

// A display with no window and no device: the back buffer is plain memory in the 32-bit XRGB
// layout, and every flip hands the finished frame to a sink (tests, the capture tool). It is always
// active: Activated is the first event after openScreen. Further events are scripted: queued for the
// next pump, or held back until a given number of frames has been flipped.
class HeadlessDisplayBackend final : public DisplayBackend {
public:
    // Receives each flipped frame: width x height XRGB pixels, rows top-down, valid during the call.
    using FrameSink = std::function<void(const uint32_t* pixels, int32_t width, int32_t height)>;

    void setFrameSink(FrameSink sink);
    // Draws on the caller's memory instead of a back buffer of its own: lock hands out surface
    // (the screen's width x height words, rows one width apart) and flips sink it; nullptr goes
    // back to the own buffer. The capture tool passes the Framebuffer, which presenting then
    // converts onto itself: frames reach the sink without a copy.
    void useSurface(uint32_t* surface);
    // Delivers event at the next pump, after the events already queued.
    void queueEvent(DisplayEvent event);
    // Delivers event at the first pump once frame frames have been flipped (frame 0: the next pump),
    // that is before frame number `frame` (counted from 0) is presented.
    void queueEventBeforeFrame(DisplayEvent event, uint64_t frame);
    // Frames flipped since the last openScreen.
    uint64_t framesFlipped() const;
    bool isOpen() const;

    bool openScreen(const char* title, int32_t width, int32_t height) override;
    int32_t offeredFormats(SurfaceFormat* formats, int32_t capacity) override;
    bool createBackBuffer(const SurfaceFormat& format) override;
    bool nextEvent(DisplayEvent* event) override;
    bool lock(LockedSurface* surface) override;
    void unlock() override;
    void flip() override;
    void sleepMs(uint32_t milliseconds) override;
    void close() override;

private:
    struct ScheduledEvent {
        DisplayEvent event;
        uint64_t frame;  // deliverable once this many frames have been flipped
    };

    mutable std::mutex mutex;              // guards the event schedule and frame count against other threads
    std::vector<ScheduledEvent> schedule;  // in delivery order among those that are due
    FrameSink sink;
    std::vector<uint32_t> backBuffer;
    uint32_t* outsideSurface = nullptr;  // not owned; used instead of backBuffer when set
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    uint64_t flipped = 0;
    bool open = false;
    bool hasBackBuffer = false;
};
