#include "platform/sdl/SdlDisplayBackend.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/QuietStderr.h"
#include "platform/sdl/SdlEventMapping.h"
#include "platform/sdl/X11WindowWatch.h"

// Texture formats in order of preference: 32-bit XRGB layouts first, then 24 and 16 bits. The alpha
// layouts are usable too, because the texture is copied without blending.
static const uint32_t preferredFormats[] = {
    SDL_PIXELFORMAT_XRGB8888, SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_XBGR8888, SDL_PIXELFORMAT_ABGR8888,
    SDL_PIXELFORMAT_BGR24,    SDL_PIXELFORMAT_RGB24,    SDL_PIXELFORMAT_RGB565,   SDL_PIXELFORMAT_BGR565,
    SDL_PIXELFORMAT_XRGB1555, SDL_PIXELFORMAT_ARGB1555, SDL_PIXELFORMAT_XBGR1555, SDL_PIXELFORMAT_ABGR1555,
};

// The layout of an SDL format as a back-buffer description: storage bits per pixel (SDL counts
// 15 for the 5-5-5 layouts) and the colour masks of the little-endian pixel value.
static bool describe(uint32_t code, SurfaceFormat* format) {
    int bits = 0;
    Uint32 red = 0, green = 0, blue = 0, alpha = 0;
    if (!SDL_PixelFormatEnumToMasks(code, &bits, &red, &green, &blue, &alpha)) return false;
    format->bitCount = SDL_BYTESPERPIXEL(code) * 8;
    format->redMask = red;
    format->greenMask = green;
    format->blueMask = blue;
    return true;
}

static bool sameFormat(const SurfaceFormat& a, const SurfaceFormat& b) {
    return a.bitCount == b.bitCount && a.redMask == b.redMask && a.greenMask == b.greenMask && a.blueMask == b.blueMask;
}

// SDL falls back to its offscreen driver when it finds no display at all; a picture drawn there is
// seen by nobody. It (or the dummy driver) counts as a display only when asked for by name through
// SDL_VIDEODRIVER, as the smoke tests do.
static bool isStandInDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) return true;
    bool standIn = std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
    const char* requested = std::getenv("SDL_VIDEODRIVER");
    return standIn && (requested == nullptr || std::strcmp(requested, driver) != 0);
}

