#include "platform/web/WebDisplayBackend.h"

#include <emscripten.h>

#include <cstdlib>

#include "platform/web/WebPage.h"

// The canvas's bytes red, green, blue, alpha read as one little-endian word.
static constexpr SurfaceFormat canvasFormat{32, 0x000000FF, 0x0000FF00, 0x00FF0000};
static constexpr uint32_t opaque = 0xFF000000;
static constexpr uint32_t frameMilliseconds = 16;

WebDisplayBackend::~WebDisplayBackend() { close(); }

bool WebDisplayBackend::openScreen(const char*, int32_t width, int32_t height) {
    close();
    if (width <= 0 || height <= 0 || !intro_display_open(width, height)) return false;
    width_ = width;
    height_ = height;
    return true;
}

int32_t WebDisplayBackend::offeredFormats(SurfaceFormat* formats, int32_t capacity) {
    if (capacity < 1) return 0;
    formats[0] = canvasFormat;
    return 1;
}

bool WebDisplayBackend::createBackBuffer(const SurfaceFormat& format) {
    if (format.bitCount != canvasFormat.bitCount || format.redMask != canvasFormat.redMask ||
        format.greenMask != canvasFormat.greenMask || format.blueMask != canvasFormat.blueMask)
        return false;
    std::free(pixels_);
    pixels_ = static_cast<uint32_t*>(std::calloc(size_t(width_) * size_t(height_), sizeof(uint32_t)));
    return pixels_ != nullptr;
}

bool WebDisplayBackend::nextEvent(DisplayEvent* event) {
    int32_t code = intro_display_next_event();
    switch (code) {
    case 0: *event = DisplayEvent::Activated; return true;
    case 1: *event = DisplayEvent::Deactivated; return true;
    case 2: *event = DisplayEvent::EscapeKey; return true;
    case 3: *event = DisplayEvent::CloseRequest; return true;
    default: return false;
    }
}

bool WebDisplayBackend::lock(LockedSurface* surface) {
    if (pixels_ == nullptr) return false;
    surface->memory = reinterpret_cast<uint8_t*>(pixels_);
    surface->pitch = width_ * 4;
    return true;
}

void WebDisplayBackend::unlock() {}

void WebDisplayBackend::flip() {
    if (pixels_ == nullptr) return;
    // The converter leaves alpha 0; the canvas wants every pixel opaque.
    uint32_t count = uint32_t(width_) * uint32_t(height_);
    for (uint32_t i = 0; i < count; ++i) pixels_[i] |= opaque;
    intro_display_show(pixels_, width_, height_);
    intro_display_wait_frame();
}

void WebDisplayBackend::sleepMs(uint32_t milliseconds) {
    if (milliseconds > 0) emscripten_sleep(milliseconds < frameMilliseconds ? frameMilliseconds : milliseconds);
}

void WebDisplayBackend::close() {
    std::free(pixels_);
    pixels_ = nullptr;
    width_ = 0;
    height_ = 0;
}
