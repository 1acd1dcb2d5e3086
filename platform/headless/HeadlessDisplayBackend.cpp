#include "platform/headless/HeadlessDisplayBackend.h"

#include <chrono>
#include <thread>

void HeadlessDisplayBackend::setFrameSink(FrameSink frameSink) { sink = std::move(frameSink); }

void HeadlessDisplayBackend::useSurface(uint32_t* surface) { outsideSurface = surface; }

void HeadlessDisplayBackend::queueEvent(DisplayEvent event) { queueEventBeforeFrame(event, 0); }

void HeadlessDisplayBackend::queueEventBeforeFrame(DisplayEvent event, uint64_t frame) {
    std::lock_guard<std::mutex> guard(mutex);
    schedule.push_back({event, frame});
}

uint64_t HeadlessDisplayBackend::framesFlipped() const {
    std::lock_guard<std::mutex> guard(mutex);
    return flipped;
}

bool HeadlessDisplayBackend::isOpen() const { return open; }

bool HeadlessDisplayBackend::openScreen(const char*, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return false;
    std::lock_guard<std::mutex> guard(mutex);
    screenWidth = width;
    screenHeight = height;
    flipped = 0;
    open = true;
    hasBackBuffer = false;
    // Always active: activation comes first, ahead of anything scripted before the open.
    schedule.insert(schedule.begin(), {DisplayEvent::Activated, 0});
    return true;
}

int32_t HeadlessDisplayBackend::offeredFormats(SurfaceFormat* formats, int32_t capacity) {
    if (!open || capacity < 1) return 0;
    formats[0] = SurfaceFormat{32, 0xFF0000, 0xFF00, 0xFF};
    return 1;
}

bool HeadlessDisplayBackend::createBackBuffer(const SurfaceFormat& format) {
    if (!open || format.bitCount != 32 || format.redMask != 0xFF0000 || format.greenMask != 0xFF00 ||
        format.blueMask != 0xFF)
        return false;
    backBuffer.assign(size_t(screenWidth) * size_t(screenHeight), 0);
    hasBackBuffer = true;
    return true;
}

bool HeadlessDisplayBackend::nextEvent(DisplayEvent* event) {
    std::lock_guard<std::mutex> guard(mutex);
    for (auto it = schedule.begin(); it != schedule.end(); ++it) {
        if (it->frame > flipped) continue;
        *event = it->event;
        schedule.erase(it);
        return true;
    }
    return false;
}

bool HeadlessDisplayBackend::lock(LockedSurface* surface) {
    if (!hasBackBuffer) return false;
    surface->memory = reinterpret_cast<uint8_t*>(outsideSurface ? outsideSurface : backBuffer.data());
    surface->pitch = screenWidth * 4;
    return true;
}

void HeadlessDisplayBackend::unlock() {}

void HeadlessDisplayBackend::flip() {
    if (!hasBackBuffer) return;
    if (sink) sink(outsideSurface ? outsideSurface : backBuffer.data(), screenWidth, screenHeight);
    std::lock_guard<std::mutex> guard(mutex);
    ++flipped;
}

void HeadlessDisplayBackend::sleepMs(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void HeadlessDisplayBackend::close() {
    open = false;
    hasBackBuffer = false;
    backBuffer.clear();
    backBuffer.shrink_to_fit();
}