// One line on stderr naming the display that could not be opened, with SDL's reason when given.
static void reportMissingDisplay(const char* reason) {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* separator = reason != nullptr && *reason != 0 ? ": " : "";
    if (reason == nullptr) reason = "";
    if (x11 != nullptr && *x11 != 0)
        std::fprintf(stderr, "display: cannot open display %s%s%s\n", x11, separator, reason);
    else if (wayland != nullptr && *wayland != 0)
        std::fprintf(stderr, "display: cannot open Wayland display %s%s%s\n", wayland, separator, reason);
    else
        std::fprintf(stderr, "display: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
}

bool SdlDisplayBackend::openScreen(const char* title, int32_t width, int32_t height) {
    close();
    screenWidth = width;
    screenHeight = height;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        int failed;
        {
            QuietStderr quiet;
            failed = SDL_InitSubSystem(SDL_INIT_VIDEO);
        }
        if (failed != 0) {
            // A video driver asked for by name failed; otherwise the display itself did.
            const char* requested = std::getenv("SDL_VIDEODRIVER");
            if (requested != nullptr && *requested != 0)
                std::fprintf(stderr, "display: cannot open a display: %s\n", SDL_GetError());
            else
                reportMissingDisplay(SDL_GetError());
            return false;
        }
        ownsVideo = true;
    }
    if (isStandInDriver()) {
        reportMissingDisplay(nullptr);
        close();
        return false;
    }
    // The window is made as large as the desktop from the start: a window manager turns it into a
    // full-screen window, and without one (a bare X server) it still covers the screen, where a
    // picture-sized window would stay small while the renderer scales for the whole desktop.
    SDL_DisplayMode desktop;
    int32_t windowWidth = width, windowHeight = height;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
        windowWidth = desktop.w;
        windowHeight = desktop.h;
    }
    window = SDL_CreateWindow(title != nullptr ? title : "", 0, 0, windowWidth, windowHeight,
                              SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
    if (window == nullptr) {
        std::fprintf(stderr, "display: cannot open a window: %s\n", SDL_GetError());
        close();
        return false;
    }
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (renderer == nullptr) renderer = SDL_CreateRenderer(window, -1, 0);
    if (renderer == nullptr) {
        std::fprintf(stderr, "display: cannot create a renderer: %s\n", SDL_GetError());
        close();
        return false;
    }
    // Only now: creating an OpenGL renderer may replace the window's X11 window with a new one.
    X11WindowWatch::attach(window);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SDL_RenderSetLogicalSize(renderer, width, height);
    SDL_ShowCursor(SDL_DISABLE);
    SDL_DisableScreenSaver();
    // Without a window manager no focus event may ever come: being shown is enough to start.
    activatePending = (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0;

    SDL_RendererInfo info;
    offeredCount = 0;
    if (SDL_GetRendererInfo(renderer, &info) != 0) return true;
    for (uint32_t code : preferredFormats) {
        bool supported = false;
        for (Uint32 i = 0; i < info.num_texture_formats; ++i) supported |= info.texture_formats[i] == code;
        if (supported && offeredCount < formatCapacity && describe(code, &offered[offeredCount]))
            offeredCodes[offeredCount++] = code;
    }
    return true;
}

int32_t SdlDisplayBackend::offeredFormats(SurfaceFormat* formats, int32_t capacity) {
    int32_t count = offeredCount < capacity ? offeredCount : capacity;
    for (int32_t i = 0; i < count; ++i) formats[i] = offered[i];
    return count;
}

bool SdlDisplayBackend::createBackBuffer(const SurfaceFormat& format) {
    if (renderer == nullptr) return false;
    for (int32_t i = 0; i < offeredCount; ++i) {
        if (!sameFormat(offered[i], format)) continue;
        SDL_Texture* created =
            SDL_CreateTexture(renderer, offeredCodes[i], SDL_TEXTUREACCESS_STREAMING, screenWidth, screenHeight);
        if (created == nullptr) continue;
        if (texture != nullptr) SDL_DestroyTexture(texture);
        texture = created;
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
        return true;
    }
    return false;
}

// A window destroyed by another client is as good as a close request, and leaves nothing to draw on.
bool SdlDisplayBackend::windowLostNow(DisplayEvent* event) {
    if (lossReported || !X11WindowWatch::windowLost()) return false;
    lossReported = true;
    *event = DisplayEvent::CloseRequest;
    return true;
}

bool SdlDisplayBackend::nextEvent(DisplayEvent* event) {
    if (window == nullptr) return false;
    if (activatePending) {
        activatePending = false;
        *event = DisplayEvent::Activated;
        return true;
    }
    // Checked before SDL sees the window's last events: it would first wait ~100 ms for the window
    // to leave full screen.
    if (windowLostNow(event)) return true;
    SDL_Event sdlEvent;
    while (SDL_PollEvent(&sdlEvent)) {
        X11WindowWatch::noteEvent(sdlEvent);
        bool orphaned = mayReclaimFocus(sdlEvent) && X11WindowWatch::focusOrphaned();
        if (!translateSdlEvent(sdlEvent, orphaned, event)) continue;
        // With no window manager, focus given up goes nowhere: take it back, so keys arrive again.
        if (orphaned) SDL_SetWindowInputFocus(window);
        return true;
    }
    return windowLostNow(event);
}

bool SdlDisplayBackend::lock(LockedSurface* surface) {
    if (texture == nullptr) return false;
    void* memory = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture, nullptr, &memory, &pitch) != 0) return false;
    surface->memory = static_cast<uint8_t*>(memory);
    surface->pitch = pitch;
    return true;
}

void SdlDisplayBackend::unlock() {
    if (texture != nullptr) SDL_UnlockTexture(texture);
}

void SdlDisplayBackend::flip() {
    if (renderer == nullptr || texture == nullptr || X11WindowWatch::windowLost()) return;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

void SdlDisplayBackend::sleepMs(uint32_t milliseconds) { SDL_Delay(milliseconds); }

// Escape or a close request: the process ends right after this, and with it the connection to the
// window system, whose server then removes the window, its hidden cursor and the screen-saver
// suspension at once. Destroying a desktop-full-screen window first would make SDL wait about
// 100 ms for a window manager to confirm leaving full screen (the whole wait where none runs),
// with the last picture still showing.
void SdlDisplayBackend::closeForExit() {
    if (window == nullptr) {
        close();
        return;
    }
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
    offeredCount = 0;
    activatePending = false;
    ownsVideo = false;
}

void SdlDisplayBackend::close() {
    X11WindowWatch::detach();
    lossReported = false;
    if (texture != nullptr) SDL_DestroyTexture(texture);
    if (renderer != nullptr) SDL_DestroyRenderer(renderer);
    if (window != nullptr) {
        SDL_DestroyWindow(window);
        SDL_ShowCursor(SDL_ENABLE);
        SDL_EnableScreenSaver();
    }
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
    offeredCount = 0;
    activatePending = false;
    if (ownsVideo) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    ownsVideo = false;
}
