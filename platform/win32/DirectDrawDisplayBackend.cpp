#include "platform/win32/DirectDrawDisplayBackend.h"

// windows.h must come first: ddraw.h builds on its types.
#include <windows.h>

#include <ddraw.h>

#include <cstdio>
#include <initializer_list>

#include "platform/win32/FailureReport.h"

static_assert(MessageClose == WM_CLOSE && MessageActivateApp == WM_ACTIVATEAPP && MessageSetCursor == WM_SETCURSOR &&
                  MessageKeyDown == WM_KEYDOWN,
              "message codes");
static_assert(EscapeKeyCode == VK_ESCAPE, "Escape key code");

using DirectDrawCreateFunction = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);

// The open backend, for the window procedure. One display per process.
static DirectDrawDisplayBackend* openBackend = nullptr;

static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (openBackend != nullptr) return openBackend->handleMessage(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

intptr_t DirectDrawDisplayBackend::handleMessage(HWND__* target, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    MessageOutcome outcome = handleWindowMessage(message, wParam);
    switch (outcome.action) {
    case MessageAction::Report: DisplayEventQueue::push(events, outcome.event); return 0;
    case MessageAction::HideCursor: SetCursor(nullptr); return 0;
    case MessageAction::Default: break;
    }
    return DefWindowProcA(target, message, wParam, lParam);
}

bool DirectDrawDisplayBackend::fail(const char* reason) {
    char line[256];
    std::snprintf(line, sizeof(line), "display: %s", reason);
    reportFailure(line);
    close();
    return false;
}

// A surface chain with backBuffers back buffers on the primary surface, or nullptr.
static IDirectDrawSurface* createFlipChain(IDirectDraw* directDraw, DWORD backBuffers) {
    DDSURFACEDESC description = {};
    description.dwSize = sizeof(description);
    description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    description.dwBackBufferCount = backBuffers;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    IDirectDrawSurface* surface = nullptr;
    if (FAILED(directDraw->CreateSurface(&description, &surface, nullptr))) return nullptr;
    return surface;
}

bool DirectDrawDisplayBackend::openScreen(const char* title, int32_t width, int32_t height) {
    close();
    className = title != nullptr ? title : "";

    library = LoadLibraryA("ddraw.dll");
    if (library == nullptr) return fail("cannot load ddraw.dll (DirectDraw is not installed)");
    auto create = reinterpret_cast<DirectDrawCreateFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "DirectDrawCreate")));
    if (create == nullptr) return fail("ddraw.dll has no DirectDrawCreate");
    if (FAILED(create(nullptr, &directDraw, nullptr)) || directDraw == nullptr) {
        directDraw = nullptr;
        return fail("DirectDraw cannot be started on the primary display driver");
    }

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "IDI_MAIN");
    windowClass.lpszClassName = className;
    if (RegisterClassA(&windowClass) == 0) return fail("cannot register the window class");
    classRegistered = true;

    openBackend = this;
    window = CreateWindowExA(0, className, className, WS_POPUP | WS_SYSMENU, 0, 0, width, height, nullptr, nullptr,
                             instance, nullptr);
    if (window == nullptr) return fail("cannot create the window");
    // A window that is never shown is never activated: no WM_ACTIVATEAPP would start the frames
    // and no key would reach it. Shown and brought to the front, it receives both.
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(window);

    if (FAILED(directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)))
        return fail("cannot take the screen for exclusive full-screen use");
    bool modeSet = false;
    for (DWORD bits : {32u, 24u, 16u}) {
        if (SUCCEEDED(directDraw->SetDisplayMode(DWORD(width), DWORD(height), bits))) {
            modeSet = true;
            break;
        }
    }
    if (!modeSet) {
        char reason[128];
        std::snprintf(reason, sizeof(reason), "the display offers no %d x %d mode at 32, 24 or 16 bits per pixel",
                      int(width), int(height));
        return fail(reason);
    }

    primary = createFlipChain(directDraw, 2);
    if (primary == nullptr) primary = createFlipChain(directDraw, 1);
    if (primary == nullptr) return fail("cannot create a primary surface with a flip chain");

    DDSCAPS backCaps = {};
    backCaps.dwCaps = DDSCAPS_BACKBUFFER;
    if (FAILED(primary->GetAttachedSurface(&backCaps, &backBuffer)) || backBuffer == nullptr) {
        backBuffer = nullptr;
        return fail("the flip chain has no back buffer");
    }

    DDPIXELFORMAT pixelFormat = {};
    pixelFormat.dwSize = sizeof(pixelFormat);
    if (FAILED(primary->GetPixelFormat(&pixelFormat))) return fail("cannot read the surface's pixel format");
    // A palettised or other non-RGB surface offers no format, and so fails the open.
    formatUsable = (pixelFormat.dwFlags & DDPF_RGB) != 0;
    surfaceFormat.bitCount = int32_t(pixelFormat.dwRGBBitCount);
    surfaceFormat.redMask = pixelFormat.dwRBitMask;
    surfaceFormat.greenMask = pixelFormat.dwGBitMask;
    surfaceFormat.blueMask = pixelFormat.dwBBitMask;

    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, 0);
    screenOpened = true;
    return true;
}

