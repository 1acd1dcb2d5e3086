#pragma once
#include <cstdint>

#include "display/PixelConverter.h"
#include "platform/DisplayBackend.h"

// The one display of the process: a width x height screen behind a DisplayBackend, the converter
// that matches its back buffer, and the activation flag that gates presenting. Main thread only.
struct Display {
    static DisplayBackend* backend;  // the open backend, nullptr while closed
    static int32_t width;            // the size given to open; also the Framebuffer's size
    static int32_t height;
    static SurfaceFormat format;      // the back buffer's layout
    static PixelConverter converter;  // chosen from format at open
    static int32_t appActive;         // 0 at open; set by Activated, cleared by Deactivated events

    // Opens the screen through backend with the window title name, and creates the back buffer in
    // the first offered format that has a converter. False (after releasing whatever was created)
    // when the screen cannot be opened, no offered format is usable, or the sizes are not positive.
    static bool open(DisplayBackend* backend, const char* name, int32_t width, int32_t height);

    // Pumps the pending events first: Escape or a close request run Display::closeForExit and end
    // the process with status 0 at once. Then, while active, converts the width x height XRGB pixels
    // row by row into the locked back buffer and flips. While inactive it only sleeps 1 ms.
    // False when nothing is open or the back buffer cannot be locked (the frame is skipped).
    static bool present(const uint32_t* pixels);

    // Releases the backend and forgets it; safe when closed already or after a failed open.
    static void close();
    // The same just before the process ends: the backend may leave the rest to the process's end.
    static void closeForExit();
};
