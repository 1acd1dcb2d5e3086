#pragma once
#include <cstdint>

#include "platform/DisplayBackend.h"
#include "platform/common/WindowMessages.h"

struct HWND__;
struct HINSTANCE__;
struct IDirectDraw;
struct IDirectDrawSurface;

// The display on Windows: an exclusive full-screen mode through DirectDraw (ddraw.dll, loaded at
// run time), the deepest of 32, 24 and 16 bits per pixel that the driver accepts, a primary surface
// with a flip chain of two back buffers (one when two cannot be had), and a window of the given
// title whose messages drive activation and the Escape / close exit. The one format offered is the
// primary surface's own. The screen saver is off while the screen is open, the cursor hidden over
// the window. One open backend per process: the window procedure finds it through a global.
class DirectDrawDisplayBackend final : public DisplayBackend {
public:
    // Opens the mode and the flip chain; on failure one line on stderr (or a message box when the
    // process has no stderr) names the step that failed, and the result is false.
    bool openScreen(const char* title, int32_t width, int32_t height) override;
    int32_t offeredFormats(SurfaceFormat* formats, int32_t capacity) override;
    // The flip chain exists since openScreen: accepts its own format only.
    bool createBackBuffer(const SurfaceFormat& format) override;
    // Dispatches the window's pending messages one at a time until one of them reports an event.
    bool nextEvent(DisplayEvent* event) override;
    // Restores lost surfaces first, then locks the back buffer, waiting until it can be locked.
    bool lock(LockedSurface* surface) override;
    void unlock() override;
    // Flips the chain, waiting for the display.
    void flip() override;
    void sleepMs(uint32_t milliseconds) override;
    // Gives back the desktop mode, destroys the window, unloads DirectDraw, switches the screen
    // saver on.
    void close() override;

    // The window procedure's work for this backend (public for the procedure only).
    intptr_t handleMessage(HWND__* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

private:
    bool fail(const char* reason);
    void reportUnusableFormat();

    HINSTANCE__* library = nullptr;
    IDirectDraw* directDraw = nullptr;
    IDirectDrawSurface* primary = nullptr;
    IDirectDrawSurface* backBuffer = nullptr;
    HWND__* window = nullptr;
    const char* className = nullptr;
    bool classRegistered = false;
    void* lockedMemory = nullptr;
    SurfaceFormat surfaceFormat;
    bool formatUsable = false;     // the primary surface is an RGB surface
    bool screenOpened = false;     // openScreen succeeded
    bool backBufferReady = false;  // the display took the surface's format
    DisplayEventQueue events;
};
