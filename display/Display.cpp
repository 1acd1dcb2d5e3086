#include "display/Display.h"

#include <cstdio>
#include <cstdlib>

DisplayBackend* Display::backend = nullptr;
int32_t Display::width = 0;
int32_t Display::height = 0;
SurfaceFormat Display::format{};
PixelConverter Display::converter = nullptr;
int32_t Display::appActive = 0;

// The most formats any backend is asked for; a screen offers a handful at most.
static constexpr int32_t formatCapacity = 16;

bool Display::open(DisplayBackend* screen, const char* name, int32_t screenWidth, int32_t screenHeight) {
    close();
    width = screenWidth;
    height = screenHeight;
    appActive = 0;
    if (screen == nullptr || screenWidth <= 0 || screenHeight <= 0) return false;
    backend = screen;
    if (!backend->openScreen(name, width, height)) {
        close();
        return false;
    }

    SurfaceFormat offered[formatCapacity];
    int32_t count = backend->offeredFormats(offered, formatCapacity);
    if (count > formatCapacity) count = formatCapacity;
    for (int32_t i = 0; i < count; ++i) {
        const SurfaceFormat& candidate = offered[i];
        PixelConverter chosen =
            choosePixelConverter(candidate.bitCount, candidate.redMask, candidate.greenMask, candidate.blueMask);
        if (chosen == nullptr || !backend->createBackBuffer(candidate)) continue;
        format = candidate;
        converter = chosen;
        return true;
    }
    close();
    return false;
}

// Applies one event; Escape and close requests do not come back.
static void handleEvent(DisplayEvent event) {
    switch (event) {
    case DisplayEvent::Activated: Display::appActive = 1; break;
    case DisplayEvent::Deactivated: Display::appActive = 0; break;
    case DisplayEvent::OtherKey: break;
    case DisplayEvent::EscapeKey:
    case DisplayEvent::CloseRequest:
        // The audio thread may still be running: end here without static destructors.
        Display::closeForExit();
        std::fflush(nullptr);
        std::_Exit(0);
    }
}

bool Display::present(const uint32_t* pixels) {
    if (backend == nullptr) return false;
    DisplayEvent event;
    while (backend->nextEvent(&event)) handleEvent(event);

    if (appActive == 0) {
        backend->sleepMs(1);
        return true;
    }
    if (pixels == nullptr) return false;
    LockedSurface surface;
    if (!backend->lock(&surface)) return false;
    const uint32_t* sourceRow = pixels;
    uint8_t* destinationRow = surface.memory;
    for (int32_t row = 0; row < height; ++row) {
        converter(sourceRow, destinationRow, width);
        sourceRow += width;
        destinationRow += surface.pitch;
    }
    backend->unlock();
    backend->flip();
    // Give up the rest of the time slice, so the audio worker gets the processor between frames.
    backend->sleepMs(0);
    return true;
}

// Forgets the backend and everything chosen for it.
static void forgetBackend() {
    Display::backend = nullptr;
    Display::converter = nullptr;
    Display::format = SurfaceFormat{};
    Display::appActive = 0;
}

void Display::close() {
    if (backend != nullptr) backend->close();
    forgetBackend();
}

void Display::closeForExit() {
    if (backend != nullptr) backend->closeForExit();
    forgetBackend();
}