int32_t DirectDrawDisplayBackend::offeredFormats(SurfaceFormat* formats, int32_t capacity) {
    if (primary == nullptr || !formatUsable || capacity < 1) return 0;
    formats[0] = surfaceFormat;
    return 1;
}

bool DirectDrawDisplayBackend::createBackBuffer(const SurfaceFormat& format) {
    if (backBuffer == nullptr || !formatUsable) return false;
    backBufferReady = format.bitCount == surfaceFormat.bitCount && format.redMask == surfaceFormat.redMask &&
                      format.greenMask == surfaceFormat.greenMask && format.blueMask == surfaceFormat.blueMask;
    return backBufferReady;
}

// The display closes an opened screen without taking its back buffer only when the surface's
// format is of no use to it.
void DirectDrawDisplayBackend::reportUnusableFormat() {
    char line[192];
    if (!formatUsable)
        std::snprintf(line, sizeof(line), "display: the %d-bit screen mode is not an RGB mode",
                      int(surfaceFormat.bitCount));
    else
        std::snprintf(line, sizeof(line), "display: no pixel converter for the %d-bit screen mode (masks %x %x %x)",
                      int(surfaceFormat.bitCount), unsigned(surfaceFormat.redMask), unsigned(surfaceFormat.greenMask),
                      unsigned(surfaceFormat.blueMask));
    reportFailure(line);
}

bool DirectDrawDisplayBackend::nextEvent(DisplayEvent* event) {
    if (window == nullptr) return false;
    MSG message;
    while (!DisplayEventQueue::pop(events, event)) {
        if (!PeekMessageA(&message, window, 0, 0, PM_REMOVE)) return false;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

bool DirectDrawDisplayBackend::lock(LockedSurface* surface) {
    if (backBuffer == nullptr) return false;
    // Surfaces are lost while another program had the screen; bring them back before drawing.
    primary->Restore();
    DDSURFACEDESC description = {};
    description.dwSize = sizeof(description);
    if (FAILED(backBuffer->Lock(nullptr, &description, DDLOCK_WAIT, nullptr))) return false;
    lockedMemory = description.lpSurface;
    surface->memory = static_cast<uint8_t*>(description.lpSurface);
    surface->pitch = int32_t(description.lPitch);
    return true;
}

void DirectDrawDisplayBackend::unlock() {
    if (backBuffer == nullptr || lockedMemory == nullptr) return;
    backBuffer->Unlock(lockedMemory);
    lockedMemory = nullptr;
}

void DirectDrawDisplayBackend::flip() {
    if (primary != nullptr) primary->Flip(nullptr, DDFLIP_WAIT);
}

void DirectDrawDisplayBackend::sleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

void DirectDrawDisplayBackend::close() {
    if (screenOpened && !backBufferReady) reportUnusableFormat();
    screenOpened = false;
    backBufferReady = false;
    // The back buffer belongs to the chain and goes with the primary surface.
    if (primary != nullptr) primary->Release();
    primary = nullptr;
    backBuffer = nullptr;
    lockedMemory = nullptr;
    if (directDraw != nullptr) {
        directDraw->RestoreDisplayMode();
        directDraw->SetCooperativeLevel(window, DDSCL_NORMAL);
        directDraw->Release();
    }
    directDraw = nullptr;
    if (window != nullptr) DestroyWindow(window);
    window = nullptr;
    if (classRegistered) UnregisterClassA(className, GetModuleHandleA(nullptr));
    classRegistered = false;
    if (openBackend == this) openBackend = nullptr;
    if (library != nullptr) {
        FreeLibrary(library);
        // Switched on whatever its setting was: the show turned it off when it took the screen.
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0);
    }
    library = nullptr;
    formatUsable = false;
    events = DisplayEventQueue{};
}
