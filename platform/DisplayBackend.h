#pragma once
#include <cstdint>

// What the display needs from a window system: a screen of width x height pixels, a back buffer in
// one of a few pixel formats that can be locked for direct writes, a flip that shows it, and the
// events that drive activation and the Escape / close exit. One backend per platform (SDL2,
// headless, later Win32); display/Display.h is the only user.

// A back-buffer pixel layout: bits per pixel and the three colour masks.
struct SurfaceFormat {
    int32_t bitCount = 0;
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
};

// The back buffer while locked: its first byte and the distance in bytes from one row to the next
// (which need not be width * bytes per pixel).
struct LockedSurface {
    uint8_t* memory = nullptr;
    int32_t pitch = 0;
};

enum class DisplayEvent { Activated, Deactivated, EscapeKey, OtherKey, CloseRequest };

class DisplayBackend {
public:
    // Opens the window or screen; false when there is no display to open.
    virtual bool openScreen(const char* title, int32_t width, int32_t height) = 0;
    // Writes the back-buffer formats this screen can take, most preferred first (32, 24, then 16 bits
    // per pixel); returns how many were written, at most capacity.
    virtual int32_t offeredFormats(SurfaceFormat* formats, int32_t capacity) = 0;
    // Creates the back buffer in one of the offered formats.
    virtual bool createBackBuffer(const SurfaceFormat& format) = 0;
    // Takes the next pending event; false when none is pending. Never blocks.
    virtual bool nextEvent(DisplayEvent* event) = 0;
    // Locks the whole back buffer for writing; false when it cannot be locked now.
    virtual bool lock(LockedSurface* surface) = 0;
    virtual void unlock() = 0;
    // Shows the back buffer, waiting for the display where the platform does.
    virtual void flip() = 0;
    virtual void sleepMs(uint32_t milliseconds) = 0;
    // Releases everything and gives the desktop back. Safe after a partial open and a second time.
    virtual void close() = 0;
    // Gives the desktop back when the process ends right afterwards (Escape, a close request): a
    // backend may leave to the process's end whatever that releases by itself, and must not wait
    // for anything it need not. The default is close.
    virtual void closeForExit() { close(); }

protected:
    ~DisplayBackend() = default;
};
