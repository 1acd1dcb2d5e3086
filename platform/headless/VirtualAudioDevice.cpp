#include "platform/headless/VirtualAudioDevice.h"

void VirtualAudioDevice::setSink(Sink sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    sink_ = std::move(sink);
}

void VirtualAudioDevice::setOpenFails(bool fails) {
    std::lock_guard<std::mutex> lock(mutex_);
    openFails_ = fails;
}

bool VirtualAudioDevice::open(uint32_t sampleRate) {
    std::lock_guard<std::mutex> lock(mutex_);
    playing_ = false;
    return !openFails_ && sampleRate > 0;
}

bool VirtualAudioDevice::play(const int16_t* ring, uint32_t ringBytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    ring_ = ring;
    ringBytes_ = ringBytes & ~3u;
    played_ = 0;
    playing_ = ring_ && ringBytes_ > 0;
    polledGeneration_ = idleGeneration_ = generation_;
    return playing_;
}

uint64_t VirtualAudioDevice::bytesPlayed() {
    std::lock_guard<std::mutex> lock(mutex_);
    polledGeneration_ = generation_;
    return played_;
}

bool VirtualAudioDevice::isPlaying() {
    std::lock_guard<std::mutex> lock(mutex_);
    return playing_;
}

bool VirtualAudioDevice::advance(uint32_t bytes, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!playing_) return true;
    bytes &= ~3u;
    if (bytes > ringBytes_) bytes = ringBytes_;
    uint32_t offset = uint32_t(played_ % ringBytes_);
    uint32_t left = bytes;
    while (left > 0) {
        uint32_t chunk = ringBytes_ - offset < left ? ringBytes_ - offset : left;
        if (sink_) sink_(ring_ + offset / 2, chunk / 4);
        offset = (offset + chunk) % ringBytes_;
        left -= chunk;
    }
    played_ += bytes;
    uint64_t target = ++generation_;
    changed_.notify_all();
    return changed_.wait_for(lock, timeout, [&] { return !playing_ || idleGeneration_ >= target; });
}

void VirtualAudioDevice::idle(uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto released = [&] { return !held_ || !playing_; };
    changed_.wait(lock, released);
    if (polledGeneration_ != generation_) return;  // moved since the last poll: poll again at once
    idleGeneration_ = polledGeneration_;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return generation_ != polledGeneration_; });
    changed_.wait(lock, released);
}

void VirtualAudioDevice::holdWorker() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
}

bool VirtualAudioDevice::releaseWorker(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    held_ = false;
    if (!playing_) return true;
    uint64_t target = ++generation_;  // a poll is due even if the position has not moved
    changed_.notify_all();
    return changed_.wait_for(lock, timeout, [&] { return !playing_ || idleGeneration_ >= target; });
}

void VirtualAudioDevice::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    playing_ = false;
    ring_ = nullptr;
    changed_.notify_all();
}

void VirtualAudioDevice::close() { reset(); }
