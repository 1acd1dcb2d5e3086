#pragma once
#include <cstdint>

#include "platform/DisplayBackend.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

// The display on a desktop through SDL2: a desktop-sized full-screen window showing the
// width x height picture scaled to fit with its aspect ratio kept (black bars, linear filtering),
// from a streaming texture in one of the renderer's formats, presented with vsync. The cursor is
// hidden and the screen saver is off while the screen is open. Initialises (and on close quits) only
// the video subsystem, and only when it was not initialised already.
class SdlDisplayBackend final : public DisplayBackend {
public:
    // Opens the window; on failure one line on stderr says why (SDL's reason) and the result is false.
    bool openScreen(const char* title, int32_t width, int32_t height) override;
    // The renderer's texture formats that are plain RGB, 32-bit XRGB first, then 24 and 16 bits.
    int32_t offeredFormats(SurfaceFormat* formats, int32_t capacity) override;
    bool createBackBuffer(const SurfaceFormat& format) override;
    // Focus gained, first showing and restore give Activated; focus loss, minimise and hide give
    // Deactivated; the Escape key gives EscapeKey, other keys OtherKey, a close or quit request
    // CloseRequest. Where no window manager runs and no window holds the focus, being exposed or
    // entered gives Activated too (and the window takes the focus). A window destroyed by another
    // client gives CloseRequest. Every other SDL event is consumed and skipped.
    bool nextEvent(DisplayEvent* event) override;
    bool lock(LockedSurface* surface) override;
    void unlock() override;
    void flip() override;
    void sleepMs(uint32_t milliseconds) override;
    void close() override;
    // Leaves the window to the end of the process (see the .cpp): returns at once.
    void closeForExit() override;

private:
    // Reports CloseRequest once after the window has been destroyed from outside.
    bool windowLostNow(DisplayEvent* event);

    // SDL pixel format codes of the renderer's usable formats, parallel to what offeredFormats wrote.
    static constexpr int32_t formatCapacity = 16;
    uint32_t offeredCodes[formatCapacity] = {};
    SurfaceFormat offered[formatCapacity] = {};
    int32_t offeredCount = 0;

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    bool ownsVideo = false;        // this backend initialised the video subsystem
    bool activatePending = false;  // the window was shown at creation: report Activated first
    bool lossReported = false;     // the window's destruction from outside has been reported
};
