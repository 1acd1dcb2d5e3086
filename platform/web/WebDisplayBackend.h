#pragma once
#include <cstdint>

#include "platform/DisplayBackend.h"

// The show's screen in a web page: a width x height canvas that the page scales to its window. The
// back buffer is plain memory in the canvas's byte order (red, green, blue, alpha); a flip hands it
// to the canvas and waits for the browser's next display frame, which gives the page its turn
// (input, sound, drawing). Events come from the page: its visibility (hidden = deactivated),
// Escape, and the page being closed.
class WebDisplayBackend final : public DisplayBackend {
public:
    ~WebDisplayBackend();

    bool openScreen(const char* title, int32_t width, int32_t height) override;
    int32_t offeredFormats(SurfaceFormat* formats, int32_t capacity) override;
    bool createBackBuffer(const SurfaceFormat& format) override;
    bool nextEvent(DisplayEvent* event) override;
    bool lock(LockedSurface* surface) override;
    void unlock() override;
    void flip() override;
    // Waits in the browser's event loop, at least 16 ms (one display frame): a page that is not
    // shown goes on running the show, but no faster than one that is. 0 returns at once (a flip
    // has just given the page its turn).
    void sleepMs(uint32_t milliseconds) override;
    void close() override;

private:
    uint32_t* pixels_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
};
